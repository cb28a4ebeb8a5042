// gen_font.cpp -- makes MyFnt.raw: the 8 x 8 text font, 256 glyphs of the
// PC's code page 437 in 2048 bytes, rendered with FreeType from the pixel
// face "Px437 IBM CGA" (Debian's fonts-pc).
//
// Layout, as the text drawing reads it: glyph c, row r (0 = top) is byte
// c * 8 + r; bit 7 is the leftmost pixel. Each byte value of code page 437,
// control symbols included, is looked up through its Unicode character, so
// that 0x01 is the smiling face and 0x7F the little house. The build stops
// if the face is missing or lacks one of the characters: a game with blank
// letters is worse than no build.
//
// usage: gen_font <output dir> [<face file>]
#include "dib_writer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <string>

static constexpr const char* kFaceFile = "/usr/share/fonts/pc/Px_IBM_CGA.ttf";
static constexpr int kCell = 8;  // glyphs are 8 x 8 pixels
static constexpr int kGlyphs = 256;
static constexpr int kAscender = 7;  // pixel rows above the baseline in the cell

// Code page 437, byte -> Unicode. 0x00 is left blank; 0x01..0x1F and 0x7F are
// the symbols the PC shows for them, not control characters.
static constexpr uint16_t kCodePage437[kGlyphs] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  // 00
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,  // 08
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  // 10
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,  // 18
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,  // 20
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 38
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // 40
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 48
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // 50
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,  // 58
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 60
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 68
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 70
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,  // 78
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

// Renders one character into its 8 bytes. False, with a message, when the
// face has no such character or its bitmap does not fit the cell.
static bool renderGlyph(FT_Face face, int code, uint8_t* rows)
{
    const FT_ULong character = kCodePage437[code];
    if (character == 0)
        return true;  // code 0 stays blank
    const FT_UInt index = FT_Get_Char_Index(face, character);
    if (index == 0) {
        std::fprintf(stderr, "gen_font: the face has no U+%04lX for code 0x%02X\n", character, code);
        return false;
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) {
        std::fprintf(stderr, "gen_font: cannot render U+%04lX\n", character);
        return false;
    }
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    if (bitmap.rows > 0 && (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.pitch <= 0)) {
        std::fprintf(stderr, "gen_font: U+%04lX did not render as a one-bit bitmap\n", character);
        return false;
    }
    const int top = kAscender - face->glyph->bitmap_top;  // cell row of the bitmap's first row
    const int left = face->glyph->bitmap_left;
    for (unsigned int i = 0; i < bitmap.rows; ++i) {
        const unsigned char* source = bitmap.buffer + static_cast<size_t>(i) * static_cast<size_t>(bitmap.pitch);
        for (unsigned int j = 0; j < bitmap.width; ++j) {
            if ((source[j / 8] & (0x80 >> (j % 8))) == 0)
                continue;
            const int row = top + static_cast<int>(i);
            const int column = left + static_cast<int>(j);
            if (row < 0 || row >= kCell || column < 0 || column >= kCell) {
                // A pixel face at its own size fills the cell exactly; a
                // pixel outside it means the wrong face or size.
                std::fprintf(stderr, "gen_font: U+%04lX does not fit the 8 x 8 cell\n", character);
                return false;
            }
            rows[row] = static_cast<uint8_t>(rows[row] | (0x80 >> column));
        }
    }
    return true;
}

static bool renderFont(const char* faceFile, std::vector<uint8_t>& table)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "gen_font: FreeType would not start\n");
        return false;
    }
    FT_Face face = nullptr;
    bool ok = false;
    if (FT_New_Face(library, faceFile, 0, &face) != 0) {
        std::fprintf(stderr, "gen_font: cannot open the font %s (install the Debian package fonts-pc)\n", faceFile);
    } else if (FT_Set_Pixel_Sizes(face, 0, kCell) != 0) {
        std::fprintf(stderr, "gen_font: %s has no %d-pixel size\n", faceFile, kCell);
    } else {
        table.assign(static_cast<size_t>(kGlyphs * kCell), 0);
        ok = true;
        for (int code = 0; code < kGlyphs && ok; ++code)
            ok = renderGlyph(face, code, &table[static_cast<size_t>(code * kCell)]);
    }
    if (face != nullptr)
        FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ok;
}

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: gen_font <output dir> [<face file>]\n");
        return 2;
    }
    std::vector<uint8_t> table;
    if (!renderFont(argc == 3 ? argv[2] : kFaceFile, table))
        return 1;
    return WriteResourceFile(argv[1], "MyFnt.raw", table) ? 0 : 1;
}
