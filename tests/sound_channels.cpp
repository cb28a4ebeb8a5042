// The sixteen channels on a real (dummy) output: starting, playing,
// reaping, dropping, and running silent without a device.
#include "sound/Sound.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

namespace {

class SoundChannelsTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override { SoundShutdown(); }
};

std::vector<SoundBuffer*> slots()
{
    return std::vector<SoundBuffer*>(SoundChannels, SoundChannels + kSoundChannelCount);
}

int occupied()
{
    int n = 0;
    for (SoundBuffer* b : SoundChannels)
        n += b != nullptr;
    return n;
}

}  // namespace

TEST_F(SoundChannelsTest, SilentWhenOffOrWithoutADevice)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(SoundStart(), 0);
    SoundPlay("ShootSound");
    EXPECT_EQ(occupied(), 0);
    EXPECT_EQ(SoundReap(), 0);
    EXPECT_EQ(SoundBufferFromResource("PopSound"), nullptr);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);  // nothing left half-open
    SoundShutdown();

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("LoseSound");
    EXPECT_EQ(SoundReap(), 1);
    // Closing stops and frees what still plays (the sanitizer checks the
    // freeing); afterwards everything is off again.
    SoundShutdown();
    EXPECT_EQ(occupied(), 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);  // a later start may pick another driver
    SoundPlay("LoseSound");
    EXPECT_EQ(occupied(), 0);
    EXPECT_EQ(SoundReap(), 0);
}

TEST_F(SoundChannelsTest, StartTwiceKeepsChannelsAndOneCuePlaysTwice)
{
    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("PopSound");
    SoundBuffer* first = SoundChannels[0];
    EXPECT_EQ(SoundStart(), 1);
    EXPECT_EQ(SoundChannels[0], first);
    SoundPlay("popsound");  // names match without regard to case
    SoundPlay("NoSuchSound");
    ASSERT_NE(SoundChannels[1], nullptr);
    EXPECT_NE(SoundChannels[1]->chunk, first->chunk);
    EXPECT_EQ(occupied(), 2);
    EXPECT_TRUE(Mix_Playing(0) && Mix_Playing(1));
    EXPECT_EQ(SoundReap(), 2);
}

TEST_F(SoundChannelsTest, SeventeenthCueIsDropped)
{
    ASSERT_EQ(SoundStart(), 1);
    for (int i = 0; i < kSoundChannelCount; ++i)
        SoundPlay("LoseSound");
    std::vector<SoundBuffer*> before = slots();
    std::set<SoundBuffer*> distinct(before.begin(), before.end());
    EXPECT_EQ(distinct.size(), size_t(kSoundChannelCount));
    EXPECT_EQ(distinct.count(nullptr), 0u);
    SoundPlay("ShootSound");
    EXPECT_EQ(slots(), before);
    EXPECT_EQ(SoundReap(), kSoundChannelCount);
}

TEST_F(SoundChannelsTest, ReapFreesAFinishedCueAndItsSlotIsReused)
{
    ASSERT_EQ(SoundStart(), 1);
    SoundPlay("LoseSound");    // 3.2 s: plays throughout
    SoundPlay("BounceSound");  // 0.06 s
    SoundBuffer* lose = SoundChannels[0];
    int playing = SoundReap();
    EXPECT_EQ(playing, 2);
    for (Uint32 start = SDL_GetTicks(); playing == 2 && SDL_GetTicks() - start < 2000;) {
        SDL_Delay(5);
        playing = SoundReap();
    }
    EXPECT_EQ(playing, 1);
    EXPECT_EQ(SoundChannels[0], lose);
    EXPECT_EQ(SoundChannels[1], nullptr);
    SoundPlay("ClickSound");  // the lowest empty slot
    EXPECT_NE(SoundChannels[1], nullptr);
}

TEST_F(SoundChannelsTest, BufferHoldsTheCueInTheDeviceFormat)
{
    EXPECT_EQ(SoundOpenDevice(22050, 12, 2), 0);
    ASSERT_EQ(SoundStart(), 1);
    SoundBuffer* pop = SoundBufferFromResource("PopSound");
    ASSERT_NE(pop, nullptr);
    EXPECT_EQ(Mix_Playing(0), 0);  // made, not started
    // Mono to the 16-bit stereo output at the same rate: twice the bytes.
    EXPECT_EQ(pop->chunk->alen, 2u * 9086u);

    const unsigned char* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(WaveFindResource(nullptr, "PopSound", nullptr, &data, &size), 1);
    // A refill drops a partial last frame; nothing, too much or no source
    // is refused and leaves the buffer as it was.
    ASSERT_EQ(SoundBufferFill(pop, data, 9085), 1);
    EXPECT_EQ(pop->chunk->alen, 2u * 9084u);
    for (uint32_t count : {0u, 1u, 9088u})
        EXPECT_EQ(SoundBufferFill(pop, data, count), 0) << count;
    EXPECT_EQ(SoundBufferFill(pop, nullptr, 100), 0);
    EXPECT_EQ(pop->chunk->alen, 2u * 9084u);
    SoundBufferRelease(pop);
}
