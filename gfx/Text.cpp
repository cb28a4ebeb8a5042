// Text.cpp -- the 8x8 bitmap font: loading it from the resources and
// drawing strings with it.
#include "gfx/Text.h"

#include <cstring>

#include "gfx/Image.h"
#include "resources/Resources.h"

uint8_t FontTable[kFontTableSize];

static constexpr const char* kFontResource = "MyFnt";

void FontLoad()
{
    const ResourceEntry* entry = ResourceFind(kFontResource, kResourceRaw);
    // A short resource would leave part of the copy unread memory; keep the
    // table as it was instead.
    if (entry == nullptr || entry->bytes == nullptr || entry->size < sizeof FontTable)
        return;
    std::memcpy(FontTable, entry->bytes, sizeof FontTable);
}

// Draws one glyph with its top-left pixel at `at` (inside the Image). Each
// row is walked from its rightmost pixel leftward and ends as soon as no set
// bit is left, so blank rows and the blank right parts cost nothing.
static void drawGlyph(const uint8_t* glyph, uint32_t* at, int32_t pitch, uint32_t colour)
{
    for (int r = 0; r < kGlyphSize; ++r) {
        uint32_t* row = at + static_cast<ptrdiff_t>(r) * pitch;
        for (unsigned bits = glyph[r], j = 0; bits != 0; bits >>= 1, ++j)
            if (bits & 1)
                row[kGlyphSize - 1 - j] = colour;
    }
}

void DrawFontText(Image* image, const char* text, int32_t x, int32_t y, uint32_t colour)
{
    if (image == nullptr || text == nullptr)
        return;
    // A string is drawn only where all eight rows of its characters fit.
    if (y < 0 || y > image->height - kGlyphSize)
        return;
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(image, image, &pixels, &pixels, &pitch, &pitch);
    if (pixels == nullptr) {
        ImageUnlock(image, image);
        return;
    }
    uint32_t* top = pixels + static_cast<ptrdiff_t>(y) * pitch;
    // One test per character: the string stops at the first one that would
    // not fit whole, and never starts left of the Image.
    for (const char* c = text; *c != '\0' && x >= 0 && x <= image->width - kGlyphSize; ++c, x += kGlyphSize) {
        const uint8_t* glyph = FontTable + static_cast<unsigned char>(*c) * kGlyphSize;
        drawGlyph(glyph, top + x, pitch, colour);
    }
    ImageUnlock(image, image);
}
