// Walking RIFF/WAVE images and the six cues the game carries.
#include "sound/Sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back((v >> (8 * i)) & 0xFF);
}

// A chunk: identifier, size (by default the body's), body, pad byte if odd.
Bytes chunk(const char* id, const Bytes& body, int64_t declaredSize = -1)
{
    Bytes b(id, id + 4);
    put32(b, declaredSize < 0 ? uint32_t(body.size()) : uint32_t(declaredSize));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2)
        b.push_back(0);
    return b;
}

Bytes pcmFormat(uint32_t bytes = 16)
{
    Bytes b = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0};
    b.resize(bytes, 0xEE);
    return b;
}

Bytes samples(size_t n, unsigned char first = 1)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>(first + i);
    return b;
}

// "RIFF", size, "WAVE" and the chunks; the RIFF size is the true one unless
// given.
Bytes riff(const std::vector<Bytes>& chunks, int64_t riffSize = -1)
{
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b = {'R', 'I', 'F', 'F'};
    put32(b, riffSize < 0 ? uint32_t(body.size()) : uint32_t(riffSize));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// Parses a heap copy of exactly the image's size, so that the sanitizer
// sees any read past it.
struct Parsed {
    int ok;
    long formatAt = -1;
    long dataAt = -1;
    uint32_t dataSize;
};

Parsed parse(const Bytes& image)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[image.size()]);
    std::memcpy(copy.get(), image.data(), image.size());
    const unsigned char* fmt = reinterpret_cast<const unsigned char*>(1);
    const unsigned char* data = reinterpret_cast<const unsigned char*>(1);
    Parsed p;
    p.dataSize = 12345;
    p.ok = WaveParse(copy.get(), image.size(), &fmt, &data, &p.dataSize);
    if (fmt)
        p.formatAt = fmt - copy.get();
    if (data)
        p.dataAt = data - copy.get();
    return p;
}

constexpr long kFirstBody = 12 + 8;  // the first chunk's body

}  // namespace

TEST(WaveParse, FindsFormatAndDataInTheUsualLayout)
{
    Bytes image = riff({chunk("fmt ", pcmFormat()), chunk("data", samples(6)),
                        chunk("LIST", Bytes{'I', 'N', 'F', 'O'})});
    Parsed p = parse(image);
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.formatAt, kFirstBody);
    EXPECT_EQ(p.dataAt, kFirstBody + 16 + 8);
    EXPECT_EQ(p.dataSize, 6u);

    WaveFormat f = WaveReadFormat(image.data() + kFirstBody);
    EXPECT_EQ(f.formatTag, 1);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.samplesPerSec, 22050u);
    EXPECT_EQ(f.avgBytesPerSec, 44100u);
    EXPECT_EQ(f.blockAlign, 2);
    EXPECT_EQ(f.bitsPerSample, 16);

    // Data before format, with unknown chunks around them, is found too.
    Parsed q = parse(riff({chunk("junk", samples(4)), chunk("data", samples(2)),
                           chunk("fmt ", pcmFormat())}));
    ASSERT_EQ(q.ok, 1);
    EXPECT_EQ(q.dataAt, kFirstBody + 4 + 8);
    EXPECT_EQ(q.formatAt, kFirstBody + 4 + 8 + 2 + 8);
}

TEST(WaveParse, OddSizedChunkIsFollowedByOnePadByte)
{
    Parsed p = parse(riff({chunk("junk", samples(3)), chunk("fmt ", pcmFormat()),
                           chunk("data", samples(5)), chunk("LIST", samples(1))}));
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.formatAt, kFirstBody + 4 + 8);
    EXPECT_EQ(p.dataAt, kFirstBody + 4 + 8 + 16 + 8);
    EXPECT_EQ(p.dataSize, 5u);
}

TEST(WaveParse, RejectsImagesThatAreNotRiffWave)
{
    Bytes good = riff({chunk("fmt ", pcmFormat()), chunk("data", samples(4))});
    Bytes notRiff = good;
    notRiff[0] = 'X';
    Bytes notWave = good;
    notWave[11] = 'X';
    EXPECT_EQ(parse(notRiff).ok, 0);
    EXPECT_EQ(parse(notWave).ok, 0);
    EXPECT_EQ(parse(Bytes(good.begin(), good.begin() + 11)).ok, 0);
    EXPECT_EQ(WaveParse(nullptr, 100, nullptr, nullptr, nullptr), 0);

    // Missing pieces fail, and a failure leaves every output zeroed.
    Parsed noData = parse(riff({chunk("fmt ", pcmFormat())}));
    EXPECT_EQ(noData.ok, 0);
    EXPECT_EQ(noData.formatAt, -1);
    EXPECT_EQ(noData.dataSize, 0u);
    Parsed noFormat = parse(riff({chunk("data", samples(4))}));
    EXPECT_EQ(noFormat.ok, 0);
    EXPECT_EQ(noFormat.dataAt, -1);
}

TEST(WaveParse, ShortFormatRecordRejectsTheWholeImage)
{
    // Anything under the 16-byte PCM record is refused, even when a good
    // record follows it.
    for (uint32_t size : {13u, 14u, 15u}) {
        SCOPED_TRACE(size);
        Parsed p = parse(riff({chunk("fmt ", pcmFormat(size)), chunk("fmt ", pcmFormat()),
                               chunk("data", samples(4))}));
        EXPECT_EQ(p.ok, 0);
        EXPECT_EQ(p.formatAt, -1);
        EXPECT_EQ(p.dataAt, -1);
    }
    // A longer record (with extra bytes) is fine.
    EXPECT_EQ(parse(riff({chunk("fmt ", pcmFormat(18)), chunk("data", samples(4))})).ok, 1);
}

TEST(WaveParse, SecondFormatIgnoredAndEmptyDataReplaced)
{
    Bytes second = pcmFormat();
    second[2] = 2;  // a stereo record that must not be taken
    Parsed p = parse(riff({chunk("fmt ", pcmFormat()), chunk("fmt ", second), chunk("data", samples(4))}));
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.formatAt, kFirstBody);

    // fmt, data(0), data(n): the samples are in the second data chunk.
    Parsed q = parse(riff({chunk("fmt ", pcmFormat()), chunk("data", {}), chunk("data", samples(8))}));
    ASSERT_EQ(q.ok, 1);
    EXPECT_EQ(q.dataAt, kFirstBody + 16 + 8 + 8);
    EXPECT_EQ(q.dataSize, 8u);

    // A non-empty data chunk is not replaced by a later one.
    Parsed r = parse(riff({chunk("fmt ", pcmFormat()), chunk("data", samples(2)), chunk("data", samples(8))}));
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.dataSize, 2u);

    // Only an empty data chunk: nothing to play, so no success.
    EXPECT_EQ(parse(riff({chunk("fmt ", pcmFormat()), chunk("data", {})})).ok, 0);
}

TEST(WaveParse, WalkEndsAtTheRiffSizeOrTheResourceEnd)
{
    Bytes fmt = chunk("fmt ", pcmFormat());
    Bytes data = chunk("data", samples(4));
    // The RIFF size covers only the format chunk: the data after it, though
    // present in the resource, is not part of the file.
    EXPECT_EQ(parse(riff({fmt, data}, 4 + int64_t(fmt.size()))).ok, 0);
    // A RIFF size that ends inside the data chunk's body also refuses it.
    EXPECT_EQ(parse(riff({fmt, data}, 4 + int64_t(fmt.size()) + 8 + 2)).ok, 0);

    // A RIFF size far beyond the resource: the resource's end bounds the walk.
    Bytes longRiff = riff({fmt, data}, 0xFFFFFFF0);
    EXPECT_EQ(parse(longRiff).ok, 1);
    // ... and a chunk whose body would run past the bytes is not taken.
    EXPECT_EQ(parse(riff({fmt, chunk("data", samples(4), 100)}, 0xFFFFFFF0)).ok, 0);
    EXPECT_EQ(parse(riff({fmt, chunk("data", samples(4), 0xFFFFFFFF)})).ok, 0);
    // A resource cut inside a chunk header or a body.
    for (size_t cut = 12; cut < longRiff.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(parse(Bytes(longRiff.begin(), longRiff.begin() + long(cut))).ok, 0);
    }
    // A huge skipped chunk cannot wrap the position back into the image.
    EXPECT_EQ(parse(riff({chunk("junk", samples(2), 0xFFFFFFFE), fmt, data}, 0xFFFFFFF0)).ok, 0);
}

TEST(WaveParse, OnlyRequestedOutputsAreSought)
{
    Bytes image = riff({chunk("fmt ", pcmFormat()), chunk("data", samples(4))});
    const unsigned char* fmt = nullptr;
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(WaveParse(image.data(), image.size(), &fmt, nullptr, nullptr), 1);
    EXPECT_EQ(fmt, image.data() + kFirstBody);
    EXPECT_EQ(WaveParse(image.data(), image.size(), nullptr, nullptr, &size), 1);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(WaveParse(image.data(), image.size(), nullptr, &data, nullptr), 1);
    EXPECT_EQ(data, image.data() + kFirstBody + 24);

    // A short record that nobody asked for does not matter.
    Bytes shortFormat = riff({chunk("fmt ", pcmFormat(13)), chunk("data", samples(4))});
    EXPECT_EQ(WaveParse(shortFormat.data(), shortFormat.size(), nullptr, &data, &size), 1);
}

TEST(WaveFindResource, LooksUpRawResourcesByNameInATable)
{
    Bytes image = riff({chunk("fmt ", pcmFormat()), chunk("data", samples(4))});
    Bytes truncated(image.begin(), image.end() - 2);
    const ResourceEntry table[] = {
        {"Picture", kResourceBitmap, image.data(), image.size()},
        {"GoodSound", kResourceRaw, image.data(), image.size()},
        // The table's size is the resource's size: the walk stops there.
        {"CutSound", kResourceRaw, truncated.data(), truncated.size()},
        {nullptr, nullptr, nullptr, 0},
    };
    const unsigned char* fmt = nullptr;
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(WaveFindResource(table, "GOODSOUND", &fmt, &data, &size), 1);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(WaveFindResource(table, "Picture", &fmt, &data, &size), 0);  // not "RAW"
    EXPECT_EQ(fmt, nullptr);
    EXPECT_EQ(WaveFindResource(table, "CutSound", &fmt, &data, &size), 0);
    EXPECT_EQ(WaveFindResource(table, "Missing", &fmt, &data, &size), 0);
    EXPECT_EQ(WaveFindResource(table, nullptr, &fmt, &data, &size), 0);
}

// --- the game's own cues ---------------------------------------------------------

namespace {

struct CueFacts {
    const char* name;
    uint32_t dataBytes;
};

const CueFacts kCues[] = {
    {"ShootSound", 7876}, {"BounceSound", 2784}, {"ClickSound", 4956},
    {"PopSound", 9086},   {"LoseSound", 139302}, {"ClearSound", 125028},
};

std::vector<int16_t> cueSamples(const char* name)
{
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    if (!WaveFindResource(nullptr, name, nullptr, &data, &size))
        return {};
    std::vector<int16_t> s(size / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(data[2 * i] | data[2 * i + 1] << 8);
    return s;
}

// Zero crossings per second over [from, to) seconds: a rough pitch.
double crossingRate(const std::vector<int16_t>& s, double from, double to)
{
    size_t a = size_t(from * 22050), b = std::min(s.size(), size_t(to * 22050));
    int crossings = 0;
    for (size_t i = a + 1; i < b; ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    return crossings / (double(b - a) / 22050);
}

}  // namespace

TEST(GameCues, AreCompletePcmWaveFilesOfTheirSizes)
{
    for (const CueFacts& cue : kCues) {
        SCOPED_TRACE(cue.name);
        const ResourceEntry* entry = ResourceFind(cue.name, kResourceRaw);
        ASSERT_NE(entry, nullptr);
        const unsigned char* b = entry->bytes;
        ASSERT_GE(entry->size, 44u);
        EXPECT_EQ(std::memcmp(b, "RIFF", 4), 0);
        uint32_t riffSize = b[4] | b[5] << 8 | b[6] << 16 | uint32_t(b[7]) << 24;
        EXPECT_EQ(riffSize + 8, entry->size);
        EXPECT_EQ(std::memcmp(b + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(b[16] | b[17] << 8, 16);

        const unsigned char* fmt = nullptr;
        const unsigned char* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(WaveFindResource(nullptr, cue.name, &fmt, &data, &size), 1);
        WaveFormat f = WaveReadFormat(fmt);
        EXPECT_EQ(f.formatTag, 1);
        EXPECT_EQ(f.channels, 1);
        EXPECT_EQ(f.samplesPerSec, 22050u);
        EXPECT_EQ(f.avgBytesPerSec, 44100u);
        EXPECT_EQ(f.blockAlign, 2);
        EXPECT_EQ(f.bitsPerSample, 16);
        EXPECT_EQ(size, cue.dataBytes);
        // A trailing chunk follows the samples and fills the file.
        const unsigned char* after = data + size;
        ASSERT_LE(after + 8, b + entry->size);
        EXPECT_EQ(std::memcmp(after, "LIST", 4), 0);
        uint32_t listSize = after[4] | after[5] << 8 | after[6] << 16 | uint32_t(after[7]) << 24;
        EXPECT_EQ(after + 8 + listSize, b + entry->size);
    }
}

TEST(GameCues, PeakNearMinusThreeDbAndFadedEnds)
{
    for (const CueFacts& cue : kCues) {
        SCOPED_TRACE(cue.name);
        std::vector<int16_t> s = cueSamples(cue.name);
        ASSERT_EQ(s.size() * 2, cue.dataBytes);
        int peak = 0;
        for (int16_t v : s)
            peak = std::max(peak, std::abs(int(v)));
        double db = 20 * std::log10(peak / 32768.0);
        EXPECT_GT(db, -4.0);
        EXPECT_LT(db, -2.0);
        // No click: the first and last few samples are close to silence.
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_LT(std::abs(int(s[i])), 200) << "sample " << i;
            EXPECT_LT(std::abs(int(s[s.size() - 1 - i])), 200) << "from the end " << i;
        }
    }
}

TEST(GameCues, PitchMovesTheWayEachCueIsMeant)
{
    // The shot and the fanfare climb, the loss sinks.
    std::vector<int16_t> shoot = cueSamples("ShootSound");
    EXPECT_GT(crossingRate(shoot, 0.12, 0.17), 1.5 * crossingRate(shoot, 0.0, 0.05));
    std::vector<int16_t> clear = cueSamples("ClearSound");
    EXPECT_GT(crossingRate(clear, 0.4, 1.0), 1.5 * crossingRate(clear, 0.0, 0.12));
    std::vector<int16_t> lose = cueSamples("LoseSound");
    EXPECT_LT(crossingRate(lose, 2.4, 3.0), 0.9 * crossingRate(lose, 0.05, 0.4));
}
