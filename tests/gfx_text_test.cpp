// The 8x8 bitmap font: loading, and where strings are drawn and cut.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/Image.h"
#include "resources/Resources.h"
#include "tests/gfx_support.h"

// Installs test glyphs for the length of a test and puts the table back.
class GfxText : public testing::Test {
protected:
    uint8_t saved[kFontTableSize];
    void SetUp() override
    {
        std::memcpy(saved, FontTable, sizeof saved);
        std::memset(FontTable, 0, sizeof FontTable);
        const uint8_t a[8] = {0x30, 0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00};
        std::memcpy(FontTable + 8 * 'A', a, 8);
        const uint8_t corners[8] = {0x81, 0, 0, 0, 0, 0, 0, 0x81};
        std::memcpy(FontTable + 8 * 0x80, corners, 8);
        std::memset(FontTable + 8 * 0xDB, 0xFF, 8);
        std::memset(FontTable + 8 * '\n', 0x18, 8);
        std::memset(FontTable + 8 * 0x01, 0x01, 8);
    }
    void TearDown() override { std::memcpy(FontTable, saved, sizeof saved); }

    // The glyph drawn at (x, y), read back as row bytes (non-background bits).
    static std::vector<uint8_t> readGlyph(TestImage& img, int32_t x, int32_t y, uint32_t background)
    {
        std::vector<uint8_t> rows;
        for (int32_t r = 0; r < 8; ++r) {
            uint8_t bits = 0;
            for (int32_t c = 0; c < 8; ++c)
                if (img.at(x + c, y + r) != background)
                    bits |= static_cast<uint8_t>(0x80 >> c);
            rows.push_back(bits);
        }
        return rows;
    }
    static int changed(TestImage& img, uint32_t background)
    {
        int n = 0;
        for (uint32_t p : img.pixels())
            n += p != background;
        return n;
    }
};

TEST_F(GfxText, GlyphBitsLandLeftmostFirst)
{
    TestImage img(40, 16, 0x202020);
    DrawFontText(&img.image, "A\x80\xDB\x01", 3, 5, 0xFFFF00);
    EXPECT_EQ(readGlyph(img, 3, 5, 0x202020), (std::vector<uint8_t>{0x30, 0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00}));
    EXPECT_EQ(readGlyph(img, 11, 5, 0x202020), (std::vector<uint8_t>{0x81, 0, 0, 0, 0, 0, 0, 0x81}));
    EXPECT_EQ(readGlyph(img, 19, 5, 0x202020), std::vector<uint8_t>(8, 0xFF));
    EXPECT_EQ(readGlyph(img, 27, 5, 0x202020), std::vector<uint8_t>(8, 0x01));
    EXPECT_EQ(img.at(3 + 2, 5), 0xFFFF00u);
    EXPECT_EQ(changed(img, 0x202020), 28 + 4 + 64 + 8);
}

TEST_F(GfxText, BackgroundShowsBetweenBitsAndControlCodesDrawTheirGlyph)
{
    TestImage img(40, 8);
    img.pattern();
    std::vector<uint32_t> before = img.pixels();
    DrawFontText(&img.image, "  ", 0, 0, 0xFFFFFF);  // blank glyphs write nothing
    EXPECT_EQ(img.pixels(), before);
    DrawFontText(&img.image, "A\nA", 0, 0, 0);  // colour 0 is written as 0
    EXPECT_EQ(img.at(2, 0), 0u);
    EXPECT_EQ(img.at(0, 0), before[0]);  // clear bit: picture stays
    EXPECT_EQ(img.at(8 + 3, 0), 0u);     // the newline's glyph, on the same line
    EXPECT_EQ(img.at(16 + 2, 0), 0u);
}

TEST_F(GfxText, StringsDrawOnlyWhereWholeCharactersFit)
{
    {
        TestImage img(640, 20, 1);
        DrawFontText(&img.image, "\xDB", 0, 12, 2);  // y = height - 8
        EXPECT_EQ(changed(img, 1), 64);
        DrawFontText(&img.image, "\xDB", 20, 13, 2);  // y = height - 7
        DrawFontText(&img.image, "\xDB", 20, -1, 2);
        DrawFontText(&img.image, "\xDB", -1, 0, 2);   // starts left of the Image
        DrawFontText(&img.image, "\xDB", 40, INT32_MIN, 2);
        DrawFontText(&img.image, "\xDB", 40, INT32_MAX, 2);
        EXPECT_EQ(changed(img, 1), 64);
        DrawFontText(&img.image, nullptr, 0, 0, 2);
        DrawFontText(&img.image, "", 0, 0, 2);
        EXPECT_EQ(changed(img, 1), 64);
    }
    auto blocksAt = [this](int32_t x, const char* text) {
        TestImage img(640, 8, 1);
        DrawFontText(&img.image, text, x, 0, 2);
        return changed(img, 1) / 64;
    };
    EXPECT_EQ(blocksAt(632, "\xDB\xDB"), 1);
    EXPECT_EQ(blocksAt(633, "\xDB"), 0);
    EXPECT_EQ(blocksAt(630, "\xDB\xDB\xDB"), 1);
    EXPECT_EQ(blocksAt(0, std::string(100, '\xDB').c_str()), 80);
    EXPECT_EQ(blocksAt(INT32_MAX, "\xDB"), 0);
}

TEST_F(GfxText, FontLoadCopiesTheBuiltInFont)
{
    const ResourceEntry* font = ResourceFind("MyFnt", kResourceRaw);
    FontLoad();
    if (font == nullptr || font->size < kFontTableSize) {
        // Without the resource the table stays as it was.
        EXPECT_EQ(FontTable[8 * 'A' + 1], 0x78);
        GTEST_SKIP() << "no usable MyFnt built in";
    }
    EXPECT_EQ(std::memcmp(FontTable, font->bytes, kFontTableSize), 0);
}
