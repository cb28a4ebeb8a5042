// flow_scene_support.h -- helpers for the scene's tests: reading pixels and
// Images that release themselves.
#pragma once

#include <cstdint>

#include "gfx/Image.h"

inline uint32_t PixelAt(Image* image, int32_t x, int32_t y)
{
    uint32_t* p;
    int32_t pitch;
    ImageLock(image, image, &p, &p, &pitch, &pitch);
    ImageUnlock(image, image);
    return p[static_cast<ptrdiff_t>(y) * pitch + x];
}

inline void SetPixel(Image* image, int32_t x, int32_t y, uint32_t value)
{
    uint32_t* p;
    int32_t pitch;
    ImageLock(image, image, &p, &p, &pitch, &pitch);
    p[static_cast<ptrdiff_t>(y) * pitch + x] = value;
    ImageUnlock(image, image);
}

// A blank Image of the given size, released when it goes out of scope.
struct SceneImage {
    Image image;
    SceneImage(int32_t w, int32_t h, uint32_t fill = 0)
    {
        if (ImageCreate(&image, nullptr, w, h, 1))
            ImageClear(&image, fill);
    }
    ~SceneImage() { ImageRelease(&image); }
    SceneImage(const SceneImage&) = delete;
    SceneImage& operator=(const SceneImage&) = delete;
    uint32_t at(int32_t x, int32_t y) { return PixelAt(&image, x, y); }
};

// Bounding box of the pixels that differ between two same-size Images
// within a rectangle; left > right when none differ.
struct InkBox {
    int32_t left, top, right, bottom;
    int32_t count;
};

inline InkBox DifferenceBox(Image* a, Image* b, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    InkBox box{x1 + 1, y1 + 1, x0 - 1, y0 - 1, 0};
    for (int32_t y = y0; y <= y1; y++) {
        for (int32_t x = x0; x <= x1; x++) {
            if (PixelAt(a, x, y) == PixelAt(b, x, y))
                continue;
            box.count++;
            if (x < box.left) box.left = x;
            if (x > box.right) box.right = x;
            if (y < box.top) box.top = y;
            if (y > box.bottom) box.bottom = y;
        }
    }
    return box;
}
