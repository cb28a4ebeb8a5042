// Random.cpp -- the game's one random source: MT19937 (624 words, middle
// distance 397) with its classic linear-congruential seeding.
#include "rules/Board.h"

static constexpr int32_t kStateWords = 624;
static constexpr int32_t kMiddle = 397;
static constexpr uint32_t kMatrixA = 0x9908B0DFu;
static constexpr uint32_t kUpperMask = 0x80000000u;
static constexpr uint32_t kLowerMask = 0x7FFFFFFFu;
static constexpr uint32_t kSeedMultiplier = 69069u;
static constexpr uint32_t kDefaultSeed = 4357u;

static uint32_t mt[kStateWords];
static int32_t mtLeft = -1;  // outputs left before the next regeneration; -1: never seeded
static int32_t mtNext = 0;   // index of the next state word to hand out
// Where the stream stands, for recorded games: the last seed and the outputs
// drawn since (the default seed when drawn from unseeded).
static uint32_t seedUsed = kDefaultSeed;
static uint64_t drawsSinceSeed = 0;

void SeedRandom(uint32_t seed)
{
    // The lowest bit is forced so the multiplicative fill never collapses to
    // zero; seeds s and s | 1 therefore give the same sequence.
    seedUsed = seed;
    drawsSinceSeed = 0;
    uint32_t x = seed | 1u;
    mt[0] = x;
    for (int32_t k = 1; k < kStateWords; k++) {
        x *= kSeedMultiplier;  // modulo 2^32 by unsigned wrap
        mt[k] = x;
    }
    mtLeft = 0;
}

static uint32_t temper(uint32_t y)
{
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

static uint32_t regenerate()
{
    // mtLeft is already decremented: below -1 means it started at -1.
    if (mtLeft < -1) {
        SeedRandom(kDefaultSeed);
    }
    // Renewed in place and in index order: word 623 mixes the renewed word 0,
    // words 227..623 the renewed words 0..396.
    for (int32_t k = 0; k < kStateWords; k++) {
        const uint32_t y = (mt[k] & kUpperMask) | (mt[(k + 1) % kStateWords] & kLowerMask);
        mt[k] = mt[(k + kMiddle) % kStateWords] ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
    }
    mtLeft = kStateWords - 1;
    mtNext = 1;
    return temper(mt[0]);
}

uint32_t NextRandom()
{
    mtLeft--;
    const uint32_t value = mtLeft < 0 ? regenerate() : temper(mt[mtNext++]);
    drawsSinceSeed++;
    return value;
}

void RandomPosition(uint32_t* seed, uint64_t* draws)
{
    *seed = seedUsed;
    *draws = drawsSinceSeed;
}

void RandomSetPosition(uint32_t seed, uint64_t draws)
{
    SeedRandom(seed);
    while (drawsSinceSeed < draws) {
        NextRandom();
    }
}

int32_t RandomRange(int32_t lo, int32_t hi)
{
    // Unsigned arithmetic throughout: the span and the scaled draw may not fit
    // a signed int for wide ranges, and the sum wraps back into lo..hi.
    const uint32_t span = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo) + 1u;
    const uint32_t low16 = NextRandom() & 0xFFFFu;
    return static_cast<int32_t>(static_cast<uint32_t>(lo) + ((low16 * span) >> 16));
}
