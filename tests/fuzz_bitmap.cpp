// Arbitrary bytes as a bitmap resource, the way ImageCreate and
// ImageLoadBitmap take one: its size from the header, then the decode into an
// Image of that size. Nothing may be read outside the bytes; a refused bitmap
// leaves the Image as it was; an accepted one shows exactly the colours its
// rows name, checked against a plain reading of the format written here.
#include "gfx/Image.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

static uint32_t u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The colour of pixel (x, y), row 0 on top, read straight from the bytes.
static uint32_t expectedPixel(const uint8_t* bytes, int32_t width, int32_t height, int32_t x, int32_t y) {
    const int bits = bytes[14] | bytes[15] << 8;
    const size_t colours = u32(bytes + 32) != 0 ? u32(bytes + 32) : (size_t(1) << bits);
    const size_t stride = (size_t(width) * size_t(bits) + 31) / 32 * 4;
    const uint8_t* row = bytes + 40 + colours * 4 + size_t(height - 1 - y) * stride;
    const uint32_t index = bits == 8 ? row[x] : (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
    if (index >= colours)  // a pixel outside the table refuses the whole bitmap
        std::abort();
    return u32(bytes + 40 + size_t(index) * 4) & 0xFFFFFF;
}

// Decodes into a new w x h Image cleared to `marker`; aborts unless every
// pixel is what `want` says (the marker when the decode is refused).
template <class Want>
static bool decode(const uint8_t* bytes, size_t size, int32_t w, int32_t h, uint32_t marker, Want want) {
    Image image;
    if (!ImageCreate(&image, nullptr, w, h, 1)) return false;
    ImageClear(&image, marker);
    const bool ok = ImageDecodeDib(&image, bytes, size) != 0;
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(&image, &image, &pixels, &pixels, &pitch, &pitch);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (pixels[size_t(y) * size_t(pitch) + size_t(x)] != (ok ? want(x, y) : marker)) std::abort();
    ImageUnlock(&image, &image);
    ImageRelease(&image);
    return ok;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes in a buffer of exactly their size, so that a read past the
    // end is caught even for the header.
    const std::vector<uint8_t> copy(data, data + size);
    const uint8_t* bytes = copy.data();
    int32_t width = 0, height = 0;
    auto never = [](int32_t, int32_t) -> uint32_t { std::abort(); };
    if (!DibSize(bytes, size, &width, &height)) {
        if (decode(bytes, size, 3, 2, 0x123456, never))  // refused: any Image is left untouched
            std::abort();
        return 0;
    }
    // Only what we decode: a 40-byte header, one plane, 4 or 8 bits, no compression, a table that fits.
    const uint32_t bits = bytes[14] | bytes[15] << 8;
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide || u32(bytes) != 40 ||
        (bytes[12] | bytes[13] << 8) != 1 || (bits != 4 && bits != 8) || u32(bytes + 16) != 0 ||
        u32(bytes + 32) > 1u << bits)
        std::abort();
    if (decode(bytes, size, width + 1, height, 0xABCDEF, never))  // a size that differs is refused
        std::abort();
    decode(bytes, size, width, height, 0xFEDCBA,
           [&](int32_t x, int32_t y) { return expectedPixel(bytes, width, height, x, y); });
    return 0;
}
