// Copies, blend, tint, overlap and the turned drawing (into a picture and
// straight onto the screen): the clipping order, the transparent colour,
// rounding at the channel extremes, which pixel goes where.
#include <gtest/gtest.h>

#include <algorithm>

#include "gfx/SineTable.h"
#include "tests/gfx_support.h"

TEST(GfxBlit, ClippingCutsAtTheDestinationAndRefusesOutsideSources) {
    // Source 40 x 36, destination 50 x 30: the block is cut to the destination first;
    // a source window that then leaves the source draws nothing. With a source free
    // of 0 pixels and opacity 256 the three copies agree.
    const int32_t cases[][6] = {
        {3, 2, 7, 4, 10, 8},       {0, 0, -5, 0, 32, 32},      {0, 0, 30, 20, 32, 32},
        {10, 0, 45, 0, 32, 10},    {0, 0, 50, 0, 4, 4},        {0, 0, -4, 0, 4, 4},
        {0, 0, 0, -4, 4, 4},       {30, 0, 0, 0, 20, 5},       {-1, 0, 0, 0, 5, 5},
        {0, 30, 0, 0, 5, 10},      {-3, 0, -3, 0, 10, 5},      {30, 0, 40, 0, 20, 5},
        {0, -2, 0, -2, 5, 5},      {0, 30, 0, 24, 5, 10},      {0, 0, 0, 0, 0, 5},
        {0, 0, 0, 0, 5, -2},       {0, 0, INT32_MIN, 0, 5, 5}, {0, 0, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
        {INT32_MAX, 0, 0, 0, 2, 2}};
    auto blend = +[](Image* s, int32_t sx, int32_t sy, Image* d, int32_t dx, int32_t dy, int32_t w, int32_t h) {
        ImageBlendKeyed(s, sx, sy, d, dx, dy, w, h, 256);
    };
    for (const auto& c : cases) {
        const int64_t sx = c[0] - int64_t(c[2]), sy = c[1] - int64_t(c[3]);  // source minus destination
        const int64_t x0 = std::max(c[2], 0), x1 = std::min<int64_t>(int64_t(c[2]) + c[4], 50);
        const int64_t y0 = std::max(c[3], 0), y1 = std::min<int64_t>(int64_t(c[3]) + c[5], 30);
        const bool draws = x0 < x1 && y0 < y1 && x0 + sx >= 0 && x1 + sx <= 40 && y0 + sy >= 0 && y1 + sy <= 36;
        for (auto copy : {ImageBlit, ImageBlitKeyed, blend}) {
            TestImage src(40, 36), dst(50, 30, 0x0F0F0F);
            src.pattern();
            copy(&src.image, c[0], c[1], &dst.image, c[2], c[3], c[4], c[5]);
            for (int32_t i = 0; i < 50 * 30; ++i) {
                const int32_t x = i % 50, y = i / 50;
                const bool in = draws && x >= x0 && x < x1 && y >= y0 && y < y1;
                ASSERT_EQ(dst.at(x, y), in ? src.at(int32_t(x + sx), int32_t(y + sy)) : 0x0F0F0Fu)
                    << c[0] << " " << c[1] << " " << c[2] << " " << c[3] << " " << c[4] << " " << c[5];
            }
        }
    }
    // A whole screen of equal pitches, and a block moved down within its Image.
    TestImage src(640, 480), dst(640, 480);
    src.pattern();
    ImageBlit(&src.image, 0, 0, &dst.image, 0, 0, 640, 480);
    EXPECT_EQ(dst.pixels(), src.pixels());
    ImageBlit(&src.image, 0, 0, &src.image, 2, 3, 10, 10);
    for (int32_t i = 0; i < 100; ++i) ASSERT_EQ(src.at(i % 10 + 2, i / 10 + 3), dst.at(i % 10, i / 10)) << i;
}

TEST(GfxBlit, KeyedCopyAndBlendAtTheChannelExtremes) {
    // Every pair of extreme channel values, in each lane of the four-pixel loops and
    // in the tail. The keyed copy skips only 0; the blend keeps D under a 0 source
    // and makes each channel D + floor((S - D) x a / 256), the top byte 0.
    const uint32_t channels[] = {0, 1, 127, 128, 254, 255};
    for (int32_t alpha : {0, 1, 127, 128, 255, 256}) {
        TestImage src(7, 36), dst(7, 36), keyed(7, 36);
        for (int32_t i = 0; i < 7 * 36; ++i) {
            const int32_t x = i % 7, y = i / 7;
            const uint32_t a = channels[y / 6], b = channels[y % 6];
            src.at(x, y) = (x + y) % 3 == 0 ? 0 : (a << 16 | b << 8 | ((a + x) & 0xFF)) | (x == 3 ? 0xFF000000u : 0);
            dst.at(x, y) = keyed.at(x, y) = (b << 16 | a << 8 | (255 - a)) | (x == 5 ? 0x7F000000u : 0);
        }
        const std::vector<uint32_t> s = src.pixels(), d = dst.pixels();
        ImageBlitKeyed(&src.image, 0, 0, &keyed.image, 0, 0, 7, 36);
        ImageBlendKeyed(&src.image, 0, 0, &dst.image, 0, 0, 7, 36, alpha);
        const std::vector<uint32_t> k = keyed.pixels(), out = dst.pixels();
        for (size_t i = 0; i < s.size(); ++i) {
            uint32_t expect = s[i] == 0 ? d[i] : 0;
            for (int shift = 0; s[i] != 0 && shift < 24; shift += 8) {
                const int32_t dc = d[i] >> shift & 0xFF, diff = (int32_t(s[i] >> shift & 0xFF) - dc) * alpha;
                expect |= uint32_t(dc + (diff >= 0 ? diff / 256 : -((255 - diff) / 256))) << shift;
            }
            ASSERT_TRUE(out[i] == expect && k[i] == (s[i] != 0 ? s[i] : d[i])) << "alpha " << alpha << " pixel " << i;
        }
    }
    // Opacity outside 0..256 is held to it.
    TestImage src(2, 1, 0x123456), over(2, 1, 0xABCDEF), under(2, 1, 0xABCDEF);
    ImageBlendKeyed(&src.image, 0, 0, &over.image, 0, 0, 2, 1, 1000);
    ImageBlendKeyed(&src.image, 0, 0, &under.image, 0, 0, 2, 1, -1000);
    EXPECT_TRUE(over.pixels() == src.pixels() && under.pixels() == std::vector<uint32_t>(2, 0xABCDEF));
}

TEST(GfxBlit, TintScalesEachChannelAndWritesEveryPixel) {
    TestImage src(5, 1), dst(5, 1, 0x5A5A5A), other(5, 2, 0x111111);
    const uint32_t values[] = {0, 0xFFFFFF, 0x0000FF, 0x010203, 0xFF808080};
    std::copy(values, values + 5, &src.at(0, 0));
    ImageTint(&src.image, &dst.image, 0xFFFFFF);
    EXPECT_EQ(dst.pixels(), (std::vector<uint32_t>{0, 0xFEFEFE, 0x0000FE, 0x000102, 0x7F7F7F}));
    ImageTint(&src.image, &dst.image, 0xFF0000);  // pure blue turns transparent
    EXPECT_EQ(dst.pixels(), (std::vector<uint32_t>{0, 0xFE0000, 0, 0, 0x7F0000}));
    ImageTint(&src.image, &dst.image, 0x804020);
    EXPECT_EQ(dst.pixels(), (std::vector<uint32_t>{0, 0x7F3F1F, 0x00001F, 0, 0x402010}));
    ImageTint(&src.image, &other.image, 0xFFFFFF);  // sizes differ: nothing
    EXPECT_EQ(other.pixels(), std::vector<uint32_t>(10, 0x111111));
}

TEST(GfxBlit, OverlapNeedsACommonNonZeroPixel) {
    TestImage a(4, 4), b(4, 4);
    a.at(3, 2) = 1;
    b.at(0, 2) = 0xFF000000;  // any non-zero value counts
    const int32_t cases[][5] = {{0, 0, 3, 0, 1},
                                {0, 0, 4, 0, 0},
                                {0, 0, 3, 1, 0},
                                {0, 0, 3, -1, 0},
                                {-100, -9, -97, -9, 1},
                                {INT32_MAX - 3, 0, INT32_MAX, 0, 1},
                                {INT32_MAX, 0, INT32_MIN, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(ImageOverlap(&a.image, c[0], c[1], &b.image, c[2], c[3]), c[4]) << c[0] << "," << c[1];
        EXPECT_EQ(ImageOverlap(&b.image, c[2], c[3], &a.image, c[0], c[1]), c[4]) << c[0] << "," << c[1];
    }
}

TEST(GfxRotate, SineTableAndTurnedPoints) {
    BuildSineTable();  // truncated toward zero, with the table's own pi (600 and 840 tell)
    for (auto [i, v] :
         {std::pair{1, 1}, {270, 236}, {360, 256}, {600, 128}, {698, 24}, {720, 0}, {840, -127}, {1439, -1}})
        EXPECT_EQ(SineTable[i], v) << i;
    auto turn = [](int16_t x, int16_t y, int16_t angle, int16_t scale = 1024) {
        RotatePoint(&x, &y, 92, 92, angle, scale);
        return std::pair<int, int>{x, y};
    };
    EXPECT_TRUE(turn(100, 92, 0, 2048) == std::pair(108, 92) && turn(183, 0, 360) == std::pair(184, 183));
    EXPECT_TRUE(turn(183, 183, 90) == std::pair(141, 210) && turn(0, 0, 3240) == turn(0, 0, 360) &&
                turn(0, 0, -360) == turn(0, 0, 1080));  // past two turns, still inside the table
}

// Every source pixel has its own value: each target pixel names the one it took.
TEST(GfxRotate, TargetPixelsTakeTheirSourcePixels) {
    BuildSineTable();
    TestImage src(184, 184), dst(184, 184, 0xDEAD00), turned(184, 184, 0xDEAD00);
    src.pattern();
    ImageRotate(&src.image, &dst.image, 0, 1024);
    ImageRotate(&src.image, &turned.image, 360, 1024);
    for (int32_t i = 0; i < 184; ++i) {  // row 0 (and column 0 when turned) is never crossed
        ASSERT_TRUE(dst.at(i, 0) == 0xDEAD00 && turned.at(i, 0) == 0xDEAD00 && turned.at(0, i) == 0xDEAD00);
        for (int32_t y = 1; y < 184; ++y)  // column x reads source column x * 183 / 184 in 16.16 steps
            ASSERT_EQ(dst.at(i, y), src.at(i * 183 * 356 / 65536, y)) << i << "," << y;
    }
    EXPECT_TRUE(turned.at(1, 100) == src.at(100, 183) && turned.at(183, 100) == src.at(100, 2));  // columns to rows

    // Any angle and scale, extreme ones wrapping the corners: only source pixels are copied.
    TestImage small(37, 23), target(37, 23), other(37, 24, 7);
    small.pattern();
    std::vector<uint32_t> values = small.pixels();
    std::sort(values.begin(), values.end());
    for (int16_t scale : std::initializer_list<int16_t>{INT16_MIN, -1024, 0, 1, 256, 1500, 4096, INT16_MAX})
        for (int16_t angle = 0; angle < 1440; angle += 7) {
            ImageClear(&target.image, 0xDEAD00);
            ImageRotate(&small.image, &target.image, angle, scale);
            for (uint32_t p : target.pixels())
                ASSERT_TRUE(p == 0xDEAD00 || std::binary_search(values.begin(), values.end(), p)) << angle;
        }
    // Different sizes, one Image as both, or more rows than the row table: nothing.
    TestImage tall(4, 501), tallTarget(4, 501, 7);
    const std::vector<uint32_t> before = small.pixels();
    ImageRotate(&tall.image, &tallTarget.image, 0, 1024);
    ImageRotate(&small.image, &other.image, 0, 1024);
    ImageRotate(&small.image, &small.image, 360, 1024);
    EXPECT_TRUE(tallTarget.pixels() == std::vector<uint32_t>(4 * 501, 7) && small.pixels() == before &&
                other.pixels() == std::vector<uint32_t>(37 * 24, 7));
}

// Turning a picture straight onto the screen gives exactly the pixels of
// turning it into a cleared scratch picture and copying that keyed.
TEST(GfxRotate, TurnedKeyedInOnePassEqualsTurnThenKeyedCopy) {
    BuildSineTable();
    TestImage source(23, 17), scratch(23, 17);
    source.pattern();
    for (int32_t x = 0; x < 23; x += 3)  // holes the keyed copies must skip
        for (int32_t y = 0; y < 17; ++y) source.at(x, (y * 7 + x) % 17) = 0;
    for (int32_t i = 0; i < 23 * 17; ++i)  // a see-through frame around the drawing
        if (i % 23 < 3 || i % 23 > 19 || i / 23 < 2 || i / 23 > 14) source.at(i % 23, i / 23) = 0;
    const int16_t angles[] = {0, 37, 360, 700, 1100, 1439};
    const int32_t places[][2] = {{10, 8}, {-9, -5}, {30, 20}, {-22, 3}, {39, 31}, {-23, 0}, {5, 31}};
    for (int16_t angle : angles)
        for (int16_t scale : {int16_t(1024), int16_t(700), int16_t(1500)})
            for (const auto& p : places) {
                TestImage expected(40, 32, 0x123456), got(40, 32, 0x123456);
                ImageClear(&scratch.image, TransparentColor);
                ImageRotate(&source.image, &scratch.image, angle, scale);
                ImageBlitKeyed(&scratch.image, 0, 0, &expected.image, p[0], p[1], 23, 17);
                ImageRotateKeyed(&source.image, &got.image, p[0], p[1], angle, scale);
                ASSERT_EQ(got.pixels(), expected.pixels()) << angle << " " << scale << " " << p[0] << "," << p[1];
                source.at(angle % 23, scale % 17) = 0x00FF00FF;  // the next turn sees the picture changed
            }
}
