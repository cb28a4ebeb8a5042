// Surface.h -- the kit's inside view of an Image's buffer: its pixels and
// its change stamp. Only gfx/ sources include it; everyone else goes
// through gfx/Image.h.
#pragma once

#include <cstdint>

#include "gfx/Image.h"

// The buffer behind an Image. Rows start on 64-byte boundaries (a pitch of
// 16 pixels is 64 bytes), so row copies and fills run on whole cache lines.
struct ImageSurface {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    int32_t pitch;      // pixels from one row to the next
    uint64_t stamp;     // taken afresh at every change of the pixels
};

// The Image's buffer, or null when it has none or its record no longer
// matches it.
ImageSurface* SurfaceOf(const Image* image);

// Records that the pixels are about to change: they get a new stamp.
void SurfaceChanging(ImageSurface* surface);
