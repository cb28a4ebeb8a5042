// The font and the pictures carried inside the game, as the generators made
// them, and where the 8x8 text is drawn (what it shows: the scene's tests).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "gfx/GameImages.h"
#include "resources/Resources.h"
#include "rules/Board.h"
#include "tests/gfx_support.h"

TEST(GfxText, FontGlyphsAndWhereStringsAreDrawn) {
    // (That the font is the one carried, the end-to-end tests find: their
    // text reader reads the game's screen with it.)
    FontLoad();
    auto glyph = [](int c) { return std::vector<uint8_t>(FontTable + 8 * c, FontTable + 8 * c + 8); };
    EXPECT_EQ(glyph(0xDB), std::vector<uint8_t>(8, 0xFF));
    EXPECT_TRUE(glyph(0x80)[7] != 0 && glyph('C')[7] == 0 && glyph(' ') == std::vector<uint8_t>(8, 0));
    // Only whole characters: all eight rows inside, stopping at the right edge.
    auto blocks = [](int32_t x, int32_t y, const char* s) {
        TestImage line(640, 20, 1);
        DrawFontText(&line.image, s, x, y, 2);
        const std::vector<uint32_t> all = line.pixels();
        return static_cast<double>(std::count(all.begin(), all.end(), 2u)) / 64.0;
    };
    for (auto [x, y] :
         {std::pair{20, 13}, {20, -1}, {-1, 0}, {633, 0}, {40, INT32_MIN}, {40, INT32_MAX}, {INT32_MAX, 0}})
        EXPECT_EQ(blocks(x, y, "\xDB"), 0) << x << "," << y;
    EXPECT_TRUE(blocks(0, 12, "\xDB") == 1 && blocks(632, 0, "\xDB\xDB") == 1 && blocks(630, 0, "\xDB\xDB\xDB") == 1);
    EXPECT_EQ(blocks(0, 0, std::string(100, '\xDB').c_str()), 80);
    EXPECT_EQ(blocks(0, 0, nullptr) + blocks(0, 0, ""), 0);
}

// A picture created (at its own size, whatever is asked for) and loaded as the game does it; its
// bytes are stored as the decoder reads them: 40-byte header, full colour table, padded rows.
struct Picture : TestImage {
    Picture(const char* name, int32_t w, int32_t h, uint32_t bits) : TestImage(w, h) {
        const ResourceEntry* e = ResourceFind(name, kResourceBitmap);
        EXPECT_TRUE(e && e->bytes[14] == bits && e->size == 40 + 4 * (1u << bits) + (w * bits + 31) / 32 * 4 * h)
            << name;
        EXPECT_TRUE(ImageCreate(&image, name, 1, 1, 1) && ImageLoadBitmap(&image, name) && image.width == w) << name;
    }
};

static bool grey(uint32_t p) {
    return (p >> 16 & 0xFF) == (p >> 8 & 0xFF) && (p >> 8 & 0xFF) == (p & 0xFF);
}

TEST(GfxPictures, BallIsAShadedDiscThatEveryTintKeepsWhole) {
    Picture ball("MyBallBitmap", 32, 32, 8);
    for (int i = 0; i < 32 * 32; ++i) {  // a grey disc about 31 across, centred on pixel (15, 15)
        const int x = i % 32, y = i / 32, d2 = (x - 15) * (x - 15) + (y - 15) * (y - 15);
        const uint32_t p = ball.at(x, y);
        ASSERT_TRUE(grey(p) && (d2 > 225 || p != 0) && (d2 <= 256 || p == 0)) << x << "," << y;
    }
    const uint32_t middle = ball.at(15, 15) & 0xFF;  // near white, a highlight up left, a darker rim
    EXPECT_TRUE(middle >= 200 && (ball.at(10, 10) & 0xFF) > middle && (ball.at(20, 20) & 0xFF) < middle);
    EXPECT_TRUE((ball.at(30, 15) & 0xFF) < middle * 3 / 4 && (ball.at(15, 30) & 0xFF) < middle * 3 / 4);
    TestImage tinted(32, 32);
    for (int k = 1; k <= kColorCount; ++k) {  // a pixel tinted to 0 would be a hole
        ImageTint(&ball.image, &tinted.image, BallPalette[k]);
        for (int i = 0; i < 32 * 32; ++i)
            ASSERT_TRUE(ball.at(i % 32, i / 32) == 0 || tinted.at(i % 32, i / 32) != 0) << k << " " << i;
    }
}

TEST(GfxPictures, CannonIsASightPointingUpAndTheBackgroundBrownWood) {
    Picture cannon("MyCannonBitmap", 184, 184, 4);
    for (int i = 0; i < 184 * 184; ++i) {  // grey, black below row 133, mirrored about column 91
        const int x = i % 184, y = i / 184;
        const uint32_t p = cannon.at(x, y);
        ASSERT_TRUE(grey(p) && (y < 134 || p == 0) && p == (x < 183 ? cannon.at(182 - x, y) : 0)) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{91, 92}, {70, 91}, {91, 115}, {91, 40}, {91, 47}})  // dot, cross and stem
        EXPECT_EQ(cannon.at(x, y), 0xFFFFFFu) << x << "," << y;
    EXPECT_TRUE(cannon.at(70, 70) == 0 && cannon.at(48, 92) == 0 &&
                cannon.at(49, 92) != 0);  // open inside, the ring's edge

    // The wood: brown everywhere, and neither so light that white text nor
    // so dark that blue text disappears.
    Picture back("MyBackBitmap", 640, 480, 4);
    for (int i = 0; i < 640 * 480; ++i) {
        const int p = int(back.at(i % 640, i / 640)), r = p >> 16, g = p >> 8 & 0xFF, b = p & 0xFF;
        ASSERT_TRUE(r > g && g > b && 299 * r + 587 * g + 114 * b >= 50000 && 299 * r + 587 * g + 114 * b < 171000)
            << i;
    }
}
