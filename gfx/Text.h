// Text.h -- the built-in 8x8 bitmap font: the game's small text.
#pragma once

#include <cstdint>

struct Image;

inline constexpr int kGlyphSize = 8;                     // pixels across and down
inline constexpr int kFontTableSize = 256 * kGlyphSize;  // 256 glyphs, a byte a row

// Glyph c is bytes 8c..8c+7, top row first; bit 7 of a row is its leftmost
// pixel. All zero (every glyph blank) until FontLoad.
extern uint8_t FontTable[kFontTableSize];

// Copies the "RAW" resource "MyFnt" into the FontTable; a missing or short
// resource leaves the table as it was.
void FontLoad();

// Draws the NUL-terminated string with its first character's top-left pixel
// at (x, y): the set bits of each glyph in `colour`, clear bits untouched.
// Nothing is drawn unless all 8 rows fit; the string stops at the first
// character that would not fit whole inside the right edge.
void DrawFontText(Image* image, const char* text, int32_t x, int32_t y, uint32_t colour);
