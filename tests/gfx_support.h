// gfx_support.h -- an Image for the kit's tests that releases itself, with
// direct pixel access.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/Image.h"

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

    uint32_t& at(int32_t x, int32_t y)
    {
        uint32_t* p;
        int32_t pitch;
        ImageLock(&image, &image, &p, &p, &pitch, &pitch);
        ImageUnlock(&image, &image);
        return p[static_cast<ptrdiff_t>(y) * pitch + x];
    }
    std::vector<uint32_t> pixels()  // top row first
    {
        std::vector<uint32_t> all;
        for (int32_t y = 0; y < image.height; ++y)
            all.insert(all.end(), &at(0, y), &at(0, y) + image.width);
        return all;
    }
    void pattern()  // a value unique to each place, never 0
    {
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x)
                at(x, y) = 0x00800000u ^ (uint32_t(y) << 10 | uint32_t(x));
    }
};
