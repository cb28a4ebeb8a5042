// gen_ball.cpp -- draws MyBallBitmap: the plain ball, a light-grey shaded
// sphere on black, 32 x 32 at 8 bits per pixel with a grey palette.
//
// The game tints this picture with each ball colour (every channel times the
// colour / 256), so the sphere is kept light: near-white in the middle, a
// highlight towards the upper left, a darker rim. Black is transparent, and
// the picture's non-black pixels are also what the flying ball's hit test
// compares, so the disc's exact pixel shape is part of the game's rules:
//
//   - the disc is 31 pixels across, columns and rows 0..30, centred on
//     pixel (15, 15): the same half-pixel-left-of-middle centre as the
//     cannon's ring (pixel 91 of 184), so a loaded ball sits concentric
//     in the sight;
//   - a pixel belongs to the disc when its offset (dx, dy) from the centre
//     pixel has dx^2 + dy^2 <= kDiscRadiusSquared. With 238 two balls touch
//     when their positions are less than 30.4 (diagonally) to 30.6 pixels
//     apart, and never at 32 in a row or at (16, 28) between rows;
//   - every disc pixel is palette index 1 or more (never black), and every
//     index is a grey at least kRimFloor bright, so tinting with any ball
//     colour keeps the whole disc visible.
//
// usage: gen_ball <output dir>
#include "dib_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

static constexpr int32_t kSize = 32;
static constexpr int kCentre = 15;              // centre pixel, both axes
static constexpr int kDiscRadiusSquared = 238;  // pixel-centre test of the disc
static constexpr double kShadeRadius = 15.5;    // the sphere the shading sees
static constexpr double kEdgeRadius = 15.45;    // the outline the antialiasing sees
static constexpr int kSubSamples = 8;           // per axis, for edge coverage
static constexpr double kRimFloor = 0.22;       // darkest visible grey, as a fraction of white

struct Vec3 {
    double x, y, z;
};

static Vec3 normalise(Vec3 v)
{
    const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / len, v.y / len, v.z / len};
}

static double dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Brightness 0..1 of the sphere at offset (dx, dy) pixels from its centre
// (y down), lit from the upper left and a little in front.
static double shade(double dx, double dy)
{
    const double nx = dx / kShadeRadius;
    const double ny = dy / kShadeRadius;
    const double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
    const Vec3 normal{nx, ny, nz};
    const Vec3 light = normalise({-0.5, -0.6, 0.65});
    const Vec3 halfway = normalise({light.x, light.y, light.z + 1.0});

    // Mostly "facing the viewer", which keeps the middle brightest and the
    // rim dark; a little directional light moves the weight up and left.
    const double facing = std::pow(nz, 0.7);
    const double diffuse = std::max(0.0, dot(normal, light));
    const double specular = std::pow(std::max(0.0, dot(normal, halfway)), 40.0);
    const double value = 0.30 + 0.52 * facing + 0.12 * diffuse + 0.40 * specular;
    return std::clamp(value, 0.0, 1.0);
}

// Fraction of pixel (x, y) that lies inside the outline, for a soft edge.
static double coverage(int x, int y)
{
    int inside = 0;
    for (int sy = 0; sy < kSubSamples; ++sy)
        for (int sx = 0; sx < kSubSamples; ++sx) {
            const double px = x + (sx + 0.5) / kSubSamples - (kCentre + 0.5);
            const double py = y + (sy + 0.5) / kSubSamples - (kCentre + 0.5);
            if (px * px + py * py <= kEdgeRadius * kEdgeRadius)
                ++inside;
        }
    return static_cast<double>(inside) / (kSubSamples * kSubSamples);
}

static bool inDisc(int x, int y)
{
    const int dx = x - kCentre;
    const int dy = y - kCentre;
    return dx * dx + dy * dy <= kDiscRadiusSquared;
}

static DibPicture drawBall()
{
    DibPicture ball;
    ball.width = kSize;
    ball.height = kSize;
    ball.bitsPerPixel = 8;
    // Index i is the grey i: index 0 is black, the transparent colour.
    ball.palette.resize(256);
    for (int i = 0; i < 256; ++i)
        ball.palette[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                                static_cast<uint8_t>(i)};
    ball.pixels.assign(static_cast<size_t>(kSize * kSize), 0);

    const int floorIndex = static_cast<int>(std::lround(kRimFloor * 255.0));
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            if (!inDisc(x, y))
                continue;
            // The outermost pixels fade towards the black they sit on, but
            // only down to the floor: they must stay part of the ball.
            const double edge = 0.55 + 0.45 * coverage(x, y);
            const double value = shade(x - kCentre, y - kCentre) * edge;
            const int index = std::clamp(static_cast<int>(std::lround(value * 255.0)), floorIndex, 255);
            ball.pixels[static_cast<size_t>(y * kSize + x)] = static_cast<uint8_t>(index);
        }
    return ball;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_ball <output dir>\n");
        return 2;
    }
    return WriteDibFile(argv[1], "MyBallBitmap.dib", drawBall()) ? 0 : 1;
}
