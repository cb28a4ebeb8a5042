// The sine table and the turned drawing of the cannon picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gfx/Image.h"
#include "rules/SineTable.h"
#include "tests/gfx_support.h"

class GfxRotate : public testing::Test {
protected:
    void SetUp() override { BuildSineTable(); }
};

TEST_F(GfxRotate, SineTableIsTruncatedWithTheTablesPi)
{
    const std::pair<int, int> telling[] = {{0, 0},     {1, 1},     {120, 127},   {360, 256},   {600, 128},
                                           {720, 0},   {840, -127}, {1080, -256}, {1320, -128}, {1439, -1},
                                           {698, 24},  {22, 24},   {1350, -97},  {270, 236}};
    for (auto [i, v] : telling)
        EXPECT_EQ(SineTable[i], v) << i;
    // Truncation toward zero, not rounding: no entry is further than one
    // unit from the true value, and each lies on the zero side of it.
    for (int i = 0; i < kSineTableSize; ++i) {
        double exact = std::sin(i * 2 * 3.1415926535 / 1440) * 256;
        ASSERT_LE(std::fabs(SineTable[i]), std::fabs(exact) + 1e-9) << i;
        ASSERT_LT(std::fabs(exact - SineTable[i]), 1.0) << i;
    }
}

TEST_F(GfxRotate, RotatePointKnownPoints)
{
    auto turn = [](int16_t x, int16_t y, int16_t angle, int16_t scale) {
        RotatePoint(&x, &y, 92, 92, angle, scale);
        return std::pair<int, int>{x, y};
    };
    for (int16_t x : {0, 17, 92, 183})
        for (int16_t y : {0, 50, 183})
            EXPECT_EQ(turn(x, y, 0, 1024), (std::pair<int, int>{x, y}));
    EXPECT_EQ(turn(100, 92, 0, 512), (std::pair{96, 92}));
    EXPECT_EQ(turn(100, 92, 0, 2048), (std::pair{108, 92}));
    EXPECT_EQ(turn(183, 0, 360, 1024), (std::pair{184, 183}));
    EXPECT_EQ(turn(0, 0, 360, 1024), (std::pair{184, 0}));
    EXPECT_EQ(turn(0, 0, 90, 1024), (std::pair{42, -28}));
    EXPECT_EQ(turn(183, 0, 90, 1024), (std::pair{210, 41}));
    EXPECT_EQ(turn(183, 183, 90, 1024), (std::pair{141, 210}));
    EXPECT_EQ(turn(0, 183, 90, 1024), (std::pair{-28, 141}));
    // Two turns and an angle past them stay inside the table.
    EXPECT_EQ(turn(0, 0, 2880, 1024), turn(0, 0, 0, 1024));
    EXPECT_EQ(turn(0, 0, 3240, 1024), turn(0, 0, 360, 1024));
    EXPECT_EQ(turn(0, 0, -360, 1024), turn(0, 0, 1080, 1024));
}

// The source pixel number of target (x, y) is recovered by giving every
// source pixel its own value.
TEST_F(GfxRotate, UnturnedPictureMapsColumnsByTheSpanStep)
{
    const uint32_t kUntouched = 0xDEAD00;
    TestImage src(184, 184), dst(184, 184, kUntouched);
    src.pattern();
    ImageRotate(&src.image, &dst.image, 0, 1024);
    for (int32_t x = 0; x < 184; ++x)
        ASSERT_EQ(dst.at(x, 0), kUntouched) << x;  // row 0 is not crossed
    for (int32_t y = 1; y < 184; ++y)
        for (int32_t x = 0; x < 184; ++x) {
            int32_t sx = x * 183 * 356 / 65536;
            ASSERT_EQ(dst.at(x, y), src.at(sx, y)) << x << "," << y;
        }
    EXPECT_EQ(dst.at(1, 50), src.at(0, 50));
    EXPECT_EQ(dst.at(183, 50), src.at(181, 50));
}

TEST_F(GfxRotate, QuarterTurnMapsColumnsToRows)
{
    const uint32_t kUntouched = 0xDEAD00;
    TestImage src(184, 184), dst(184, 184, kUntouched);
    src.pattern();
    ImageRotate(&src.image, &dst.image, 360, 1024);
    for (int32_t i = 0; i < 184; ++i) {
        ASSERT_EQ(dst.at(0, i), kUntouched) << i;
        ASSERT_EQ(dst.at(i, 0), kUntouched) << i;
    }
    EXPECT_EQ(dst.at(1, 100), src.at(100, 183));
    EXPECT_EQ(dst.at(183, 100), src.at(100, 2));
    int written = 0;
    for (uint32_t p : dst.pixels())
        written += p != kUntouched;
    EXPECT_EQ(written, 183 * 183);
}

TEST_F(GfxRotate, TurnedPictureCopiesOnlySourcePixels)
{
    // Every angle, a few scales: only source values (or the untouched mark)
    // appear in the target, and rows the picture misses keep their pixels.
    TestImage src(37, 23), dst(37, 23);
    src.pattern();
    src.set(17, 11, 0);  // a 0 source pixel is copied like any other
    std::vector<uint32_t> values = src.pixels();
    std::sort(values.begin(), values.end());
    // Extreme scales wrap the corner arithmetic; the source must still never
    // be read outside (ASan watches).
    for (int16_t scale : {INT16_MIN, -1024, 0, 1, 256, 1024, 1500, 4096, 20000, INT16_MAX})
        for (int16_t angle = 0; angle < 1440; angle += 7) {
            ImageClear(&dst.image, 0xDEAD00);
            ImageRotate(&src.image, &dst.image, angle, scale);
            for (uint32_t p : dst.pixels())
                ASSERT_TRUE(p == 0xDEAD00 || std::binary_search(values.begin(), values.end(), p)) << angle;
        }
    ImageClear(&dst.image, 0xDEAD00);
    ImageRotate(&src.image, &dst.image, 0, 1024);
    EXPECT_EQ(dst.at(18, 11), 0u);  // column 18 of 37 reads source column 17
    // At a quarter scale the picture covers only the middle rows.
    ImageClear(&dst.image, 0xDEAD00);
    ImageRotate(&src.image, &dst.image, 0, 256);
    EXPECT_EQ(dst.at(18, 0), 0xDEAD00u);
    EXPECT_EQ(dst.at(18, 22), 0xDEAD00u);
    EXPECT_NE(dst.at(18, 11), 0xDEAD00u);
}

TEST_F(GfxRotate, RefusesMismatchedOrTallImages)
{
    TestImage src(10, 10), dst(10, 11, 0x123456), tall(4, 501), tallTarget(4, 501, 0x123456), same(10, 10, 0x123456);
    src.pattern();
    tall.pattern();
    ImageRotate(&src.image, &dst.image, 0, 1024);
    for (uint32_t p : dst.pixels())
        ASSERT_EQ(p, 0x123456u);
    ImageRotate(&tall.image, &tallTarget.image, 0, 1024);
    for (uint32_t p : tallTarget.pixels())
        ASSERT_EQ(p, 0x123456u);
    ImageRotate(&same.image, &same.image, 90, 1024);
    for (uint32_t p : same.pixels())
        ASSERT_EQ(p, 0x123456u);
    // 500 rows is still allowed.
    TestImage rows500(4, 500), target500(4, 500, 0x123456);
    rows500.pattern();
    ImageRotate(&rows500.image, &target500.image, 0, 1024);
    EXPECT_EQ(target500.at(3, 499), rows500.at(2, 499));
}
