// The cannon and the shot: aiming, loading, firing, single flight steps,
// snapping, and whole flights over many boards.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "rules/Shot.h"
#include "rules_support.h"

namespace {

class ShotTest : public ::testing::Test {
protected:
    void SetUp() override { SetUpRulesWorld(); }
};

int32_t aimAfter(void (*aim)(int32_t), int32_t from, int32_t step) {
    game.aimAngle = from;
    aim(step);
    return game.aimAngle;
}

bool aimAllowed(int32_t a) { return (a >= 0 && a <= 338) || (a >= 1102 && a <= 1439); }

// Puts the flying ball's picture at pixel (x, y).
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
    EXPECT_EQ(aimAfter(AimTurn, 330, 20), 338);
    EXPECT_EQ(aimAfter(AimTurn, 1110, -20), 1102);
    EXPECT_EQ(aimAfter(AimTurn, 0, -5), 1435);
    EXPECT_EQ(aimAfter(AimTurn, 1435, 10), 5);
    EXPECT_EQ(aimAfter(AimTiltAway, 0, 10), 0);
    EXPECT_EQ(aimAfter(AimTiltAway, 5, 10), 15);
    EXPECT_EQ(aimAfter(AimTiltAway, 1435, 10), 1425);
    EXPECT_EQ(aimAfter(AimTiltAway, 330, 20), 338);
    EXPECT_EQ(aimAfter(AimTiltAway, 1110, 20), 1102);
    EXPECT_EQ(aimAfter(AimRecentre, 5, 10), 0);
    EXPECT_EQ(aimAfter(AimRecentre, 1435, 10), 0);
    EXPECT_EQ(aimAfter(AimRecentre, 300, 10), 290);
    EXPECT_EQ(aimAfter(AimRecentre, 1200, 10), 1210);
    EXPECT_EQ(aimAfter(AimRecentre, 1200, 0), 1200);
    EXPECT_EQ(aimAfter(AimRecentre, 0, 0), 0);

    // Any sequence of turns, also with steps of a full turn and more, stays
    // in the arc, and the extreme steps do not overflow.
    std::mt19937 rng(7);
    void (*const ops[3])(int32_t) = {AimRecentre, AimTiltAway, AimTurn};
    game.aimAngle = 0;
    for (int i = 0; i < 200000; i++) {
        const int op = static_cast<int>(rng() % 3);
        int32_t step = static_cast<int32_t>(rng() % (i % 10 == 0 ? 4000 : 60));
        if (op == 2 && rng() % 2) step = -step;
        ops[op](step);
        ASSERT_TRUE(aimAllowed(game.aimAngle)) << game.aimAngle << " after op " << op << " step " << step;
    }
    for (int32_t extreme : {INT32_MAX, INT32_MIN}) {
        game.aimAngle = 300;
        AimTurn(extreme);
        EXPECT_TRUE(aimAllowed(game.aimAngle));
        game.aimAngle = 1200;
        AimTiltAway(extreme == INT32_MIN ? INT32_MAX : extreme);
        EXPECT_TRUE(aimAllowed(game.aimAngle));
        game.aimAngle = 1200;
        AimRecentre(INT32_MAX);
        EXPECT_EQ(game.aimAngle, 0);
    }
}

TEST_F(ShotTest, LoadingAndFiring) {
    // Every colour on the board, so each pick is the first draw it makes.
    for (int32_t c = 0; c < 8; c++) board.cells[0][c].color = c + 1;
    SeedRandom(31);
    const int32_t first = RandomRange(1, 8), second = RandomRange(1, 8), third = RandomRange(1, 8);
    SeedRandom(31);
    game.nextColor = 0;
    game.ballInFlight = 1;
    game.flightAngle = 200;
    LoadNextBall();
    EXPECT_EQ(game.ballX, 77824);
    EXPECT_EQ(game.ballY, 100096);
    EXPECT_EQ(game.ballInFlight, 0);
    EXPECT_EQ(game.flightAngle, 0);
    EXPECT_EQ(game.currentColor, first);
    EXPECT_EQ(game.nextColor, second);
    LoadNextBall();  // the shown next ball becomes current; one new pick
    EXPECT_EQ(game.currentColor, second);
    EXPECT_EQ(game.nextColor, third);

    game.aimAngle = 1300;
    FireBall();
    EXPECT_EQ(game.ballInFlight, 1);
    EXPECT_EQ(game.flightAngle, 1300);
    game.aimAngle = 20;
    FireBall();  // ignored while flying
    EXPECT_EQ(game.flightAngle, 1300);

    // A ball on the cannon does not move.
    LoadNextBall();
    MoveBall(5000);
    EXPECT_EQ(game.ballX, 77824);
    EXPECT_EQ(game.ballY, 100096);
}

TEST_F(ShotTest, FlightStepsAndBounces) {
    LoadNextBall();
    FireBall();
    MoveBall(2150);  // two steps of 1075 straight up
    EXPECT_EQ(game.ballX, 77824);
    EXPECT_EQ(game.ballY, 100096 - 2150);
    MoveBall(2047);  // one step
    EXPECT_EQ(game.ballY, 100096 - 2150 - 2047);
    MoveBall(2048);  // two steps of 1024
    EXPECT_EQ(game.ballY, 100096 - 2150 - 2047 - 2048);
    MoveBall(3);     // 3 x 256 >> 8
    EXPECT_EQ(game.ballY, 100096 - 2150 - 2047 - 2048 - 3);

    // The steepest side angle: 1066 across and 101 up per step of 1075.
    LoadNextBall();
    game.aimAngle = 338;
    FireBall();
    MoveBall(1075);
    EXPECT_EQ(game.ballX, 77824 + 1066);
    EXPECT_EQ(game.ballY, 100096 - 101);
    // Mirror image: the horizontal part rounds toward minus infinity.
    LoadNextBall();
    game.aimAngle = 1102;
    FireBall();
    MoveBall(1075);
    EXPECT_EQ(game.ballX, 77824 - 1067);
    EXPECT_EQ(game.ballY, 100096 - 101);

    // A bounce off the right wall keeps the vertical move, undoes the
    // horizontal one and mirrors the angle.
    for (auto [angle, mirrored] : {std::pair{100, 1340}, std::pair{338, 1102}}) {
        placeBall(448 - 32, 200);
        game.flightAngle = angle;
        const int32_t x0 = game.ballX, y0 = game.ballY;
        MoveBall(1000);
        EXPECT_EQ(game.flightAngle, mirrored);
        EXPECT_EQ(game.ballX, x0);
        EXPECT_LT(game.ballY, y0);
    }
    // Left wall, and straight up stays straight up.
    placeBall(192, 200);
    game.flightAngle = 1340;
    MoveBall(1000);
    EXPECT_EQ(game.flightAngle, 100);
    placeBall(191, 200);
    game.flightAngle = 0;
    MoveBall(1000);
    EXPECT_EQ(game.flightAngle, 0);
}

TEST_F(ShotTest, ZeroDistanceStillTestsCeilingAndContact) {
    // At the ceiling: a step of length 0 still attaches.
    placeBall(192 + 64, 54);
    game.currentColor = 2;
    MoveBall(0);
    EXPECT_EQ(board.cells[0][2].color, 2);
    EXPECT_EQ(game.ballInFlight, 0);  // next ball loaded

    // Touching a ball: attaches below it without moving.
    std::memset(&board, 0, sizeof board);
    board.cells[0][3].color = 5;
    placeBall(cellX(3, 0) + 10, cellY(3, 0) + 26);
    ASSERT_EQ(TestBallHit(), 1);
    game.currentColor = 4;
    MoveBall(0);
    EXPECT_EQ(board.cells[1][3].color, 4);
}

TEST_F(ShotTest, ContactIsPixelExact) {
    board.cells[4][3].color = 1;
    const int32_t x = cellX(3, 4), y = cellY(3, 4);
    placeBall(x + 32, y);
    EXPECT_EQ(TestBallHit(), 0);
    placeBall(x + 29, y);
    EXPECT_EQ(TestBallHit(), 1);
    placeBall(x, y - 32);
    EXPECT_EQ(TestBallHit(), 0);
    placeBall(x - 29, y);
    EXPECT_EQ(TestBallHit(), 1);
    // Diagonally the corners are empty: closer than 32 on both axes, no touch.
    placeBall(x + 24, y - 24);
    EXPECT_EQ(TestBallHit(), 0);

    // The pictures of neighbouring cells never overlap, at any ceiling.
    for (int32_t ceiling : {55, 63, 103}) {
        game.ceiling = ceiling;
        for (int32_t r = 0; r < kBoardRows; r++) {
            for (int32_t c = 0; c <= RowLastColumn(r); c++) {
                for (int32_t r2 = r; r2 <= r + 1 && r2 < kBoardRows; r2++) {
                    for (int32_t c2 = 0; c2 <= RowLastColumn(r2); c2++) {
                        if (r2 == r && c2 == c) continue;
                        ASSERT_EQ(ImageOverlap(&ballImage, cellX(c, r), cellY(c, r), &ballImage, cellX(c2, r2), cellY(c2, r2)), 0)
                            << r << "," << c << " vs " << r2 << "," << c2;
                    }
                }
            }
        }
    }
}

TEST_F(ShotTest, SnappingPicksTheNearestCell) {
    struct Case {
        int32_t rx, ry, col, row;
    };
    const Case cases[] = {
        {16, 0, 1, 0},    // halfway between columns 0 and 1: the right-hand one
        {15, 0, 0, 0},
        {0, 14, 0, 1},    // halfway between row lines: the lower row
        {0, 13, 0, 0},
        {32, 28, 1, 1},   // odd row: halfway between columns 0 and 1
        {31, 28, 0, 1},
        {224, 0, 7, 0},   // far right: column 7 in an even row
        {224, 28, 6, 1},  // and column 6 in an odd one
        {-40, -9, 0, 0},  // out of the field: clamped
        {300, 56, 7, 2},
    };
    for (const Case& k : cases) {
        SetUpRulesWorld();
        board.cells[0][0].color = 7;  // keeps the board from being empty
        placeBall(192 + k.rx, 55 + k.ry);
        game.currentColor = 3;
        AttachBall();
        if (!(k.col == 0 && k.row == 0)) {
            EXPECT_EQ(board.cells[k.row][k.col].color, 3) << k.rx << "," << k.ry;
            EXPECT_EQ(CountBalls(), 2);
        } else {
            EXPECT_EQ(board.cells[0][0].color, 3);
        }
    }
}

TEST_F(ShotTest, AttachingResolvesTheShot) {
    // A pair: nothing pops, the shot is counted and the next ball loaded.
    board.cells[0][0].color = 2;
    board.cells[0][7].color = 5;
    placeBall(192 + 32, 55);
    game.currentColor = 2;
    AttachBall();
    EXPECT_EQ(board.cells[0][1].color, 2);
    EXPECT_EQ(game.popTimer, 0);
    EXPECT_EQ(game.shotCounter, 1);
    EXPECT_EQ(game.ballInFlight, 0);
    EXPECT_EQ(game.ballY, 100096);
    EXPECT_EQ(CountBalls(), 3);

    // A third one pops: the pop timer runs, nothing removed or counted yet.
    placeBall(192 + 64, 55);
    game.currentColor = 2;
    AttachBall();
    EXPECT_EQ(game.popTimer, kPopTime);
    EXPECT_EQ(game.shotCounter, 1);
    EXPECT_EQ(game.ballInFlight, 1);
    EXPECT_EQ(CountBalls(), 4);
    EXPECT_EQ(board.cells[0][2].mark, InGroup);
    EXPECT_EQ(board.cells[0][7].mark, Held);

    // Row 10 at the starting ceiling is below the death line: the lose timer
    // starts and the group is not even looked at.
    SetUpRulesWorld();
    for (int32_t r = 0; r < 10; r++) board.cells[r][0].color = 1;
    board.cells[9][1].color = 1;
    board.cells[9][1].mark = Loose;  // a stale mark MarkGroup would rewrite
    placeBall(192, 55 + 280);
    game.currentColor = 1;
    AttachBall();
    EXPECT_EQ(board.cells[10][0].color, 1);
    EXPECT_EQ(game.loseTimer, kLoseTime);
    EXPECT_EQ(game.popTimer, 0);
    EXPECT_EQ(board.cells[9][1].mark, Loose);
    EXPECT_EQ(game.ballInFlight, 1);
}

// Whole flights: every shot, at any angle over any board, comes to rest in a
// free cell against the ceiling or a ball, its picture clear of every other
// ball, while the cannon is turned about at random and never leaves its arc.
namespace {

struct FlightStats {
    int shots = 0, pops = 0, losses = 0, bounces = 0;
};

// Returns false (with a gtest failure) if a flight went wrong.
bool flyOne(std::mt19937& rng, int32_t angle, FlightStats& stats) {
    Board before = board;
    const int32_t ceilingBefore = game.ceiling;
    game.aimAngle = angle;
    FireBall();
    const int32_t fired = game.flightAngle;
    int32_t r = -1, c = -1;
    for (int frame = 0; frame < 3000 && r < 0; frame++) {
        // The player keeps turning the cannon while the ball flies.
        const int32_t step = static_cast<int32_t>(rng() % 40);
        switch (rng() % 4) {
            case 0: AimRecentre(step); break;
            case 1: AimTiltAway(step); break;
            case 2: AimTurn(step); break;
            default: AimTurn(-step); break;
        }
        if (!aimAllowed(game.aimAngle)) {
            ADD_FAILURE() << "cannon at " << game.aimAngle;
            return false;
        }
        if (game.flightAngle != fired && game.flightAngle != (1440 - fired) % 1440) {
            ADD_FAILURE() << "flight angle " << game.flightAngle << " from " << fired;
            return false;
        }
        const int32_t angleBefore = game.flightAngle;
        MoveBall(static_cast<int32_t>(400 + rng() % 4000));
        stats.bounces += game.flightAngle != angleBefore;
        for (int32_t rr = 0; rr < kBoardRows && r < 0; rr++)
            for (int32_t cc = 0; cc <= RowLastColumn(rr) && r < 0; cc++)
                if (board.cells[rr][cc].color != before.cells[rr][cc].color) r = rr, c = cc;
        if (r < 0) {
            // Still flying: inside the walls. (It may graze a ball for one
            // frame after a bounce: the step after is tested again.)
            const int32_t px = game.ballX >> 8;
            if (px < 192 || px + 32 > 448) {
                ADD_FAILURE() << "ball at " << px << "," << (game.ballY >> 8) << " still flying";
                return false;
            }
        }
    }
    if (r < 0) {
        ADD_FAILURE() << "flight at " << angle << " never ended";
        return false;
    }
    stats.shots++;
    const int32_t ceilingAfter = game.ceiling;
    game.ceiling = ceilingBefore;  // judge the cell where it was when the ball came to rest
    bool ok = true;
    int changed = 0;
    for (int32_t rr = 0; rr < kBoardRows; rr++)
        for (int32_t cc = 0; cc <= RowLastColumn(rr); cc++)
            changed += board.cells[rr][cc].color != before.cells[rr][cc].color;
    if (changed != 1 || before.cells[r][c].color != 0) {
        ADD_FAILURE() << "ball put into " << r << "," << c << " over colour " << before.cells[r][c].color;
        ok = false;
    }
    bool touches = r == 0;
    for (int32_t rr = 0; rr < kBoardRows; rr++) {
        for (int32_t cc = 0; cc <= RowLastColumn(rr); cc++) {
            if (before.cells[rr][cc].color == 0) continue;
            const int32_t dx = cellX(cc, rr) - cellX(c, r), dy = cellY(cc, rr) - cellY(c, r);
            touches = touches || dx * dx + dy * dy <= 16 * 16 + 28 * 28;
            if (ImageOverlap(&ballImage, cellX(c, r), cellY(c, r), &ballImage, cellX(cc, rr), cellY(cc, rr))) {
                ADD_FAILURE() << "ball in " << r << "," << c << " overlaps " << rr << "," << cc;
                ok = false;
            }
        }
    }
    if (!touches) {
        ADD_FAILURE() << "ball in " << r << "," << c << " hangs in the air (angle " << angle << ")";
        ok = false;
    }
    game.ceiling = ceilingAfter;
    return ok;
}

int32_t randomAngle(std::mt19937& rng) {
    const int32_t a = static_cast<int32_t>(rng() % 677);  // 339 right, 338 left
    return a <= 338 ? a : 1102 + (a - 339);
}

// Fires at random until the board is cleared, lost or the shots run out,
// resolving pops as the game flow does.
bool playBoard(std::mt19937& rng, int shots, FlightStats& stats) {
    LoadNextBall();
    for (int i = 0; i < shots; i++) {
        if (!flyOne(rng, randomAngle(rng), stats)) return false;
        if (game.loseTimer > 0) {
            stats.losses++;
            return true;
        }
        if (game.popTimer > 0) {
            stats.pops++;
            game.popTimer = 0;
            if (RemoveMarked()) return true;
            StepCeiling();
            LoadNextBall();
            if (game.loseTimer > 0) {
                stats.losses++;
                return true;
            }
        }
    }
    return true;
}

}  // namespace

TEST_F(ShotTest, WholeFlightsOverEmptyFilledAndNearlyFullBoards) {
    std::mt19937 rng(4242);
    FlightStats stats;
    // Every allowed angle once over an empty board and over a filled level.
    for (int32_t a = 0; a < 1440; a++) {
        if (!aimAllowed(a)) continue;
        SetUpRulesWorld();
        LoadNextBall();
        ASSERT_TRUE(flyOne(rng, a, stats));
        ASSERT_EQ(CountBalls(), 1);
        SetUpRulesWorld();
        SeedRandom(static_cast<uint32_t>(a));
        game.levelIndex = a % kLevelCount;
        FillLevel();
        LoadNextBall();
        ASSERT_TRUE(flyOne(rng, a, stats));
    }
    // Whole games' worth of shots on every level, at several ceilings.
    for (int32_t level = 0; level < kLevelCount; level++) {
        for (int32_t steps = 0; steps < 4; steps++) {
            SetUpRulesWorld();
            SeedRandom(static_cast<uint32_t>(level * 10 + steps));
            game.levelIndex = level;
            game.ceiling = kCeilingStart + kCeilingStep * steps;
            FillLevel();
            ASSERT_TRUE(playBoard(rng, 80, stats));
        }
    }
    // Nearly full: rows 0..9 packed with a few holes (some in the middle).
    for (int trial = 0; trial < 60; trial++) {
        SetUpRulesWorld();
        const int32_t colours = 3 + trial % 6;
        for (int32_t r = 0; r < 10; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++)
                board.cells[r][c].color = rng() % 10 == 0 ? 0 : 1 + static_cast<int32_t>(rng() % colours);
        ASSERT_TRUE(playBoard(rng, 40, stats));
    }
    // The runs must have seen pops, losses and bounces.
    std::printf("%d shots, %d pops, %d losses, %d bounces\n", stats.shots, stats.pops, stats.losses, stats.bounces);
    EXPECT_GT(stats.shots, 2000);
    EXPECT_GT(stats.pops, 50);
    EXPECT_GT(stats.losses, 50);
    EXPECT_GT(stats.bounces, 500);
}
