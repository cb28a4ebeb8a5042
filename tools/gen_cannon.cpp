// gen_cannon.cpp -- draws MyCannonBitmap: the white aiming sight on black,
// 184 x 184 at 4 bits per pixel with sixteen greys, pointing straight up.
//
// The loaded ball sits on the picture's centre, so the sight is built around
// it: a ring whose outer edge spans columns 49..133 on the centre row, a
// cross through the ring, a dot in the middle, and above the ring a stem up
// to a small ring and an arrowhead whose tip touches the top edge. Nothing
// is drawn in the lower 50 rows. Black (grey 0) is transparent, and the
// scene turns this picture nearest-neighbour over the wood: a dark grey at a
// stroke's edge would be kept by the colour key and scattered round the
// strokes as a dark speckle. So the edges are hard: a pixel is white when the
// shapes cover at least half of it and black otherwise.
//
// usage: gen_cannon <output dir>
#include "dib_writer.h"

#include <cmath>
#include <cstdio>

static constexpr int32_t kSize = 184;
static constexpr int kGreys = 16;
static constexpr int kSubSamples = 8;  // per axis, for the coverage of a pixel
static constexpr int kWhite = kGreys - 1;

// Continuous coordinates: pixel (x, y) covers [x, x + 1) x [y, y + 1).
// The ring's outer edge runs from the left edge of column 49 to the right
// edge of column 133, so its centre is column 91's middle.
static constexpr double kCentreX = 91.5;
static constexpr double kCentreY = 91.5;
static constexpr double kRingOuter = 42.5;  // 49 .. 134 along the centre row
static constexpr double kRingWidth = 4.0;
static constexpr double kStroke = 3.0;  // cross and stem: columns 90..92
static constexpr double kDotRadius = 4.0;
static constexpr double kCrossGap = 10.0;  // the cross stops short of the dot

static constexpr double kSmallRingY = 30.0;  // the small ring on the stem
static constexpr double kSmallRingOuter = 8.0;
static constexpr double kSmallRingWidth = 3.0;
static constexpr double kArrowBase = 15.0;  // the arrowhead runs from here up to y 0
static constexpr double kArrowHalfWidth = 10.0;

static bool inRing(double px, double py, double cx, double cy, double outer, double width)
{
    const double r = std::hypot(px - cx, py - cy);
    return r <= outer && r >= outer - width;
}

static bool inBar(double p, double centre, double width)
{
    return std::fabs(p - centre) <= width / 2.0;
}

// Whether the continuous point (px, py) is white.
static bool inSight(double px, double py)
{
    const double dx = px - kCentreX;
    const double dy = py - kCentreY;
    const double r = std::hypot(dx, dy);

    if (inRing(px, py, kCentreX, kCentreY, kRingOuter, kRingWidth))
        return true;
    if (r <= kDotRadius)
        return true;
    // The cross: both bars, from the gap round the dot out to the ring.
    if (r >= kCrossGap && r <= kRingOuter && (inBar(px, kCentreX, kStroke) || inBar(py, kCentreY, kStroke)))
        return true;

    // Above the ring: the stem, the small ring and the arrowhead.
    const double ringTop = kCentreY - kRingOuter;
    const double smallRingBottom = kSmallRingY + kSmallRingOuter;
    const double smallRingTop = kSmallRingY - kSmallRingOuter;
    if (inBar(px, kCentreX, kStroke) &&
        ((py >= smallRingBottom - 0.5 && py <= ringTop + 0.5) || (py >= kArrowBase && py <= smallRingTop + 0.5)))
        return true;
    if (inRing(px, py, kCentreX, kSmallRingY, kSmallRingOuter, kSmallRingWidth))
        return true;
    if (py >= 0.0 && py <= kArrowBase) {
        const double halfWidth = kArrowHalfWidth * py / kArrowBase;
        if (std::fabs(dx) <= halfWidth)
            return true;
    }
    return false;
}

static double coverage(int x, int y)
{
    int inside = 0;
    for (int sy = 0; sy < kSubSamples; ++sy)
        for (int sx = 0; sx < kSubSamples; ++sx)
            if (inSight(x + (sx + 0.5) / kSubSamples, y + (sy + 0.5) / kSubSamples))
                ++inside;
    return static_cast<double>(inside) / (kSubSamples * kSubSamples);
}

static DibPicture drawCannon()
{
    DibPicture cannon;
    cannon.width = kSize;
    cannon.height = kSize;
    cannon.bitsPerPixel = 4;
    cannon.palette.resize(kGreys);
    for (int i = 0; i < kGreys; ++i) {
        const uint8_t grey = static_cast<uint8_t>(i * 255 / (kGreys - 1));
        cannon.palette[static_cast<size_t>(i)] = {grey, grey, grey};
    }
    cannon.pixels.assign(static_cast<size_t>(kSize * kSize), 0);

    // Only the rows the sight can reach; the rest stays black.
    const int lastRow = static_cast<int>(std::ceil(kCentreY + kRingOuter)) - 1;
    for (int y = 0; y <= lastRow; ++y)
        for (int x = 0; x < kSize; ++x) {
            cannon.pixels[static_cast<size_t>(y * kSize + x)] = coverage(x, y) >= 0.5 ? kWhite : 0;
        }
    return cannon;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_cannon <output dir>\n");
        return 2;
    }
    return WriteDibFile(argv[1], "MyCannonBitmap.dib", drawCannon()) ? 0 : 1;
}
