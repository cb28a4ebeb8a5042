// Scaling.cpp -- the picture's box and its enlargement into it.
#include "platform/Scaling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

PictureBox PictureBoxOn(int32_t outWidth, int32_t outHeight, int32_t width, int32_t height, bool whole)
{
    PictureBox box;
    if (outWidth <= 0 || outHeight <= 0 || width <= 0 || height <= 0)
        return box;
    const int32_t factor = std::min(outWidth / width, outHeight / height);
    if (whole && factor >= 1) {
        box.w = width * factor;
        box.h = height * factor;
    } else if (int64_t(outWidth) * height >= int64_t(outHeight) * width) {
        // Bars left and right: the height is the screen's.
        box.h = outHeight;
        box.w = std::max(1, int32_t(std::lround(double(outHeight) * width / height)));
    } else {
        box.w = outWidth;
        box.h = std::max(1, int32_t(std::lround(double(outWidth) * height / width)));
    }
    box.x = (outWidth - box.w) / 2;
    box.y = (outHeight - box.h) / 2;
    return box;
}

void PictureBoxPoint(const PictureBox& box, int32_t width, int32_t height, double x, double y, int32_t* px, int32_t* py)
{
    if (box.w <= 0 || box.h <= 0) {
        *px = *py = 0;
        return;
    }
    *px = int32_t(std::floor((x + 0.5 - box.x) * width / box.w));
    *py = int32_t(std::floor((y + 0.5 - box.y) * height / box.h));
}

// The taps of n output pixels showing m picture pixels. Smooth: sampled
// linearly from the picture enlarged k times, nearest neighbour, k the
// smallest whole factor at least n / m; so only outputs whose centre lies
// within half a pixel of the k-times picture's seams mix two pixels.
static std::vector<ScaleTap> tapsOf(int32_t n, int32_t m, bool smooth)
{
    std::vector<ScaleTap> taps(size_t(std::max(n, 0)));
    const int32_t k = smooth ? std::max(1, int32_t(std::ceil(double(n) / m - 1e-9))) : 1;
    const int32_t texels = k * m;
    for (int32_t i = 0; i < n; i++) {
        ScaleTap& tap = taps[size_t(i)];
        if (!smooth) {
            tap.first = tap.next = std::min(m - 1, int32_t((int64_t(2 * i + 1) * m) / (2 * int64_t(n))));
            tap.weight = 0;
            continue;
        }
        const double t = std::clamp((i + 0.5) * texels / n - 0.5, 0.0, double(texels - 1));
        const int32_t t0 = int32_t(t);
        tap.first = t0 / k;
        tap.next = std::min(t0 + 1, texels - 1) / k;
        tap.weight = tap.first == tap.next ? 0 : uint32_t(std::lround((t - t0) * 256));
        if (tap.weight == 256)
            tap = {tap.next, tap.next, 0};
        else if (tap.weight == 0)
            tap.next = tap.first;
    }
    return taps;
}

void EnlargerSetup(Enlarger* e, const PictureBox& box, int32_t width, int32_t height, bool smooth)
{
    e->box = box;
    e->width = width;
    e->height = height;
    e->columns = tapsOf(box.w, width, smooth);
    e->rows = tapsOf(box.h, height, smooth);
    e->previous.clear();
    e->mixed.assign(size_t(box.w), 0);
    e->changed.assign(size_t(height), 1);
}

// a and b mixed, weight / 256 of b: two channels at once, then green.
static inline uint32_t mix(uint32_t a, uint32_t b, uint32_t weight)
{
    const uint32_t keep = 256 - weight;
    const uint32_t rb = (((a & 0xFF00FF) * keep + (b & 0xFF00FF) * weight) >> 8) & 0xFF00FF;
    const uint32_t g = (((a & 0x00FF00) * keep + (b & 0x00FF00) * weight) >> 8) & 0x00FF00;
    return rb | g;
}

static void enlargeRow(const std::vector<ScaleTap>& columns, const uint32_t* source, uint32_t* out)
{
    for (const ScaleTap& c : columns) {
        const uint32_t p = source[c.first];
        *out++ = c.weight == 0 ? p : mix(p, source[c.next], c.weight);
    }
}

int32_t EnlargerChanged(Enlarger* e, const uint32_t* picture, int32_t pitch, bool all, int32_t* firstRow)
{
    const size_t rowBytes = size_t(e->width) * sizeof(uint32_t);
    if (e->previous.empty()) {
        e->previous.resize(size_t(e->width) * size_t(e->height));
        all = true;
    }
    for (int32_t y = 0; y < e->height; y++) {
        const uint32_t* row = picture + size_t(y) * size_t(pitch);
        uint32_t* kept = e->previous.data() + size_t(y) * size_t(e->width);
        e->changed[size_t(y)] = all || std::memcmp(row, kept, rowBytes) != 0;
        if (e->changed[size_t(y)])
            std::memcpy(kept, row, rowBytes);
    }
    int32_t first = -1;
    int32_t last = -1;
    for (int32_t y = 0; y < e->box.h; y++) {
        const ScaleTap& r = e->rows[size_t(y)];
        if (e->changed[size_t(r.first)] || (r.weight != 0 && e->changed[size_t(r.next)])) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    *firstRow = first < 0 ? 0 : first;
    return first < 0 ? 0 : last - first + 1;
}

void EnlargerDraw(Enlarger* e, const uint32_t* picture, int32_t pitch, int32_t firstRow, int32_t rows, uint32_t* out,
                  int32_t outPitch)
{
    const size_t w = size_t(e->box.w);
    const ScaleTap* above = nullptr;  // the taps of the row just drawn
    for (int32_t y = firstRow; y < firstRow + rows; y++, out += outPitch) {
        const ScaleTap& r = e->rows[size_t(y)];
        if (above != nullptr && above->weight == 0 && r.weight == 0 && above->first == r.first) {
            std::memcpy(out, out - outPitch, w * sizeof(uint32_t));  // the same picture row again
        } else {
            enlargeRow(e->columns, picture + size_t(r.first) * size_t(pitch), out);
            if (r.weight != 0) {
                enlargeRow(e->columns, picture + size_t(r.next) * size_t(pitch), e->mixed.data());
                for (size_t x = 0; x < w; x++)
                    out[x] = mix(out[x], e->mixed[x], r.weight);
            }
        }
        above = &r;
    }
}
