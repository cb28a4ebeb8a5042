// The pictures and the font carried inside the game, as the generators made
// them: their formats, the font's telling glyphs, the ball's exact outline
// (the hit test depends on it) and the cannon's layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "gfx/Image.h"
#include "gfx/Text.h"
#include "resources/Resources.h"
#include "rules/Board.h"

namespace {

uint32_t read16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t read32(const unsigned char* p) { return read16(p) | (read16(p + 2) << 16); }

// Checks one bitmap resource's bytes against the stored form: 40-byte
// header, uncompressed, a full colour table, bottom-up padded rows and
// nothing else.
void ExpectDib(const char* name, int32_t width, int32_t height, uint32_t bitsPerPixel)
{
    SCOPED_TRACE(name);
    const ResourceEntry* entry = ResourceFind(name, kResourceBitmap);
    ASSERT_NE(entry, nullptr);
    const unsigned char* b = entry->bytes;
    ASSERT_GE(entry->size, 40u);
    EXPECT_EQ(read32(b), 40u);
    EXPECT_EQ(static_cast<int32_t>(read32(b + 4)), width);
    EXPECT_EQ(static_cast<int32_t>(read32(b + 8)), height);  // positive: bottom-up
    EXPECT_EQ(read16(b + 12), 1u);
    EXPECT_EQ(read16(b + 14), bitsPerPixel);
    EXPECT_EQ(read32(b + 16), 0u);  // uncompressed
    const uint32_t colours = 1u << bitsPerPixel;
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * bitsPerPixel + 31) / 32 * 4;
    EXPECT_EQ(entry->size, 40u + 4u * colours + rowBytes * static_cast<uint32_t>(height));

    int32_t w = 0, h = 0;
    EXPECT_EQ(DibSize(entry->bytes, entry->size, &w, &h), 1);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
}

// A picture loaded from the resources the way the game loads it.
struct LoadedPicture {
    Image image;
    uint32_t* pixels = nullptr;
    int32_t pitch = 0;
    bool loaded = false;

    explicit LoadedPicture(const char* name)
    {
        loaded = ImageCreate(&image, name, 0, 0, 1) == 1 && ImageLoadBitmap(&image, name) == 1;
        if (loaded) {
            ImageLock(&image, &image, &pixels, &pixels, &pitch, &pitch);
            ImageUnlock(&image, &image);
            loaded = pixels != nullptr;
        }
    }
    ~LoadedPicture() { ImageRelease(&image); }
    LoadedPicture(const LoadedPicture&) = delete;
    LoadedPicture& operator=(const LoadedPicture&) = delete;

    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<ptrdiff_t>(y) * pitch + x]; }
};

bool IsGrey(uint32_t p)
{
    return ((p >> 16) & 0xFF) == ((p >> 8) & 0xFF) && ((p >> 8) & 0xFF) == (p & 0xFF);
}

const unsigned char* Glyph(const ResourceEntry* font, int code)
{
    return font->bytes + code * 8;
}

}  // namespace

TEST(GameResources, PicturesAreStoredAsTheGameReadsThem)
{
    ExpectDib("MyBackBitmap", 640, 480, 4);
    ExpectDib("MyBallBitmap", 32, 32, 8);
    ExpectDib("MyCannonBitmap", 184, 184, 4);

    const ResourceEntry* font = ResourceFind("MyFnt", kResourceRaw);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->size, 2048u);
    EXPECT_EQ(ResourceFind("MyFnt", kResourceBitmap), nullptr);
}

TEST(GameResources, FontHasTheCodePageGlyphs)
{
    const ResourceEntry* font = ResourceFind("MyFnt", kResourceRaw);
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(font->size, 2048u);

    const unsigned char letterA[8] = {0x30, 0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00};
    EXPECT_EQ(std::memcmp(Glyph(font, 0x41), letterA, 8), 0);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(Glyph(font, 0xDB)[r], 0xFF) << "full block row " << r;

    // Blank only where the code page is blank; every other code draws
    // something, and the control-code symbols are not all one shape.
    std::set<std::vector<unsigned char>> shapes;
    for (int c = 0; c < 256; ++c) {
        const unsigned char* g = Glyph(font, c);
        const bool blank = std::all_of(g, g + 8, [](unsigned char b) { return b == 0; });
        EXPECT_EQ(blank, c == 0x00 || c == 0x20 || c == 0xFF) << "code " << c;
        if (!blank)
            shapes.insert(std::vector<unsigned char>(g, g + 8));
    }
    EXPECT_GE(shapes.size(), 250u);
    EXPECT_NE(std::memcmp(Glyph(font, 0x01), Glyph(font, 0x02), 8), 0);

    // Ç is a C with a cedilla: it reaches the bottom row, which neither C
    // nor any capital letter does, and its top half is C-shaped (open on
    // the right of the middle row).
    const unsigned char* cedilla = Glyph(font, 0x80);
    EXPECT_NE(cedilla[7], 0);
    for (int c = 'A'; c <= 'Z'; ++c)
        EXPECT_EQ(Glyph(font, c)[7], 0) << static_cast<char>(c);
    EXPECT_EQ(cedilla[2] & 0x0F, 0);
    EXPECT_NE(cedilla[2] & 0xC0, 0);
    EXPECT_NE(Glyph(font, 'g')[7], 0);  // descenders share the one baseline
}

TEST(GameResources, FontDrawsThroughTheTextRoutine)
{
    // The stored bit order must be the one the text drawing reads: the A
    // comes out upright, not mirrored.
    FontLoad();
    Image image;
    ASSERT_EQ(ImageCreate(&image, nullptr, 8, 8, 1), 1);
    ImageClear(&image, 0);
    DrawFontText(&image, "A", 0, 0, 0xFFFFFF);
    uint32_t* pixels = nullptr;
    int32_t pitch = 0;
    ImageLock(&image, &image, &pixels, &pixels, &pitch, &pitch);
    ImageUnlock(&image, &image);
    ASSERT_NE(pixels, nullptr);
    const char* expected[8] = {"..##....", ".####...", "##..##..", "##..##..",
                               "######..", "##..##..", "##..##..", "........"};
    for (int y = 0; y < 8; ++y) {
        std::string row;
        for (int x = 0; x < 8; ++x)
            row += pixels[y * pitch + x] != 0 ? '#' : '.';
        EXPECT_EQ(row, expected[y]) << "row " << y;
    }
    ImageRelease(&image);
}

TEST(GameResources, BallIsALightDiscOnBlack)
{
    LoadedPicture ball("MyBallBitmap");
    ASSERT_TRUE(ball.loaded);
    ASSERT_EQ(ball.image.width, 32);
    ASSERT_EQ(ball.image.height, 32);

    EXPECT_EQ(ball.at(0, 0), 0u);
    EXPECT_EQ(ball.at(31, 0), 0u);
    EXPECT_EQ(ball.at(0, 31), 0u);
    EXPECT_EQ(ball.at(31, 31), 0u);

    uint32_t brightest = 0;
    int brightestX = 0, brightestY = 0;
    int discPixels = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint32_t p = ball.at(x, y);
            const int d2 = (x - 15) * (x - 15) + (y - 15) * (y - 15);
            EXPECT_TRUE(IsGrey(p)) << x << "," << y;
            if (d2 <= 225) {
                EXPECT_NE(p, 0u) << "hole in the disc at " << x << "," << y;
            }
            if (d2 > 256) {
                EXPECT_EQ(p, 0u) << "outside the disc at " << x << "," << y;
            }
            if (p != 0)
                ++discPixels;
            if ((p & 0xFF) > brightest) {
                brightest = p & 0xFF;
                brightestX = x;
                brightestY = y;
            }
        }
    // About 31 across: pi * 15.5^2 is 755.
    EXPECT_NEAR(discPixels, 755, 15);

    // Near-white middle, a highlight up and to the left, a darker rim, so
    // that every tint shows a shaded ball.
    const uint32_t middle = ball.at(15, 15) & 0xFF;
    EXPECT_GE(middle, 200u);
    EXPECT_GE(brightest, 245u);
    EXPECT_LT(brightestX, 15);
    EXPECT_LT(brightestY, 15);
    EXPECT_LT(ball.at(30, 15) & 0xFF, middle * 3 / 4);
    EXPECT_LT(ball.at(15, 30) & 0xFF, middle * 3 / 4);
}

TEST(GameResources, EveryTintedBallKeepsItsWholeDisc)
{
    // A disc pixel that a tint turns black would be a transparent hole in
    // that colour's balls.
    LoadedPicture ball("MyBallBitmap");
    ASSERT_TRUE(ball.loaded);
    Image tinted;
    ASSERT_EQ(ImageCreate(&tinted, nullptr, 32, 32, 1), 1);
    for (int k = 1; k <= kColorCount; ++k) {
        ImageTint(&ball.image, &tinted, BallPalette[k]);
        uint32_t* pixels = nullptr;
        int32_t pitch = 0;
        ImageLock(&tinted, &tinted, &pixels, &pixels, &pitch, &pitch);
        ImageUnlock(&tinted, &tinted);
        ASSERT_NE(pixels, nullptr);
        int lost = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (ball.at(x, y) != 0 && pixels[y * pitch + x] == 0)
                    ++lost;
        EXPECT_EQ(lost, 0) << "colour " << k;
    }
    ImageRelease(&tinted);
}

TEST(GameResources, BallsTouchAtJustUnderThirtyOnePixels)
{
    LoadedPicture ball("MyBallBitmap");
    ASSERT_TRUE(ball.loaded);
    Image* b = &ball.image;
    const int32_t x0 = 100, y0 = 100;

    // In every direction: closer than 30.4 always touches, farther than
    // 30.9 never does. So 30 apart touches, and neighbouring cells (32
    // apart in a row; 16 across and 28 down, 32.25 apart, between rows)
    // never do.
    for (int dy = -33; dy <= 33; ++dy)
        for (int dx = -33; dx <= 33; ++dx) {
            const double distance = std::hypot(dx, dy);
            const int touching = ImageOverlap(b, x0, y0, b, x0 + dx, y0 + dy);
            if (distance < 30.4) {
                EXPECT_EQ(touching, 1) << dx << "," << dy;
            } else if (distance > 30.9) {
                EXPECT_EQ(touching, 0) << dx << "," << dy;
            }
        }
}

TEST(GameResources, CannonIsASightPointingUp)
{
    LoadedPicture cannon("MyCannonBitmap");
    ASSERT_TRUE(cannon.loaded);
    ASSERT_EQ(cannon.image.width, 184);
    ASSERT_EQ(cannon.image.height, 184);

    for (int y = 0; y < 184; ++y)
        for (int x = 0; x < 184; ++x) {
            const uint32_t p = cannon.at(x, y);
            EXPECT_TRUE(IsGrey(p)) << x << "," << y;
            if (y >= 134) {
                EXPECT_EQ(p, 0u) << "lower rows must stay black: " << x << "," << y;
            }
            // Drawn symmetric about the ring's centre column 91, the last
            // column left black.
            if (x < 183) {
                EXPECT_EQ(p, cannon.at(182 - x, y)) << x << "," << y;
            } else {
                EXPECT_EQ(p, 0u) << x << "," << y;
            }
        }

    // The ring's outer edge on the centre row, with the cross and the dot
    // inside it.
    auto firstLit = [&](int y) {
        for (int x = 0; x < 184; ++x)
            if (cannon.at(x, y) != 0)
                return x;
        return -1;
    };
    auto lastLit = [&](int y) {
        for (int x = 183; x >= 0; --x)
            if (cannon.at(x, y) != 0)
                return x;
        return -1;
    };
    EXPECT_EQ(firstLit(92), 49);
    EXPECT_EQ(lastLit(92), 133);
    EXPECT_EQ(cannon.at(91, 92), 0xFFFFFFu);   // the dot
    EXPECT_EQ(cannon.at(70, 91), 0xFFFFFFu);   // the cross's left arm
    EXPECT_EQ(cannon.at(91, 115), 0xFFFFFFu);  // its lower arm
    EXPECT_EQ(cannon.at(70, 70), 0u);          // open between the arms

    // Above the ring only the stem, the small ring and the arrowhead, all
    // on the centre line, with the arrow's tip at the top edge.
    EXPECT_NE(firstLit(1), -1);
    for (int y = 0; y < 48; ++y) {
        if (firstLit(y) == -1)
            continue;
        EXPECT_GE(firstLit(y), 78) << "row " << y;
        EXPECT_LE(lastLit(y), 105) << "row " << y;
    }
    for (int y = 40; y < 48; ++y)
        EXPECT_EQ(cannon.at(91, y), 0xFFFFFFu) << "stem row " << y;
}

TEST(GameResources, BackgroundIsQuietBrownWood)
{
    LoadedPicture back("MyBackBitmap");
    ASSERT_TRUE(back.loaded);
    ASSERT_EQ(back.image.width, 640);
    ASSERT_EQ(back.image.height, 480);

    std::set<uint32_t> colours;
    double alongGrain = 0.0, acrossGrain = 0.0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t p = back.at(x, y);
            colours.insert(p);
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, bl = p & 0xFF;
            // Brown everywhere, and never so light that white text or so
            // dark that blue text disappears.
            ASSERT_TRUE(r > g && g > bl) << x << "," << y;
            const int luma = (299 * r + 587 * g + 114 * bl) / 1000;
            ASSERT_GE(luma, 50) << x << "," << y;
            ASSERT_LE(luma, 170) << x << "," << y;
            if (x + 1 < 640)
                alongGrain += std::abs(static_cast<int>(back.at(x + 1, y) & 0xFF) - bl);
            if (y + 1 < 480)
                acrossGrain += std::abs(static_cast<int>(back.at(x, y + 1) & 0xFF) - bl);
        }
    // Wood, not a flat fill: the palette is used, and the grain runs along
    // the rows (neighbours along a row differ less than across rows).
    EXPECT_GE(colours.size(), 12u);
    EXPECT_LT(alongGrain, acrossGrain);
}
