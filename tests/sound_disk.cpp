// Cues heard for real: SDL's disk output writes the mixed stream to a file,
// paced like a sound card, and the test finds each cue's samples in it.
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

using Samples = std::vector<int16_t>;

constexpr long kQuietBytes = 8192;         // about 0.09 s of 16-bit stereo output
constexpr size_t kGapFrames = 500;         // silence that separates two sounds
constexpr size_t kMixerPeriod = 512;       // frames the mixer fills per call
constexpr int kTolerance = 4;              // rounding in the mono-to-stereo conversion
constexpr Uint32 kDeadlineMs = 5000;

long fileBytes(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? long(st.st_size) : 0;
}

// Lets the output run on (reaping each "frame") until no cue plays and the
// file has grown by `bytes` of silence.
void runQuiet(const std::string& path)
{
    Uint32 start = SDL_GetTicks();
    while (SoundReap() > 0 && SDL_GetTicks() - start < kDeadlineMs)
        SDL_Delay(5);
    long target = fileBytes(path) + kQuietBytes;
    while (fileBytes(path) < target && SDL_GetTicks() - start < kDeadlineMs)
        SDL_Delay(5);
}

Samples cueSamples(const char* name)
{
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    WaveFindResource(nullptr, name, nullptr, &data, &size);
    Samples s(size / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(data[2 * i] | data[2 * i + 1] << 8);
    return s;
}

struct Span {
    size_t first, last;  // frames, inclusive
};

// Stretches of sound separated by at least kGapFrames of silence.
std::vector<Span> soundSpans(const Samples& out)
{
    std::vector<Span> spans;
    size_t quiet = kGapFrames;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == 0) {
            ++quiet;
            continue;
        }
        if (quiet >= kGapFrames)
            spans.push_back({i, i});
        spans.back().last = i;
        quiet = 0;
    }
    return spans;
}

// Whether `span` holds cue `a` mixed with cue `b` (empty for none) started
// in the same frame: b may begin a mixer period or two later if the mixer
// ran between the calls. The mix must be the sum clamped, never wrapped.
bool spanHolds(const Samples& out, const Span& span, const Samples& a, const Samples& b = {})
{
    size_t lead = 0;
    while (lead < a.size() && std::abs(int(a[lead])) <= kTolerance)
        ++lead;
    for (size_t delay = 0; delay <= (b.empty() ? 0 : 2 * kMixerPeriod); delay += kMixerPeriod) {
        size_t length = std::max(a.size(), b.empty() ? 0 : b.size() + delay);
        for (long start = long(span.first - lead) - 8; start <= long(span.first - lead) + 8; ++start) {
            bool match = start >= 0 && size_t(start) + length <= out.size();
            for (size_t k = 0; k < length && match; ++k) {
                int sum = (k < a.size() ? a[k] : 0) + (k >= delay && k - delay < b.size() ? b[k - delay] : 0);
                match = std::abs(out[start + k] - std::clamp(sum, -32768, 32767)) <= kTolerance;
            }
            if (match && span.last < start + length)
                return true;
        }
    }
    return false;
}

}  // namespace

TEST(SoundDisk, GameLikeSequenceSoundsEveryCueAfterSilence)
{
    std::string path = ::testing::TempDir() + "kelvane-sound-" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    ASSERT_EQ(SoundStart(), 1);
    runQuiet(path);
    long quietFrames = fileBytes(path) / 4;
    ASSERT_GT(quietFrames, 0);

    const char* sequence[] = {"ShootSound", "BounceSound", "ClickSound", "PopSound"};
    for (const char* cue : sequence) {
        SoundPlay(cue);
        runQuiet(path);
    }
    // An attach that pops a group starts a click and a pop in one frame;
    // two pops at once overflow 16 bits and must clamp.
    SoundPlay("ClickSound");
    SoundPlay("PopSound");
    runQuiet(path);
    SoundPlay("PopSound");
    SoundPlay("PopSound");
    runQuiet(path);
    SoundShutdown();

    std::ifstream in(path, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), {});
    std::remove(path.c_str());
    Samples out(raw.size() / 4);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto* frame = reinterpret_cast<const unsigned char*>(&raw[4 * i]);
        out[i] = int16_t(frame[0] | frame[1] << 8);
        ASSERT_EQ(out[i], int16_t(frame[2] | frame[3] << 8)) << "both sides, frame " << i;
    }

    std::vector<Span> spans = soundSpans(out);
    ASSERT_EQ(spans.size(), 6u);
    EXPECT_GE(long(spans[0].first), quietFrames);  // silence until the first cue was asked for
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(spanHolds(out, spans[i], cueSamples(sequence[i]))) << sequence[i];
    EXPECT_TRUE(spanHolds(out, spans[4], cueSamples("ClickSound"), cueSamples("PopSound")));
    EXPECT_TRUE(spanHolds(out, spans[5], cueSamples("PopSound"), cueSamples("PopSound")));
}
