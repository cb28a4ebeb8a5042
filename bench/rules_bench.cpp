// rules_bench.cpp -- the rules' per-frame work on the fullest boards: the
// flying ball's contact test, the group marking, and one whole flight.
// Each is printed beside the 16.7 ms a frame has at 60 Hz.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/GameImages.h"
#include "gfx/SineTable.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/Shot.h"

namespace {

constexpr double kFrameBudgetUs = 1e6 / 60.0;
constexpr int32_t kFrameDistance = 2150;  // a 14 ms frame at 600 pixels per second
constexpr int32_t kPlayableRows = 10;     // a ball in row 10 is lost at the starting ceiling

// Prints the costs after all benchmarks have run; a benchmark runs several
// times while its iteration count is settled, and the last run counts.
struct Summary {
    std::vector<std::pair<std::string, double>> costs;  // name, microseconds; in first-run order
    void set(const std::string& name, double us)
    {
        for (auto& c : costs)
            if (c.first == name) {
                c.second = us;
                return;
            }
        costs.emplace_back(name, us);
    }
    ~Summary()
    {
        if (costs.empty())
            return;
        std::printf("\nRules against a 60 Hz frame (%.1f ms):\n", kFrameBudgetUs / 1000.0);
        for (const auto& [name, us] : costs)
            std::printf("  %-54s %9.2f us = %6.3f%% of a frame\n", name.c_str(), us, 100.0 * us / kFrameBudgetUs);
        std::fflush(stdout);
    }
};
Summary summary;

void setUpWorld()
{
    BuildSineTable();
    ScreenImage.width = 640;
    ScreenImage.height = 480;
    if (ballImage.surface == nullptr) {
        ImageCreate(&ballImage, "MyBallBitmap", 0, 0, 1);
        ImageLoadBitmap(&ballImage, "MyBallBitmap");
    }
    if (cannonImage.surface == nullptr)
        ImageCreate(&cannonImage, nullptr, 184, 184, 1);
    game = GameState{};
    game.ceiling = kCeilingStart;
    game.playing = 1;
    SeedRandom(4357);
}

// Every used cell up to `rows`, colours from 1..colours in a fixed pattern.
void fillBoard(int32_t rows, int32_t colours)
{
    std::memset(&board, 0, sizeof board);
    uint32_t x = 12345;
    for (int32_t r = 0; r < rows; r++)
        for (int32_t c = 0; c <= RowLastColumn(r); c++) {
            x = x * 1103515245u + 12345u;
            board.cells[r][c].color = 1 + static_cast<int32_t>((x >> 16) % static_cast<uint32_t>(colours));
        }
}

void report(benchmark::State& state, const std::string& name, double perCallNs)
{
    const double us = perCallNs / 1000.0;
    state.counters["us"] = us;
    state.counters["frame_pct"] = 100.0 * us / kFrameBudgetUs;
    summary.set(name, us);
}

double nsPerIteration(const benchmark::State& state, double seconds)
{
    return seconds * 1e9 / static_cast<double>(state.iterations());
}

}  // namespace

// All 120 cells occupied, the ball on the last one: the test visits every
// cell before its one hit. Then the fullest board in play (rows 0..9) with the
// ball just below it, touching nothing: every cell visited, no hit.
static void BM_TestBallHit(benchmark::State& state)
{
    setUpWorld();
    const bool allCells = state.range(0) == 1;
    int32_t x, y, w, h;
    if (allCells) {
        fillBoard(kBoardRows, 4);
        GetCellRect(7, 15, &x, &y, &w, &h);
    } else {
        fillBoard(kPlayableRows, 4);
        GetCellRect(3, kPlayableRows, &x, &y, &w, &h);
        y += 4;
    }
    game.ballX = x * 256;
    game.ballY = y * 256;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(TestBallHit());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    report(state, allCells ? "TestBallHit, 120 balls, hit on the last" : "TestBallHit, rows 0..9 full, no hit",
           nsPerIteration(state, took.count()));
}
BENCHMARK(BM_TestBallHit)->Arg(1)->Arg(0);

// A full board of one colour (the group is everything: the most passes) and
// of four colours.
static void BM_MarkGroup(benchmark::State& state)
{
    setUpWorld();
    const int32_t colours = static_cast<int32_t>(state.range(0));
    fillBoard(kBoardRows, colours);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(MarkGroup(3, 15));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    report(state, "MarkGroup, 120 balls, " + std::to_string(colours) + " colour(s)",
           nsPerIteration(state, took.count()));
}
BENCHMARK(BM_MarkGroup)->Arg(1)->Arg(4);

// One whole flight at the steepest angle (it zig-zags between the walls all
// the way up) into the fullest board in play, frame by frame, ending with the
// ball attached and resolved. Reported per flight and per frame.
static void BM_WholeFlight(benchmark::State& state)
{
    setUpWorld();
    fillBoard(kPlayableRows - 1, 8);  // rows 0..8: the ball comes to rest in row 9
    const Board full = board;
    int64_t frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        board = full;
        game.ceiling = kCeilingStart;
        game.shotCounter = 0;
        game.popTimer = game.loseTimer = 0;
        LoadNextBall();
        game.aimAngle = kAimRightLimit;
        FireBall();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        while (game.ballInFlight && game.popTimer == 0 && game.loseTimer == 0 &&
               std::memcmp(&board, &full, sizeof board) == 0) {
            MoveBall(kFrameDistance);
            frames++;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double perFlightNs = nsPerIteration(state, seconds);
    const double framesPerFlight = static_cast<double>(frames) / static_cast<double>(state.iterations());
    state.counters["frames"] = framesPerFlight;
    report(state, "one flight at angle 338 into rows 0..8 (whole flight)", perFlightNs);
    summary.set("  the same, per frame of it (" + std::to_string(static_cast<int>(framesPerFlight)) + " frames)",
                perFlightNs / framesPerFlight / 1000.0);
}
BENCHMARK(BM_WholeFlight);
