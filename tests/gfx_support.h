// gfx_support.h -- an Image for the kit's tests: released by itself, pixels at hand.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/Image.h"

struct TestImage {
    Image image;
    TestImage(int32_t w, int32_t h, uint32_t fill = 0) {
        if (ImageCreate(&image, nullptr, w, h, 1)) ImageClear(&image, fill);
    }
    ~TestImage() { ImageRelease(&image); }
    uint32_t& at(int32_t x, int32_t y) {
        uint32_t* p;
        int32_t pitch;
        ImageLock(&image, &image, &p, &p, &pitch, &pitch);
        return p[static_cast<ptrdiff_t>(y) * pitch + x];
    }
    std::vector<uint32_t> pixels()  // top row first
    {
        std::vector<uint32_t> all;
        for (int32_t y = 0; y < image.height; ++y) all.insert(all.end(), &at(0, y), &at(0, y) + image.width);
        return all;
    }
    void pattern()  // a value unique to each place, never 0
    {
        for (int32_t i = 0; i < image.width * image.height; ++i)
            at(i % image.width, i / image.width) = 0x00800000u ^ uint32_t(i / image.width << 10 | i % image.width);
    }
};
