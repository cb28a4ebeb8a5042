// Copies, blend, tint and overlap: the clipping order, the transparent
// colour, and the per-channel rounding at the channel extremes.
#include <gtest/gtest.h>

#include "gfx/Image.h"
#include "tests/gfx_support.h"

using BlitFn = void (*)(Image*, int32_t, int32_t, Image*, int32_t, int32_t, int32_t, int32_t);

static void blendFull(Image* s, int32_t sx, int32_t sy, Image* d, int32_t dx, int32_t dy, int32_t w, int32_t h)
{
    ImageBlendKeyed(s, sx, sy, d, dx, dy, w, h, 256);
}

// The three copies share one clipping; with a source free of 0 pixels and
// alpha 256 all three must move exactly the same pixels.
static const BlitFn kCopies[] = {ImageBlit, ImageBlitKeyed, blendFull};

// What a clipped copy should leave in the destination, worked out pixel by
// pixel from the clipping rules: position (x, y) of the destination takes
// source (x - dx + sx, y - dy + sy) when inside the trimmed block, unless the
// trimmed source window leaves the source, in which case nothing changes.
static std::vector<uint32_t> expectedCopy(TestImage& src, TestImage& dst, int32_t sx, int32_t sy, int32_t dx,
                                          int32_t dy, int32_t w, int32_t h)
{
    std::vector<uint32_t> out = dst.pixels();
    int64_t x0 = std::max<int64_t>(dx, 0), x1 = std::min<int64_t>(int64_t(dx) + w, dst.image.width);
    int64_t y0 = std::max<int64_t>(dy, 0), y1 = std::min<int64_t>(int64_t(dy) + h, dst.image.height);
    if (x1 <= x0 || y1 <= y0)
        return out;
    int64_t wx0 = x0 - dx + sx, wx1 = x1 - dx + sx, wy0 = y0 - dy + sy, wy1 = y1 - dy + sy;
    if (wx0 < 0 || wx1 > src.image.width || wy0 < 0 || wy1 > src.image.height)
        return out;
    for (int64_t y = y0; y < y1; ++y)
        for (int64_t x = x0; x < x1; ++x)
            out[y * dst.image.width + x] = src.at(int32_t(x - dx + sx), int32_t(y - dy + sy));
    return out;
}

TEST(GfxBlit, ClippingFollowsTheDestinationAndRefusesOutsideSources)
{
    struct Args {
        int32_t sx, sy, dx, dy, w, h;
        bool draws;
    };
    // Source 40 x 36, destination 50 x 30.
    const Args cases[] = {
        {0, 0, -5, 0, 32, 32, true},      // left cut: 27 columns from source column 5
        {3, 2, 7, 4, 10, 8, true},        // inside
        {0, 0, 30, 20, 32, 32, true},     // hangs over right and bottom: cut
        {10, 0, 45, 0, 32, 10, true},     // cut to 5 columns; window 10..14 fits
        {0, 0, 50, 0, 4, 4, false},       // right of the destination
        {0, 0, -4, 0, 4, 4, false},       // left of it (dx + w = 0)
        {0, 0, 0, 30, 4, 4, false},       // below
        {0, 0, 0, -4, 4, 4, false},       // above
        {30, 0, 0, 0, 20, 5, false},      // window 30..49 leaves the 40-wide source
        {-1, 0, 0, 0, 5, 5, false},       // window starts left of the source
        {0, 30, 0, 0, 5, 10, false},      // window 30..39 leaves the 36-high source
        {-3, 0, -3, 0, 10, 5, true},      // left cut moves the window back inside
        {30, 0, 40, 0, 20, 5, true},      // right cut keeps the window 30..39 inside
        {0, 0, 0, 0, 0, 5, false},        // empty
        {0, 0, 0, 0, 5, -2, false},       // negative height
        {0, 0, INT32_MIN, 0, 5, 5, false},
        {0, 0, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, false},
        {INT32_MAX, 0, 0, 0, 2, 2, false},
    };
    for (const Args& a : cases) {
        for (BlitFn copy : kCopies) {
            TestImage src(40, 36), dst(50, 30, 0x0F0F0F);
            src.pattern(1);
            std::vector<uint32_t> expect = expectedCopy(src, dst, a.sx, a.sy, a.dx, a.dy, a.w, a.h);
            std::vector<uint32_t> before = dst.pixels();
            copy(&src.image, a.sx, a.sy, &dst.image, a.dx, a.dy, a.w, a.h);
            EXPECT_EQ(dst.pixels(), expect) << a.sx << " " << a.sy << " " << a.dx << " " << a.dy << " " << a.w << " " << a.h;
            EXPECT_EQ(dst.pixels() != before, a.draws) << a.sx << " " << a.dx << " " << a.w;
        }
    }
}

TEST(GfxBlit, FullWidthCopyOfEqualPitches)
{
    TestImage src(640, 480), dst(640, 480);
    src.pattern(3);
    ImageBlit(&src.image, 0, 0, &dst.image, 0, 0, 640, 480);
    EXPECT_EQ(dst.pixels(), src.pixels());
    // Overlapping move within one Image, down and right.
    TestImage one(20, 20);
    one.pattern(4);
    TestImage copy(20, 20);
    ImageBlit(&one.image, 0, 0, &copy.image, 0, 0, 20, 20);
    ImageBlit(&one.image, 0, 0, &one.image, 2, 3, 10, 10);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            ASSERT_EQ(one.at(x + 2, y + 3), copy.at(x, y));
}

TEST(GfxBlit, KeyedCopySkipsOnlyZero)
{
    TestImage src(9, 3), dst(9, 3, 0xC0C0C0);
    const uint32_t values[] = {0, 1, 0x00000001, 0xFF000000, 0x00FFFFFF, 0, 0x010000, 0x000100, 0};
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 9; ++x)
            src.set(x, y, values[(x + y) % 9]);
    ImageBlitKeyed(&src.image, 0, 0, &dst.image, 0, 0, 9, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 9; ++x) {
            uint32_t v = values[(x + y) % 9];
            ASSERT_EQ(dst.at(x, y), v == 0 ? 0xC0C0C0u : v) << x << "," << y;
        }
}

// Reference blend of one pixel, written from the rule: each channel is
// D + floor((S - D) x alpha / 256), the top byte 0, and a 0 source keeps D.
static uint32_t referenceBlend(uint32_t s, uint32_t d, int32_t alpha)
{
    if (s == 0)
        return d;
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        int32_t S = int32_t(s >> shift & 0xFF), D = int32_t(d >> shift & 0xFF);
        int32_t diff = (S - D) * alpha;
        int32_t floorDiv = diff >= 0 ? diff / 256 : -((-diff + 255) / 256);
        out |= uint32_t(D + floorDiv) << shift;
    }
    return out;
}

TEST(GfxBlit, BlendRoundsTowardMinusInfinityAtTheExtremes)
{
    // Channel pairs at the extremes in every lane of the 4-wide inner loop
    // and in the tail.
    const uint32_t channels[] = {0, 1, 127, 128, 254, 255};
    for (int32_t alpha : {0, 1, 127, 128, 129, 255, 256}) {
        TestImage src(7, 36), dst(7, 36);
        for (int32_t y = 0; y < 36; ++y)
            for (int32_t x = 0; x < 7; ++x) {
                uint32_t a = channels[y / 6], b = channels[y % 6];
                uint32_t s = a << 16 | b << 8 | ((a + x) & 0xFF);
                src.set(x, y, s == 0 ? 0 : s | (x == 3 ? 0xFF000000u : 0));
                dst.set(x, y, (b << 16 | a << 8 | (255 - a)) | (x == 5 ? 0x7F000000u : 0));
            }
        std::vector<uint32_t> s = src.pixels(), d = dst.pixels();
        ImageBlendKeyed(&src.image, 0, 0, &dst.image, 0, 0, 7, 36, alpha);
        std::vector<uint32_t> out = dst.pixels();
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], referenceBlend(s[i], d[i], alpha)) << "alpha " << alpha << " pixel " << i;
    }
}

TEST(GfxBlit, BlendKnownValuesAndOpacityLimits)
{
    TestImage src(3, 1), dst(3, 1);
    src.set(1, 0, 0x0000FF);  // blue 255 over 0 and red 0 over 255 both give 127
    src.set(2, 0, 0x123456);
    dst.set(0, 0, 0xFFFFFF);
    dst.set(1, 0, 0xFF0000);
    ImageBlendKeyed(&src.image, 0, 0, &dst.image, 0, 0, 3, 1, 128);
    EXPECT_EQ(dst.at(0, 0), 0xFFFFFFu);  // under a transparent source
    EXPECT_EQ(dst.at(1, 0), 0x7F007Fu);
    // Opacity beyond 0..256 is held to it instead of spilling across channels.
    TestImage over(3, 1, 0xABCDEF), under(3, 1, 0xABCDEF);
    ImageBlendKeyed(&src.image, 0, 0, &over.image, 0, 0, 3, 1, 1000);
    ImageBlendKeyed(&src.image, 0, 0, &under.image, 0, 0, 3, 1, -1000);
    EXPECT_EQ(over.pixels(), (std::vector<uint32_t>{0xABCDEF, 0x0000FF, 0x123456}));
    EXPECT_EQ(under.pixels(), (std::vector<uint32_t>{0xABCDEF, 0xABCDEF, 0xABCDEF}));
}

TEST(GfxBlit, TintMultipliesEachChannelAndWritesEveryPixel)
{
    TestImage src(6, 2), dst(6, 2, 0x5A5A5A);
    const uint32_t values[] = {0, 0xFFFFFF, 0x0000FF, 0x010203, 0x808080, 0xFF000000};
    for (int32_t x = 0; x < 6; ++x) {
        src.set(x, 0, values[x]);
        src.set(x, 1, values[5 - x]);
    }
    ImageTint(&src.image, &dst.image, 0xFFFFFF);
    EXPECT_EQ(dst.at(0, 0), 0u);  // 0 is written, and stays 0
    EXPECT_EQ(dst.at(1, 0), 0xFEFEFEu);
    EXPECT_EQ(dst.at(2, 0), 0x0000FEu);
    EXPECT_EQ(dst.at(3, 0), 0x000102u);
    EXPECT_EQ(dst.at(4, 0), 0x7F7F7Fu);
    EXPECT_EQ(dst.at(5, 0), 0u);  // the top byte is dropped

    ImageTint(&src.image, &dst.image, 0xFF0000);
    EXPECT_EQ(dst.at(2, 0), 0u);  // pure blue turns transparent
    EXPECT_EQ(dst.at(1, 0), 0xFE0000u);
    ImageTint(&src.image, &dst.image, 0x804020);
    EXPECT_EQ(dst.at(1, 0), 0x7F3F1Fu);
    ImageTint(&src.image, &dst.image, 0);
    for (uint32_t p : dst.pixels())
        EXPECT_EQ(p, 0u);

    // In place, and not at all for different sizes.
    ImageTint(&src.image, &src.image, 0x808080);
    EXPECT_EQ(src.at(1, 0), 0x7F7F7Fu);
    TestImage other(6, 3, 0x111111);
    ImageTint(&src.image, &other.image, 0xFFFFFF);
    for (uint32_t p : other.pixels())
        EXPECT_EQ(p, 0x111111u);
}

TEST(GfxBlit, OverlapNeedsACommonNonZeroPixel)
{
    TestImage a(4, 4), b(4, 4);
    // Edge test: only the right column of a, only the left column of b.
    EXPECT_EQ(ImageOverlap(&a.image, 0, 0, &b.image, 3, 0), 0);
    a.set(3, 2, 1);
    b.set(0, 2, 0xFF000000);  // any non-zero value counts
    EXPECT_EQ(ImageOverlap(&a.image, 0, 0, &b.image, 3, 0), 1);   // share column 3
    EXPECT_EQ(ImageOverlap(&a.image, 0, 0, &b.image, 4, 0), 0);   // one apart
    EXPECT_EQ(ImageOverlap(&a.image, 0, 0, &b.image, 3, 1), 0);   // rows differ
    EXPECT_EQ(ImageOverlap(&b.image, 3, 1, &a.image, 0, 1), 1);   // order does not matter
    EXPECT_EQ(ImageOverlap(&a.image, -100, -100, &b.image, -97, -100), 1);
    EXPECT_EQ(ImageOverlap(&a.image, INT32_MAX, 0, &b.image, INT32_MIN, 0), 0);
    EXPECT_EQ(ImageOverlap(&a.image, INT32_MAX - 3, 0, &b.image, INT32_MAX, 0), 1);

    TestImage empty(4, 4);
    EXPECT_EQ(ImageOverlap(&empty.image, 0, 0, &empty.image, 0, 0), 0);
    EXPECT_EQ(ImageOverlap(&a.image, 0, 0, &a.image, 0, 0), 1);
}

// Sparse pictures of different sizes at many relative placements: the
// answer must be exactly whether some screen pixel is non-zero in both.
TEST(GfxBlit, OverlapMatchesAPixelByPixelReference)
{
    TestImage a(13, 9), b(7, 11);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 13; ++x)
            a.set(x, y, (next() >> 16) % 7 == 0 ? 0x10 : 0);
    for (int32_t y = 0; y < 11; ++y)
        for (int32_t x = 0; x < 7; ++x)
            b.set(x, y, (next() >> 16) % 5 == 0 ? 0x20 : 0);
    int hits = 0, misses = 0;
    for (int32_t oy = -12; oy <= 10; ++oy)
        for (int32_t ox = -8; ox <= 14; ++ox) {
            int expect = 0;
            for (int32_t y = 0; y < 9 && !expect; ++y)
                for (int32_t x = 0; x < 13; ++x) {
                    int32_t bx = x - ox, by = y - oy;
                    if (bx >= 0 && bx < 7 && by >= 0 && by < 11 && a.at(x, y) != 0 && b.at(bx, by) != 0) {
                        expect = 1;
                        break;
                    }
                }
            ASSERT_EQ(ImageOverlap(&a.image, 100, 50, &b.image, 100 + ox, 50 + oy), expect) << ox << "," << oy;
            expect ? ++hits : ++misses;
        }
    EXPECT_GT(hits, 20);
    EXPECT_GT(misses, 20);
}
