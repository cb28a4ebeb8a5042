// The screenshot file: its exact bytes, and that failures say so.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "gfx/Image.h"
#include "tests/gfx_support.h"

static std::vector<unsigned char> readFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), {});
}

static uint32_t u32At(const std::vector<unsigned char>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

static std::string scratch(const char* name)
{
    return testing::TempDir() + "kelvane_gfx_" + std::to_string(getpid()) + "_" + name;
}

TEST(GfxBmp, OnePixelFile)
{
    TestImage img(1, 1);
    img.set(0, 0, 0x00123456);
    std::string name = scratch("one.bmp");
    ASSERT_EQ(ImageSaveBmp(&img.image, name.c_str()), 1);
    std::vector<unsigned char> b = readFile(name);
    const std::vector<unsigned char> expect = {
        'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,   // file header
        40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 32, 0,  // size, width, height, planes, bits
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    // compression, image size, resolutions
        0, 0, 0, 0, 0, 0, 0, 0,                            // colours used, important
        0x56, 0x34, 0x12, 0x00};
    EXPECT_EQ(b, expect);
    std::remove(name.c_str());
}

TEST(GfxBmp, ScreenFileRunsBottomUpAndReplacesTheOldOne)
{
    TestImage img(640, 480);
    img.pattern(5);
    std::string name = scratch("screen.bmp");
    {
        std::ofstream old(name, std::ios::binary);
        old << std::string(2000000, 'x');  // longer than the new file
    }
    ASSERT_EQ(ImageSaveBmp(&img.image, name.c_str()), 1);
    std::vector<unsigned char> b = readFile(name);
    ASSERT_EQ(b.size(), 1228854u);
    EXPECT_EQ((std::vector<unsigned char>(b.begin() + 2, b.begin() + 6)), (std::vector<unsigned char>{0x36, 0xC0, 0x12, 0x00}));
    EXPECT_EQ((std::vector<unsigned char>(b.begin() + 10, b.begin() + 14)), (std::vector<unsigned char>{0x36, 0, 0, 0}));
    EXPECT_EQ(u32At(b, 18), 640u);
    EXPECT_EQ(u32At(b, 22), 480u);
    EXPECT_EQ(u32At(b, 34), 0u);
    for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 640; x += 37)
            ASSERT_EQ(u32At(b, 54 + (size_t(479 - y) * 640 + x) * 4), img.at(x, y)) << x << "," << y;
    // The first row in the file is the Image's bottom row.
    EXPECT_EQ(u32At(b, 54), img.at(0, 479));
    // Saving again replaces the picture.
    ImageClear(&img.image, 0x00ABCDEF);
    ASSERT_EQ(ImageSaveBmp(&img.image, name.c_str()), 1);
    b = readFile(name);
    ASSERT_EQ(b.size(), 1228854u);
    EXPECT_EQ(u32At(b, 54), 0x00ABCDEFu);
    EXPECT_EQ(u32At(b, b.size() - 4), 0x00ABCDEFu);
    std::remove(name.c_str());
}

TEST(GfxBmp, FailuresReturnZero)
{
    TestImage img(64, 64, 0x010203);
    // Cannot be opened: no file appears.
    std::string missingDir = scratch("no_such_dir") + "/shot.bmp";
    EXPECT_EQ(ImageSaveBmp(&img.image, missingDir.c_str()), 0);
    EXPECT_NE(access(missingDir.c_str(), F_OK), 0);
    EXPECT_EQ(ImageSaveBmp(&img.image, nullptr), 0);
    EXPECT_EQ(ImageSaveBmp(nullptr, "x.bmp"), 0);
    // Opens, but every write fails (the device is full): not a success,
    // whether the failure shows at a write or only when the file is closed.
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(ImageSaveBmp(&img.image, "/dev/full"), 0);
        TestImage tiny(1, 1);
        EXPECT_EQ(ImageSaveBmp(&tiny.image, "/dev/full"), 0);
    }
}
