// scene_bench.cpp -- one whole frame (DrawScene) with a full board, in play
// and on the attract screen, beside the same frame composed by the best
// library routines (memcpy for the background, SDL's RLE colour-keyed blits
// for the balls, pixman for the turned cannon, SDL's alpha blit for the
// title) and beside a single memcpy of the frame, the least any frame costs.
//
// The three are timed alternately, one frame each per iteration, and their
// medians compared; the ratios and their targets are printed at the end.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "flow/Scene.h"
#include "flow/ScoreTable.h"
#include "gfx/GameImages.h"
#include "gfx/Image.h"
#include "gfx/SineTable.h"
#include "platform/FaceText.h"
#include "rules/Board.h"
#include "rules/GameState.h"

namespace {

constexpr int32_t kScreenW = 640;
constexpr int32_t kScreenH = 480;
constexpr int32_t kFullRows = 10;  // rows 0..9: every level's layout at most
constexpr int32_t kAimAngle = 90;  // 22.5 degrees to the right, a typical aim
constexpr double kLibraryTarget = 0.7;
constexpr double kFloorTarget = 2.5;  // the sight turning; the other two no worse than before

struct Result {
    std::string name;
    double scene, library, floor;
};

// Prints the ratios after all benchmarks have run.
struct Summary {
    std::vector<Result> results;
    ~Summary()
    {
        if (results.empty())
            return;
        std::printf("\nDrawScene against the library-composed frame and the one-memcpy floor, medians:\n");
        for (const Result& r : results) {
            std::printf("  %-8s scene %7.1f us  library %7.1f us  floor %6.1f us  "
                        "scene/library %.3fx (target <= %.1fx)  scene/floor %.2fx (target <= %.1fx)\n",
                        r.name.c_str(), r.scene * 1e6, r.library * 1e6, r.floor * 1e6, r.scene / r.library,
                        kLibraryTarget, r.scene / r.floor, kFloorTarget);
        }
        std::fflush(stdout);
    }
};
Summary summary;

uint32_t* pixelsOf(Image* image, int32_t* pitch)
{
    uint32_t* p;
    ImageLock(image, image, &p, &p, pitch, pitch);
    ImageUnlock(image, image);
    return p;
}

SDL_Surface* surfaceOver(Image* image)
{
    int32_t pitch;
    uint32_t* p = pixelsOf(image, &pitch);
    return SDL_CreateRGBSurfaceWithFormatFrom(p, image->width, image->height, 32, pitch * 4, SDL_PIXELFORMAT_RGB888);
}

// The game's images and screen, a full board, and the library side's own
// frame with its surfaces, all made once.
struct Bench {
    Image frame;  // the library side draws here
    Image floorFrame;
    Image ballStripArgb, cannonArgb;  // the transparent colour as alpha, for pixman
    SDL_Surface* frameSurface = nullptr;
    SDL_Surface* stripSurface = nullptr;
    SDL_Surface* titleSurface = nullptr;
    pixman_image_t* framePixman = nullptr;
    pixman_image_t* cannonPixman = nullptr;
    int32_t titleX = 0;
    uint32_t* backPixels = nullptr;
    uint32_t* framePixels = nullptr;
    uint32_t* floorPixels = nullptr;
    size_t frameBytes = 0;

    Bench()
    {
        BuildSineTable();
        FontLoad();
        // The display benchmark may have started the platform already: its
        // screen borrows the display's back buffer and is used as it is.
        if (ScreenImage.surface == nullptr)
            ImageCreate(&ScreenImage, nullptr, kScreenW, kScreenH, 1);
        CreateGameImages();
        LoadGameImages();
        ImageCreate(&frame, nullptr, kScreenW, kScreenH, 1);
        ImageCreate(&floorFrame, nullptr, kScreenW, kScreenH, 1);
        int32_t framePitch = 0;
        backPixels = pixelsOf(&backImage, &framePitch);
        framePixels = pixelsOf(&frame, &framePitch);
        floorPixels = pixelsOf(&floorFrame, &framePitch);
        frameBytes = sizeof(uint32_t) * static_cast<size_t>(framePitch) * kScreenH;

        game = GameState{};
        game.ceiling = kCeilingStart;
        game.credits = kStartCredits;
        game.levelIndex = 11;
        game.score = 123450;
        game.aimAngle = kAimAngle;
        game.nextColor = 3;
        game.currentColor = 5;
        game.ballX = 330 * 256;
        game.ballY = 360 * 256;
        for (int32_t r = 0; r < kFullRows; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++)
                board.cells[r][c] = BoardCell{1 + (r * 3 + c) % kColorCount, Held};
        for (int i = 0; i < kScoreLines; i++) {
            std::memset(ScoreTable[i], ' ', kScoreLineSize - 1);
            ScoreTable[i][kScoreLineSize - 1] = '\0';
            char text[64];
            int n = std::snprintf(text, sizeof text, "%-2i    %-9i  %s", i + 1, 9000 - 700 * i, "Player");
            std::memcpy(ScoreTable[i], text, n);
        }
        highlightRank = 2;

        frameSurface = surfaceOver(&frame);
        // The strip in an SDL surface of its own, colour-keyed on black and
        // run-length encoded: SDL's fastest keyed copy.
        stripSurface = SDL_CreateRGBSurfaceWithFormat(0, ballStrip.width, ballStrip.height, 32, SDL_PIXELFORMAT_RGB888);
        SDL_Surface* stripView = surfaceOver(&ballStrip);
        SDL_BlitSurface(stripView, nullptr, stripSurface, nullptr);
        SDL_FreeSurface(stripView);
        SDL_SetColorKey(stripSurface, SDL_TRUE, 0);
        SDL_SetSurfaceRLE(stripSurface, 1);

        // pixman turns and composites the cannon straight onto the frame:
        // black becomes alpha 0, everything else opaque.
        ImageCreate(&cannonArgb, nullptr, cannonImage.width, cannonImage.height, 1);
        int32_t pitch, argbPitch;
        uint32_t* src = pixelsOf(&cannonImage, &pitch);
        uint32_t* argb = pixelsOf(&cannonArgb, &argbPitch);
        for (int32_t y = 0; y < cannonImage.height; y++)
            for (int32_t x = 0; x < cannonImage.width; x++) {
                uint32_t p = src[y * pitch + x];
                argb[y * argbPitch + x] = p == 0 ? 0 : (0xFF000000u | p);
            }
        cannonPixman = pixman_image_create_bits(PIXMAN_a8r8g8b8, cannonArgb.width, cannonArgb.height,
                                                pixelsOf(&cannonArgb, &argbPitch), argbPitch * 4);
        framePixman = pixman_image_create_bits(PIXMAN_x8r8g8b8, kScreenW, kScreenH, framePixels, framePitch * 4);
        double turn = kAimAngle * 2 * M_PI / 1440, centre = cannonImage.width / 2;
        pixman_f_transform ft;
        pixman_f_transform_init_translate(&ft, -centre, -centre);
        pixman_f_transform_rotate(&ft, nullptr, std::cos(turn), -std::sin(turn));
        pixman_f_transform_translate(&ft, nullptr, centre, centre);
        pixman_transform t;
        pixman_transform_from_pixman_f_transform(&t, &ft);
        pixman_image_set_transform(cannonPixman, &t);
        pixman_image_set_filter(cannonPixman, PIXMAN_FILTER_NEAREST, nullptr, 0);

        // The title rendered once, as any game would keep it.
        titleSurface = renderTitle();
        if (titleSurface != nullptr) {
            SDL_SetSurfaceBlendMode(titleSurface, SDL_BLENDMODE_BLEND);
            titleX = (kScreenW - titleSurface->w) / 2;
        }
    }

    static SDL_Surface* renderTitle()
    {
        if (TTF_Init() != 0 || !FcInit())
            return nullptr;
        FcPattern* request = FcNameParse(reinterpret_cast<const FcChar8*>("Arial"));
        FcConfigSubstitute(nullptr, request, FcMatchPattern);
        FcDefaultSubstitute(request);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, request, &result);
        FcChar8* file = nullptr;
        SDL_Surface* surface = nullptr;
        if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            if (TTF_Font* font = TTF_OpenFont(reinterpret_cast<const char*>(file), 35)) {
                surface = TTF_RenderText_Blended(font, "Kelvane", SDL_Color{255, 255, 0, 255});
                TTF_CloseFont(font);
            }
        }
        if (match != nullptr)
            FcPatternDestroy(match);
        FcPatternDestroy(request);
        return surface;
    }

    void libraryBall(int32_t k, int32_t x, int32_t y)
    {
        SDL_Rect from{k * ballImage.width, 0, ballImage.width, ballImage.height};
        SDL_Rect to{x, y, ballImage.width, ballImage.height};
        SDL_BlitSurface(stripSurface, &from, frameSurface, &to);
    }

    void libraryText(const char* text, int32_t x, int32_t y, uint32_t colour)
    {
        DrawFontText(&frame, text, x, y, colour);  // no library draws this font: the same on both sides
    }

    // The frame DrawScene draws, composed with the library routines.
    void libraryFrame()
    {
        std::memcpy(framePixels, backPixels, frameBytes);
        const int32_t left = 192, top = game.ceiling, right = 447;
        SDL_Rect walls[3] = {{left - 4, top, 4, kScreenH - top},
                             {right + 1, top, 4, kScreenH - top},
                             {left - 4, top - 4, right - left + 9, 4}};
        SDL_FillRects(frameSurface, walls, 3, 0xC0C0C0);
        char number[16];
        libraryText("Level", 4, 4, 0xFFFFFF);
        std::snprintf(number, sizeof number, "%-2i", game.levelIndex + 1);
        libraryText(number, 4, 12, 0xFFFFFF);
        libraryText("Score", 4, 28, 0xFFFFFF);
        std::snprintf(number, sizeof number, "%-9i", game.score);
        libraryText(number, 4, 36, 0xFFFFFF);
        libraryText("Credits", 4, 52, 0xFFFFFF);
        std::snprintf(number, sizeof number, "%-2i", game.credits);
        libraryText(number, 4, 60, 0xFFFFFF);
        for (int32_t r = 0; r < kBoardRows; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++)
                if (int32_t k = board.cells[r][c].color)
                    libraryBall(k, left + 32 * c + 16 * (r & 1), top + 28 * r);
        SDL_Rect deathLine{left, 350, right - left + 1, 1};
        SDL_FillRect(frameSurface, &deathLine, 0xFF0000);
        libraryBall(game.nextColor, 224, 391);
        pixman_image_composite32(PIXMAN_OP_OVER, cannonPixman, nullptr, framePixman, 0, 0, 0, 0, 228, 315,
                                 cannonImage.width, cannonImage.height);
        if (game.playing == 1) {
            libraryBall(game.currentColor, game.ballX >> 8, game.ballY >> 8);
            return;
        }
        libraryText("Rank  Score      Name", 204, 196, 0xFFFF00);
        for (int i = 0; i < kScoreLines; i++)
            libraryText(ScoreTable[i], 204, 204 + 8 * i, i == highlightRank ? 0xFFFFFF : 0x0000FF);
        libraryText("Press [Enter] to Start", 232, 464, 0xFFFFFF);
        if (titleSurface != nullptr) {
            SDL_Rect to{titleX, 5, titleSurface->w, titleSurface->h};
            SDL_BlitSurface(titleSurface, nullptr, frameSurface, &to);
        }
    }

    void floorCopy() { std::memcpy(floorPixels, backPixels, frameBytes); }
};

Bench& bench()
{
    static Bench b;
    return b;
}

// `turning`: the aim moves by one step before every frame, as while an arrow
// is held, so the scene turns the sight each time (the library frame always
// does).
void runFrames(benchmark::State& state, const char* name, int32_t playing, bool turning = false)
{
    Bench& b = bench();
    game.playing = playing;
    DrawScene();  // fonts opened and the title rendered before timing starts
    b.libraryFrame();
    std::vector<double> scene, library, floor;
    int turn = 0;
    for (auto _ : state) {
        // Each goes first in turn, so none always meets the others' caches.
        for (int i = 0; i < 3; i++) {
            switch ((turn + i) % 3) {
            case 0:
                if (turning)
                    game.aimAngle = game.aimAngle == kAimAngle ? kAimAngle + 1 : kAimAngle;
                // A frame the same as the last is not drawn again: a mark on
                // the screen makes the scene draw the whole frame each time.
                ImageFillRect(&ScreenImage, 0, 0, 0, 0, 0);
                scene.push_back(timed(DrawScene));
                break;
            case 1:
                library.push_back(timed([&b] { b.libraryFrame(); }));
                break;
            default:
                floor.push_back(timed([&b] { b.floorCopy(); }));
                break;
            }
        }
        turn++;
    }
    game.aimAngle = kAimAngle;
    double ms = median(scene), ml = median(library), mf = median(floor);
    state.counters["scene_us"] = ms * 1e6;
    state.counters["library_us"] = ml * 1e6;
    state.counters["floor_us"] = mf * 1e6;
    state.counters["scene/library"] = ms / ml;
    state.counters["scene/floor"] = ms / mf;
    // The library runs a benchmark several times while it settles on an
    // iteration count; the last, longest run is the one reported.
    auto same = [name](const Result& r) { return r.name == name; };
    summary.results.erase(std::remove_if(summary.results.begin(), summary.results.end(), same), summary.results.end());
    summary.results.push_back({name, ms, ml, mf});
}

void BM_SceneInPlay(benchmark::State& state)
{
    runFrames(state, "in play", 1);
}
BENCHMARK(BM_SceneInPlay)->Unit(benchmark::kMicrosecond);

void BM_SceneInPlayTurning(benchmark::State& state)
{
    runFrames(state, "turning", 1, true);
}
BENCHMARK(BM_SceneInPlayTurning)->Unit(benchmark::kMicrosecond);

void BM_SceneAttract(benchmark::State& state)
{
    runFrames(state, "attract", 0);
}
BENCHMARK(BM_SceneAttract)->Unit(benchmark::kMicrosecond);

}  // namespace
