// Walking RIFF/WAVE images, and the six cues the game carries.
#include "sound/Sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back((v >> (8 * i)) & 0xFF);
}

// A chunk with its true size unless `size` is given, padded to even length.
Bytes chunk(const char* id, size_t bodyBytes, int64_t size = -1)
{
    Bytes b(id, id + 4);
    put32(b, uint32_t(size < 0 ? int64_t(bodyBytes) : size));
    for (size_t i = 0; i < bodyBytes + bodyBytes % 2; ++i)
        b.push_back(i < bodyBytes ? 0x11 : 0);
    return b;
}

Bytes riff(const std::vector<Bytes>& chunks, int64_t size = -1)
{
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b = {'R', 'I', 'F', 'F'};
    put32(b, uint32_t(size < 0 ? int64_t(body.size()) : size));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// Offsets of what WaveParse found (-1 for nothing), parsed from a heap copy
// of exactly the image's size so that the sanitizer sees any overread.
struct Parsed {
    int ok;
    long format, data;
    uint32_t size;
};

Parsed parse(const Bytes& image)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[image.size()]);
    std::memcpy(copy.get(), image.data(), image.size());
    const unsigned char* fmt = copy.get();  // stale values that must be cleared
    const unsigned char* data = copy.get();
    Parsed p{0, -1, -1, 999};
    p.ok = WaveParse(copy.get(), image.size(), &fmt, &data, &p.size);
    p.format = fmt ? fmt - copy.get() : -1;
    p.data = data ? data - copy.get() : -1;
    return p;
}

constexpr long kFirstBody = 20;  // after "RIFF", size, "WAVE" and one chunk header

}  // namespace

TEST(WaveParse, FindsChunksInAnyOrderWithPadding)
{
    Parsed p = parse(riff({chunk("fmt ", 16), chunk("data", 6), chunk("LIST", 4)}));
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.format, kFirstBody);
    EXPECT_EQ(p.data, kFirstBody + 16 + 8);
    EXPECT_EQ(p.size, 6u);
    // An odd chunk is followed by one pad byte; data may come first.
    Parsed q = parse(riff({chunk("junk", 3), chunk("data", 5), chunk("fmt ", 18)}));
    ASSERT_EQ(q.ok, 1);
    EXPECT_EQ(q.data, kFirstBody + 4 + 8);
    EXPECT_EQ(q.format, kFirstBody + 4 + 8 + 6 + 8);
    EXPECT_EQ(q.size, 5u);
}

TEST(WaveParse, RefusesWhatIsNotAPlayableWave)
{
    Bytes good = riff({chunk("fmt ", 16), chunk("data", 4)});
    Bytes notRiff = good, notWave = good;
    notRiff[0] = 'X';
    notWave[11] = 'X';
    for (const Bytes& image : {notRiff, notWave, Bytes(good.begin(), good.begin() + 11),
                               riff({chunk("fmt ", 16)}), riff({chunk("data", 4)}),
                               riff({chunk("fmt ", 16), chunk("data", 0)})}) {
        Parsed p = parse(image);
        EXPECT_EQ(p.ok, 0);
        EXPECT_EQ(p.format, -1);  // a failure leaves nothing behind
        EXPECT_EQ(p.data, -1);
        EXPECT_EQ(p.size, 0u);
    }
    // A format record shorter than the 16-byte PCM record refuses the
    // image, even when a good one follows.
    for (int size : {13, 14, 15})
        EXPECT_EQ(parse(riff({chunk("fmt ", size), chunk("fmt ", 16), chunk("data", 4)})).ok, 0) << size;
}

TEST(WaveParse, SecondFormatIgnoredEmptyDataReplaced)
{
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("fmt ", 16), chunk("data", 4)})).format, kFirstBody);
    // fmt, data(0), data(n): the samples are in the second data chunk.
    Parsed p = parse(riff({chunk("fmt ", 16), chunk("data", 0), chunk("data", 8)}));
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.data, kFirstBody + 16 + 8 + 8);
    EXPECT_EQ(p.size, 8u);
    // A chunk with samples is kept.
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 2), chunk("data", 8)})).size, 2u);
}

TEST(WaveParse, WalkEndsAtTheRiffSizeOrTheResourceEnd)
{
    const int64_t fmtOnly = 4 + 24;
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 4)}, fmtOnly)).ok, 0);
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 4)}, fmtOnly + 10)).ok, 0);
    // A RIFF size far past the bytes: the bytes bound the walk.
    Bytes longRiff = riff({chunk("fmt ", 16), chunk("data", 4)}, 0xFFFFFFF0);
    EXPECT_EQ(parse(longRiff).ok, 1);
    for (size_t cut = 12; cut < longRiff.size(); ++cut)
        EXPECT_EQ(parse(Bytes(longRiff.begin(), longRiff.begin() + long(cut))).ok, 0) << cut;
    // Chunk sizes past the end, or big enough to wrap a 32-bit position.
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 4, 100)}, 0xFFFFFFF0)).ok, 0);
    EXPECT_EQ(parse(riff({chunk("fmt ", 16), chunk("data", 4, 0xFFFFFFFF)})).ok, 0);
    EXPECT_EQ(parse(riff({chunk("junk", 2, 0xFFFFFFFE), chunk("fmt ", 16), chunk("data", 4)}, 0xFFFFFFF0)).ok, 0);

    // WaveFindResource bounds the walk by the resource's own size.
    Bytes cut(longRiff.begin(), longRiff.end() - 1);
    const ResourceEntry table[] = {{"Whole", kResourceRaw, longRiff.data(), longRiff.size()},
                                   {"Cut", kResourceRaw, cut.data(), cut.size()},
                                   {"Picture", kResourceBitmap, longRiff.data(), longRiff.size()},
                                   {nullptr, nullptr, nullptr, 0}};
    uint32_t size = 0;
    EXPECT_EQ(WaveFindResource(table, "WHOLE", nullptr, nullptr, &size), 1);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(WaveFindResource(table, "Cut", nullptr, nullptr, &size), 0);
    EXPECT_EQ(WaveFindResource(table, "Picture", nullptr, nullptr, &size), 0);  // not "RAW"
}

TEST(GameCues, CompleteWaveFilesFadedToAboutMinusThreeDb)
{
    const struct {
        const char* name;
        uint32_t bytes;
    } cues[] = {{"ShootSound", 7876}, {"BounceSound", 2784}, {"ClickSound", 4956},
                {"PopSound", 9086},   {"LoseSound", 139302}, {"ClearSound", 125028}};
    for (const auto& cue : cues) {
        SCOPED_TRACE(cue.name);
        const ResourceEntry* entry = ResourceFind(cue.name, kResourceRaw);
        ASSERT_NE(entry, nullptr);
        const unsigned char* b = entry->bytes;
        const unsigned char* fmt = nullptr;
        const unsigned char* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(WaveFindResource(nullptr, cue.name, &fmt, &data, &size), 1);
        EXPECT_EQ(b[4] | b[5] << 8 | b[6] << 16 | b[7] << 24, int(entry->size) - 8);
        EXPECT_EQ(std::memcmp(b + 12, "fmt \x10\0\0\0", 8), 0);
        WaveFormat f = WaveReadFormat(fmt);
        EXPECT_EQ(f.formatTag, 1);
        EXPECT_EQ(f.channels, 1);
        EXPECT_EQ(f.samplesPerSec, 22050u);
        EXPECT_EQ(f.avgBytesPerSec, 44100u);
        EXPECT_EQ(f.blockAlign, 2);
        EXPECT_EQ(f.bitsPerSample, 16);
        ASSERT_EQ(size, cue.bytes);
        // A LIST chunk follows the samples and ends the file.
        const unsigned char* list = data + size;
        ASSERT_LE(list + 8, b + entry->size);
        EXPECT_EQ(std::memcmp(list, "LIST", 4), 0);
        EXPECT_EQ(list + 8 + (list[4] | list[5] << 8), b + entry->size);

        std::vector<int> s(size / 2);
        int peak = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            s[i] = int16_t(data[2 * i] | data[2 * i + 1] << 8);
            peak = std::max(peak, std::abs(s[i]));
        }
        EXPECT_NEAR(20 * std::log10(peak / 32768.0), -3.0, 0.5);
        for (size_t i = 0; i < 4; ++i) {  // faded: no click at either end
            EXPECT_LT(std::abs(s[i]), 200);
            EXPECT_LT(std::abs(s[s.size() - 1 - i]), 200);
        }
    }
}
