// Rotate.cpp -- turned and scaled drawing by scan conversion: each target
// row is cut by the edges of the turned rectangle, and the span between the
// two cuts steps through the source in 16.16 fixed point.
//
// The arithmetic is the game's signed 32-bit arithmetic: products wrap,
// divisions truncate, right shifts are arithmetic. The wrapping is done in
// unsigned arithmetic so that it is defined.
#include "gfx/Rotate.h"

#include <algorithm>
#include <utility>

#include "gfx/Image.h"
#include "gfx/SineTable.h"

uint32_t RowOffsetTable[kRotateMaxRows];

static constexpr int kScaleShift = 10;  // scales are 1024ths
static constexpr int kSineShift = 8;    // sines are 256ths
static constexpr int kFixedShift = 16;  // texture coordinates are 16.16
static constexpr int32_t kFixedOne = 1 << kFixedShift;

static int32_t mul32(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

static int32_t add32(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

static int32_t sub32(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Truncating division; the one quotient that does not fit wraps.
static int32_t div32(int32_t a, int32_t b)
{
    return b == -1 ? sub32(0, a) : a / b;
}

void RotatePoint(int16_t* x, int16_t* y, int16_t cx, int16_t cy, int16_t angle, int16_t scale)
{
    // Turning the picture clockwise turns the coordinates back by the angle.
    // Angles beyond two turns (never passed by the game) are folded into
    // range instead of indexing outside the table.
    int32_t t = (2 * kSineTableSize - angle) % kSineTableSize;
    if (t < 0)
        t += kSineTableSize;
    int32_t sinT = SineTable[t];
    int32_t cosT = SineTable[(t + kQuarterTurn) % kSineTableSize];
    int32_t dx = static_cast<int16_t>(*x - cx);
    int32_t dy = static_cast<int16_t>(*y - cy);
    int32_t rx = mul32((cosT * dx + sinT * dy) >> kSineShift, scale) >> kScaleShift;
    int32_t ry = mul32((cosT * dy - sinT * dx) >> kSineShift, scale) >> kScaleShift;
    *x = static_cast<int16_t>(cx + rx);
    *y = static_cast<int16_t>(cy + ry);
}

// A point where a target row cuts the turned rectangle: its column and the
// source pixel (u, v) on the border there.
struct SpanEnd {
    int32_t x;
    int32_t u;
    int32_t v;
};

// The edges in the order they are looked at: each runs from corner `from` to
// corner `to` and follows one side of the source.
enum Side { kTop, kRight, kBottom, kLeft };

// The source pixel on `side` a fraction k / n of the way along it.
static void borderPoint(Side side, int32_t k, int32_t n, int32_t w, int32_t h, SpanEnd* end)
{
    switch (side) {
    case kTop:
        end->u = div32(mul32(k, w - 1), n);
        end->v = 0;
        break;
    case kRight:
        end->u = w - 1;
        end->v = div32(mul32(k, h - 1), n);
        break;
    case kBottom:
        end->u = (w - 1) - div32(mul32(k, w - 1), n);
        end->v = h - 1;
        break;
    case kLeft:
        end->u = 0;
        end->v = (h - 1) - div32(mul32(k, h - 1), n);
        break;
    }
}

// Finds where row y cuts the turned rectangle; true when exactly two edges
// cross it, the ends then sorted left to right.
static bool findSpan(const int16_t* cornerX, const int16_t* cornerY, int32_t y, int32_t w, int32_t h, SpanEnd* ends)
{
    int found = 0;
    for (int side = kTop; side <= kLeft; ++side) {
        int32_t xs = cornerX[side], ys = cornerY[side];
        int32_t xe = cornerX[(side + 1) % 4], ye = cornerY[(side + 1) % 4];
        int32_t lo = std::min(ys, ye), hi = std::max(ys, ye);
        if (!(lo < y && y <= hi))
            continue;
        int32_t k = y - ys, n = ye - ys;
        SpanEnd& end = ends[found == 0 ? 0 : 1];
        end.x = add32(xs, div32(mul32(xe - xs, k), n));
        borderPoint(static_cast<Side>(side), k, n, w, h, &end);
        ++found;
    }
    if (found != 2)
        return false;
    if (ends[0].x > ends[1].x)
        std::swap(ends[0], ends[1]);
    return true;
}

// True when fixed-point coordinate c, stepped by d for `steps` more pixels,
// stays inside 0..limit-1 all the way. The path is a straight line, so its
// two ends decide; for the game's scales it always holds, but it keeps
// absurd scales from reading outside the source.
static bool staysInside(int32_t c, int32_t d, int32_t steps, int32_t limit)
{
    int64_t last = int64_t(c) + int64_t(d) * steps;
    int64_t lastWhole = int64_t(limit) << kFixedShift;
    return c >= 0 && c < lastWhole && last >= 0 && last < lastWhole;
}

// The smallest source rectangle that holds every pixel that is not
// transparent (empty when u0 > u1). A keyed turn need not step through the
// rest of a span: the sight is mostly see-through around its drawing.
struct OpaqueBox {
    int32_t u0, v0, u1, v1;
};

// Where a turned row goes: into the target row itself, or keyed onto a
// destination row; either way only target columns lo..hi are drawn (for a
// keyed copy, those that land inside the destination).
struct SpanOut {
    uint32_t* row;  // target column x is row[x + shift]
    int32_t shift;
    int32_t lo, hi;
    bool keyed;
    const OpaqueBox* box;  // keyed only: where the source is not transparent
};

static OpaqueBox findOpaqueBox(const uint32_t* pixels, int32_t pitch, int32_t w, int32_t h)
{
    OpaqueBox box{w, h, -1, -1};
    for (int32_t v = 0; v < h; ++v)
        for (int32_t u = 0; u < w; ++u)
            if (pixels[static_cast<ptrdiff_t>(v) * pitch + u] != TransparentColor) {
                box = {std::min(box.u0, u), std::min(box.v0, v), std::max(box.u1, u), std::max(box.v1, v)};
            }
    return box;
}

// The box of the picture turned last, found again only when its pixels have
// changed since (the change stamps are never reused): the game turns the
// same sight every frame while the aim moves.
static const OpaqueBox* opaqueBoxOf(const Image* source, const uint32_t* pixels, int32_t pitch)
{
    static uint64_t boxStamp;
    static OpaqueBox box;
    uint64_t stamp = ImageChangeStamp(source);
    if (stamp == 0 || stamp != boxStamp) {
        box = findOpaqueBox(pixels, pitch, source->width, source->height);
        boxStamp = stamp;
    }
    return &box;
}

static int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

static int64_t ceilDiv(int64_t a, int64_t b)
{
    return -floorDiv(-a, b);
}

// Narrows the steps 0..*last of a coordinate c + d*k (16.16, inside its
// picture all the way) to those whose whole part lies in lo..hi.
static void keepWithin(int64_t c, int64_t d, int32_t lo, int32_t hi, int64_t* first, int64_t* last)
{
    const int64_t low = int64_t(lo) << kFixedShift;
    const int64_t high = (int64_t(hi) << kFixedShift) + (kFixedOne - 1);
    if (d == 0) {
        if (c < low || c > high)
            *last = -1;
        return;
    }
    const int64_t k1 = d > 0 ? ceilDiv(low - c, d) : ceilDiv(high - c, d);
    const int64_t k2 = d > 0 ? floorDiv(high - c, d) : floorDiv(low - c, d);
    *first = std::max(*first, k1);
    *last = std::min(*last, k2);
}

static void drawSpan(const uint32_t* source, const SpanOut& out, SpanEnd a, SpanEnd b, int32_t w, int32_t h)
{
    int32_t count = add32(sub32(b.x, a.x), 1);
    if (count <= 0)
        return;  // only reached when the columns themselves wrapped
    int32_t step = kFixedOne / count;
    int32_t du = mul32(b.u - a.u, step);
    int32_t dv = mul32(b.v - a.v, step);
    int32_t u = mul32(a.u, kFixedOne);
    int32_t v = mul32(a.v, kFixedOne);
    int32_t x1 = a.x, x2 = b.x;
    if (x1 < 0) {
        u = sub32(u, mul32(du, x1));
        v = sub32(v, mul32(dv, x1));
        x1 = 0;
    }
    if (x2 > w - 1)
        x2 = w - 1;
    if (x2 < x1)
        return;
    if (!staysInside(u, du, x2 - x1, w) || !staysInside(v, dv, x2 - x1, h))
        return;
    // Only the part of the span inside lo..hi is drawn, starting that many
    // steps along it.
    int32_t first = std::max(x1, out.lo), last = std::min(x2, out.hi);
    uint32_t uu = static_cast<uint32_t>(u) + static_cast<uint32_t>(du) * static_cast<uint32_t>(first - x1);
    uint32_t vv = static_cast<uint32_t>(v) + static_cast<uint32_t>(dv) * static_cast<uint32_t>(first - x1);
    // The hot loops: two additions, two shifts, a table read and a copy.
    if (!out.keyed) {
        for (int32_t x = first; x <= last; ++x) {
            out.row[x + out.shift] = source[(static_cast<int32_t>(uu) >> kFixedShift) +
                                            RowOffsetTable[static_cast<int32_t>(vv) >> kFixedShift]];
            uu += static_cast<uint32_t>(du);
            vv += static_cast<uint32_t>(dv);
        }
        return;
    }
    // Only the steps that fall inside the source's opaque box can draw.
    int64_t skip = 0, steps = int64_t(last) - first;
    keepWithin(uu, du, out.box->u0, out.box->u1, &skip, &steps);
    keepWithin(vv, dv, out.box->v0, out.box->v1, &skip, &steps);
    if (skip > steps)
        return;
    uu += static_cast<uint32_t>(du) * static_cast<uint32_t>(skip);
    vv += static_cast<uint32_t>(dv) * static_cast<uint32_t>(skip);
    last = static_cast<int32_t>(first + steps);
    first = static_cast<int32_t>(first + skip);
    // Locals: a store through the row could otherwise be taken to change
    // the record and have it read again for every pixel.
    uint32_t* const row = out.row;
    const int32_t shift = out.shift;
    for (int32_t x = first; x <= last; ++x) {
        uint32_t p =
            source[(static_cast<int32_t>(uu) >> kFixedShift) + RowOffsetTable[static_cast<int32_t>(vv) >> kFixedShift]];
        if (p != TransparentColor)
            row[x + shift] = p;
        uu += static_cast<uint32_t>(du);
        vv += static_cast<uint32_t>(dv);
    }
}

// The corners of the source turned about its centre, and its row offsets
// in the table.
static void turnCorners(const Image* source, int32_t sPitch, int16_t angle, int16_t scale, int16_t* cornerX,
                        int16_t* cornerY)
{
    int16_t w = static_cast<int16_t>(source->width);
    int16_t h = static_cast<int16_t>(source->height);
    int16_t cx = static_cast<int16_t>(w / 2), cy = static_cast<int16_t>(h / 2);
    const int16_t xs[4] = {0, static_cast<int16_t>(w - 1), static_cast<int16_t>(w - 1), 0};
    const int16_t ys[4] = {0, 0, static_cast<int16_t>(h - 1), static_cast<int16_t>(h - 1)};
    for (int i = 0; i < 4; ++i) {
        cornerX[i] = xs[i];
        cornerY[i] = ys[i];
        RotatePoint(&cornerX[i], &cornerY[i], cx, cy, angle, scale);
    }
    for (int32_t i = 0; i < h; ++i)
        RowOffsetTable[i] = static_cast<uint32_t>(i) * static_cast<uint32_t>(sPitch);
}

void ImageRotate(Image* source, Image* target, int16_t angle, int16_t scale)
{
    if (source == nullptr || target == nullptr || source == target)
        return;
    if (source->width != target->width || source->height != target->height)
        return;
    if (source->height > kRotateMaxRows)
        return;
    uint32_t* sp;
    uint32_t* tp;
    int32_t sPitch, tPitch;
    ImageLock(source, target, &sp, &tp, &sPitch, &tPitch);
    if (sp == nullptr || tp == nullptr) {
        ImageUnlock(source, target);
        return;
    }
    int16_t cornerX[4], cornerY[4];
    turnCorners(source, sPitch, angle, scale, cornerX, cornerY);
    const int32_t w = source->width, h = source->height;
    for (int32_t y = 0; y < h; ++y) {
        SpanEnd ends[2];
        if (findSpan(cornerX, cornerY, y, w, h, ends))
            drawSpan(sp, SpanOut{tp + static_cast<ptrdiff_t>(y) * tPitch, 0, 0, w - 1, false, nullptr}, ends[0],
                     ends[1], w, h);
    }
    ImageUnlock(source, target);
}

void ImageRotateKeyed(Image* source, Image* destination, int32_t dx, int32_t dy, int16_t angle, int16_t scale)
{
    if (source == nullptr || destination == nullptr || source == destination)
        return;
    if (source->height > kRotateMaxRows)
        return;
    int32_t sPitch, dPitch;
    const uint32_t* sp = ImagePixels(source, &sPitch);
    uint32_t* dp;
    ImageLock(destination, destination, &dp, &dp, &dPitch, &dPitch);
    if (sp == nullptr || dp == nullptr || sp == dp) {
        ImageUnlock(destination, destination);
        return;
    }
    int16_t cornerX[4], cornerY[4];
    turnCorners(source, sPitch, angle, scale, cornerX, cornerY);
    const int32_t w = source->width, h = source->height;
    // The target columns and rows that land inside the destination, worked
    // out in 64 bits so that far-away placements cannot wrap.
    SpanOut out{nullptr,
                dx,
                static_cast<int32_t>(std::max<int64_t>(0, -int64_t(dx))),
                static_cast<int32_t>(std::min<int64_t>(w - 1, int64_t(destination->width) - 1 - dx)),
                true,
                opaqueBoxOf(source, sp, sPitch)};
    int64_t top = std::max<int64_t>(0, -int64_t(dy));
    int64_t bottom = std::min<int64_t>(h - 1, int64_t(destination->height) - 1 - dy);
    for (int64_t y = top; y <= bottom && out.lo <= out.hi; ++y) {
        SpanEnd ends[2];
        if (!findSpan(cornerX, cornerY, static_cast<int32_t>(y), w, h, ends))
            continue;
        out.row = dp + (y + dy) * dPitch;
        drawSpan(sp, out, ends[0], ends[1], w, h);
    }
    ImageUnlock(destination, destination);
}
