// Bmp.cpp -- the screenshot writer.
#include "gfx/Bmp.h"

#include <cstdio>

#include "gfx/Image.h"

static constexpr uint32_t kFileHeaderSize = 14;
static constexpr uint32_t kInfoHeaderSize = 40;
static constexpr uint32_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize;
static constexpr uint16_t kBitsPerPixel = 32;

static void putU16(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

static void putU32(unsigned char* p, uint32_t v)
{
    putU16(p, v);
    putU16(p + 2, v >> 16);
}

// Both headers, little-endian; every field not set here is 0.
static void fillHeaders(unsigned char* h, int32_t width, int32_t height)
{
    uint32_t pixelBytes = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 4;
    h[0] = 'B';
    h[1] = 'M';
    putU32(h + 2, pixelBytes + kPixelOffset);
    putU32(h + 10, kPixelOffset);
    putU32(h + 14, kInfoHeaderSize);
    putU32(h + 18, static_cast<uint32_t>(width));
    putU32(h + 22, static_cast<uint32_t>(height));  // positive: rows bottom-up
    putU16(h + 26, 1);
    putU16(h + 28, kBitsPerPixel);
}

// The rows bottom-up; a pixel's four bytes go out as they lie in memory
// (blue, green, red, top byte) on this little-endian machine.
static bool writeRows(std::FILE* f, const uint32_t* pixels, int32_t pitch, int32_t width, int32_t height)
{
    for (int32_t y = height - 1; y >= 0; --y) {
        const uint32_t* row = pixels + static_cast<ptrdiff_t>(y) * pitch;
        if (std::fwrite(row, sizeof(uint32_t), static_cast<size_t>(width), f) != static_cast<size_t>(width))
            return false;
    }
    return true;
}

int ImageSaveBmp(Image* image, const char* fileName)
{
    if (image == nullptr || fileName == nullptr)
        return 0;
    int32_t pitch;
    const uint32_t* pixels = ImagePixels(image, &pitch);
    if (pixels == nullptr)
        return 0;  // nothing to save: no file is created rather than a header alone
    unsigned char headers[kPixelOffset] = {};
    fillHeaders(headers, image->width, image->height);
    std::FILE* f = std::fopen(fileName, "wb");
    if (f == nullptr)
        return 0;
    // Every write and the close are checked: a full disk must not be
    // reported as a saved screenshot.
    bool ok = std::fwrite(headers, 1, sizeof headers, f) == sizeof headers &&
              writeRows(f, pixels, pitch, image->width, image->height);
    if (std::fclose(f) != 0)
        ok = false;
    return ok ? 1 : 0;
}
