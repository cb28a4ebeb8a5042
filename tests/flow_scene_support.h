// flow_scene_support.h -- pixel reading and self-releasing Images for the
// scene's tests.
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

struct SceneImage {
    Image image;
    SceneImage(int32_t w, int32_t h, uint32_t fill = 0)
    {
        if (ImageCreate(&image, nullptr, w, h, 1))
            ImageClear(&image, fill);
    }
    ~SceneImage() { ImageRelease(&image); }
    uint32_t at(int32_t x, int32_t y) { return PixelAt(&image, x, y); }
};

// Bounding box and count of the pixels where two Images differ inside the
// rectangle (x0, y0)..(x1, y1).
struct InkBox {
    int32_t left, top, right, bottom, count;
};

inline InkBox DifferenceBox(Image* a, Image* b, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    InkBox box{x1 + 1, y1 + 1, x0 - 1, y0 - 1, 0};
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++)
            if (PixelAt(a, x, y) != PixelAt(b, x, y)) {
                box = {x < box.left ? x : box.left, y < box.top ? y : box.top, x > box.right ? x : box.right,
                       y > box.bottom ? y : box.bottom, box.count + 1};
            }
    return box;
}
