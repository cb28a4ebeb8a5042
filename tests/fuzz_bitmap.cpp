// Arbitrary bytes as a bitmap resource, the way ImageCreate and
// ImageLoadBitmap take one: its size from the header, then the decode into an
// Image of that size. Nothing may be read outside the bytes; a refused bitmap
// leaves the Image as it was; an accepted one shows exactly the colours its
// rows name, checked against a plain reading of the format written here.
#include "gfx/Image.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

static uint32_t u32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The colour of pixel (x, y), row 0 on top, read straight from the bytes.
static uint32_t expectedPixel(const uint8_t* bytes, int32_t width, int32_t height, int32_t x, int32_t y)
{
    const int bits = bytes[14] | bytes[15] << 8;
    const uint32_t used = u32(bytes + 32);
    const size_t colours = used != 0 ? used : (size_t(1) << bits);
    const size_t stride = (size_t(width) * size_t(bits) + 31) / 32 * 4;
    const uint8_t* row = bytes + 40 + colours * 4 + size_t(height - 1 - y) * stride;
    uint32_t index = bits == 8 ? row[x] : (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
    const uint8_t* e = bytes + 40 + size_t(index) * 4;
    return uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
}

static void checkUnchanged(Image* image, uint32_t marker)
{
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(image, image, &pixels, &pixels, &pitch, &pitch);
    for (int32_t y = 0; y < image->height; ++y)
        for (int32_t x = 0; x < image->width; ++x)
            if (pixels[size_t(y) * size_t(pitch) + size_t(x)] != marker)
                std::abort();
    ImageUnlock(image, image);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The bytes in a buffer of exactly their size, so that a read past the
    // end is caught even for the header.
    std::vector<uint8_t> copy(data, data + size);
    const uint8_t* bytes = copy.data();

    int32_t width = 0;
    int32_t height = 0;
    if (!DibSize(bytes, size, &width, &height)) {
        // Refused: an Image of any size is left untouched by the decode.
        Image image;
        if (!ImageCreate(&image, nullptr, 3, 2, 1))
            std::abort();
        ImageClear(&image, 0x123456);
        if (ImageDecodeDib(&image, bytes, size) != 0)
            std::abort();
        checkUnchanged(&image, 0x123456);
        ImageRelease(&image);
        return 0;
    }
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        std::abort();

    // One pixel wider: the decode must refuse a size that differs.
    Image wrong;
    if (ImageCreate(&wrong, nullptr, width + 1, height, 1)) {
        ImageClear(&wrong, 0x00ABCDEF);
        if (ImageDecodeDib(&wrong, bytes, size) != 0)
            std::abort();
        checkUnchanged(&wrong, 0x00ABCDEF);
        ImageRelease(&wrong);
    }

    Image image;
    if (!ImageCreate(&image, nullptr, width, height, 1))
        return 0;
    ImageClear(&image, 0x00FEDCBA);
    if (ImageDecodeDib(&image, bytes, size)) {
        uint32_t* pixels;
        int32_t pitch;
        ImageLock(&image, &image, &pixels, &pixels, &pitch, &pitch);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                if (pixels[size_t(y) * size_t(pitch) + size_t(x)] != expectedPixel(bytes, width, height, x, y))
                    std::abort();
        ImageUnlock(&image, &image);

        // The decoded picture drawn the ways the game draws its pictures:
        // keyed onto a small screen at an offset taken from the bytes, and
        // tested for overlap with itself.
        Image screen;
        if (!ImageCreate(&screen, nullptr, 48, 40, 1))
            std::abort();
        const int32_t dx = int32_t(bytes[size - 1] % 64) - 32;
        const int32_t dy = int32_t(bytes[size - 2] % 64) - 32;
        ImageBlitKeyed(&image, 0, 0, &screen, dx, dy, width, height);
        ImageBlendKeyed(&image, 0, 0, &screen, dy, dx, width, height, bytes[size - 3]);
        volatile int overlap = ImageOverlap(&image, dx, dy, &image, dy, dx);
        (void)overlap;
        ImageRelease(&screen);
    } else {
        checkUnchanged(&image, 0x00FEDCBA);
    }
    ImageRelease(&image);
    return 0;
}
