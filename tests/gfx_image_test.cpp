// Images on memory buffers: creation, release, locking, fills, and what the
// kit does with an Image that has no pixels.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "gfx/Image.h"
#include "resources/Resources.h"
#include "tests/gfx_support.h"

TEST(GfxImage, CreateGivesAlignedZeroedBufferWithPaddedPitch)
{
    for (int32_t w : {1, 15, 16, 17, 32, 184, 640}) {
        Image img;
        ASSERT_EQ(ImageCreate(&img, nullptr, w, 3, 0), 1);
        EXPECT_EQ(img.width, w);
        EXPECT_EQ(img.height, 3);
        uint32_t* pa;
        uint32_t* pb;
        int32_t pitchA, pitchB;
        ImageLock(&img, &img, &pa, &pb, &pitchA, &pitchB);
        EXPECT_EQ(pa, pb);
        EXPECT_EQ(pitchA, pitchB);
        EXPECT_GE(pitchA, w);
        EXPECT_EQ(pitchA % 16, 0);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(pa) % 64, 0u);
        for (int32_t i = 0; i < pitchA * 3; ++i)
            ASSERT_EQ(pa[i], 0u);
        ImageUnlock(&img, &img);
        ImageRelease(&img);
    }
}

TEST(GfxImage, CreateRefusesImpossibleSizesAndLeavesRecord)
{
    Image img;
    img.width = 7;
    img.height = 9;
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, 5}, {5, -3}, {kMaxImageSide + 1, 1}, {1, INT32_MAX}}) {
        EXPECT_EQ(ImageCreate(&img, nullptr, w, h, 0), 0);
        EXPECT_EQ(img.width, 7);
        EXPECT_EQ(img.height, 9);
        EXPECT_EQ(img.surface, nullptr);
    }
    EXPECT_EQ(ImageCreate(nullptr, nullptr, 4, 4, 0), 0);
    EXPECT_EQ(ImageCreate(&img, "NoSuchBitmap", 4, 4, 0), 0);
    EXPECT_EQ(img.surface, nullptr);
}

TEST(GfxImage, ReleaseKeepsSizeAndIsSafeTwice)
{
    Image img;
    ASSERT_EQ(ImageCreate(&img, nullptr, 12, 5, 0), 1);
    ImageRelease(&img);
    EXPECT_EQ(img.surface, nullptr);
    EXPECT_EQ(img.width, 12);
    EXPECT_EQ(img.height, 5);
    ImageRelease(&img);
    EXPECT_EQ(img.surface, nullptr);
    ImageRelease(nullptr);
    // Created again after a release, and over a live one (no leak under ASan).
    ASSERT_EQ(ImageCreate(&img, nullptr, 3, 3, 0), 1);
    ASSERT_EQ(ImageCreate(&img, nullptr, 4, 2, 0), 1);
    EXPECT_EQ(img.width, 4);
    ImageRestore(&img);
    ImageRelease(&img);
}

TEST(GfxImage, FillRectClipsInclusiveCorners)
{
    struct Case {
        int32_t x1, y1, x2, y2;
    } cases[] = {{3, 4, 3, 4}, {-10, -10, 5, 5}, {14, 10, 100, 100}, {5, 1, 4, 3}, {1, 5, 3, 4}, {-8, 0, -1, 5},
                 {16, 0, 30, 5}, {0, -9, 5, -1}, {0, 12, 5, 40}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}};
    for (const Case& c : cases) {
        TestImage img(16, 12, 0x111111);
        ImageFillRect(&img.image, c.x1, c.y1, c.x2, c.y2, 0xABCDEF);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                bool inside = x >= c.x1 && x <= c.x2 && y >= c.y1 && y <= c.y2;
                ASSERT_EQ(img.at(x, y), inside ? 0xABCDEFu : 0x111111u) << c.x1 << "," << c.y1 << " " << x << "," << y;
            }
    }
}

TEST(GfxImage, ClearedToZeroIsTransparentForKeyedCopies)
{
    TestImage img(33, 7);
    ImageClear(&img.image, 0xFF123456);  // written unchanged, top byte too
    EXPECT_EQ(img.at(32, 6), 0xFF123456u);
    ImageClear(&img.image, TransparentColor);
    TestImage back(33, 7, 0x445566);
    ImageBlitKeyed(&img.image, 0, 0, &back.image, 0, 0, 33, 7);
    for (uint32_t p : back.pixels())
        ASSERT_EQ(p, 0x445566u);
}

// An Image without pixels -- never created, released, or a record whose
// size no longer matches its buffer -- takes part in nothing.
TEST(GfxImage, ImageWithoutPixelsDrawsNothing)
{
    TestImage good(32, 32, 0x777777);
    good.set(5, 5, 0x123456);
    std::vector<uint32_t> before = good.pixels();

    Image never;
    never.width = 32;
    never.height = 32;
    Image released;
    ASSERT_EQ(ImageCreate(&released, nullptr, 32, 32, 0), 1);
    ImageRelease(&released);
    TestImage grown(8, 8);
    grown.image.width = 4000;  // changed behind the kit's back

    for (Image* none : {&never, &released, &grown.image}) {
        uint32_t* p = reinterpret_cast<uint32_t*>(1);
        int32_t pitch = -1;
        ImageLock(none, none, &p, &p, &pitch, &pitch);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(pitch, 0);
        ImageUnlock(none, none);
        ImageClear(none, 1);
        ImageFillRect(none, 0, 0, 10, 10, 1);
        ImageBlit(none, 0, 0, &good.image, 0, 0, 32, 32);
        ImageBlit(&good.image, 0, 0, none, 0, 0, 32, 32);
        ImageBlitKeyed(none, 0, 0, &good.image, 0, 0, 32, 32);
        ImageBlitKeyed(&good.image, 0, 0, none, 0, 0, 32, 32);
        ImageBlendKeyed(none, 0, 0, &good.image, 0, 0, 32, 32, 128);
        ImageBlendKeyed(&good.image, 0, 0, none, 0, 0, 32, 32, 128);
        ImageTint(none, &good.image, 0xFFFFFF);
        ImageTint(&good.image, none, 0xFFFFFF);
        EXPECT_EQ(ImageOverlap(none, 0, 0, &good.image, 0, 0), 0);
        EXPECT_EQ(ImageOverlap(&good.image, 0, 0, none, 0, 0), 0);
        ImageRotate(none, &good.image, 90, 1024);
        ImageRotate(&good.image, none, 90, 1024);
        DrawFontText(none, "AAAA", 0, 0, 1);
        EXPECT_EQ(ImageLoadBitmap(none, "MyBallBitmap"), 0);
        std::string name = testing::TempDir() + "kelvane_none.bmp";
        std::remove(name.c_str());
        EXPECT_EQ(ImageSaveBmp(none, name.c_str()), 0);
        EXPECT_NE(access(name.c_str(), F_OK), 0);
    }
    EXPECT_EQ(good.pixels(), before);
    grown.image.width = 8;
}

TEST(GfxImage, ResourceLookupIgnoresCaseAndMissesCleanly)
{
    EXPECT_EQ(ResourceFind("NoSuchThing", kResourceRaw), nullptr);
    EXPECT_EQ(ResourceFind(nullptr, kResourceRaw), nullptr);
    EXPECT_EQ(ResourceFind("MyFnt", nullptr), nullptr);
    EXPECT_EQ(ResourceFind("", kResourceBitmap), nullptr);
    if (kResourceCount == 0)
        GTEST_SKIP() << "no resources built in";
    for (int i = 0; i < kResourceCount; ++i) {
        const ResourceEntry& e = kResourceTable[i];
        std::string lower = e.name, upper = e.name, type = e.type;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : type)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(ResourceFind(lower.c_str(), e.type), &e);
        EXPECT_EQ(ResourceFind(upper.c_str(), type.c_str()), &e);
        // A name cut short is not the name.
        std::string prefix = std::string(e.name).substr(0, std::strlen(e.name) - 1);
        EXPECT_NE(ResourceFind(prefix.c_str(), e.type), &e);
    }
}

// Every bitmap built into the program creates at its own size (whatever
// size is asked for) and loads; a size that differs by one row refuses.
TEST(GfxImage, EmbeddedBitmapsCreateAtTheirOwnSizeAndLoad)
{
    int bitmaps = 0;
    for (int i = 0; i < kResourceCount; ++i) {
        const ResourceEntry& e = kResourceTable[i];
        if (std::strcmp(e.type, kResourceBitmap) != 0)
            continue;
        ++bitmaps;
        int32_t w = 0, h = 0;
        ASSERT_EQ(DibSize(e.bytes, e.size, &w, &h), 1) << e.name;
        std::string upper = e.name;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        Image img;
        ASSERT_EQ(ImageCreate(&img, upper.c_str(), 1, 1, 1), 1) << e.name;
        EXPECT_EQ(img.width, w);
        EXPECT_EQ(img.height, h);
        EXPECT_EQ(ImageLoadBitmap(&img, e.name), 1);
        ImageRelease(&img);

        TestImage shorter(w, h - 1, 0x5A5A5A);
        std::vector<uint32_t> before = shorter.pixels();
        EXPECT_EQ(ImageLoadBitmap(&shorter.image, e.name), 0);
        EXPECT_EQ(shorter.pixels(), before);
    }
    if (bitmaps == 0)
        GTEST_SKIP() << "no bitmaps built in";
}
