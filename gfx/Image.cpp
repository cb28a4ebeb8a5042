// Image.cpp -- Images on memory buffers: creation, bitmap loading, locking,
// clearing and rectangle fills.
#include "gfx/Image.h"

#include <algorithm>
#include <cstring>
#include <emmintrin.h>
#include <new>

#include "resources/Resources.h"

// The buffer behind an Image. Rows start on 64-byte boundaries (a pitch of
// 16 pixels is 64 bytes), so row copies and fills run on whole cache lines.
struct ImageSurface {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    int32_t pitch;   // pixels from one row to the next
    uint64_t stamp;  // taken afresh at every change of the pixels
};

static constexpr size_t kSurfaceAlign = 64;
static constexpr int32_t kPitchMultiple = 16;

static uint32_t* allocatePixels(size_t count)
{
    void* p = ::operator new (count * sizeof(uint32_t), std::align_val_t{kSurfaceAlign}, std::nothrow);
    if (p != nullptr)
        std::memset(p, 0, count * sizeof(uint32_t));
    return static_cast<uint32_t*>(p);
}

// Stamps count up over the whole run and are never reused, so a stamp seen
// again means the very same pixels, even across a re-created Image.
static uint64_t lastStamp;

// Records that the pixels are about to change: they get a new stamp.
static void changing(ImageSurface* surface)
{
    surface->stamp = ++lastStamp;
}

static void freeSurface(ImageSurface* surface)
{
    ::operator delete (surface->pixels, std::align_val_t{kSurfaceAlign});
    delete surface;
}

static ImageSurface* createSurface(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        return nullptr;
    int32_t pitch = (width + kPitchMultiple - 1) / kPitchMultiple * kPitchMultiple;
    ImageSurface* surface = new (std::nothrow) ImageSurface{nullptr, width, height, pitch, ++lastStamp};
    if (surface == nullptr)
        return nullptr;
    surface->pixels = allocatePixels(static_cast<size_t>(pitch) * static_cast<size_t>(height));
    if (surface->pixels == nullptr) {
        delete surface;
        return nullptr;
    }
    return surface;
}

// The Image's buffer, or null when it has none. A record whose size has
// been changed behind the kit's back no longer describes its buffer and is
// treated as having no pixels rather than letting loops run past the end.
static ImageSurface* usableSurface(const Image* image)
{
    if (image == nullptr || image->surface == nullptr)
        return nullptr;
    ImageSurface* s = image->surface;
    if (image->width != s->width || image->height != s->height)
        return nullptr;
    return s;
}

int ImageCreate(Image* image, const char* bitmapName, int32_t width, int32_t height, int systemMemory)
{
    (void)systemMemory;  // the placement flag chooses nothing here: every surface is a plain memory buffer
    if (image == nullptr)
        return 0;
    if (bitmapName != nullptr) {
        const ResourceEntry* entry = ResourceFind(bitmapName, kResourceBitmap);
        if (entry == nullptr || !DibSize(entry->bytes, entry->size, &width, &height))
            return 0;
    }
    ImageSurface* surface = createSurface(width, height);
    if (surface == nullptr)
        return 0;
    // Creating over a live Image replaces its buffer instead of leaking it.
    if (image->surface != nullptr)
        freeSurface(image->surface);
    image->surface = surface;
    image->width = width;
    image->height = height;
    return 1;
}

int ImageLoadBitmap(Image* image, const char* bitmapName)
{
    if (usableSurface(image) == nullptr)
        return 0;
    const ResourceEntry* entry = ResourceFind(bitmapName, kResourceBitmap);
    if (entry == nullptr)
        return 0;
    return ImageDecodeDib(image, entry->bytes, entry->size);
}

void ImageRelease(Image* image)
{
    if (image == nullptr || image->surface == nullptr)
        return;
    freeSurface(image->surface);
    image->surface = nullptr;
}

void ImageRestore(Image* image)
{
    // Does nothing here, where memory buffers are never lost; callers still call it wherever a surface may be.
    (void)image;
}

static void lockOne(Image* image, uint32_t** pixels, int32_t* pitch)
{
    ImageSurface* s = usableSurface(image);
    if (pixels != nullptr)
        *pixels = s != nullptr ? s->pixels : nullptr;
    if (pitch != nullptr)
        *pitch = s != nullptr ? s->pitch : 0;
}

void ImageLock(Image* a, Image* b, uint32_t** pixelsA, uint32_t** pixelsB, int32_t* pitchA, int32_t* pitchB)
{
    lockOne(a, pixelsA, pitchA);
    lockOne(b, pixelsB, pitchB);
    if (ImageSurface* s = usableSurface(b))
        changing(s);
}

const uint32_t* ImagePixels(const Image* image, int32_t* pitch)
{
    ImageSurface* s = usableSurface(image);
    if (pitch != nullptr)
        *pitch = s != nullptr ? s->pitch : 0;
    return s != nullptr ? s->pixels : nullptr;
}

void ImageUnlock(Image* a, Image* b)
{
    // A lock only handed out the pointer; there is nothing to give back.
    (void)a;
    (void)b;
}

uint64_t ImageChangeStamp(const Image* image)
{
    ImageSurface* s = usableSurface(image);
    return s != nullptr ? s->stamp : 0;
}

// Fills columns x1..x2-1 of rows y1..y2-1 (already inside the buffer).
// n pixels of one colour. Clears (one byte repeated, black above all) go
// through memset, the others four pixels to a store; a plain loop of single
// stores costs a frame three times as much.
static void fillPixels(uint32_t* p, size_t n, uint32_t colour)
{
    if (colour == (colour & 0xFFu) * 0x01010101u) {
        std::memset(p, static_cast<int>(colour & 0xFFu), n * sizeof *p);
        return;
    }
    const __m128i four = _mm_set1_epi32(static_cast<int>(colour));
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), four);
    for (; i < n; ++i)
        p[i] = colour;
}

static void fillBlock(ImageSurface* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour)
{
    for (int32_t y = y1; y < y2; ++y)
        fillPixels(s->pixels + static_cast<ptrdiff_t>(y) * s->pitch + x1, static_cast<size_t>(x2 - x1), colour);
}

void ImageClear(Image* image, uint32_t colour)
{
    ImageSurface* s = usableSurface(image);
    if (s == nullptr)
        return;
    changing(s);
    // The padding at the end of each row is filled too: one straight run.
    uint32_t* p = s->pixels;
    fillPixels(p, static_cast<size_t>(s->pitch) * static_cast<size_t>(s->height), colour);
}

void ImageFillRect(Image* image, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour)
{
    ImageSurface* s = usableSurface(image);
    if (s == nullptr)
        return;
    // Corners are inclusive and are not sorted: x1 > x2 draws nothing.
    x1 = std::max(x1, 0);
    x2 = std::min(x2, image->width - 1);
    if (x1 > x2)
        return;
    y1 = std::max(y1, 0);
    y2 = std::min(y2, image->height - 1);
    if (y1 > y2)
        return;
    changing(s);
    fillBlock(s, x1, y1, x2 + 1, y2 + 1, colour);
}
