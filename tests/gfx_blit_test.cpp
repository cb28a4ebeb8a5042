// Copies, blend, tint and overlap: the clipping order, the transparent
// colour, and the per-channel rounding at the channel extremes.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/gfx_support.h"

// With a source free of 0 pixels and opacity 256 all three copies must move
// exactly the same pixels.
static void blendFull(Image* s, int32_t sx, int32_t sy, Image* d, int32_t dx, int32_t dy, int32_t w, int32_t h)
{
    ImageBlendKeyed(s, sx, sy, d, dx, dy, w, h, 256);
}

TEST(GfxBlit, ClippingCutsAtTheDestinationAndRefusesOutsideSources)
{
    // Source 40 x 36, destination 50 x 30. Cut the block to the destination
    // first; if its source window then leaves the source, draw nothing.
    const int32_t cases[][6] = {
        {3, 2, 7, 4, 10, 8},     {0, 0, -5, 0, 32, 32},  {0, 0, 30, 20, 32, 32}, {10, 0, 45, 0, 32, 10},
        {0, 0, 50, 0, 4, 4},     {0, 0, -4, 0, 4, 4},    {0, 0, 0, -4, 4, 4},    {30, 0, 0, 0, 20, 5},
        {-1, 0, 0, 0, 5, 5},     {0, 30, 0, 0, 5, 10},   {-3, 0, -3, 0, 10, 5},  {30, 0, 40, 0, 20, 5},
        {0, -2, 0, -2, 5, 5},    {0, 30, 0, 24, 5, 10},  {0, 0, 0, 0, 0, 5},     {0, 0, 0, 0, 5, -2},
        {0, 0, INT32_MIN, 0, 5, 5}, {0, 0, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, {INT32_MAX, 0, 0, 0, 2, 2},
    };
    for (const auto& c : cases) {
        const int64_t sx = c[0], sy = c[1], dx = c[2], dy = c[3];
        const int64_t x0 = std::max<int64_t>(dx, 0), x1 = std::min<int64_t>(dx + c[4], 50);
        const int64_t y0 = std::max<int64_t>(dy, 0), y1 = std::min<int64_t>(dy + c[5], 30);
        const bool draws = x0 < x1 && y0 < y1 && x0 - dx + sx >= 0 && x1 - dx + sx <= 40 && y0 - dy + sy >= 0 &&
                           y1 - dy + sy <= 36;
        for (auto copy : {ImageBlit, ImageBlitKeyed, blendFull}) {
            TestImage src(40, 36), dst(50, 30, 0x0F0F0F);
            src.pattern();
            copy(&src.image, c[0], c[1], &dst.image, c[2], c[3], c[4], c[5]);
            for (int32_t y = 0; y < 30; ++y)
                for (int32_t x = 0; x < 50; ++x) {
                    bool in = draws && x >= x0 && x < x1 && y >= y0 && y < y1;
                    ASSERT_EQ(dst.at(x, y), in ? src.at(int32_t(x - dx + sx), int32_t(y - dy + sy)) : 0x0F0F0Fu)
                        << c[0] << " " << c[1] << " " << c[2] << " " << c[3] << " " << c[4] << " " << c[5];
                }
        }
    }
}

TEST(GfxBlit, WholeScreenAndOverlappingMoves)
{
    TestImage src(640, 480), dst(640, 480), one(20, 20), copy(20, 20);
    src.pattern();
    ImageBlit(&src.image, 0, 0, &dst.image, 0, 0, 640, 480);
    EXPECT_EQ(dst.pixels(), src.pixels());
    one.pattern();
    ImageBlit(&one.image, 0, 0, &copy.image, 0, 0, 20, 20);
    ImageBlit(&one.image, 0, 0, &one.image, 2, 3, 10, 10);  // down and right within one Image
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            ASSERT_EQ(one.at(x + 2, y + 3), copy.at(x, y));
}

TEST(GfxBlit, KeyedCopyAndBlendAtTheChannelExtremes)
{
    // Every pair of extreme channel values, in each lane of the four-pixel
    // loops and in the tail. The keyed copy skips only 0; the blend makes
    // each channel D + floor((S - D) x a / 256), the top byte 0, and keeps D
    // under a 0 source.
    const uint32_t channels[] = {0, 1, 127, 128, 254, 255};
    for (int32_t alpha : {0, 1, 127, 128, 255, 256}) {
        TestImage src(7, 36), dst(7, 36), keyed(7, 36);
        for (int32_t y = 0; y < 36; ++y)
            for (int32_t x = 0; x < 7; ++x) {
                uint32_t a = channels[y / 6], b = channels[y % 6], s = a << 16 | b << 8 | ((a + x) & 0xFF);
                src.at(x, y) = (x + y) % 3 == 0 ? 0 : s | (x == 3 ? 0xFF000000u : 0);
                dst.at(x, y) = keyed.at(x, y) = (b << 16 | a << 8 | (255 - a)) | (x == 5 ? 0x7F000000u : 0);
            }
        const std::vector<uint32_t> s = src.pixels(), d = dst.pixels();
        ImageBlitKeyed(&src.image, 0, 0, &keyed.image, 0, 0, 7, 36);
        ImageBlendKeyed(&src.image, 0, 0, &dst.image, 0, 0, 7, 36, alpha);
        const std::vector<uint32_t> k = keyed.pixels(), out = dst.pixels();
        for (size_t i = 0; i < s.size(); ++i) {
            uint32_t expect = s[i] == 0 ? d[i] : 0;
            for (int shift = 0; s[i] != 0 && shift < 24; shift += 8) {
                int32_t diff = (int32_t(s[i] >> shift & 0xFF) - int32_t(d[i] >> shift & 0xFF)) * alpha;
                expect |= uint32_t(int32_t(d[i] >> shift & 0xFF) + (diff >= 0 ? diff / 256 : -((255 - diff) / 256))) << shift;
            }
            ASSERT_EQ(out[i], expect) << "alpha " << alpha << " pixel " << i;
            ASSERT_EQ(k[i], s[i] != 0 ? s[i] : d[i]) << i;
        }
    }
    // Known values; opacity outside 0..256 is held to it.
    TestImage src(3, 1), dst(3, 1, 0xFF0000), over(3, 1, 0xABCDEF), under(3, 1, 0xABCDEF);
    src.at(0, 0) = 0x0000FF;
    src.at(2, 0) = 0x123456;
    ImageBlendKeyed(&src.image, 0, 0, &dst.image, 0, 0, 3, 1, 128);
    EXPECT_EQ(dst.pixels(), (std::vector<uint32_t>{0x7F007F, 0xFF0000, 0x881A2B}));
    ImageBlendKeyed(&src.image, 0, 0, &over.image, 0, 0, 3, 1, 1000);
    ImageBlendKeyed(&src.image, 0, 0, &under.image, 0, 0, 3, 1, -1000);
    EXPECT_EQ(over.pixels(), (std::vector<uint32_t>{0x0000FF, 0xABCDEF, 0x123456}));
    EXPECT_EQ(under.pixels(), std::vector<uint32_t>(3, 0xABCDEF));
}

TEST(GfxBlit, TintScalesEachChannelAndWritesEveryPixel)
{
    TestImage src(5, 1), dst(5, 1, 0x5A5A5A), other(5, 2, 0x111111);
    const uint32_t values[] = {0, 0xFFFFFF, 0x0000FF, 0x010203, 0xFF808080};
    for (int32_t x = 0; x < 5; ++x)
        src.at(x, 0) = values[x];
    ImageTint(&src.image, &dst.image, 0xFFFFFF);
    EXPECT_EQ(dst.pixels(), (std::vector<uint32_t>{0, 0xFEFEFE, 0x0000FE, 0x000102, 0x7F7F7F}));
    ImageTint(&src.image, &dst.image, 0xFF0000);  // pure blue turns transparent
    EXPECT_EQ(dst.pixels(), (std::vector<uint32_t>{0, 0xFE0000, 0, 0, 0x7F0000}));
    ImageTint(&src.image, &src.image, 0x804020);  // in place
    EXPECT_EQ(src.pixels(), (std::vector<uint32_t>{0, 0x7F3F1F, 0x00001F, 0, 0x402010}));
    ImageTint(&src.image, &other.image, 0xFFFFFF);  // sizes differ: nothing
    EXPECT_EQ(other.pixels(), std::vector<uint32_t>(10, 0x111111));
}

// Sparse pictures at every relative placement: the answer must be whether
// some screen pixel is non-zero in both.
TEST(GfxBlit, OverlapNeedsACommonNonZeroPixel)
{
    TestImage a(13, 9), b(7, 11);
    uint32_t seed = 12345;
    auto sparse = [&seed](uint32_t every) { return ((seed = seed * 1103515245u + 12345u) >> 16) % every == 0; };
    for (int32_t i = 0; i < 13 * 9; ++i)
        a.at(i % 13, i / 13) = sparse(7) ? 0x10 : 0;
    for (int32_t i = 0; i < 7 * 11; ++i)
        b.at(i % 7, i / 7) = sparse(5) ? 0xFF000000 : 0;  // any non-zero value counts
    int hits = 0;
    for (int32_t oy = -12; oy <= 10; ++oy)
        for (int32_t ox = -8; ox <= 14; ++ox) {
            int expect = 0;
            for (int32_t y = std::max(0, oy); y < std::min(9, oy + 11); ++y)
                for (int32_t x = std::max(0, ox); x < std::min(13, ox + 7); ++x)
                    expect |= a.at(x, y) != 0 && b.at(x - ox, y - oy) != 0;
            ASSERT_EQ(ImageOverlap(&a.image, 100, 50, &b.image, 100 + ox, 50 + oy), expect) << ox << "," << oy;
            ASSERT_EQ(ImageOverlap(&b.image, 100 + ox, 50 + oy, &a.image, 100, 50), expect) << ox << "," << oy;
            hits += expect;
        }
    EXPECT_GT(hits, 20);
    EXPECT_LT(hits, 23 * 23 - 20);
    a.at(12, 0) = 1;
    b.at(0, 0) = 1;
    EXPECT_EQ(ImageOverlap(&a.image, INT32_MAX - 12, 0, &b.image, INT32_MAX, 0), 1);
    EXPECT_EQ(ImageOverlap(&a.image, INT32_MAX, 0, &b.image, INT32_MIN, 0), 0);
}
