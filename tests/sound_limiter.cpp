// The limiter on the mixed output: what the worst can send it comes out under
// the ceiling, and the buffers' sizes change nothing. The cues leave the
// mixer room to add them up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "sound/Limiter.h"
#include "sound/Sound.h"

using Pcm = std::vector<int16_t>;  // stereo, interleaved
constexpr double kPi = std::numbers::pi;

// The highest point of the waveform a converter rebuilds, in dB of full scale:
// eight points per sample step, a Blackman-windowed sinc 64 samples long.
static double truePeakDb(const Pcm& pcm) {
    constexpr long kHalf = 32;
    static double kernel[8][2 * kHalf];
    for (int p = 0; p < 8; p++)
        for (long i = 0; i < 2 * kHalf; i++) {
            const double t = double(kHalf - 1 - i) + p / 8.0, w = t / kHalf;
            kernel[p][i] = (t == 0 ? 1 : std::sin(kPi * t) / (kPi * t)) *
                           (0.42 + 0.5 * std::cos(kPi * w) + 0.08 * std::cos(2 * kPi * w));
        }
    const long frames = long(pcm.size() / 2);
    double peak = 0;
    for (int c = 0; c < 2; c++)
        for (long n = 0; n < frames; n++)
            for (int p = 0; p < 8; p++) {
                double v = 0;
                for (long i = std::max(0L, kHalf - 1 - n); i < 2 * kHalf && n - kHalf + 1 + i < frames; i++)
                    v += pcm[size_t(2 * (n - kHalf + 1 + i) + c)] * kernel[p][i];
                peak = std::max(peak, std::abs(v) / 32768);
            }
    return 20 * std::log10(peak);
}

// `pcm` through a freshly reset limiter in buffers of the given sizes, in turn.
static Pcm limit(Limiter* l, Pcm pcm, const std::vector<int32_t>& buffers) {
    EXPECT_EQ(LimiterReset(l, 22050, 2), 1);
    const int32_t frames = int32_t(pcm.size() / 2);
    for (int32_t at = 0, b = 0; at < frames; at += buffers[size_t(b++) % buffers.size()])
        LimiterProcess(l, pcm.data() + 2 * at, std::min(buffers[size_t(b) % buffers.size()], frames - at));
    return pcm;
}

TEST(SoundLimiter, TheWorstInputStaysUnderTheCeilingWhateverTheBuffers) {
    // Worse than any pile-up of the cues a game can sound at once: five of
    // them, each at its peak in the same frame. The mixer adds them before
    // the limiter and clamps at full scale: they must not reach it there.
    std::vector<int> sum(16000, 0);
    for (const char* name : {"ClickSound", "PopSound", "ShootSound", "BounceSound", "ClearSound"}) {
        const unsigned char* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(WaveFindResource(nullptr, name, nullptr, &data, &size), 1) << name;
        Pcm s;
        for (uint32_t i = 0; i + 1 < size; i += 2) s.push_back(int16_t(data[i] | data[i + 1] << 8));
        const long top =
            std::max_element(s.begin(), s.end(), [](int a, int b) { return std::abs(a) < std::abs(b); }) - s.begin();
        for (long i = std::max(0L, top - 4000); i < std::min(long(s.size()), top + 12000); i++)
            sum[size_t(4000 + i - top)] += s[size_t(i)];
    }
    EXPECT_LE(*std::max_element(sum.begin(), sum.end(), [](int a, int b) { return std::abs(a) < std::abs(b); }),
              32768 * std::pow(10, -1.0 / 20));
    Pcm mix;
    for (int v : sum) mix.insert(mix.end(), 2, int16_t(v));
    // A full-scale square wave, then clicks: lone samples and sign flips at full scale.
    for (long i = 0; i < 11025; i++) mix.insert(mix.end(), 2, int16_t((i / 11) % 2 ? 32767 : -32768));
    mix.insert(mix.end(), 4410, 0);
    for (long i = 0; i < 4410; i++)
        mix.insert(mix.end(), 2, int16_t(i % 300 == 0 ? 32767 : i % 300 == 1 ? -32768 : i % 97 == 0 ? -32768 : 0));
    mix.insert(mix.end(), 8820, 0);

    static Limiter l;  // large: off the stack
    const Pcm whole = limit(&l, mix, {int32_t(mix.size())});
    EXPECT_GT(l.stats.reduced, 0u);
    EXPECT_LE(truePeakDb(whole), -1.0);
    EXPECT_LT(*std::max_element(whole.begin(), whole.end(), [](int a, int b) { return std::abs(a) < std::abs(b); }),
              32767);
    // The same output cut into any buffers (512 frames as the mixer asks, odd
    // sizes, single frames), after a reset from what came before.
    EXPECT_TRUE(limit(&l, mix, {512}) == whole);
    EXPECT_TRUE(limit(&l, mix, {1, 7, 300, 2, 1023}) == whole);
    // (That a quiet mix is merely lifted by the make-up gain, the disk output
    // test hears: every cue alone comes out as its samples lifted.)
}
