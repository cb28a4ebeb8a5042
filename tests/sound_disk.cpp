// Cues heard for real: SDL's disk output writes the mixed stream to a file,
// paced like a sound card, and the tests look for each cue's samples in it.
#include "sound/Sound.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFrameBytes = 4;               // 16-bit stereo
constexpr long kQuietBytes = 16384;          // about 0.19 s of output
constexpr size_t kGapFrames = 500;           // silence that separates two cues
constexpr int kSampleTolerance = 2;          // rounding in the mono-to-stereo conversion
constexpr Uint32 kDeadlineMs = 5000;
constexpr size_t kMixerPeriodFrames = 512;  // frames the mixer fills per call

class SoundDiskTest : public ::testing::Test {
protected:
    std::string path;

    void SetUp() override
    {
        path = ::testing::TempDir() + "kelvane-sound-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw";
        std::remove(path.c_str());
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    }
    void TearDown() override
    {
        SoundShutdown();
        std::remove(path.c_str());
    }

    long fileBytes() const
    {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? long(st.st_size) : 0;
    }

    // Lets the output run until the file has grown by `bytes`.
    void runOutput(long bytes) const
    {
        long target = fileBytes() + bytes;
        Uint32 start = SDL_GetTicks();
        while (fileBytes() < target && SDL_GetTicks() - start < kDeadlineMs)
            SDL_Delay(5);
    }

    // Reaps once per "frame" until no cue plays.
    static void playOut()
    {
        Uint32 start = SDL_GetTicks();
        while (SoundReap() > 0 && SDL_GetTicks() - start < kDeadlineMs)
            SDL_Delay(5);
    }

    // The left channel of everything written so far (closes the output).
    std::vector<int16_t> closeAndRead()
    {
        SoundShutdown();
        std::ifstream in(path, std::ios::binary);
        std::vector<char> raw((std::istreambuf_iterator<char>(in)), {});
        std::vector<int16_t> left(raw.size() / kFrameBytes);
        for (size_t i = 0; i < left.size(); ++i) {
            const auto* p = reinterpret_cast<const unsigned char*>(raw.data() + i * kFrameBytes);
            left[i] = int16_t(p[0] | p[1] << 8);
            int16_t right = int16_t(p[2] | p[3] << 8);
            EXPECT_EQ(left[i], right) << "frame " << i;  // a mono cue sounds on both sides
            if (left[i] != right)
                break;
        }
        return left;
    }
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

// Runs of sound in the output, separated by at least kGapFrames of silence.
struct SoundRun {
    size_t first, last;  // frames, inclusive
};

std::vector<SoundRun> soundRuns(const std::vector<int16_t>& out)
{
    std::vector<SoundRun> runs;
    size_t quiet = kGapFrames;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == 0) {
            ++quiet;
            continue;
        }
        if (quiet >= kGapFrames)
            runs.push_back({i, i});
        runs.back().last = i;
        quiet = 0;
    }
    return runs;
}

// Whether the whole cue appears, sample for sample, in the output near the
// start of `run`.
bool cueSoundsIn(const std::vector<int16_t>& out, const SoundRun& run, const std::vector<int16_t>& cue)
{
    size_t lead = 0;
    while (lead < cue.size() && std::abs(int(cue[lead])) <= kSampleTolerance)
        ++lead;
    for (long shift = -8; shift <= 8; ++shift) {
        long start = long(run.first) - long(lead) + shift;
        if (start < 0 || size_t(start) + cue.size() > out.size())
            continue;
        bool match = true;
        for (size_t k = 0; k < cue.size() && match; ++k)
            match = std::abs(int(out[start + k]) - int(cue[k])) <= kSampleTolerance;
        if (match)
            return true;
    }
    return false;
}

// Whether `a` and `b` started together (b at most a few mixer periods
// later, if a period began between the two calls) appear as their clamped
// sum near the start of `run`.
bool mixSoundsIn(const std::vector<int16_t>& out, const SoundRun& run, const std::vector<int16_t>& a,
                 const std::vector<int16_t>& b)
{
    size_t lead = 0;
    while (lead < a.size() && std::abs(int(a[lead])) <= kSampleTolerance)
        ++lead;
    for (size_t delay = 0; delay <= 4 * kMixerPeriodFrames; delay += kMixerPeriodFrames) {
        size_t length = std::max(a.size(), b.size() + delay);
        for (long shift = -8; shift <= 8; ++shift) {
            long start = long(run.first) - long(lead) + shift;
            if (start < 0 || size_t(start) + length > out.size())
                continue;
            bool match = true;
            for (size_t k = 0; k < length && match; ++k) {
                int sum = (k < a.size() ? a[k] : 0) + (k >= delay && k - delay < b.size() ? b[k - delay] : 0);
                int expected = std::clamp(sum, -32768, 32767);
                match = std::abs(int(out[start + k]) - expected) <= 2 * kSampleTolerance;
            }
            if (match)
                return true;
        }
    }
    return false;
}

}  // namespace

TEST_F(SoundDiskTest, PlayedCueSoundsAfterSilence)
{
    ASSERT_EQ(SoundStart(), 1);
    runOutput(kQuietBytes);
    long quietFrames = fileBytes() / kFrameBytes;
    ASSERT_GT(quietFrames, 0);
    SoundPlay("PopSound");
    playOut();
    runOutput(kQuietBytes);

    std::vector<int16_t> out = closeAndRead();
    std::vector<SoundRun> runs = soundRuns(out);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_GE(long(runs[0].first), quietFrames);  // silence until the cue was asked for
    std::vector<int16_t> pop = cueSamples("PopSound");
    EXPECT_TRUE(cueSoundsIn(out, runs[0], pop));
    EXPECT_LE(runs[0].last - runs[0].first + 1, pop.size());  // once, not looped
}

TEST_F(SoundDiskTest, GameLikeSequenceSoundsEveryCue)
{
    ASSERT_EQ(SoundStart(), 1);
    const char* sequence[] = {"ShootSound", "BounceSound", "ClickSound", "PopSound"};
    for (const char* cue : sequence) {
        runOutput(kQuietBytes / 2);
        SoundPlay(cue);
        playOut();
    }
    // A click and a pop in the same frame, as an attach that pops a group
    // starts both, then the same cue twice at once.
    runOutput(kQuietBytes / 2);
    SoundPlay("ClickSound");
    SoundPlay("PopSound");
    EXPECT_EQ(SoundReap(), 2);
    playOut();
    runOutput(kQuietBytes / 2);
    SoundPlay("PopSound");
    SoundPlay("PopSound");
    playOut();
    runOutput(kQuietBytes / 2);

    std::vector<int16_t> out = closeAndRead();
    std::vector<SoundRun> runs = soundRuns(out);
    ASSERT_EQ(runs.size(), 6u);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(sequence[i]);
        EXPECT_TRUE(cueSoundsIn(out, runs[i], cueSamples(sequence[i])));
        size_t frames = runs[i].last - runs[i].first + 1;
        EXPECT_LE(frames, cueSamples(sequence[i]).size());
    }
    // The pairs play over each other: the output is their sum, clamped by
    // the mixer rather than wrapped around (two pops at -3 dB overflow).
    EXPECT_TRUE(mixSoundsIn(out, runs[4], cueSamples("ClickSound"), cueSamples("PopSound")));
    EXPECT_TRUE(mixSoundsIn(out, runs[5], cueSamples("PopSound"), cueSamples("PopSound")));
}
