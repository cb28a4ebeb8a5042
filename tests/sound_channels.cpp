// The sixteen channels on real outputs: starting, playing, reaping, dropping, running silent
// without a device, and cues heard through SDL's disk output (the mix, written to a file).
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "sound/Limiter.h"
#include "sound/Sound.h"

using V = std::vector<long>;
using Samples = std::vector<int16_t>;

static long occupied() {
    return kSoundChannelCount - std::count(SoundChannels, SoundChannels + kSoundChannelCount, nullptr);
}

TEST(SoundChannels, OneCueOnTwoChannelsReapedTheSeventeenthDroppedSilentWithoutADevice) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(SoundStart(), 0);
    SoundPlay("ShootSound");
    EXPECT_EQ(V({occupied(), SoundReap(), SoundBufferFromResource("PopSound") != nullptr, SDL_WasInit(SDL_INIT_AUDIO)}),
              V({0, 0, 0, 0}));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("LoseSound");  // 3.2 s: plays throughout
    SoundBuffer* first = SoundChannels[0];
    EXPECT_EQ(SoundStart(), 1);  // keeps what plays
    SoundPlay("bouncesound");    // 0.06 s; names match without regard to case
    SoundPlay("NoSuchSound");
    ASSERT_EQ(occupied(), 2);
    EXPECT_TRUE(Mix_Playing(0) && Mix_Playing(1));
    int playing = SoundReap();
    for (Uint32 start = SDL_GetTicks(); playing == 2 && SDL_GetTicks() - start < 2000; playing = SoundReap())
        SDL_Delay(5);
    EXPECT_EQ(V({playing, SoundChannels[0] == first, SoundChannels[1] == nullptr}), V({1, 1, 1}));
    for (int i = 1; i < kSoundChannelCount; ++i) SoundPlay("LoseSound");  // from the lowest empty slot on
    const std::vector<SoundBuffer*> before(SoundChannels, SoundChannels + kSoundChannelCount);
    EXPECT_EQ(V({long(std::set<SoundBuffer*>(before.begin(), before.end()).size()), occupied()}),
              V({16, 16}));  // distinct, none empty
    SoundPlay("ShootSound");
    EXPECT_EQ(std::vector<SoundBuffer*>(SoundChannels, SoundChannels + kSoundChannelCount), before);
    EXPECT_EQ(SoundReap(), kSoundChannelCount);
    SoundShutdown();  // stops and frees what still plays; a later start may pick another driver
    SoundPlay("LoseSound");
    EXPECT_EQ(V({occupied(), SoundReap(), SDL_WasInit(SDL_INIT_AUDIO)}), V({0, 0, 0}));
}

// Little-endian 16-bit samples, one every `stride` bytes.
static Samples samples(const unsigned char* bytes, size_t count, size_t stride) {
    Samples s(count / stride);
    for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(bytes[stride * i] | bytes[stride * i + 1] << 8);
    return s;
}

// Shoot, bounce, click and pop, each after the last has ended: every cue must be
// heard whole, in both sides of the stereo output, after silence, and nothing more;
// lifted by the make-up gain, none of them loud enough alone to be limited.
TEST(SoundDisk, GameLikeSequenceSoundsEveryCueAfterSilence) {
    const std::string path = ::testing::TempDir() + "kelvane-sound-" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    auto bytes = [&] {
        std::error_code missing;
        return long(std::filesystem::file_size(path, missing));
    };
    auto runQuiet = [&] {  // until no cue plays and about 0.09 s of silence followed
        const Uint32 start = SDL_GetTicks();
        while (SoundReap() > 0 && SDL_GetTicks() - start < 5000) SDL_Delay(5);
        for (const long target = bytes() + 8192; bytes() < target && SDL_GetTicks() - start < 5000;) SDL_Delay(5);
    };
    ASSERT_EQ(SoundStart(), 1);
    runQuiet();
    const char* sequence[] = {"ShootSound", "BounceSound", "ClickSound", "PopSound"};
    for (const char* name : sequence) SoundPlay(name), runQuiet();
    SoundShutdown();
    size_t size = 0;
    unsigned char* file = static_cast<unsigned char*>(SDL_LoadFile(path.c_str(), &size));
    std::filesystem::remove(path);
    ASSERT_NE(file, nullptr);
    const Samples out = samples(file, size, 4), right = samples(file + 2, size, 4);
    SDL_free(file);
    ASSERT_TRUE(out == right);
    std::vector<size_t> starts;  // sounds after at least 500 frames of silence
    for (size_t i = 0, quiet = 500; i < out.size(); quiet = out[i++] == 0 ? quiet + 1 : 0)
        if (out[i] != 0 && quiet >= 500) starts.push_back(i);
    ASSERT_EQ(starts.size(), 4u);
    const double gain = std::pow(10.0, kLimiterMakeUpDb / 20);
    for (int i = 0; i < 4; ++i) {
        // The cue's samples lifted, aligned by its first audible one, within the conversion's rounding.
        const unsigned char* data = nullptr;
        uint32_t length = 0;
        WaveFindResource(nullptr, sequence[i], nullptr, &data, &length);
        const Samples cue = samples(data, length, 2);
        long lead = std::find_if(cue.begin(), cue.end(), [](int16_t v) { return std::abs(v) > 4; }) - cue.begin(),
             at = -9, from = 0;
        for (bool found = false; !found && ++at <= 8;) {
            from = long(starts[i]) - lead + at;
            found = from >= 0 && from + cue.size() <= out.size();
            for (size_t k = 0; k < cue.size() && found; ++k)
                found = std::abs(out[from + k] - cue[k] * gain) <= 4 * gain + 1;
        }
        ASSERT_LE(at, 8) << sequence[i] << " not found";
        const size_t next = std::max(i < 3 ? starts[i + 1] : out.size(), from + cue.size());
        EXPECT_TRUE(std::all_of(out.begin() + from + cue.size(), out.begin() + next, [](int16_t v) { return v == 0; }))
            << sequence[i];
    }
}
