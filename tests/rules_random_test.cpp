// The random source: MT19937's reference outputs, its seeding and
// self-seeding, and the range draw.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "rules/Board.h"

// Made before any test runs: the first draw from a generator never seeded.
static const uint32_t firstUnseededDraw = NextRandom();

TEST(Random, ReferenceSequenceSeedingAndRegeneration) {
    const uint32_t reference[5] = {3510405877u, 4290933890u, 2191955339u, 564929546u, 152112058u};
    EXPECT_EQ(firstUnseededDraw, reference[0]);  // it seeded itself with 4357
    for (uint32_t seed : {4357u, 4356u}) {       // the lowest bit is forced
        SeedRandom(seed);
        for (uint32_t r : reference) EXPECT_EQ(NextRandom(), r) << seed;
    }
    // The standard library's mt19937 from the same 624 words agrees across
    // several regenerations of the state.
    for (uint32_t seed : {2u, 0xFFFFFFFFu}) {
        std::stringstream state;
        for (uint32_t k = 0, x = seed | 1u; k < 624; k++, x *= 69069u) state << x << ' ';
        state << 624;
        std::mt19937 standard;
        state >> standard;
        SeedRandom(seed);
        for (int i = 0; i < 2500; i++) ASSERT_EQ(NextRandom(), standard()) << seed << " draw " << i;
    }
}

TEST(Random, RangeTakesTheLowSixteenBits) {
    bool sawLow = false, sawHigh = false;
    for (uint32_t seed = 1; seed < 2000; seed++) {
        SeedRandom(seed);
        const uint32_t v = NextRandom() & 0xFFFFu;
        SeedRandom(seed);
        const int32_t drawn = RandomRange(1, 8);
        ASSERT_EQ(drawn, 1 + static_cast<int32_t>(v * 8 >> 16)) << seed;
        if (v <= 8191) {
            EXPECT_EQ(drawn, 1);
            sawLow = true;
        }
        if (v >= 57344) {
            EXPECT_EQ(drawn, 8);
            sawHigh = true;
        }
        const int32_t negative = RandomRange(-3, -1);
        ASSERT_TRUE(negative >= -3 && negative <= -1);
        RandomRange(INT32_MIN, INT32_MAX);  // no overflow on the widest span
    }
    EXPECT_TRUE(sawLow && sawHigh);
    EXPECT_EQ(RandomRange(5, 5), 5);
}
