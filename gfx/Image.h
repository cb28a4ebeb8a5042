// Image.h -- the pixel kit's picture record and its operations: create, load,
// lock, clear, fill, copy (opaque, keyed, blended), tint and overlap.
// The rest of the kit (rotation, 8x8 text, screenshot) is declared in the
// headers included at the end, so including this one gives the whole kit.
//
// An Image is width x height 32-bit pixels 0x00RRGGBB, row 0 on top, held in
// a memory surface that the Image owns. Pixel value 0 is the transparent
// colour: keyed copies skip it, the blend leaves the destination under it and
// the overlap test treats it as empty. Every operation on an Image without a
// surface draws nothing and reports failure where it has a result.
//
// On this platform a surface is a plain buffer: 64-byte aligned rows whose
// pitch is a multiple of 16 pixels, zeroed at creation. Nothing is ever lost,
// and a lock only hands out the pointer and pitch.
#pragma once

#include <cstddef>
#include <cstdint>

struct ImageSurface;  // the pixel buffer behind an Image (gfx/Image.cpp)

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    ImageSurface* surface = nullptr;  // null: never created, or released
};

inline constexpr uint32_t TransparentColor = 0;

// The largest width or height an Image may have; larger requests fail.
inline constexpr int32_t kMaxImageSide = 16384;

// Creation and pixel access. Results are 1 for success, 0 for failure.
int ImageCreate(Image* image, const char* bitmapName, int32_t width, int32_t height, int systemMemory);
int ImageLoadBitmap(Image* image, const char* bitmapName);
void ImageRelease(Image* image);
void ImageRestore(Image* image);
// Hands out the pixels and pitches (in pixels) of a and b; pass one Image as
// both to lock it alone. An Image without a surface gets a null pointer and
// pitch 0, and every kit operation then draws nothing. b's pixels may be
// written through the lock, so b counts as changed; a is only read.
void ImageLock(Image* a, Image* b, uint32_t** pixelsA, uint32_t** pixelsB, int32_t* pitchA, int32_t* pitchB);
void ImageUnlock(Image* a, Image* b);
// The pixels and pitch for reading alone: nothing counts as changed. Null
// and 0 without a surface.
const uint32_t* ImagePixels(const Image* image, int32_t* pitch);

// Every change of an Image's pixels -- a kit operation drawing into it, a
// lock of it as b -- gives it a new stamp, and stamps are never reused in a
// run: an Image that shows a stamp it showed before has the same pixels,
// so whoever keeps the stamp of a frame can tell a frame that is the same
// for the price of one comparison. 0 without a surface.
uint64_t ImageChangeStamp(const Image* image);

void ImageClear(Image* image, uint32_t colour);
void ImageFillRect(Image* image, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);

// Decodes an uncompressed 4- or 8-bit device-independent bitmap (40-byte
// header, colour table, bottom-up rows padded to 4 bytes, no file header)
// into an Image of exactly its size. 0 for malformed bytes or a size that
// differs; the Image is then unchanged. ImageLoadBitmap is this on the
// embedded resource of that name.
int ImageDecodeDib(Image* image, const unsigned char* bytes, size_t size);
// Reads the width and height of such a bitmap; 0 if its header is malformed.
int DibSize(const unsigned char* bytes, size_t size, int32_t* width, int32_t* height);

// Copies of a w x h block from (sx, sy) of source to (dx, dy) of destination,
// clipped to both.
void ImageBlit(Image* source, int32_t sx, int32_t sy, Image* destination, int32_t dx, int32_t dy, int32_t w, int32_t h);
void ImageBlitKeyed(Image* source, int32_t sx, int32_t sy, Image* destination, int32_t dx, int32_t dy, int32_t w,
                    int32_t h);
void ImageBlendKeyed(Image* source, int32_t sx, int32_t sy, Image* destination, int32_t dx, int32_t dy, int32_t w,
                     int32_t h, int32_t alpha);
void ImageTint(Image* source, Image* destination, uint32_t colour);
int ImageOverlap(Image* a, int32_t ax, int32_t ay, Image* b, int32_t bx, int32_t by);

#include "gfx/Bmp.h"
#include "gfx/Rotate.h"
#include "gfx/Text.h"
