// The game's images: created from the carried bitmaps, the tinted ball strip,
// reloading, release, and the silent exit when a picture will not load.
#include <gtest/gtest.h>

#include "rules_support.h"

namespace {

uint32_t pixelAt(Image* image, int32_t x, int32_t y) {
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(image, nullptr, &pixels, nullptr, &pitch, nullptr);
    const uint32_t v = pixels != nullptr ? pixels[y * pitch + x] : 0xDEADBEEFu;
    ImageUnlock(image, nullptr);
    return v;
}

uint32_t tinted(uint32_t pixel, uint32_t colour) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= ((((pixel >> shift) & 0xFFu) * ((colour >> shift) & 0xFFu)) / 256u) << shift;
    }
    return out;
}

bool picturesCarried() {
    return ResourceFind("MyBackBitmap", kResourceBitmap) && ResourceFind("MyBallBitmap", kResourceBitmap) &&
           ResourceFind("MyCannonBitmap", kResourceBitmap);
}

}  // namespace

TEST(GameImages, CreatedLoadedAndStripTintedFromTheBall) {
    if (!picturesCarried()) GTEST_SKIP() << "this build carries no pictures";
    ReleaseGameImages();
    CreateGameImages();
    LoadGameImages();
    EXPECT_EQ(backImage.width, 640);
    EXPECT_EQ(backImage.height, 480);
    EXPECT_EQ(ballImage.width, 32);
    EXPECT_EQ(ballImage.height, 32);
    EXPECT_EQ(tintImage.width, 32);
    EXPECT_EQ(tintImage.height, 32);
    EXPECT_EQ(ballStrip.width, 9 * 32);
    EXPECT_EQ(ballStrip.height, 32);
    EXPECT_EQ(cannonImage.width, 184);
    EXPECT_EQ(cannonImage.height, 184);
    EXPECT_EQ(cannonTurnImage.width, 184);
    EXPECT_EQ(cannonTurnImage.height, 184);

    auto checkStrip = [] {
        int lit = 0;
        for (int32_t i = 0; i <= kColorCount; i++) {
            for (int32_t y = 0; y < 32; y++) {
                for (int32_t x = 0; x < 32; x++) {
                    const uint32_t ball = pixelAt(&ballImage, x, y);
                    ASSERT_EQ(pixelAt(&ballStrip, i * 32 + x, y), tinted(ball, BallPalette[i]))
                        << "cell " << i << " at " << x << "," << y;
                    lit += i == 0 && ball != 0;
                }
            }
        }
        EXPECT_GT(lit, 500);  // a real ball, which cell 0 blacks out entirely
    };
    checkStrip();
    // White keeps the ball nearly as it is: 255/256 of each channel.
    EXPECT_EQ(pixelAt(&ballStrip, 7 * 32 + 16, 16), tinted(pixelAt(&ballImage, 16, 16), 0xFFFFFF));
    EXPECT_NE(pixelAt(&ballStrip, 7 * 32 + 16, 16), 0u);

    // After the surfaces come back empty, a reload rebuilds everything.
    ImageClear(&ballStrip, 0xFFFFFF);
    ImageClear(&ballImage, 0);
    RestoreGameImages();
    LoadGameImages();
    checkStrip();

    ReleaseGameImages();
    EXPECT_EQ(backImage.surface, nullptr);
    EXPECT_EQ(ballStrip.surface, nullptr);
    EXPECT_EQ(cannonTurnImage.surface, nullptr);
    ReleaseGameImages();  // twice, or before any creation, is harmless
}

TEST(GameImagesDeathTest, APictureOfTheWrongSizeEndsTheProgramSilently) {
    if (!picturesCarried()) GTEST_SKIP() << "this build carries no pictures";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ReleaseGameImages();
            CreateGameImages();
            ImageCreate(&ballImage, nullptr, 30, 30, 1);  // no longer the bitmap's size
            LoadGameImages();
        },
        ::testing::ExitedWithCode(1), "^$");
    EXPECT_EXIT(
        {
            ReleaseGameImages();
            CreateGameImages();
            ImageRelease(&cannonImage);  // a picture without a surface
            LoadGameImages();
        },
        ::testing::ExitedWithCode(1), "^$");
}
