// The font and the pictures carried inside the game, as the generators made
// them, and the 8x8 text drawn with that font.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "resources/Resources.h"
#include "rules/Board.h"
#include "tests/gfx_support.h"

TEST(GfxText, FontGlyphsAndTheirBitOrder)
{
    const ResourceEntry* font = ResourceFind("MyFnt", kResourceRaw);
    ASSERT_TRUE(font != nullptr && font->size == kFontTableSize);
    FontLoad();
    ASSERT_EQ(std::memcmp(FontTable, font->bytes, kFontTableSize), 0);
    const std::vector<uint8_t> letterA = {0x30, 0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(FontTable + 8 * 'A', FontTable + 8 * 'A' + 8), letterA);
    EXPECT_EQ(std::vector<uint8_t>(FontTable + 8 * 0xDB, FontTable + 8 * 0xDB + 8), std::vector<uint8_t>(8, 0xFF));
    EXPECT_TRUE(FontTable[8 * 0x80 + 7] != 0 && FontTable[8 * 'C' + 7] == 0);  // the cedilla hangs below C
    std::set<std::vector<uint8_t>> shapes;
    for (int c = 0; c < 256; ++c) {
        const std::vector<uint8_t> g(FontTable + 8 * c, FontTable + 8 * c + 8);
        EXPECT_EQ(g == std::vector<uint8_t>(8, 0), c == 0 || c == 0x20 || c == 0xFF) << c;  // blank where the code page is
        shapes.insert(g);
    }
    EXPECT_GE(shapes.size(), 250u);

    // Set bits in the colour (0 too), bit 7 leftmost; clear bits untouched.
    TestImage img(24, 10);
    img.pattern();
    const std::vector<uint32_t> before = img.pixels();
    const unsigned char text[] = {'A', 0x80, 0x01, 0};
    DrawFontText(&img.image, reinterpret_cast<const char*>(text), 0, 1, 0);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 24; ++x) {
            const uint8_t bits = y >= 1 && y < 9 ? FontTable[8 * text[x / 8] + y - 1] : 0;
            ASSERT_EQ(img.at(x, y), bits & (0x80 >> x % 8) ? 0 : before[y * 24 + x]) << x << "," << y;
        }
}

TEST(GfxText, StringsDrawOnlyWhereWholeCharactersFit)
{
    FontLoad();
    auto blocks = [](int32_t x, int32_t y, const char* text) {
        TestImage img(640, 20, 1);
        DrawFontText(&img.image, text, x, y, 2);
        const std::vector<uint32_t> all = img.pixels();
        return std::count(all.begin(), all.end(), 2u) / 64.0;
    };
    EXPECT_EQ(blocks(0, 12, "\xDB"), 1);  // the bottom row
    for (auto [x, y] : {std::pair{20, 13}, {20, -1}, {-1, 0}, {633, 0}, {40, INT32_MIN}, {40, INT32_MAX}, {INT32_MAX, 0}})
        EXPECT_EQ(blocks(x, y, "\xDB"), 0) << x << "," << y;
    EXPECT_EQ(blocks(632, 0, "\xDB\xDB"), 1);
    EXPECT_EQ(blocks(630, 0, "\xDB\xDB\xDB"), 1);
    EXPECT_EQ(blocks(0, 0, std::string(100, '\xDB').c_str()), 80);
    EXPECT_EQ(blocks(0, 0, nullptr) + blocks(0, 0, ""), 0);
}

// A picture as the game loads it: created at the resource's size. Its bytes
// are stored as the decoder reads them: 40-byte header, full colour table,
// bottom-up padded rows and nothing else.
struct Picture : TestImage {
    Picture(const char* name, int32_t w, int32_t h, uint32_t bits) : TestImage(w, h, 0xDEAD00)
    {
        const ResourceEntry* e = ResourceFind(name, kResourceBitmap);
        EXPECT_TRUE(e != nullptr && e->size == 40 + 4 * (1u << bits) + (w * bits + 31) / 32 * 4 * h) << name;
        EXPECT_TRUE(e != nullptr && e->bytes[14] == bits && ImageLoadBitmap(&image, name) == 1) << name;
    }
};

static bool grey(uint32_t p)
{
    return (p >> 16 & 0xFF) == (p >> 8 & 0xFF) && (p >> 8 & 0xFF) == (p & 0xFF);
}

TEST(GfxPictures, BallIsAShadedDiscThatEveryTintKeepsWhole)
{
    Picture ball("MyBallBitmap", 32, 32, 8);
    uint32_t brightest = 0;
    int at = 0, disc = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint32_t p = ball.at(x, y), d2 = (x - 15) * (x - 15) + (y - 15) * (y - 15);
            ASSERT_TRUE(grey(p) && (d2 > 225 || p != 0) && (d2 <= 256 || p == 0)) << x << "," << y;
            disc += p != 0;
            if ((p & 0xFF) > brightest)
                brightest = p & 0xFF, at = y * 32 + x;
        }
    EXPECT_NEAR(disc, 755, 15);  // about 31 across
    const uint32_t middle = ball.at(15, 15) & 0xFF;
    EXPECT_TRUE(middle >= 200 && brightest >= 245 && at % 32 < 15 && at / 32 < 15);  // highlight up left
    EXPECT_TRUE((ball.at(30, 15) & 0xFF) < middle * 3 / 4 && (ball.at(15, 30) & 0xFF) < middle * 3 / 4);
    TestImage tinted(32, 32);
    for (int k = 1; k <= kColorCount; ++k) {  // a pixel tinted to 0 would be a hole
        ImageTint(&ball.image, &tinted.image, BallPalette[k]);
        for (int i = 0; i < 32 * 32; ++i)
            ASSERT_TRUE(ball.at(i % 32, i / 32) == 0 || tinted.at(i % 32, i / 32) != 0) << k << " " << i;
    }
    // Closer than 30.4 always touches, farther than 30.9 never: neighbouring
    // cells (32 apart in a row, 16 across and 28 down between rows) never do.
    for (int dy = -33; dy <= 33; ++dy)
        for (int dx = -33; dx <= 33; ++dx) {
            const double d = std::hypot(dx, dy);
            const int touch = ImageOverlap(&ball.image, 100, 100, &ball.image, 100 + dx, 100 + dy);
            EXPECT_TRUE(d < 30.4 ? touch == 1 : d > 30.9 ? touch == 0 : true) << dx << "," << dy;
        }
}

TEST(GfxPictures, CannonIsASightPointingUp)
{
    Picture cannon("MyCannonBitmap", 184, 184, 4);
    auto lit = [&](int y, bool last) {
        for (int i = 0; i < 184; ++i)
            if (cannon.at(last ? 183 - i : i, y) != 0)
                return last ? 183 - i : i;
        return -1;
    };
    for (int y = 0; y < 184; ++y)
        for (int x = 0; x < 184; ++x) {  // grey, black below row 133, mirrored about column 91
            const uint32_t p = cannon.at(x, y);
            ASSERT_TRUE(grey(p) && (y < 134 || p == 0) && p == (x < 183 ? cannon.at(182 - x, y) : 0)) << x << "," << y;
        }
    EXPECT_TRUE(lit(92, false) == 49 && lit(92, true) == 133);  // the ring's outer edge
    EXPECT_TRUE(cannon.at(91, 92) == 0xFFFFFF && cannon.at(70, 91) == 0xFFFFFF && cannon.at(91, 115) == 0xFFFFFF);
    EXPECT_EQ(cannon.at(70, 70), 0u);  // open between the cross's arms
    EXPECT_NE(lit(1, false), -1);      // the arrow's tip at the top edge
    for (int y = 0; y < 48; ++y)  // above the ring: stem, small ring and arrowhead on the centre line
        EXPECT_TRUE(lit(y, false) == -1 || (lit(y, false) >= 78 && lit(y, true) <= 105)) << y;
    for (int y = 40; y < 48; ++y)
        EXPECT_EQ(cannon.at(91, y), 0xFFFFFFu) << y;
}

TEST(GfxPictures, BackgroundIsQuietBrownWood)
{
    Picture back("MyBackBitmap", 640, 480, 4);
    std::set<uint32_t> colours;
    double along = 0, across = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t p = back.at(x, y);
            const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF, luma = (299 * r + 587 * g + 114 * b) / 1000;
            ASSERT_TRUE(r > g && g > b && luma >= 50 && luma <= 170) << x << "," << y;  // brown; white and blue text show
            colours.insert(p);
            along += x < 639 ? std::abs(int(back.at(x + 1, y) & 0xFF) - b) : 0;
            across += y < 479 ? std::abs(int(back.at(x, y + 1) & 0xFF) - b) : 0;
        }
    EXPECT_GE(colours.size(), 12u);
    EXPECT_LT(along, across);  // the grain runs along the rows
}
