// gfx_support.h -- helpers shared by the pixel kit's tests: Images that
// release themselves, pixel access, and hand-built bitmap resources.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "gfx/Image.h"

// An Image created blank at the given size and released when the test ends.
struct TestImage {
    Image image;
    TestImage(int32_t w, int32_t h, uint32_t fill = 0)
    {
        if (ImageCreate(&image, nullptr, w, h, 1))
            ImageClear(&image, fill);
    }
    ~TestImage() { ImageRelease(&image); }
    TestImage(const TestImage&) = delete;
    TestImage& operator=(const TestImage&) = delete;

    uint32_t* row(int32_t y)
    {
        uint32_t* p;
        int32_t pitch;
        ImageLock(&image, &image, &p, &p, &pitch, &pitch);
        ImageUnlock(&image, &image);
        return p + static_cast<ptrdiff_t>(y) * pitch;
    }
    uint32_t at(int32_t x, int32_t y) { return row(y)[x]; }
    void set(int32_t x, int32_t y, uint32_t v) { row(y)[x] = v; }
    // Every pixel as a list, top row first.
    std::vector<uint32_t> pixels()
    {
        std::vector<uint32_t> all;
        for (int32_t y = 0; y < image.height; ++y)
            all.insert(all.end(), row(y), row(y) + image.width);
        return all;
    }
    // Fills every pixel with a value unique to its place (never 0).
    void pattern(uint32_t salt = 0)
    {
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x)
                set(x, y, (salt << 20) ^ (uint32_t(y) << 10 | uint32_t(x)) ^ 0x00800000u);
    }
};

// Builds the bytes of an uncompressed device-independent bitmap as the
// resources hold it: 40-byte header, `colours` table entries, rows bottom-up
// padded to 4 bytes. index(x, y) is the colour index of pixel (x, y), y = 0
// being the top row.
inline std::vector<unsigned char> MakeDib(int32_t width, int32_t height, int bits, uint32_t colours,
                                          const std::function<uint32_t(uint32_t)>& tableColour,
                                          const std::function<uint32_t(int32_t, int32_t)>& index,
                                          uint32_t clrUsed = 0)
{
    std::vector<unsigned char> b;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto u16 = [&](uint32_t v) {
        b.push_back(static_cast<unsigned char>(v));
        b.push_back(static_cast<unsigned char>(v >> 8));
    };
    u32(40);
    u32(static_cast<uint32_t>(width));
    u32(static_cast<uint32_t>(height));
    u16(1);
    u16(static_cast<uint32_t>(bits));
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    u32(clrUsed);
    u32(0);
    for (uint32_t i = 0; i < colours; ++i)
        u32(tableColour(i));
    size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    for (int32_t y = height - 1; y >= 0; --y) {
        std::vector<unsigned char> row(stride, 0xEE);  // padding must be ignored
        for (int32_t x = 0; x < width; ++x) {
            uint32_t v = index(x, y);
            if (bits == 8) {
                row[x] = static_cast<unsigned char>(v);
            } else if (x % 2 == 0) {
                row[x / 2] = static_cast<unsigned char>((v << 4) | (row[x / 2] & 0x0F));
            } else {
                row[x / 2] = static_cast<unsigned char>((row[x / 2] & 0xF0) | v);
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}
