// Walking RIFF/WAVE images; and the cues as the executable carries them:
// 22050 Hz 16-bit mono, faded at both ends (no click). Their levels are
// tested with the limiter (sound_limiter.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "sound/Sound.h"

using Bytes = std::vector<unsigned char>;
using P = std::vector<long>;

// A chunk of `body` bytes under its true size unless `size` is given, padded to even length.
static Bytes chunk(const char* id, uint32_t body, int64_t size = -1) {
    Bytes b(id, id + 4);
    for (int i = 0; i < 4; ++i) b.push_back(uint32_t(size < 0 ? body : size) >> 8 * i & 0xFF);
    b.resize(8 + body + body % 2, 0x11);
    return b;
}

static Bytes riff(const std::vector<Bytes>& chunks, int64_t size = -1) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b = chunk("RIFF", 0, size < 0 ? int64_t(body.size()) : size);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// What WaveParse found: {ok, "fmt " offset, "data" offset, data size}, -1 for none; parsed
// from a heap copy of exactly the image's size so that the sanitizer sees any overread.
static P parse(const Bytes& image) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[image.size()]);
    std::copy(image.begin(), image.end(), copy.get());
    const unsigned char *fmt = copy.get(), *data = copy.get();  // stale values that must be cleared
    uint32_t size = 999;
    const int ok = WaveParse(copy.get(), image.size(), &fmt, &data, &size);
    return {ok, fmt ? fmt - copy.get() : -1, data ? data - copy.get() : -1, long(size)};
}

constexpr long kBody = 20;  // the first chunk's body: after "RIFF", size, "WAVE" and its header

TEST(WaveParse, FindsChunksInAnyOrderWithPaddingAndTheFirstDataWithSamples) {
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 6), chunk("LIST", 4)})), P({1, kBody, kBody + 24, 6}));
    // An odd chunk is followed by one pad byte; data may come first; a second "fmt " is ignored.
    EXPECT_EQ(parse(riff({chunk("junk", 3), chunk("data", 5), chunk("fmt ", 18), chunk("fmt ", 16)})),
              P({1, kBody + 26, kBody + 12, 5}));
    // fmt, data(0), data(n): the samples are in the second data chunk; a first one with samples is kept.
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 0), chunk("data", 8)})), P({1, kBody, kBody + 32, 8}));
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 2), chunk("data", 8)})), P({1, kBody, kBody + 24, 2}));
}

TEST(WaveParse, RefusesWhatIsNotAPlayableWaveOrRunsPastItsBounds) {
    const Bytes good = riff({chunk("fmt ", 16), chunk("data", 4)});
    Bytes notRiff = good, notWave = good;
    notRiff[0] = 'X', notWave[11] = 'X';
    // A format record shorter than the 16-byte PCM record refuses the image, even with a good one after it.
    for (const Bytes& image :
         {notRiff, notWave, Bytes(good.begin(), good.begin() + 11), riff({chunk("fmt ", 16)}), riff({chunk("data", 4)}),
          riff({chunk("fmt ", 16), chunk("data", 0)}), riff({chunk("fmt ", 14), chunk("fmt ", 16), chunk("data", 4)}),
          riff({chunk("fmt ", 15), chunk("data", 4)})})
        EXPECT_EQ(parse(image), P({0, -1, -1, 0}));
    // The walk ends at the RIFF size or the resource's end, whichever comes first.
    for (int64_t riffSize : {28, 38})  // "WAVE" and "fmt " only, or part of "data"
        EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 4)}, riffSize))[0], 0) << riffSize;
    // A RIFF size far past the bytes: the bytes bound the walk, and every image cut short fails.
    const Bytes longRiff = riff({chunk("fmt ", 16), chunk("data", 4)}, 0xFFFFFFF0);
    EXPECT_EQ(parse(longRiff)[0], 1);
    for (size_t cut = 0; cut < longRiff.size(); ++cut)
        EXPECT_EQ(parse(Bytes(longRiff.begin(), longRiff.begin() + long(cut)))[0], 0) << cut;
    // Chunk sizes past the end, or big enough to wrap a 32-bit position.
    for (const Bytes& image : {riff({chunk("fmt ", 16), chunk("data", 4, 100)}, 0xFFFFFFF0),
                               riff({chunk("fmt ", 16), chunk("data", 4, 0xFFFFFFFF)}),
                               riff({chunk("junk", 2, 0xFFFFFFFE), chunk("fmt ", 16), chunk("data", 4)}, 0xFFFFFFF0)})
        EXPECT_EQ(parse(image)[0], 0);
    // WaveFindResource bounds the walk by the resource's own size and reads "RAW" resources only.
    const Bytes cut(longRiff.begin(), longRiff.end() - 1);
    const ResourceEntry table[] = {{"Whole", kResourceRaw, longRiff.data(), longRiff.size()},
                                   {"Cut", kResourceRaw, cut.data(), cut.size()},
                                   {"Picture", kResourceBitmap, longRiff.data(), longRiff.size()},
                                   {nullptr, nullptr, nullptr, 0}};
    uint32_t size = 0;
    EXPECT_TRUE(WaveFindResource(table, "WHOLE", nullptr, nullptr, &size) == 1 && size == 4);
    EXPECT_EQ(WaveFindResource(table, "Cut", nullptr, nullptr, &size) +
                  WaveFindResource(table, "Picture", nullptr, nullptr, &size),
              0);
}

TEST(SoundLevels, EveryCueIsSixteenBitMonoAt22050HzFadedAtBothEnds) {
    for (const char* name : {"ShootSound", "BounceSound", "ClickSound", "PopSound", "LoseSound", "ClearSound"}) {
        const unsigned char *fmt = nullptr, *data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(WaveFindResource(nullptr, name, &fmt, &data, &size), 1) << name;
        const WaveFormat f = WaveReadFormat(fmt);
        EXPECT_EQ(std::vector<long>(
                      {f.formatTag, f.channels, f.samplesPerSec, f.avgBytesPerSec, f.blockAlign, f.bitsPerSample}),
                  std::vector<long>({1, 1, 22050, 44100, 2, 16}))
            << name;
        for (uint32_t i = 0; i < 8; i += 2)
            EXPECT_TRUE(std::abs(int16_t(data[i] | data[i + 1] << 8)) < 197 &&
                        std::abs(int16_t(data[size - 2 - i] | data[size - 1 - i] << 8)) < 197)
                << name;
    }
}
