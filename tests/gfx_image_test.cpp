// Images on memory buffers: creation, fills, an Image without pixels and the
// screenshot file. Damaged bitmaps are the fuzz target's (fuzz_bitmap.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include "tests/gfx_support.h"

TEST(GfxImage, CreateReleaseAndFill) {
    Image img;
    for (int32_t w : {1, 17, 640}) {  // aligned rows, cleared; a second create over a live one leaks nothing
        ASSERT_TRUE(ImageCreate(&img, nullptr, w, 3, 0) && ImageCreate(&img, nullptr, w, 3, 0));
        uint32_t* p;
        int32_t pitch;
        ImageLock(&img, &img, &p, &p, &pitch, &pitch);
        EXPECT_TRUE(pitch >= w && pitch % 16 == 0 && reinterpret_cast<uintptr_t>(p) % 64 == 0 &&
                    std::all_of(p, p + pitch * 3, [](uint32_t v) { return v == 0; }))
            << w;
        ImageRelease(&img), ImageRelease(&img);
    }
    for (auto [w, h] : {std::pair{0, 5}, {5, -3}, {kMaxImageSide + 1, 1}, {1, INT32_MAX}})
        EXPECT_TRUE(ImageCreate(&img, nullptr, w, h, 0) == 0 && img.surface == nullptr);
    EXPECT_EQ(ImageCreate(&img, "NoSuchBitmap", 4, 4, 0) + ImageCreate(nullptr, nullptr, 4, 4, 0), 0);
    // Fills: inclusive corners, clipped, nothing when the corners cross.
    const int32_t rects[][4] = {{3, 4, 3, 4},
                                {-10, -10, 5, 5},
                                {14, 10, 100, 100},
                                {5, 1, 4, 3},
                                {-8, 0, -1, 5},
                                {0, 12, 5, 40},
                                {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}};
    for (const auto& r : rects) {
        TestImage fill(16, 12, 0x111111);
        ImageFillRect(&fill.image, r[0], r[1], r[2], r[3], 0xABCDEF);
        for (int32_t i = 0, x = 0, y = 0; i < 16 * 12; ++i, x = i % 16, y = i / 16)
            ASSERT_EQ(fill.at(x, y), x >= r[0] && x <= r[2] && y >= r[1] && y <= r[3] ? 0xABCDEFu : 0x111111u)
                << r[0] << "," << r[1];
    }
}

// Never created, released, or resized behind the kit's back: no pixels, so
// nothing is drawn, read or saved.
TEST(GfxImage, ImageWithoutPixelsTakesPartInNothing) {
    TestImage good(32, 32), grown(8, 8);
    good.pattern();
    const std::vector<uint32_t> before = good.pixels();
    Image never, released;
    never.width = never.height = 32;
    ASSERT_EQ(ImageCreate(&released, nullptr, 32, 32, 0), 1);
    ImageRelease(&released);
    grown.image.width = 4000;
    const std::string name = testing::TempDir() + "kelvane_none.bmp";
    for (Image* none : {&never, &released, &grown.image}) {
        uint32_t* p = &good.at(0, 0);
        int32_t pitch = -1;
        ImageLock(none, none, &p, &p, &pitch, &pitch);
        ImageClear(none, 1), ImageFillRect(none, 0, 0, 10, 10, 1), DrawFontText(none, "\xDB\xDB", 0, 0, 1);
        for (auto [from, to] : {std::pair{none, &good.image}, {&good.image, none}}) {
            ImageBlit(from, 0, 0, to, 0, 0, 32, 32), ImageBlitKeyed(from, 0, 0, to, 0, 0, 32, 32);
            ImageBlendKeyed(from, 0, 0, to, 0, 0, 32, 32, 128), ImageTint(from, to, 0xFFFFFF),
                ImageRotate(from, to, 90, 1024);
            EXPECT_EQ(ImageOverlap(from, 0, 0, to, 0, 0), 0);
        }
        std::remove(name.c_str());
        EXPECT_TRUE(p == nullptr && pitch == 0 && !ImageLoadBitmap(none, "MyBallBitmap") &&
                    !ImageSaveBmp(none, name.c_str()));
        EXPECT_NE(access(name.c_str(), F_OK), 0);  // not even a header
    }
    EXPECT_EQ(good.pixels(), before);
}

// What the file holds is checked end to end against the screen; here, that
// it replaces a longer file, and that failures are told.
TEST(GfxImage, ScreenshotReplacesAndFailsCleanly) {
    const std::string name = testing::TempDir() + "kelvane_gfx_" + std::to_string(getpid()) + ".bmp";
    TestImage one(1, 1, 0x00123456), screen(640, 480);
    std::ofstream(name, std::ios::binary) << std::string(2000000, 'x');
    ASSERT_EQ(ImageSaveBmp(&screen.image, name.c_str()), 1);
    EXPECT_EQ(std::ifstream(name, std::ios::binary | std::ios::ate).tellg(), 1228854);
    std::remove(name.c_str());
    // Opens, but the device is full (at a write or at the close). (A file that
    // cannot be made, the read-only scenario's F10 meets end to end.)
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(ImageSaveBmp(&one.image, "/dev/full") + ImageSaveBmp(&screen.image, "/dev/full"), 0);
    }
}
