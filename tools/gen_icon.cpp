// gen_icon.cpp -- draws the game's icon: three shaded balls, red on top of
// blue and green, packed as they hang in the grid, on a clear background.
//
// Writes kelvane-N.png for every size the desktop's icon theme takes (16 to
// 256 pixels) and KelvaneIcon.rgba, the 64-pixel picture as raw RGBA bytes,
// row by row from the top, which the game gives its window.
//
// usage: gen_icon <output dir>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

static constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};
static constexpr int kWindowIconSize = 64;
static constexpr int kSubSamples = 8;  // per axis, for smooth edges

// Ball radius and the picture's margin, as fractions of the icon's size.
static constexpr double kRadius = 0.235;
static const double kRowHeight = std::sqrt(3.0) * kRadius;  // between the rows' centres

struct Ball {
    double x, y;     // centre, as fractions of the size
    double r, g, b;  // colour, 0..1
};

// Top ball centred; the two below touch it and each other.
static const Ball kBalls[] = {
    {0.5, 0.5 - kRowHeight / 2, 0.95, 0.12, 0.10},
    {0.5 - kRadius, 0.5 + kRowHeight / 2, 0.10, 0.30, 0.98},
    {0.5 + kRadius, 0.5 + kRowHeight / 2, 0.10, 0.82, 0.18},
};

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;
};

// The ball's colour at offset (nx, ny) from its centre in radii, lit from
// the upper left: a dark rim keeps the three apart even at 16 pixels.
static Rgba shade(const Ball& ball, double nx, double ny)
{
    const double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
    const double lx = -0.5, ly = -0.6, lz = 0.62;  // light, about unit length
    const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
    // Halfway between the light and the viewer, for the highlight.
    const double hx = lx, hy = ly, hz = lz + 1.0;
    const double hl = std::sqrt(hx * hx + hy * hy + hz * hz);
    const double specular = std::pow(std::max(0.0, (nx * hx + ny * hy + nz * hz) / hl), 30.0);
    const double light = 0.22 + 0.55 * std::pow(nz, 0.6) + 0.45 * diffuse;
    const double white = 0.85 * specular;
    auto channel = [&](double c) { return std::clamp(c * light + white, 0.0, 1.0); };
    return {channel(ball.r), channel(ball.g), channel(ball.b), 1.0};
}

// The icon at size x size as RGBA bytes, straight (not premultiplied) alpha.
static std::vector<uint8_t> drawIcon(int size)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(size * size * 4), 0);
    const double radius = kRadius * size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Rgba sum;
            for (int sy = 0; sy < kSubSamples; ++sy)
                for (int sx = 0; sx < kSubSamples; ++sx) {
                    const double px = x + (sx + 0.5) / kSubSamples;
                    const double py = y + (sy + 0.5) / kSubSamples;
                    for (const Ball& ball : kBalls) {
                        const double nx = (px - ball.x * size) / radius;
                        const double ny = (py - ball.y * size) / radius;
                        if (nx * nx + ny * ny > 1.0)
                            continue;
                        const Rgba c = shade(ball, nx, ny);
                        sum.r += c.r, sum.g += c.g, sum.b += c.b, sum.a += 1.0;
                        break;
                    }
                }
            uint8_t* out = &pixels[static_cast<size_t>((y * size + x) * 4)];
            if (sum.a == 0)
                continue;
            out[0] = static_cast<uint8_t>(std::lround(sum.r / sum.a * 255));
            out[1] = static_cast<uint8_t>(std::lround(sum.g / sum.a * 255));
            out[2] = static_cast<uint8_t>(std::lround(sum.b / sum.a * 255));
            out[3] = static_cast<uint8_t>(std::lround(sum.a / (kSubSamples * kSubSamples) * 255));
        }
    return pixels;
}

static bool writePng(const std::string& path, int size, const std::vector<uint8_t>& pixels)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = info != nullptr;
    // libpng reports its errors by jumping back here.
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
                     PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < size; ++y)
            png_write_row(png, &pixels[static_cast<size_t>(y * size * 4)]);
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_icon <output dir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    for (int size : kIconSizes) {
        const std::string path = dir + "/kelvane-" + std::to_string(size) + ".png";
        if (!writePng(path, size, drawIcon(size))) {
            std::fprintf(stderr, "gen_icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const std::vector<uint8_t> window = drawIcon(kWindowIconSize);
    std::FILE* raw = std::fopen((dir + "/KelvaneIcon.rgba").c_str(), "wb");
    if (raw == nullptr || std::fwrite(window.data(), 1, window.size(), raw) != window.size() || std::fclose(raw) != 0) {
        std::fprintf(stderr, "gen_icon: cannot write %s/KelvaneIcon.rgba\n", dir.c_str());
        return 1;
    }
    return 0;
}
