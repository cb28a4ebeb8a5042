// Blit.cpp -- copies between Images (opaque, keyed, blended), the tint and
// the pixel-exact overlap test.
//
// The keyed copy and the blend run every frame for every ball on the board,
// so their inner loops work on four pixels at a time with SSE2, which every
// x86-64 processor has; elsewhere they fall back to plain loops.
#include "gfx/Image.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A locked block: the first pixel of the block and the pitch of its Image.
struct Block {
    uint32_t* pixels;
    int32_t pitch;
};

// A copy's arguments: a w x h block from (sx, sy) of the source to (dx, dy)
// of the destination.
struct BlitArea {
    int32_t sx, sy, dx, dy, w, h;
};

// Clips a copy, cutting the block at the destination's edges; a source
// window that then reaches outside the source cancels the copy. The order
// of the steps matters: the source's edges never trim, they only refuse.
// Sums are taken in 64 bits so that far-out arguments cannot overflow.
static inline bool clipBlit(const Image* source, const Image* destination, BlitArea* area)
{
    int64_t x = area->sx, y = area->sy, tx = area->dx, ty = area->dy, cw = area->w, ch = area->h;
    if (tx < 0) {
        cw += tx;
        x -= tx;
        tx = 0;
    }
    if (tx + cw > destination->width)
        cw = destination->width - tx;
    if (cw <= 0)
        return false;
    if (x < 0 || x + cw > source->width)
        return false;
    if (ty < 0) {
        ch += ty;
        y -= ty;
        ty = 0;
    }
    if (ty + ch > destination->height)
        ch = destination->height - ty;
    if (ch <= 0)
        return false;
    if (y < 0 || y + ch > source->height)
        return false;
    *area = {static_cast<int32_t>(x),  static_cast<int32_t>(y),  static_cast<int32_t>(tx),
             static_cast<int32_t>(ty), static_cast<int32_t>(cw), static_cast<int32_t>(ch)};
    return true;
}

// Clips and locks a copy; false when nothing is to be drawn (clipped away,
// or either Image has no pixels). On success the Images are locked and
// `area` holds the clipped width and height.
static inline bool prepareBlit(Image* source, Image* destination, BlitArea* area, Block* from, Block* to)
{
    if (source == nullptr || destination == nullptr || !clipBlit(source, destination, area))
        return false;
    uint32_t* sp;
    uint32_t* dp;
    ImageLock(source, destination, &sp, &dp, &from->pitch, &to->pitch);
    if (sp == nullptr || dp == nullptr) {
        ImageUnlock(source, destination);
        return false;
    }
    from->pixels = sp + static_cast<ptrdiff_t>(area->sy) * from->pitch + area->sx;
    to->pixels = dp + static_cast<ptrdiff_t>(area->dy) * to->pitch + area->dx;
    return true;
}

static uint32_t* rowOf(const Block& b, int32_t y)
{
    return b.pixels + static_cast<ptrdiff_t>(y) * b.pitch;
}

void ImageBlit(Image* source, int32_t sx, int32_t sy, Image* destination, int32_t dx, int32_t dy, int32_t w, int32_t h)
{
    BlitArea area{sx, sy, dx, dy, w, h};
    Block from, to;
    if (!prepareBlit(source, destination, &area, &from, &to))
        return;
    w = area.w;
    h = area.h;
    if (from.pitch == w && to.pitch == w) {
        // Whole rows of equal pitch lie back to back: one straight copy.
        std::memmove(to.pixels, from.pixels, static_cast<size_t>(w) * h * sizeof(uint32_t));
    } else if (source == destination && to.pixels > from.pixels) {
        // A block moved down within its own Image: copy the bottom row
        // first so that no row is overwritten before it is read.
        for (int32_t y = h - 1; y >= 0; --y)
            std::memmove(rowOf(to, y), rowOf(from, y), static_cast<size_t>(w) * sizeof(uint32_t));
    } else {
        for (int32_t y = 0; y < h; ++y)
            std::memmove(rowOf(to, y), rowOf(from, y), static_cast<size_t>(w) * sizeof(uint32_t));
    }
    ImageUnlock(source, destination);
}

// Merges four source pixels into the destination: each 0 in the source
// keeps the destination pixel, everything else is copied.
#if defined(__SSE2__)
static inline void keyedGroup(const uint32_t* s, uint32_t* d)
{
    __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    __m128i keep = _mm_cmpeq_epi32(sv, _mm_setzero_si128());  // all ones where the source is 0
    __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_and_si128(keep, dv), sv));
}
#endif

static inline void keyedPixels(const uint32_t* s, uint32_t* d, int32_t from, int32_t to)
{
    for (int32_t x = from; x < to; ++x)
        if (s[x] != TransparentColor)
            d[x] = s[x];
}

// Asks for the cache lines under the first and last pixel of a destination
// row ahead of time: the keyed copy reads the destination, and waiting for
// each line as it is reached is what limits it.
static inline void prefetchRow(const uint32_t* row, int32_t w)
{
#if defined(__SSE2__)
    for (int32_t x = 0; x < w; x += 16)  // a cache line of pixels at a time
        _mm_prefetch(reinterpret_cast<const char*>(row + x), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(row + w - 1), _MM_HINT_T0);
#else
    (void)row;
    (void)w;
#endif
}

// The keyed copy is branch-free: a picture's outline changes between
// transparent and opaque every few pixels, and mispredicted branches would
// cost more than reading the destination. Two rows go side by side so that
// their cache lines are fetched together, and the next two are asked for
// while these are merged.
static void keyedBlock(Block from, Block to, int32_t w, int32_t h)
{
    constexpr int32_t kAhead = 4;  // rows
    int32_t groups = 0;
#if defined(__SSE2__)
    groups = w / 4 * 4;
#endif
    for (int32_t y = 0; y < kAhead && y < h; ++y)
        prefetchRow(rowOf(to, y), w);
    int32_t y = 0;
    for (; y + 2 <= h; y += 2) {
        const uint32_t* s0 = rowOf(from, y);
        const uint32_t* s1 = rowOf(from, y + 1);
        uint32_t* d0 = rowOf(to, y);
        uint32_t* d1 = rowOf(to, y + 1);
        if (y + kAhead + 1 < h) {
            prefetchRow(rowOf(to, y + kAhead), w);
            prefetchRow(rowOf(to, y + kAhead + 1), w);
        }
#if defined(__SSE2__)
        for (int32_t x = 0; x < groups; x += 4) {
            keyedGroup(s0 + x, d0 + x);
            keyedGroup(s1 + x, d1 + x);
        }
#endif
        keyedPixels(s0, d0, groups, w);
        keyedPixels(s1, d1, groups, w);
    }
    for (; y < h; ++y) {
#if defined(__SSE2__)
        for (int32_t x = 0; x < groups; x += 4)
            keyedGroup(rowOf(from, y) + x, rowOf(to, y) + x);
#endif
        keyedPixels(rowOf(from, y), rowOf(to, y), groups, w);
    }
}

void ImageBlitKeyed(Image* source, int32_t sx, int32_t sy, Image* destination, int32_t dx, int32_t dy, int32_t w,
                    int32_t h)
{
    BlitArea area{sx, sy, dx, dy, w, h};
    Block from, to;
    if (!prepareBlit(source, destination, &area, &from, &to))
        return;
    keyedBlock(from, to, area.w, area.h);
    ImageUnlock(source, destination);
}

// One channel of the blend: D + floor((S - D) x alpha / 256). The same value
// is (S x alpha + D x (256 - alpha)) / 256, which is never negative and
// never above 65280 before the division, so it needs neither signed
// arithmetic nor more than 16 bits.
static uint32_t blendChannel(uint32_t s, uint32_t d, int shift, uint32_t alpha)
{
    uint32_t sc = (s >> shift) & 0xFF;
    uint32_t dc = (d >> shift) & 0xFF;
    return ((sc * alpha + dc * (256 - alpha)) >> 8) << shift;
}

static uint32_t blendPixel(uint32_t s, uint32_t d, uint32_t alpha)
{
    return blendChannel(s, d, 16, alpha) | blendChannel(s, d, 8, alpha) | blendChannel(s, d, 0, alpha);
}

static void blendRow(const uint32_t* s, uint32_t* d, int32_t w, uint32_t alpha)
{
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_set1_epi16(static_cast<int16_t>(alpha));
    const __m128i inverse = _mm_set1_epi16(static_cast<int16_t>(256 - alpha));
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
    for (; x + 4 <= w; x += 4) {
        __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
        __m128i keep = _mm_cmpeq_epi32(sv, zero);
        if (_mm_movemask_epi8(keep) == 0xFFFF)
            continue;
        __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x));
        // Channels widened to 16 bits; the unsigned products stay below 65536.
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(sv, zero), a),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), inverse));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(sv, zero), a),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), inverse));
        __m128i mixed = _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
        mixed = _mm_and_si128(mixed, rgb);
        __m128i out = _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, mixed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), out);
    }
#endif
    for (; x < w; ++x)
        if (s[x] != TransparentColor)
            d[x] = blendPixel(s[x], d[x], alpha);
}

void ImageBlendKeyed(Image* source, int32_t sx, int32_t sy, Image* destination, int32_t dx, int32_t dy, int32_t w,
                     int32_t h, int32_t alpha)
{
    // Outside 0..256 a channel would leave 0..255; the callers' fades stay
    // inside, and clamping keeps every pixel a pixel.
    if (alpha < 0)
        alpha = 0;
    if (alpha > 256)
        alpha = 256;
    // On memory buffers the blend works on the clipped blocks in place: each
    // destination pixel is read before it is written, exactly as through two
    // temporary copies.
    BlitArea area{sx, sy, dx, dy, w, h};
    Block from, to;
    if (!prepareBlit(source, destination, &area, &from, &to))
        return;
    for (int32_t y = 0; y < area.h; ++y)
        blendRow(rowOf(from, y), rowOf(to, y), area.w, static_cast<uint32_t>(alpha));
    ImageUnlock(source, destination);
}

void ImageTint(Image* source, Image* destination, uint32_t colour)
{
    if (source == nullptr || destination == nullptr)
        return;
    if (source->width != destination->width || source->height != destination->height)
        return;
    uint32_t* sp;
    uint32_t* dp;
    int32_t sPitch, dPitch;
    ImageLock(source, destination, &sp, &dp, &sPitch, &dPitch);
    if (sp == nullptr || dp == nullptr) {
        ImageUnlock(source, destination);
        return;
    }
    uint32_t cr = (colour >> 16) & 0xFF, cg = (colour >> 8) & 0xFF, cb = colour & 0xFF;
    for (int32_t y = 0; y < source->height; ++y) {
        const uint32_t* s = sp + static_cast<ptrdiff_t>(y) * sPitch;
        uint32_t* d = dp + static_cast<ptrdiff_t>(y) * dPitch;
        for (int32_t x = 0; x < source->width; ++x) {
            uint32_t p = s[x];
            uint32_t r = (((p >> 16) & 0xFF) * cr) >> 8;
            uint32_t g = (((p >> 8) & 0xFF) * cg) >> 8;
            uint32_t b = ((p & 0xFF) * cb) >> 8;
            d[x] = r << 16 | g << 8 | b;
        }
    }
    ImageUnlock(source, destination);
}

int ImageOverlap(Image* a, int32_t ax, int32_t ay, Image* b, int32_t bx, int32_t by)
{
    if (a == nullptr || b == nullptr)
        return 0;
    // Inclusive corners in 64 bits: far-away placements must not wrap round.
    int64_t left = std::max<int64_t>(ax, bx);
    int64_t right = std::min<int64_t>(int64_t(ax) + a->width - 1, int64_t(bx) + b->width - 1);
    int64_t top = std::max<int64_t>(ay, by);
    int64_t bottom = std::min<int64_t>(int64_t(ay) + a->height - 1, int64_t(by) + b->height - 1);
    if (right < left || bottom < top)
        return 0;
    int32_t pitchA, pitchB;
    const uint32_t* pa = ImagePixels(a, &pitchA);
    const uint32_t* pb = ImagePixels(b, &pitchB);
    int hit = 0;
    if (pa != nullptr && pb != nullptr) {
        for (int64_t y = top; y <= bottom && !hit; ++y) {
            const uint32_t* rowA = pa + (y - ay) * pitchA + (left - ax);
            const uint32_t* rowB = pb + (y - by) * pitchB + (left - bx);
            for (int64_t i = 0; i <= right - left; ++i) {
                if (rowA[i] != 0 && rowB[i] != 0) {
                    hit = 1;
                    break;
                }
            }
        }
    }
    return hit;
}
