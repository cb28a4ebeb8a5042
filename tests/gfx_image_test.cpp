// Images on memory buffers: creation, fills, the resource lookup, the
// screenshot file, and what the kit does with an Image without pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "resources/Resources.h"
#include "tests/gfx_support.h"

TEST(GfxImage, CreateReleaseAndFill)
{
    for (int32_t w : {1, 17, 640}) {
        Image img;
        ASSERT_EQ(ImageCreate(&img, nullptr, w, 3, 0), 1);
        uint32_t* p;
        int32_t pitch;
        ImageLock(&img, &img, &p, &p, &pitch, &pitch);
        EXPECT_TRUE(pitch >= w && pitch % 16 == 0 && reinterpret_cast<uintptr_t>(p) % 64 == 0) << w;
        EXPECT_TRUE(std::all_of(p, p + pitch * 3, [](uint32_t v) { return v == 0; })) << w;
        ASSERT_EQ(ImageCreate(&img, nullptr, 4, 2, 0), 1);  // over a live one: ASan sees any leak
        ImageRelease(&img);
        ImageRelease(&img);
        EXPECT_TRUE(img.surface == nullptr && img.width == 4);
    }
    Image img;
    img.width = 7;
    for (auto [w, h] : {std::pair{0, 5}, {5, -3}, {kMaxImageSide + 1, 1}, {1, INT32_MAX}})
        EXPECT_TRUE(ImageCreate(&img, nullptr, w, h, 0) == 0 && img.width == 7 && img.surface == nullptr);
    EXPECT_EQ(ImageCreate(&img, "NoSuchBitmap", 4, 4, 0) + ImageCreate(nullptr, nullptr, 4, 4, 0), 0);

    // Fills: inclusive corners, clipped, nothing when the corners cross.
    const int32_t rects[][4] = {{3, 4, 3, 4}, {-10, -10, 5, 5}, {14, 10, 100, 100}, {5, 1, 4, 3},
                                {-8, 0, -1, 5}, {0, 12, 5, 40}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}};
    for (const auto& r : rects) {
        TestImage fill(16, 12, 0x111111);
        ImageFillRect(&fill.image, r[0], r[1], r[2], r[3], 0xABCDEF);
        for (int32_t i = 0; i < 16 * 12; ++i) {
            const int32_t x = i % 16, y = i / 16;
            const bool inside = x >= r[0] && x <= r[2] && y >= r[1] && y <= r[3];
            ASSERT_EQ(fill.at(x, y), inside ? 0xABCDEFu : 0x111111u) << r[0] << "," << r[1] << " " << x << "," << y;
        }
    }
}

// Never created, released, or resized behind the kit's back: no pixels, so
// nothing is drawn, read or saved.
TEST(GfxImage, ImageWithoutPixelsTakesPartInNothing)
{
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
        EXPECT_TRUE(p == nullptr && pitch == 0);
        ImageClear(none, 1);
        ImageFillRect(none, 0, 0, 10, 10, 1);
        for (auto [from, to] : {std::pair{none, &good.image}, {&good.image, none}}) {
            ImageBlit(from, 0, 0, to, 0, 0, 32, 32);
            ImageBlitKeyed(from, 0, 0, to, 0, 0, 32, 32);
            ImageBlendKeyed(from, 0, 0, to, 0, 0, 32, 32, 128);
            ImageTint(from, to, 0xFFFFFF);
            ImageRotate(from, to, 90, 1024);
            EXPECT_EQ(ImageOverlap(from, 0, 0, to, 0, 0), 0);
        }
        DrawFontText(none, "\xDB\xDB", 0, 0, 1);
        EXPECT_EQ(ImageLoadBitmap(none, "MyBallBitmap"), 0);
        std::remove(name.c_str());
        EXPECT_EQ(ImageSaveBmp(none, name.c_str()), 0);
        EXPECT_NE(access(name.c_str(), F_OK), 0);  // not even a header
    }
    EXPECT_EQ(good.pixels(), before);
    grown.image.width = 8;
}

static std::string withCase(std::string s, int (*to)(int))
{
    std::transform(s.begin(), s.end(), s.begin(), [to](unsigned char c) { return static_cast<char>(to(c)); });
    return s;
}

TEST(GfxImage, ResourceLookupIgnoresCaseAndMissesCleanly)
{
    EXPECT_EQ(ResourceFind("NoSuchThing", kResourceRaw), nullptr);
    EXPECT_EQ(ResourceFind(nullptr, kResourceRaw), nullptr);
    EXPECT_EQ(ResourceFind("MyFnt", nullptr), nullptr);
    EXPECT_EQ(ResourceFind("MyFnt", kResourceBitmap), nullptr);
    ASSERT_GT(kResourceCount, 0);
    for (const ResourceEntry* e = kResourceTable; e != kResourceTable + kResourceCount; ++e) {
        EXPECT_EQ(ResourceFind(withCase(e->name, toupper).c_str(), withCase(e->type, tolower).c_str()), e);
        EXPECT_EQ(ResourceFind(withCase(e->name, tolower).c_str(), e->type), e);
        EXPECT_EQ(ResourceFind(std::string(e->name, std::strlen(e->name) - 1).c_str(), e->type), nullptr);
        if (std::strcmp(e->type, kResourceBitmap) != 0)
            continue;
        // A bitmap creates at its own size, whatever is asked for, and will
        // not load into an Image one row short.
        TestImage img(1, 1);
        int32_t w = 0, h = 0;
        ASSERT_EQ(ImageCreate(&img.image, withCase(e->name, toupper).c_str(), 1, 1, 1), 1) << e->name;
        EXPECT_TRUE(DibSize(e->bytes, e->size, &w, &h) && img.image.width == w && img.image.height == h) << e->name;
        TestImage shorter(w, h - 1, 0x5A5A5A);
        EXPECT_TRUE(ImageLoadBitmap(&img.image, e->name) == 1 && ImageLoadBitmap(&shorter.image, e->name) == 0) << e->name;
        EXPECT_EQ(shorter.at(0, 0), 0x5A5A5Au);
    }
}

TEST(GfxImage, ScreenshotFileBytesAndFailures)
{
    const std::string name = testing::TempDir() + "kelvane_gfx_" + std::to_string(getpid()) + ".bmp";
    auto saved = [&name] {
        std::ifstream in(name, std::ios::binary);
        return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), {});
    };
    TestImage one(1, 1, 0x00123456);
    ASSERT_EQ(ImageSaveBmp(&one.image, name.c_str()), 1);
    EXPECT_EQ(saved(), (std::vector<unsigned char>{'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0,
                                                   0, 0, 1, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x56, 0x34, 0x12, 0}));
    // The screen replaces a longer file, its rows bottom-up.
    std::ofstream(name, std::ios::binary) << std::string(2000000, 'x');
    TestImage screen(640, 480);
    screen.pattern();
    ASSERT_EQ(ImageSaveBmp(&screen.image, name.c_str()), 1);
    const std::vector<unsigned char> b = saved();
    auto u32 = [&b](size_t at) { return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24); };
    ASSERT_EQ(b.size(), 1228854u);
    EXPECT_TRUE(u32(2) == 1228854 && u32(10) == 54 && u32(18) == 640 && u32(22) == 480);
    for (int32_t y = 0; y < 480; y += 7)
        for (int32_t x = 0; x < 640; x += 37)
            ASSERT_EQ(u32(54 + (size_t(479 - y) * 640 + x) * 4), screen.at(x, y)) << x << "," << y;
    std::remove(name.c_str());
    // Cannot open; or opens but the device is full, whether that shows at a
    // write or only at the close.
    EXPECT_EQ(ImageSaveBmp(&one.image, (name + ".d/shot.bmp").c_str()) + ImageSaveBmp(&one.image, nullptr), 0);
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(ImageSaveBmp(&one.image, "/dev/full") + ImageSaveBmp(&screen.image, "/dev/full"), 0);
    }
}
