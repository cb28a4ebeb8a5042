// The game's images: sizes from the carried bitmaps, the tinted ball strip,
// reloading, release, and the silent exit when a picture will not load.
#include <gtest/gtest.h>

#include "rules_support.h"

namespace {

uint32_t pixelAt(Image* image, int32_t x, int32_t y) {
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(image, nullptr, &pixels, nullptr, &pitch, nullptr);
    const uint32_t v = pixels[y * pitch + x];
    ImageUnlock(image, nullptr);
    return v;
}

bool picturesCarried() {
    return ResourceFind("MyBackBitmap", kResourceBitmap) && ResourceFind("MyBallBitmap", kResourceBitmap) &&
           ResourceFind("MyCannonBitmap", kResourceBitmap);
}

void expectStripTintedFromBall() {
    int lit = 0;
    for (int32_t i = 0; i <= kColorCount; i++)
        for (int32_t y = 0; y < 32; y++)
            for (int32_t x = 0; x < 32; x++) {
                const uint32_t ball = pixelAt(&ballImage, x, y);
                uint32_t want = 0;  // each channel x the colour's channel / 256
                for (int s = 0; s <= 16; s += 8) want |= (((ball >> s) & 255) * ((BallPalette[i] >> s) & 255) / 256) << s;
                ASSERT_EQ(pixelAt(&ballStrip, i * 32 + x, y), want) << "cell " << i << " at " << x << "," << y;
                lit += i == 7 && want != 0;
            }
    EXPECT_GT(lit, 500);  // white leaves a visible ball; cell 0 is all black
}

}  // namespace

TEST(GameImages, CreatedLoadedReloadedAndReleased) {
    if (!picturesCarried()) GTEST_SKIP() << "this build carries no pictures";
    ReleaseGameImages();
    CreateGameImages();
    LoadGameImages();
    const Image* images[] = {&backImage, &ballImage, &tintImage, &ballStrip, &cannonImage, &cannonTurnImage};
    const int32_t sizes[][2] = {{640, 480}, {32, 32}, {32, 32}, {288, 32}, {184, 184}, {184, 184}};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(images[i]->width, sizes[i][0]) << i;
        EXPECT_EQ(images[i]->height, sizes[i][1]) << i;
    }
    expectStripTintedFromBall();
    ImageClear(&ballStrip, 0xFFFFFF);  // surfaces that came back without their pixels
    ImageClear(&ballImage, 0);
    RestoreGameImages();
    LoadGameImages();
    expectStripTintedFromBall();
    ReleaseGameImages();
    for (const Image* image : images) EXPECT_EQ(image->surface, nullptr);
    ReleaseGameImages();  // twice is harmless
}

TEST(GameImagesDeathTest, APictureThatWillNotLoadEndsTheProgramSilently) {
    if (!picturesCarried()) GTEST_SKIP() << "this build carries no pictures";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CreateGameImages();
            ImageCreate(&ballImage, nullptr, 30, 30, 1);  // no longer the bitmap's size
            LoadGameImages();
        },
        ::testing::ExitedWithCode(1), "^$");
    EXPECT_EXIT(
        {
            CreateGameImages();
            ImageRelease(&cannonImage);
            LoadGameImages();
        },
        ::testing::ExitedWithCode(1), "^$");
}
