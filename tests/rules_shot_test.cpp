// The cannon and the shot: aiming, loading, firing, flight steps, snapping,
// and whole flights over many boards.
#include <gtest/gtest.h>

#include <random>

#include "rules/Shot.h"
#include "rules_support.h"

using ShotTest = RulesTest;

namespace {

bool aimAllowed(int32_t a) { return (a >= 0 && a <= 338) || (a >= 1102 && a <= 1439); }

void placeBall(int32_t x, int32_t y) {
    game.ballX = x * 256;
    game.ballY = y * 256;
    game.ballInFlight = 1;
}

int32_t cellX(int32_t col, int32_t row) {
    int32_t x, y, w, h;
    GetCellRect(col, row, &x, &y, &w, &h);
    return x;
}

int32_t cellY(int32_t col, int32_t row) {
    int32_t x, y, w, h;
    GetCellRect(col, row, &x, &y, &w, &h);
    return y;
}

}  // namespace

TEST_F(ShotTest, AimingKeepsToTheArc) {
    struct Case {
        void (*aim)(int32_t);
        int32_t from, step, to;
    };
    const Case cases[] = {
        {AimTurn, 330, 20, 338},      {AimTurn, 1110, -20, 1102},     {AimTurn, 0, -5, 1435},
        {AimTurn, 1435, 10, 5},       {AimTiltAway, 0, 10, 0},        {AimTiltAway, 5, 10, 15},
        {AimTiltAway, 1435, 10, 1425}, {AimTiltAway, 330, 20, 338},   {AimRecentre, 5, 10, 0},
        {AimRecentre, 1435, 10, 0},   {AimRecentre, 300, 10, 290},    {AimRecentre, 1200, 10, 1210},
        {AimRecentre, 1200, 0, 1200},  {AimRecentre, 1200, INT32_MAX, 0},
        // Steps of a turn or more: anywhere in the arc, without overflow.
        {AimTurn, 300, INT32_MAX, -1}, {AimTurn, 300, INT32_MIN, -1}, {AimTiltAway, 1200, INT32_MAX, -1}};
    for (const Case& k : cases) {
        game.aimAngle = k.from;
        k.aim(k.step);
        if (k.to >= 0) {
            EXPECT_EQ(game.aimAngle, k.to) << k.from << " by " << k.step;
        }
        EXPECT_TRUE(aimAllowed(game.aimAngle)) << k.from << " by " << k.step;
    }
}

TEST_F(ShotTest, LoadingFiringAndSingleSteps) {
    for (int32_t c = 0; c < 8; c++) Put(c, 0, c + 1);  // every colour present: each pick is one draw
    SeedRandom(31);
    const int32_t first = RandomRange(1, 8), second = RandomRange(1, 8), third = RandomRange(1, 8);
    SeedRandom(31);
    LoadNextBall();  // nextColor 0: both picked afresh, current first
    EXPECT_EQ(game.ballX, 77824);
    EXPECT_EQ(game.ballY, 100096);
    EXPECT_EQ(game.currentColor, first);
    EXPECT_EQ(game.nextColor, second);
    LoadNextBall();
    EXPECT_EQ(game.currentColor, second);
    EXPECT_EQ(game.nextColor, third);
    MoveBall(5000);  // not fired: stays on the cannon
    EXPECT_EQ(game.ballY, 100096);

    game.aimAngle = 1300;
    FireBall();
    game.aimAngle = 20;
    FireBall();  // ignored while one flies
    EXPECT_EQ(game.flightAngle, 1300);

    // Straight up: 2150 is two steps, 2047 one, 2048 two of 1024, 3 one of 3.
    LoadNextBall();
    game.aimAngle = 0;
    FireBall();
    for (int32_t d : {2150, 2047, 2048, 3}) {
        const int32_t y0 = game.ballY;
        MoveBall(d);
        EXPECT_EQ(game.ballY, y0 - d);
        EXPECT_EQ(game.ballX, 77824);
    }
    // The steepest angles: 1066 (or -1067, rounding down) across, 101 up.
    for (auto [angle, dx] : {std::pair{338, 1066}, std::pair{1102, -1067}}) {
        LoadNextBall();
        game.aimAngle = angle;
        FireBall();
        MoveBall(1075);
        EXPECT_EQ(game.ballX, 77824 + dx);
        EXPECT_EQ(game.ballY, 100096 - 101);
    }
}

TEST_F(ShotTest, WallsReflectAndTheCeilingStops) {
    // A bounce keeps the vertical move, undoes the horizontal one, mirrors the angle.
    for (auto [x, angle, mirrored] : {std::tuple{416, 100, 1340}, std::tuple{416, 338, 1102},
                                      std::tuple{192, 1340, 100}, std::tuple{191, 0, 0}}) {
        placeBall(x, 200);
        game.flightAngle = angle;
        MoveBall(1000);
        EXPECT_EQ(game.flightAngle, mirrored);
        EXPECT_EQ(game.ballX, x * 256);
        EXPECT_LT(game.ballY, 200 * 256);
    }
    // A step of length 0 still meets the ceiling and attaches.
    placeBall(192 + 64, 54);
    game.currentColor = 2;
    MoveBall(0);
    EXPECT_EQ(board.cells[0][2].color, 2);
    EXPECT_EQ(game.ballInFlight, 0);  // the next ball is on the cannon
}

TEST_F(ShotTest, SnappingPicksTheNearestCellAndResolvesTheShot) {
    const int32_t cases[][4] = {// rx, ry -> col, row; ties go right and down
                                {16, 0, 1, 0},  {15, 0, 0, 0},   {0, 14, 0, 1},  {0, 13, 0, 0},  {32, 28, 1, 1},
                                {31, 28, 0, 1}, {224, 0, 7, 0},  {224, 28, 6, 1}, {-40, -9, 0, 0}, {300, 56, 7, 2}};
    for (auto& k : cases) {
        SetUpRulesWorld();
        Put(7, 4, 7);
        placeBall(192 + k[0], 55 + k[1]);
        game.currentColor = 3;
        AttachBall();
        EXPECT_EQ(board.cells[k[3]][k[2]].color, 3) << k[0] << "," << k[1];
    }
    // A pair pops nothing: the shot is counted and the next ball loaded.
    SetUpRulesWorld();
    Put(0, 0, 2);
    Put(7, 0, 5);
    placeBall(192 + 32, 55);
    game.currentColor = 2;
    AttachBall();
    EXPECT_EQ(game.shotCounter, 1);
    EXPECT_EQ(game.ballInFlight, 0);
    // A third pops: the timer starts; nothing is removed or counted yet.
    placeBall(192 + 64, 55);
    game.currentColor = 2;
    AttachBall();
    EXPECT_EQ(game.popTimer, kPopTime);
    EXPECT_EQ(game.shotCounter, 1);
    EXPECT_EQ(game.ballInFlight, 1);
    EXPECT_EQ(CountBalls(), 4);
    EXPECT_EQ(board.cells[0][2].mark, InGroup);
    // Row 10 at the starting ceiling loses, and the group is not looked at.
    SetUpRulesWorld();
    for (int32_t r = 0; r < 10; r++) Put(0, r, 1);
    Put(1, 9, 1, Loose);  // a stale mark MarkGroup would rewrite
    placeBall(192, 55 + 280);
    game.currentColor = 1;
    AttachBall();
    EXPECT_EQ(board.cells[10][0].color, 1);
    EXPECT_EQ(game.loseTimer, kLoseTime);
    EXPECT_EQ(game.popTimer, 0);
    EXPECT_EQ(board.cells[9][1].mark, Loose);
}

// Every shot, at any angle over any board, comes to rest in a free cell
// against the ceiling or a ball, its picture clear of every other ball, while
// the cannon is turned about at random and never leaves its arc.
namespace {

struct Stats {
    int shots = 0, pops = 0, losses = 0, bounces = 0;
};

void flyOne(std::mt19937& rng, int32_t angle, Stats& stats) {
    const Board before = board;
    const int32_t ceiling = game.ceiling;
    game.aimAngle = angle;
    FireBall();
    int32_t row = -1, col = -1;
    for (int frame = 0; frame < 3000 && row < 0; frame++) {
        const int32_t step = static_cast<int32_t>(rng() % 40);  // Up, Down, Left, Right
        void (*const aims[])(int32_t) = {AimRecentre, AimTiltAway, AimTurn};
        const unsigned key = rng() % 4;
        aims[key < 2 ? key : 2](key == 2 ? -step : step);
        ASSERT_TRUE(aimAllowed(game.aimAngle)) << game.aimAngle;
        const int32_t flying = game.flightAngle;
        MoveBall(static_cast<int32_t>(400 + rng() % 4000));
        stats.bounces += game.flightAngle != flying;
        for (int32_t r = 0; r < kBoardRows; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++)
                if (board.cells[r][c].color != before.cells[r][c].color) {
                    ASSERT_EQ(row, -1) << "a second cell changed";
                    ASSERT_EQ(before.cells[r][c].color, 0) << "ball put over another in " << r << "," << c;
                    row = r, col = c;
                }
        const int32_t px = game.ballX >> 8;
        ASSERT_TRUE(row >= 0 || (px >= 192 && px + 32 <= 448)) << "out of the field at " << px;
    }
    ASSERT_GE(row, 0) << "the flight at " << angle << " never ended";
    stats.shots++;
    const int32_t after = game.ceiling;
    game.ceiling = ceiling;  // judged where the board was when the ball stopped
    bool touches = row == 0;
    for (int32_t r = 0; r < kBoardRows; r++)
        for (int32_t c = 0; c <= RowLastColumn(r); c++) {
            if (before.cells[r][c].color == 0) continue;
            const int32_t dx = cellX(c, r) - cellX(col, row), dy = cellY(c, r) - cellY(col, row);
            touches = touches || dx * dx + dy * dy <= 16 * 16 + 28 * 28;
            ASSERT_FALSE(ImageOverlap(&ballImage, cellX(col, row), cellY(col, row), &ballImage, cellX(c, r), cellY(c, r)))
                << "ball in " << row << "," << col << " overlaps " << r << "," << c;
        }
    ASSERT_TRUE(touches) << "ball in " << row << "," << col << " hangs in the air";
    game.ceiling = after;
}

// Fires at random until the board is cleared or lost or the shots run out,
// resolving pops as the game flow does.
void playBoard(std::mt19937& rng, int shots, Stats& stats) {
    LoadNextBall();
    for (int i = 0; i < shots && game.loseTimer == 0; i++) {
        const int32_t a = static_cast<int32_t>(rng() % 677);
        flyOne(rng, a <= 338 ? a : a + 763, stats);
        if (::testing::Test::HasFatalFailure()) return;
        if (game.popTimer > 0) {
            stats.pops++;
            game.popTimer = 0;
            if (RemoveMarked()) return;
            StepCeiling();
            LoadNextBall();
        }
    }
    stats.losses += game.loseTimer > 0;
}

}  // namespace

TEST_F(ShotTest, WholeFlightsOverEmptyFilledAndNearlyFullBoards) {
    std::mt19937 rng(4242);
    Stats stats;
    for (int32_t a = 0; a < 1440; a++) {  // every allowed angle, empty and filled
        if (!aimAllowed(a)) continue;
        for (bool filled : {false, true}) {
            SetUpRulesWorld();
            game.levelIndex = a % kLevelCount;
            if (filled) FillLevel();
            LoadNextBall();
            ASSERT_NO_FATAL_FAILURE(flyOne(rng, a, stats));
        }
    }
    for (int32_t level = 0; level < kLevelCount; level++)  // games' worth of shots, several ceilings
        for (int32_t steps = 0; steps < 4; steps++) {
            SetUpRulesWorld();
            game.levelIndex = level;
            game.ceiling += kCeilingStep * steps;
            FillLevel();
            ASSERT_NO_FATAL_FAILURE(playBoard(rng, 80, stats));
        }
    for (int trial = 0; trial < 60; trial++) {  // rows 0..9 packed, a few holes
        SetUpRulesWorld();
        for (int32_t r = 0; r < 10; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++)
                board.cells[r][c].color = rng() % 10 ? 1 + static_cast<int32_t>(rng() % (3 + trial % 6)) : 0;
        ASSERT_NO_FATAL_FAILURE(playBoard(rng, 40, stats));
    }
    EXPECT_GT(stats.shots, 2000);  // the runs saw pops, losses and bounces
    EXPECT_GT(stats.pops, 50);
    EXPECT_GT(stats.losses, 50);
    EXPECT_GT(stats.bounces, 500);
}
