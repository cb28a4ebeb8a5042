// gen_back.cpp -- draws MyBackBitmap: the playfield background, 640 x 480 at
// 4 bits per pixel, a wall of horizontal wooden planks in sixteen browns.
//
// Everything the player looks at is drawn over this picture: coloured balls,
// white status texts, the blue and yellow score table. So the wood is kept in
// a narrow band of middle browns, its growth rings soft, and its knots few;
// the grain is there to be noticed, not to compete.
//
// Each plank is cut from its own log. Looking down on a board, the log's
// growth rings meet the surface in long arches ("cathedrals") where the cut
// runs at a slight angle to the trunk: the ring pattern here is the distance
// from a slightly tilted trunk axis below the surface, warped by smooth
// noise, with dark late-wood bands, fine fibre streaks along the grain, and a
// few knots that pull the rings around them. Sixteen browns are not enough
// for smooth shading, so the tones are ordered-dithered onto the palette.
// Everything is seeded: the picture is the same on every build.
//
// usage: gen_back <output dir>
#include "dib_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

static constexpr int32_t kWidth = 640;
static constexpr int32_t kHeight = 480;
static constexpr int kColours = 16;
static constexpr uint64_t kSeed = 0x6b656c76616e65ull;

// ---------------------------------------------------------------------------
// Seeded randomness and smooth noise.

// splitmix64: a small, well-mixed generator; one stream per use.
struct Random {
    uint64_t state;
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform(double lo, double hi)  // [lo, hi)
    {
        return lo + (hi - lo) * static_cast<double>(next() >> 11) / 9007199254740992.0;
    }
};

// Two-dimensional gradient noise on a 256-cell repeating lattice, about -1..1.
struct Noise {
    std::array<uint8_t, 512> permutation{};
    std::array<double, 256> gradientX{};
    std::array<double, 256> gradientY{};
};

static Noise makeNoise(Random& random)
{
    Noise noise;
    std::array<uint8_t, 256> p{};
    for (int i = 0; i < 256; ++i)
        p[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    for (int i = 255; i > 0; --i)
        std::swap(p[static_cast<size_t>(i)], p[static_cast<size_t>(random.next() % static_cast<uint64_t>(i + 1))]);
    for (int i = 0; i < 512; ++i)
        noise.permutation[static_cast<size_t>(i)] = p[static_cast<size_t>(i & 255)];
    for (int i = 0; i < 256; ++i) {
        const double angle = random.uniform(0.0, 2.0 * std::numbers::pi);
        noise.gradientX[static_cast<size_t>(i)] = std::cos(angle);
        noise.gradientY[static_cast<size_t>(i)] = std::sin(angle);
    }
    return noise;
}

static double fade(double t)
{
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

static double gradientNoise(const Noise& noise, double x, double y)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = static_cast<int>(fx) & 255;
    const int iy = static_cast<int>(fy) & 255;
    const double dx = x - fx;
    const double dy = y - fy;
    auto corner = [&](int cx, int cy, double ox, double oy) {
        const size_t h =
            noise.permutation[static_cast<size_t>(noise.permutation[static_cast<size_t>(ix + cx)] + iy + cy)];
        return noise.gradientX[h] * ox + noise.gradientY[h] * oy;
    };
    const double u = fade(dx);
    const double v = fade(dy);
    const double top = corner(0, 0, dx, dy) + u * (corner(1, 0, dx - 1.0, dy) - corner(0, 0, dx, dy));
    const double bottom =
        corner(0, 1, dx, dy - 1.0) + u * (corner(1, 1, dx - 1.0, dy - 1.0) - corner(0, 1, dx, dy - 1.0));
    return (top + v * (bottom - top)) * 1.41;
}

// A few octaves of noise, each half as strong and twice as fine.
static double fractalNoise(const Noise& noise, double x, double y, int octaves)
{
    double sum = 0.0;
    double amplitude = 1.0;
    double total = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * gradientNoise(noise, x, y);
        total += amplitude;
        amplitude *= 0.5;
        x = x * 2.0 + 17.3;
        y = y * 2.0 + 5.1;
    }
    return sum / total;
}

static double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// ---------------------------------------------------------------------------
// Planks.

struct Knot {
    double x, y;    // centre on the screen
    double radius;  // of the dark core, along the grain
    double squash;  // across the grain, as a fraction of the radius
};

struct Plank {
    int top, bottom;   // rows, bottom exclusive
    double axisY;      // where the trunk runs, relative to the plank's middle
    double axisDepth;  // how far below the surface
    double tiltY;      // the trunk's slant across and into the board, per pixel
    double tiltDepth;
    double ringSpacing;  // pixels between growth rings at the surface
    double tone;         // this board's overall shade, -1..1
    double noiseShiftX, noiseShiftY;
    std::array<Knot, 2> knots;
    int knotCount;
};

static constexpr std::array<int, 5> kPlankEdges = {0, 118, 236, 361, 480};
static constexpr int kPlankCount = static_cast<int>(kPlankEdges.size()) - 1;

static Plank makePlank(Random& random, int index)
{
    Plank plank{};
    plank.top = kPlankEdges[static_cast<size_t>(index)];
    plank.bottom = kPlankEdges[static_cast<size_t>(index + 1)];
    const double height = plank.bottom - plank.top;
    plank.axisY = random.uniform(-0.9, 0.9) * height;
    plank.axisDepth = random.uniform(25.0, 70.0);
    plank.tiltY = random.uniform(-0.05, 0.05);
    plank.tiltDepth = random.uniform(-0.06, 0.06);
    plank.ringSpacing = random.uniform(9.0, 13.0);
    plank.tone = random.uniform(-1.0, 1.0);
    plank.noiseShiftX = random.uniform(0.0, 200.0);
    plank.noiseShiftY = random.uniform(0.0, 200.0);
    // Most boards have one knot, some none, none more than two.
    const double roll = random.uniform(0.0, 1.0);
    plank.knotCount = roll < 0.25 ? 0 : (roll < 0.85 ? 1 : 2);
    for (int k = 0; k < plank.knotCount; ++k) {
        Knot& knot = plank.knots[static_cast<size_t>(k)];
        // Keep the two knots of one board apart, one in each half.
        const double half = kWidth / 2.0;
        knot.x = random.uniform(40.0, half - 40.0) + (k == 1 ? half : 0.0);
        knot.y = plank.top + random.uniform(0.3, 0.7) * height;
        knot.radius = random.uniform(5.0, 9.0);
        knot.squash = random.uniform(0.55, 0.8);
    }
    return plank;
}

// How far a knot bends the rings around it, in knot radii, and how much.
static constexpr double kKnotReachAlong = 4.0;
static constexpr double kKnotReachAcross = 2.2;
static constexpr double kKnotBend = 2.0;

// Growth-ring phase (in rings) at (x, y) of a plank, before the knots.
static double ringPhase(const Plank& plank, const Noise& noise, double x, double y)
{
    const double middle = (plank.top + plank.bottom) / 2.0;
    const double across = y - middle - plank.axisY - plank.tiltY * (x - kWidth / 2.0);
    const double depth = plank.axisDepth + plank.tiltDepth * (x - kWidth / 2.0);
    // The trunk was never perfectly round: warp the distance a little.
    const double warp = fractalNoise(noise, (x + plank.noiseShiftX) / 180.0, (y + plank.noiseShiftY) / 45.0, 3);
    const double radius = std::sqrt(across * across + depth * depth) + 6.0 * warp;
    return radius / plank.ringSpacing;
}

// Brightness offset -1..1 of the wood at (x, y): rings, fibres, knots.
static double woodShade(const Plank& plank, const Noise& noise, double x, double y)
{
    double phase = ringPhase(plank, noise, x, y);
    double knotDark = 0.0;
    for (int k = 0; k < plank.knotCount; ++k) {
        const Knot& knot = plank.knots[static_cast<size_t>(k)];
        const double kx = (x - knot.x) / knot.radius;
        const double ky = (y - knot.y) / (knot.radius * knot.squash);
        const double d = std::sqrt(kx * kx + ky * ky);
        // Around the knot the rings bend and crowd: push the phase up in a
        // soft bump, drawn out along the grain, that dies away a few knot
        // radii off.
        const double bx = (x - knot.x) / (knot.radius * kKnotReachAlong);
        const double by = (y - knot.y) / (knot.radius * kKnotReachAcross);
        phase += kKnotBend * std::exp(-(bx * bx + by * by));
        if (d < 1.6) {
            // The knot itself: a dark core with rings of its own and a
            // darker rim where it meets the board.
            const double core = 1.0 - smoothstep(0.9, 1.4, d);
            const double rings = 0.5 + 0.5 * std::cos(d * 3.2 * std::numbers::pi);
            knotDark = std::max(knotDark, core * (0.55 + 0.3 * rings));
        }
    }

    // Inside one ring the early wood is light and the late wood a narrow
    // darker band with a soft leading edge and a sharper trailing one.
    const double f = phase - std::floor(phase);
    const double late = smoothstep(0.55, 0.85, f) * (1.0 - smoothstep(0.93, 1.0, f));

    // Fibres: fine streaks stretched along the grain.
    const double fibre = fractalNoise(noise, (x + plank.noiseShiftY) / 90.0, (y + plank.noiseShiftX) / 1.6, 2);
    // Broad, slow variation so that no stretch of board looks stamped.
    const double broad =
        fractalNoise(noise, (x + 3.0 * plank.noiseShiftX) / 260.0, (y + 3.0 * plank.noiseShiftY) / 90.0, 2);

    double shade = 0.25 - 0.55 * late + 0.16 * fibre + 0.22 * broad + 0.12 * plank.tone;
    shade = shade * (1.0 - knotDark) - 0.9 * knotDark;
    return std::clamp(shade, -1.0, 1.0);
}

// Edges of a plank: a dark groove where two boards meet, softened by a
// rounded arris on either side.
static double seamShade(const Plank& plank, int y)
{
    const int fromTop = y - plank.top;
    const int fromBottom = plank.bottom - 1 - y;
    double shade = 0.0;
    if (plank.top > 0 && fromTop == 0)
        shade -= 1.2;
    else if (plank.top > 0 && fromTop == 1)
        shade += 0.25;  // the top arris catches the light
    if (plank.bottom < kHeight && fromBottom == 0)
        shade -= 0.9;
    else if (plank.bottom < kHeight && fromBottom == 1)
        shade -= 0.35;
    return shade;
}

// ---------------------------------------------------------------------------
// Colours.

// Sixteen browns from dark walnut to honey, evenly spaced in brightness.
static std::vector<DibColour> woodPalette()
{
    const double dark[3] = {104.0, 66.0, 34.0};
    const double light[3] = {200.0, 142.0, 86.0};
    std::vector<DibColour> palette(kColours);
    for (int i = 0; i < kColours; ++i) {
        const double t = static_cast<double>(i) / (kColours - 1);
        auto channel = [&](int c) { return static_cast<uint8_t>(std::lround(dark[c] + (light[c] - dark[c]) * t)); };
        palette[static_cast<size_t>(i)] = {channel(0), channel(1), channel(2)};
    }
    return palette;
}

// 4 x 4 ordered-dither thresholds, 0..15.
static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Palette index for a shade of -1..1, dithered at pixel (x, y).
static uint8_t ditheredIndex(double shade, int x, int y)
{
    const double level = (shade + 1.0) / 2.0 * (kColours - 1);
    const double threshold = (kBayer[y & 3][x & 3] + 0.5) / 16.0;
    const int index = static_cast<int>(std::floor(level + threshold));
    return static_cast<uint8_t>(std::clamp(index, 0, kColours - 1));
}

static DibPicture drawBackground()
{
    Random random{kSeed};
    const Noise noise = makeNoise(random);
    std::array<Plank, kPlankCount> planks{};
    for (int i = 0; i < kPlankCount; ++i)
        planks[static_cast<size_t>(i)] = makePlank(random, i);

    DibPicture back;
    back.width = kWidth;
    back.height = kHeight;
    back.bitsPerPixel = 4;
    back.palette = woodPalette();
    back.pixels.assign(static_cast<size_t>(kWidth * kHeight), 0);

    int plankIndex = 0;
    for (int y = 0; y < kHeight; ++y) {
        while (y >= planks[static_cast<size_t>(plankIndex)].bottom)
            ++plankIndex;
        const Plank& plank = planks[static_cast<size_t>(plankIndex)];
        const double seam = seamShade(plank, y);
        for (int x = 0; x < kWidth; ++x) {
            const double shade = std::clamp(woodShade(plank, noise, x + 0.5, y + 0.5) + seam, -1.0, 1.0);
            back.pixels[static_cast<size_t>(y * kWidth + x)] = ditheredIndex(shade, x, y);
        }
    }
    return back;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_back <output dir>\n");
        return 2;
    }
    return WriteDibFile(argv[1], "MyBackBitmap.dib", drawBackground()) ? 0 : 1;
}
