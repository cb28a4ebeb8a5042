// The sine table and the turned drawing of the cannon picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "rules/SineTable.h"
#include "tests/gfx_support.h"

TEST(GfxRotate, SineTableIsTruncatedWithTheTablesPi)
{
    BuildSineTable();
    const std::pair<int, int> telling[] = {{1, 1},     {120, 127},   {270, 236},   {360, 256}, {600, 128},
                                           {698, 24},  {720, 0},     {840, -127},  {1080, -256}, {1439, -1}};
    for (auto [i, v] : telling)
        EXPECT_EQ(SineTable[i], v) << i;
    for (int i = 0; i < kSineTableSize; ++i) {  // toward zero, never rounded away from it
        double exact = std::sin(i * 2 * 3.1415926535 / 1440) * 256;
        ASSERT_TRUE(std::fabs(SineTable[i]) <= std::fabs(exact) + 1e-9 && std::fabs(exact - SineTable[i]) < 1) << i;
    }
}

TEST(GfxRotate, RotatePointKnownPoints)
{
    BuildSineTable();
    auto turn = [](int16_t x, int16_t y, int16_t angle, int16_t scale = 1024) {
        RotatePoint(&x, &y, 92, 92, angle, scale);
        return std::pair<int, int>{x, y};
    };
    EXPECT_EQ(turn(17, 183, 0), (std::pair{17, 183}));
    EXPECT_EQ(turn(100, 92, 0, 512), (std::pair{96, 92}));
    EXPECT_EQ(turn(100, 92, 0, 2048), (std::pair{108, 92}));
    EXPECT_EQ(turn(0, 0, 360), (std::pair{184, 0}));
    EXPECT_EQ(turn(183, 0, 360), (std::pair{184, 183}));
    EXPECT_EQ(turn(0, 0, 90), (std::pair{42, -28}));
    EXPECT_EQ(turn(183, 183, 90), (std::pair{141, 210}));
    EXPECT_EQ(turn(0, 0, 3240), turn(0, 0, 360));  // past two turns, still inside the table
    EXPECT_EQ(turn(0, 0, -360), turn(0, 0, 1080));
}

// Every source pixel has its own value, so each target pixel names the
// source pixel it was copied from.
TEST(GfxRotate, UnturnedAndQuarterTurnedPictures)
{
    BuildSineTable();
    const uint32_t kUntouched = 0xDEAD00;
    TestImage src(184, 184), dst(184, 184, kUntouched), turned(184, 184, kUntouched);
    src.pattern();
    ImageRotate(&src.image, &dst.image, 0, 1024);
    ImageRotate(&src.image, &turned.image, 360, 1024);
    for (int32_t i = 0; i < 184; ++i) {  // row 0 (and column 0 when turned) is never crossed
        ASSERT_TRUE(dst.at(i, 0) == kUntouched && turned.at(i, 0) == kUntouched && turned.at(0, i) == kUntouched);
        for (int32_t y = 1; y < 184; ++y)  // column x reads source column x * 183 / 184 in 16.16 steps
            ASSERT_EQ(dst.at(i, y), src.at(i * 183 * 356 / 65536, y)) << i << "," << y;
    }
    EXPECT_EQ(dst.at(183, 50), src.at(181, 50));
    EXPECT_EQ(turned.at(1, 100), src.at(100, 183));
    EXPECT_EQ(turned.at(183, 100), src.at(100, 2));
    const std::vector<uint32_t> all = turned.pixels();
    EXPECT_EQ(std::count(all.begin(), all.end(), kUntouched), 184 * 184 - 183 * 183);
}

TEST(GfxRotate, TurnedPictureOnlyEverCopiesSourcePixels)
{
    BuildSineTable();
    TestImage src(37, 23), dst(37, 23);
    src.pattern();
    src.at(17, 11) = 0;  // copied like any other pixel
    std::vector<uint32_t> values = src.pixels();
    std::sort(values.begin(), values.end());
    // Extreme scales wrap the corner arithmetic; the source must still never
    // be read outside it (ASan watches).
    for (int16_t scale : {INT16_MIN, -1024, 0, 1, 256, 1500, 4096, INT16_MAX})
        for (int16_t angle = 0; angle < 1440; angle += 7) {
            ImageClear(&dst.image, 0xDEAD00);
            ImageRotate(&src.image, &dst.image, angle, scale);
            for (uint32_t p : dst.pixels())
                ASSERT_TRUE(p == 0xDEAD00 || std::binary_search(values.begin(), values.end(), p)) << angle;
        }
    ImageRotate(&src.image, &dst.image, 0, 1024);
    EXPECT_EQ(dst.at(18, 11), 0u);  // column 18 of 37 reads source column 17
    ImageClear(&dst.image, 0xDEAD00);
    ImageRotate(&src.image, &dst.image, 0, 256);  // a quarter size covers only the middle rows
    EXPECT_TRUE(dst.at(18, 0) == 0xDEAD00 && dst.at(18, 22) == 0xDEAD00 && dst.at(18, 11) != 0xDEAD00);

    // Different sizes, one Image as both, or taller than the row table: nothing.
    TestImage tall(4, 501), tallTarget(4, 501, 7), rows500(4, 500), target500(4, 500, 7), other(37, 24, 7);
    tall.pattern();
    rows500.pattern();
    ImageRotate(&tall.image, &tallTarget.image, 0, 1024);
    ImageRotate(&src.image, &other.image, 0, 1024);
    ImageRotate(&other.image, &other.image, 0, 1024);
    EXPECT_EQ(tallTarget.pixels(), std::vector<uint32_t>(4 * 501, 7));
    EXPECT_EQ(other.pixels(), std::vector<uint32_t>(37 * 24, 7));
    ImageRotate(&rows500.image, &target500.image, 0, 1024);
    EXPECT_EQ(target500.at(3, 499), rows500.at(2, 499));
}
