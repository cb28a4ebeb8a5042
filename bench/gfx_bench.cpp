// gfx_bench.cpp -- the pixel kit's per-frame work, each beside the best
// library routine doing the same work on the same pixels in the same run.
//
// Each benchmark times the kit and the library alternately, one call each
// per iteration, and reports both medians and their ratio (kit / library);
// a summary of the ratios and their targets is printed at the end.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "gfx/Image.h"
#include "gfx/SineTable.h"

namespace {

constexpr int32_t kScreenW = 640;
constexpr int32_t kScreenH = 480;
constexpr int32_t kBallSize = 32;
constexpr int32_t kCannonSize = 184;
constexpr int kBalls = 120;  // a full board's worth of balls
constexpr int32_t kFadeAlpha = 128;
constexpr int16_t kAimAngle = 90;  // 22.5 degrees, a typical aim

struct Ratio {
    std::string name;
    double ours, theirs, target;
};

// Prints the ratios after all benchmarks have run.
struct Summary {
    std::vector<Ratio> ratios;
    ~Summary()
    {
        if (ratios.empty())
            return;
        std::printf("\nKit / library, medians:\n");
        for (const Ratio& r : ratios)
            std::printf("  %-44s %8.2f us / %8.2f us = %.3fx  (target <= %.1fx)\n", r.name.c_str(), r.ours * 1e6,
                        r.theirs * 1e6, r.ours / r.theirs, r.target);
        std::fflush(stdout);
    }
};
Summary summary;

// Runs both sides alternately, swapping which goes first so that neither
// always meets the other's warm caches.
template <class Ours, class Theirs>
void runPair(benchmark::State& state, const char* name, double target, Ours&& ours, Theirs&& theirs)
{
    std::vector<double> a, b;
    bool oursFirst = true;
    for (auto _ : state) {
        if (oursFirst) {
            a.push_back(timed(ours));
            b.push_back(timed(theirs));
        } else {
            b.push_back(timed(theirs));
            a.push_back(timed(ours));
        }
        oursFirst = !oursFirst;
    }
    double ma = median(a), mb = median(b);
    state.counters["kit_us"] = ma * 1e6;
    state.counters["lib_us"] = mb * 1e6;
    state.counters["ratio"] = ma / mb;
    // The library calls a benchmark several times while it settles on an
    // iteration count; the last, longest run is the one reported.
    auto same = [name](const Ratio& r) { return r.name == name; };
    summary.ratios.erase(std::remove_if(summary.ratios.begin(), summary.ratios.end(), same), summary.ratios.end());
    summary.ratios.push_back({name, ma, mb, target});
}

uint32_t* pixelsOf(Image* image, int32_t* pitch)
{
    uint32_t* p;
    ImageLock(image, image, &p, &p, pitch, pitch);
    ImageUnlock(image, image);
    return p;
}

// The game's picture when it is built in, else a stand-in of the same size
// drawn by `draw`.
template <class Draw>
void loadOrDraw(Image* image, const char* name, int32_t w, int32_t h, Draw draw)
{
    if (ImageCreate(image, name, w, h, 1) && ImageLoadBitmap(image, name))
        return;
    ImageCreate(image, nullptr, w, h, 1);
    int32_t pitch;
    uint32_t* p = pixelsOf(image, &pitch);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            p[y * pitch + x] = draw(x, y);
}

// The three pictures and the screen, made once.
struct Scene {
    Image back, ball, cannon, screen, turned;
    Scene()
    {
        BuildSineTable();
        loadOrDraw(&back, "MyBackBitmap", kScreenW, kScreenH, [](int32_t x, int32_t y) {
            return uint32_t(0x60 + (x * 7 + y * 3) % 40) << 16 | uint32_t(0x40 + (x + y) % 30) << 8 | 0x20u;
        });
        loadOrDraw(&ball, "MyBallBitmap", kBallSize, kBallSize, [](int32_t x, int32_t y) {
            double dx = x + 0.5 - 16, dy = y + 0.5 - 16;
            double d = std::sqrt(dx * dx + dy * dy);
            if (d > 15.5)
                return 0u;
            uint32_t g = uint32_t(230 - d * 6);
            return g << 16 | g << 8 | g;
        });
        loadOrDraw(&cannon, "MyCannonBitmap", kCannonSize, kCannonSize, [](int32_t x, int32_t y) {
            double dx = x - 91.5, dy = y - 91.5;
            double d = std::sqrt(dx * dx + dy * dy);
            bool ring = d > 38 && d < 42, cross = (std::fabs(dx) < 1.5 || std::fabs(dy) < 1.5) && d < 38;
            bool stem = std::fabs(dx) < 1.5 && y < 50;
            return (ring || cross || stem) && y < 134 ? 0xFFFFFFu : 0u;
        });
        ImageCreate(&screen, nullptr, kScreenW, kScreenH, 0);
        ImageCreate(&turned, nullptr, kCannonSize, kCannonSize, 0);
        ImageBlit(&back, 0, 0, &screen, 0, 0, kScreenW, kScreenH);
    }
};

Scene& scene()
{
    static Scene s;
    return s;
}

// Ball positions as on a full board: 15 rows of 8, odd rows shifted.
struct Place {
    int32_t x, y;
};
std::vector<Place> boardPlaces()
{
    std::vector<Place> places;
    for (int row = 0; places.size() < kBalls; ++row)
        for (int col = 0; col < 8 && places.size() < kBalls; ++col)
            places.push_back({192 + col * 32 + (row % 2) * 16, 55 + row * 28});
    return places;
}

// An SDL surface over an Image's own pixels.
SDL_Surface* surfaceOver(Image* image)
{
    int32_t pitch;
    uint32_t* p = pixelsOf(image, &pitch);
    return SDL_CreateRGBSurfaceWithFormatFrom(p, image->width, image->height, 32, pitch * 4, SDL_PIXELFORMAT_RGB888);
}

pixman_image_t* pixmanOver(Image* image, pixman_format_code_t format)
{
    int32_t pitch;
    uint32_t* p = pixelsOf(image, &pitch);
    return pixman_image_create_bits(format, image->width, image->height, p, pitch * 4);
}

void BM_OpaqueFrameVsMemcpy(benchmark::State& state)
{
    Scene& s = scene();
    int32_t pitch;
    uint32_t* from = pixelsOf(&s.back, &pitch);
    uint32_t* to = pixelsOf(&s.screen, &pitch);
    size_t bytes = size_t(pitch) * kScreenH * sizeof(uint32_t);
    runPair(
        state, "640x480 ImageBlit vs memcpy", 1.2,
        [&] {
            ImageBlit(&s.back, 0, 0, &s.screen, 0, 0, kScreenW, kScreenH);
            benchmark::ClobberMemory();
        },
        [&] {
            std::memcpy(to, from, bytes);
            benchmark::ClobberMemory();
        });
}
BENCHMARK(BM_OpaqueFrameVsMemcpy)->Unit(benchmark::kMicrosecond);

void BM_KeyedBallsVsSdlRle(benchmark::State& state)
{
    Scene& s = scene();
    std::vector<Place> places = boardPlaces();
    SDL_Surface* ball = surfaceOver(&s.ball);
    SDL_Surface* screen = surfaceOver(&s.screen);
    SDL_SetColorKey(ball, SDL_TRUE, 0);
    SDL_SetSurfaceRLE(ball, 1);
    runPair(
        state, "120 ImageBlitKeyed vs SDL_BlitSurface RLE key", 0.9,
        [&] {
            for (const Place& p : places)
                ImageBlitKeyed(&s.ball, 0, 0, &s.screen, p.x, p.y, kBallSize, kBallSize);
            benchmark::ClobberMemory();
        },
        [&] {
            for (const Place& p : places) {
                SDL_Rect to{p.x, p.y, kBallSize, kBallSize};
                SDL_BlitSurface(ball, nullptr, screen, &to);
            }
            benchmark::ClobberMemory();
        });
    SDL_FreeSurface(ball);
    SDL_FreeSurface(screen);
}
BENCHMARK(BM_KeyedBallsVsSdlRle)->Unit(benchmark::kMicrosecond);

void BM_BlendedBallsVsPixmanOver(benchmark::State& state)
{
    Scene& s = scene();
    std::vector<Place> places = boardPlaces();
    // pixman wants the transparent colour as alpha: an opaque premultiplied
    // copy of the ball with alpha 0 where the ball is 0.
    Image ballArgb;
    ImageCreate(&ballArgb, nullptr, kBallSize, kBallSize, 1);
    int32_t pitch, argbPitch;
    uint32_t* src = pixelsOf(&s.ball, &pitch);
    uint32_t* argb = pixelsOf(&ballArgb, &argbPitch);
    for (int32_t y = 0; y < kBallSize; ++y)
        for (int32_t x = 0; x < kBallSize; ++x) {
            uint32_t p = src[y * pitch + x];
            argb[y * argbPitch + x] = p == 0 ? 0 : (0xFF000000u | p);
        }
    pixman_image_t* ball = pixmanOver(&ballArgb, PIXMAN_a8r8g8b8);
    pixman_image_t* screen = pixmanOver(&s.screen, PIXMAN_x8r8g8b8);
    pixman_color_t half{0, 0, 0, uint16_t(kFadeAlpha * 256 - 1)};
    pixman_image_t* mask = pixman_image_create_solid_fill(&half);
    runPair(
        state, "120 ImageBlendKeyed vs pixman OVER solid mask", 1.0,
        [&] {
            for (const Place& p : places)
                ImageBlendKeyed(&s.ball, 0, 0, &s.screen, p.x, p.y, kBallSize, kBallSize, kFadeAlpha);
            benchmark::ClobberMemory();
        },
        [&] {
            for (const Place& p : places)
                pixman_image_composite32(PIXMAN_OP_OVER, ball, mask, screen, 0, 0, 0, 0, p.x, p.y, kBallSize,
                                         kBallSize);
            benchmark::ClobberMemory();
        });
    pixman_image_unref(mask);
    pixman_image_unref(screen);
    pixman_image_unref(ball);
    ImageRelease(&ballArgb);
}
BENCHMARK(BM_BlendedBallsVsPixmanOver)->Unit(benchmark::kMicrosecond);

void BM_TurnedCannonVsPixmanNearest(benchmark::State& state)
{
    Scene& s = scene();
    Image pixmanTarget;
    ImageCreate(&pixmanTarget, nullptr, kCannonSize, kCannonSize, 0);
    pixman_image_t* src = pixmanOver(&s.cannon, PIXMAN_x8r8g8b8);
    pixman_image_t* dst = pixmanOver(&pixmanTarget, PIXMAN_x8r8g8b8);
    // Target to source: about the centre, by the aim angle.
    double turn = kAimAngle * 2 * M_PI / 1440, centre = kCannonSize / 2;
    pixman_f_transform ft;
    pixman_f_transform_init_translate(&ft, -centre, -centre);
    pixman_f_transform_rotate(&ft, nullptr, std::cos(turn), -std::sin(turn));
    pixman_f_transform_translate(&ft, nullptr, centre, centre);
    pixman_transform t;
    pixman_transform_from_pixman_f_transform(&t, &ft);
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
    pixman_image_set_repeat(src, PIXMAN_REPEAT_NONE);
    // pixman's SRC writes every target pixel, 0 outside the picture; the
    // kit's side does the same work as the game does: clear, then turn.
    runPair(
        state, "ImageClear+ImageRotate 184x184 vs pixman nearest", 1.0,
        [&] {
            ImageClear(&s.turned, TransparentColor);
            ImageRotate(&s.cannon, &s.turned, kAimAngle, kScaleOne);
            benchmark::ClobberMemory();
        },
        [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kCannonSize, kCannonSize);
            benchmark::ClobberMemory();
        });
    pixman_image_unref(dst);
    pixman_image_unref(src);
    ImageRelease(&pixmanTarget);
}
BENCHMARK(BM_TurnedCannonVsPixmanNearest)->Unit(benchmark::kMicrosecond);

}  // namespace
