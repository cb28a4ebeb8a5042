// The sixteen channels on a real (dummy) output: starting, playing,
// reaping, dropping, and running silent without a device.
#include "sound/Sound.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <set>

namespace {

class SoundChannelsTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override { SoundShutdown(); }
};

std::array<SoundBuffer*, kSoundChannelCount> slots()
{
    std::array<SoundBuffer*, kSoundChannelCount> s;
    for (int i = 0; i < kSoundChannelCount; ++i)
        s[i] = SoundChannels[i];
    return s;
}

int occupied()
{
    int n = 0;
    for (SoundBuffer* b : SoundChannels)
        n += b != nullptr;
    return n;
}

// Reaps once per "frame" until fewer than `count` channels play or the
// deadline passes; returns the last count.
int reapUntilBelow(int count, Uint32 deadlineMs)
{
    Uint32 start = SDL_GetTicks();
    int playing = SoundReap();
    while (playing >= count && SDL_GetTicks() - start < deadlineMs) {
        SDL_Delay(5);
        playing = SoundReap();
    }
    return playing;
}

}  // namespace

TEST_F(SoundChannelsTest, OffBeforeStartAndAfterShutdown)
{
    SoundPlay("ShootSound");
    EXPECT_EQ(occupied(), 0);
    EXPECT_EQ(SoundReap(), 0);
    EXPECT_EQ(SoundBufferFromResource("ShootSound"), nullptr);

    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("LoseSound");
    EXPECT_EQ(SoundReap(), 1);
    // Closing stops and frees what still plays (the sanitizer checks the
    // freeing); afterwards everything is off again.
    SoundShutdown();
    EXPECT_EQ(occupied(), 0);
    EXPECT_EQ(SoundReap(), 0);
    SoundPlay("LoseSound");
    EXPECT_EQ(occupied(), 0);
    SoundShutdown();
    SoundCloseDevice();
}

TEST_F(SoundChannelsTest, MissingDriverLeavesTheGameSilent)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(SoundStart(), 0);
    SoundPlay("ShootSound");
    SoundPlay("PopSound");
    EXPECT_EQ(occupied(), 0);
    EXPECT_EQ(SoundReap(), 0);
    EXPECT_EQ(SoundBufferFromResource("PopSound"), nullptr);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);  // nothing half-open left behind
    SoundShutdown();

    // A later start with a working output succeeds.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(SoundStart(), 1);
}

TEST_F(SoundChannelsTest, StartTwiceKeepsTheChannels)
{
    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("LoseSound");
    SoundBuffer* first = SoundChannels[0];
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SoundStart(), 1);
    EXPECT_EQ(SoundChannels[0], first);
    EXPECT_EQ(SoundReap(), 1);
}

TEST_F(SoundChannelsTest, SameCueTwicePlaysOnTwoChannels)
{
    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("PopSound");
    SoundPlay("popsound");  // names match without regard to case
    ASSERT_NE(SoundChannels[0], nullptr);
    ASSERT_NE(SoundChannels[1], nullptr);
    EXPECT_NE(SoundChannels[0], SoundChannels[1]);
    EXPECT_NE(SoundChannels[0]->chunk, SoundChannels[1]->chunk);
    EXPECT_EQ(Mix_Playing(0), 1);
    EXPECT_EQ(Mix_Playing(1), 1);
    EXPECT_EQ(SoundReap(), 2);
}

TEST_F(SoundChannelsTest, UnknownCueLeavesItsSlotEmpty)
{
    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("NoSuchSound");
    SoundPlay("");
    SoundPlay(nullptr);
    EXPECT_EQ(occupied(), 0);
    SoundPlay("ClickSound");
    EXPECT_NE(SoundChannels[0], nullptr);
}

TEST_F(SoundChannelsTest, SeventeenthCueIsDropped)
{
    ASSERT_EQ(SoundStart(), 1);
    for (int i = 0; i < kSoundChannelCount; ++i)
        SoundPlay("LoseSound");
    auto before = slots();
    std::set<SoundBuffer*> distinct(before.begin(), before.end());
    EXPECT_EQ(distinct.size(), size_t(kSoundChannelCount));
    EXPECT_EQ(distinct.count(nullptr), 0u);

    SoundPlay("ShootSound");
    EXPECT_EQ(slots(), before);
    EXPECT_EQ(SoundReap(), kSoundChannelCount);
    EXPECT_EQ(slots(), before);
}

TEST_F(SoundChannelsTest, ReapFreesAFinishedCueAndItsSlotIsReused)
{
    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("LoseSound");    // 3.2 s: still playing throughout
    SoundPlay("BounceSound");  // 0.06 s
    EXPECT_EQ(SoundReap(), 2);
    SoundBuffer* lose = SoundChannels[0];

    EXPECT_EQ(reapUntilBelow(2, 2000), 1);
    EXPECT_EQ(SoundChannels[0], lose);
    EXPECT_EQ(SoundChannels[1], nullptr);
    // The lowest empty slot takes the next cue.
    SoundPlay("ClickSound");
    EXPECT_NE(SoundChannels[1], nullptr);
    EXPECT_EQ(SoundReap(), 2);
}

TEST_F(SoundChannelsTest, BufferHoldsTheCueInTheDeviceFormat)
{
    ASSERT_EQ(SoundStart(), 1);
    int rate = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_NE(Mix_QuerySpec(&rate, &format, &channels), 0);
    ASSERT_EQ(rate, 22050);
    ASSERT_EQ(format, AUDIO_S16LSB);
    ASSERT_EQ(channels, 2);

    SoundBuffer* pop = SoundBufferFromResource("PopSound");
    ASSERT_NE(pop, nullptr);
    EXPECT_EQ(pop->capacity, 9086u);
    // Mono to stereo at the same rate and size: twice the bytes.
    EXPECT_EQ(pop->chunk->alen, 2u * 9086u);
    EXPECT_EQ(pop->chunk->abuf, pop->samples);
    EXPECT_EQ(Mix_Playing(0), 0);  // made, not started

    const unsigned char* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(WaveFindResource(nullptr, "PopSound", nullptr, &data, &size), 1);
    // Refills: a partial last frame is dropped; nothing, too much, or no
    // source is refused and leaves the buffer as it was.
    ASSERT_EQ(SoundBufferFill(pop, data, 9085), 1);
    EXPECT_EQ(pop->chunk->alen, 2u * 9084u);
    EXPECT_EQ(SoundBufferFill(pop, data, 0), 0);
    EXPECT_EQ(SoundBufferFill(pop, data, 1), 0);
    EXPECT_EQ(SoundBufferFill(pop, data, 9088), 0);
    EXPECT_EQ(SoundBufferFill(pop, nullptr, 100), 0);
    EXPECT_EQ(SoundBufferFill(nullptr, data, 100), 0);
    EXPECT_EQ(pop->chunk->alen, 2u * 9084u);
    SoundBufferRelease(pop);
    SoundBufferRelease(nullptr);
}

TEST_F(SoundChannelsTest, OpenDeviceRefusesFormatsItCannotOpen)
{
    EXPECT_EQ(SoundOpenDevice(22050, 12, 2), 0);
    EXPECT_EQ(SoundOpenDevice(0, 16, 2), 0);
    EXPECT_EQ(SoundOpenDevice(22050, 16, 0), 0);
    EXPECT_EQ(SoundReap(), 0);
    ASSERT_EQ(SoundOpenDevice(22050, 16, 2), 1);
    EXPECT_EQ(SoundOpenDevice(44100, 8, 1), 1);  // already open: unchanged
    int rate = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_NE(Mix_QuerySpec(&rate, &format, &channels), 0);
    EXPECT_EQ(rate, 22050);
    SoundCloseDevice();
    EXPECT_EQ(Mix_QuerySpec(&rate, &format, &channels), 0);
}
