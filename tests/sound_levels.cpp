// The cues as the executable carries them: even loudness, and no pile-up of
// the cues a game can sound at once reaches full scale in the mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "sound/Sound.h"

static std::vector<double> cue(const char* name)  // full scale = 1
{
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(WaveFindResource(nullptr, name, nullptr, &data, &size), 1) << name;
    std::vector<double> s(size / 2);
    for (size_t i = 0; i < s.size(); i++) s[i] = int16_t(data[2 * i] | data[2 * i + 1] << 8) / 32768.0;
    return s;
}

static double dB(double x) { return 20 * std::log10(x); }
static double peak(const std::vector<double>& s) { return std::abs(*std::max_element(s.begin(), s.end(), [](double a, double b) { return std::abs(a) < std::abs(b); })); }

TEST(SoundLevels, EvenLoudnessAndNoClippingWhenTheCuesPileUp)
{
    std::map<std::string, std::vector<double>> cues;
    std::vector<double> levels;
    for (const char* name : {"ShootSound", "BounceSound", "ClickSound", "PopSound", "LoseSound", "ClearSound"}) {
        const std::vector<double>& s = cues[name] = cue(name);
        auto loud = [](double v) { return std::abs(v) >= 0.01; };  // the audible part: first to last sample at -40 dBFS or more
        const auto first = std::find_if(s.begin(), s.end(), loud), last = std::find_if(s.rbegin(), s.rend(), loud).base();
        ASSERT_LT(first, last) << name;
        double sum = 0;
        for (auto v = first; v != last; ++v) sum += *v * *v;
        levels.push_back(dB(std::sqrt(sum / double(last - first))));
    }
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    const double median = (sorted[2] + sorted[3]) / 2;
    for (size_t i = 0; i < levels.size(); i++) EXPECT_NEAR(levels[i], median, 3.0) << "cue " << i << " against the median " << median;
    // The click starts with the pop or the loss in the same frame; the others may be at their peaks at that moment.
    for (const char* withClick : {"PopSound", "LoseSound"}) {
        std::vector<double> together = cues[withClick];
        together.resize(std::max(together.size(), cues["ClickSound"].size()));
        const std::vector<double>& click = cues["ClickSound"];
        for (size_t i = 0; i < click.size(); i++) together[i] += click[i];
        const double worst = peak(together) + peak(cues["ShootSound"]) + peak(cues["BounceSound"]) + (withClick == std::string("PopSound") ? peak(cues["ClearSound"]) : 0);
        EXPECT_LE(dB(worst), -1.0) << "click with " << withClick;
    }
}
