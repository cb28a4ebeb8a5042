// Dib.cpp -- the decoder for the program's bitmap resources: uncompressed
// 4- and 8-bit device-independent bitmaps without a file header.
//
// Layout: a 40-byte information header, a colour table of 4-byte entries
// (blue, green, red, unused), then the rows bottom-up, each padded to a
// multiple of 4 bytes; 4-bit rows hold two pixels a byte, high nibble first.
// The bytes are checked before anything is read from them, so a damaged
// resource is refused instead of read past its end.
#include "gfx/Image.h"

#include <cstring>

static constexpr uint32_t kInfoHeaderSize = 40;
static constexpr uint32_t kCompressionNone = 0;  // BI_RGB
static constexpr size_t kTableEntrySize = 4;

// Where a checked bitmap's parts lie.
struct DibLayout {
    int32_t width;
    int32_t height;
    int bitsPerPixel;  // 4 or 8
    uint32_t colours;  // entries in the colour table
    const unsigned char* table;
    const unsigned char* rows;  // the bottom row first
    size_t stride;              // bytes a row, padding included
};

static uint32_t readU32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static uint16_t readU16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Fills `layout` and returns true when the header is one we decode and every
// part it promises lies inside the `size` bytes.
static bool parseDib(const unsigned char* bytes, size_t size, DibLayout* layout)
{
    if (bytes == nullptr || size < kInfoHeaderSize)
        return false;
    if (readU32(bytes) != kInfoHeaderSize)
        return false;
    int32_t width = static_cast<int32_t>(readU32(bytes + 4));
    int32_t height = static_cast<int32_t>(readU32(bytes + 8));
    int bits = readU16(bytes + 14);
    uint32_t compression = readU32(bytes + 16);
    uint32_t used = readU32(bytes + 32);
    // A negative height would mean top-down rows, which the resources never
    // use; zero or oversized pictures are refused as well.
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        return false;
    if (readU16(bytes + 12) != 1 || (bits != 4 && bits != 8) || compression != kCompressionNone)
        return false;
    uint32_t fullTable = 1u << bits;
    if (used > fullTable)
        return false;
    uint32_t colours = used != 0 ? used : fullTable;
    // Sizes are at most 16384, so these products fit easily in 64 bits.
    uint64_t stride = (uint64_t(width) * uint64_t(bits) + 31) / 32 * 4;
    uint64_t tableBytes = uint64_t(colours) * kTableEntrySize;
    uint64_t needed = kInfoHeaderSize + tableBytes + stride * uint64_t(height);
    if (needed > size)
        return false;
    layout->width = width;
    layout->height = height;
    layout->bitsPerPixel = bits;
    layout->colours = colours;
    layout->table = bytes + kInfoHeaderSize;
    layout->rows = layout->table + tableBytes;
    layout->stride = static_cast<size_t>(stride);
    return true;
}

// Colour-table index of pixel x of a stored row.
static uint32_t pixelIndex(const DibLayout& dib, const unsigned char* row, int32_t x)
{
    if (dib.bitsPerPixel == 8)
        return row[x];
    unsigned char pair = row[x / 2];
    return (x % 2 == 0) ? pair >> 4 : pair & 0x0F;
}

// True when every pixel names an entry of the table. A full table covers
// every index a pixel can hold, so only a shortened one needs the scan.
static bool indicesInTable(const DibLayout& dib)
{
    if (dib.colours == (1u << dib.bitsPerPixel))
        return true;
    for (int32_t y = 0; y < dib.height; ++y) {
        const unsigned char* row = dib.rows + static_cast<size_t>(y) * dib.stride;
        for (int32_t x = 0; x < dib.width; ++x)
            if (pixelIndex(dib, row, x) >= dib.colours)
                return false;
    }
    return true;
}

int DibSize(const unsigned char* bytes, size_t size, int32_t* width, int32_t* height)
{
    DibLayout dib;
    if (!parseDib(bytes, size, &dib))
        return 0;
    if (width != nullptr)
        *width = dib.width;
    if (height != nullptr)
        *height = dib.height;
    return 1;
}

int ImageDecodeDib(Image* image, const unsigned char* bytes, size_t size)
{
    DibLayout dib;
    if (image == nullptr || !parseDib(bytes, size, &dib))
        return 0;
    if (dib.width != image->width || dib.height != image->height)
        return 0;
    if (!indicesInTable(dib))
        return 0;
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(image, image, &pixels, &pixels, &pitch, &pitch);
    if (pixels == nullptr)
        return 0;
    uint32_t palette[256];
    for (uint32_t i = 0; i < dib.colours; ++i) {
        const unsigned char* e = dib.table + i * kTableEntrySize;
        palette[i] = uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
    }
    // The stored rows run bottom-up: stored row 0 is the picture's last row.
    for (int32_t y = 0; y < dib.height; ++y) {
        const unsigned char* row = dib.rows + static_cast<size_t>(dib.height - 1 - y) * dib.stride;
        uint32_t* out = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int32_t x = 0; x < dib.width; ++x)
            out[x] = palette[pixelIndex(dib, row, x)];
    }
    ImageUnlock(image, image);
    return 1;
}
