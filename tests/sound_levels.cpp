// The cues as the executable carries them: 22050 Hz 16-bit mono, faded at both
// ends (no click), even loudness, and no pile-up of the cues a game can sound
// at once reaches full scale in the mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "sound/Sound.h"

TEST(SoundLevels, EvenLoudnessAndNoClippingWhenTheCuesPileUp)
{
    enum { Shoot, Bounce, Click, Pop, Lose, Clear };
    std::vector<double> cue[6], level, peak;  // samples at full scale 1, levels in dBFS
    for (const char* name : {"ShootSound", "BounceSound", "ClickSound", "PopSound", "LoseSound", "ClearSound"}) {
        const unsigned char *fmt = nullptr, *data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(WaveFindResource(nullptr, name, &fmt, &data, &size), 1) << name;
        const WaveFormat f = WaveReadFormat(fmt);
        EXPECT_EQ(std::vector<long>({f.formatTag, f.channels, f.samplesPerSec, f.avgBytesPerSec, f.blockAlign, f.bitsPerSample}),
                  std::vector<long>({1, 1, 22050, 44100, 2, 16})) << name;
        std::vector<double>& s = cue[level.size()];
        for (uint32_t i = 0; i + 1 < size; i += 2) s.push_back(int16_t(data[i] | data[i + 1] << 8) / 32768.0);
        for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(std::abs(s[i]) < 0.006 && std::abs(s[s.size() - 1 - i]) < 0.006) << name;
        auto loud = [](double v) { return std::abs(v) >= 0.01; };  // the audible part: first to last sample at -40 dBFS or more
        const auto first = std::find_if(s.begin(), s.end(), loud), last = std::find_if(s.rbegin(), s.rend(), loud).base();
        ASSERT_LT(first, last) << name;
        level.push_back(10 * std::log10(std::inner_product(first, last, first, 0.0) / double(last - first)));
        peak.push_back(std::abs(*std::max_element(s.begin(), s.end(), [](double a, double b) { return std::abs(a) < std::abs(b); })));
    }
    std::vector<double> sorted = level;
    std::sort(sorted.begin(), sorted.end());
    for (double l : level) EXPECT_NEAR(l, (sorted[2] + sorted[3]) / 2, 3.0) << "against the median";
    // The click starts in the same frame as the pop or the loss; the others may be at their peaks just then.
    for (int with : {Pop, Lose}) {
        double together = 0;
        for (size_t i = 0; i < cue[with].size(); i++) together = std::max(together, std::abs(cue[with][i] + (i < cue[Click].size() ? cue[Click][i] : 0)));
        EXPECT_LE(20 * std::log10(together + peak[Shoot] + peak[Bounce] + (with == Pop ? peak[Clear] : 0)), -1.0) << with;
    }
}
