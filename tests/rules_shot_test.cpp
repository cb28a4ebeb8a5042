// The cannon and the shot: aiming, loading, firing, flight steps, snapping,
// whole flights over many boards; and the game's images.
#include <random>

#include "rules/Shot.h"
#include "rules_support.h"

static bool aimAllowed(int32_t a) { return (a >= 0 && a <= 338) || (a >= 1102 && a <= 1439); }

static void placeBall(int32_t x, int32_t y, int32_t color = 3) { game.ballX = x * 256, game.ballY = y * 256, game.ballInFlight = 1, game.currentColor = color; }

TEST_F(RulesTest, AimingKeepsToTheArc) {
    const struct { void (*aim)(int32_t); int32_t from, step, to; } cases[] = {  // to -1: anywhere in the arc
        {AimTurn, 330, 20, 338},  {AimTurn, 1110, -20, 1102},    {AimTurn, 0, -5, 1435},       {AimTiltAway, 0, 10, 0},
        {AimTiltAway, 1435, 10, 1425}, {AimTiltAway, 330, 20, 338}, {AimRecentre, 5, 10, 0}, {AimRecentre, 1200, 10, 1210},
        {AimRecentre, 1200, INT32_MAX, 0}, {AimTurn, 300, INT32_MIN, -1}, {AimTiltAway, 1200, INT32_MAX, -1}};
    for (const auto& k : cases) {
        game.aimAngle = k.from, k.aim(k.step);
        EXPECT_TRUE(k.to < 0 ? aimAllowed(game.aimAngle) : game.aimAngle == k.to) << k.from << " by " << k.step;
    }
}

TEST_F(RulesTest, LoadingFiringAndSingleSteps) {
    for (int32_t c = 0; c < 8; c++) Put(c, 0, c + 1);  // every colour present: each pick is one draw
    SeedRandom(31);
    RandomRange(1, 8);
    const int32_t second = RandomRange(1, 8), third = RandomRange(1, 8);
    SeedRandom(31);
    LoadNextBall(), LoadNextBall();  // the first picks both afresh, current first
    MoveBall(5000);  // not fired: stays on the cannon
    EXPECT_EQ(V({game.ballX, game.ballY, game.currentColor, game.nextColor}), V({77824, 100096, second, third}));
    game.aimAngle = 1300, FireBall();
    game.aimAngle = 20, FireBall();  // ignored while one flies
    EXPECT_EQ(game.flightAngle, 1300);
    // Straight up 2047 is one step, 2150 two; at the steepest angles 1075 goes
    // 1066 across (-1067, rounding down) and 101 up.
    for (auto [angle, d, dx, dy] : {std::tuple{0, 2047, 0, 2047}, {0, 2150, 0, 2150}, {338, 1075, 1066, 101}, {1102, 1075, -1067, 101}}) {
        LoadNextBall(), game.aimAngle = angle, FireBall(), MoveBall(d);
        EXPECT_EQ(V({game.ballX, game.ballY}), V({77824 + dx, 100096 - dy})) << angle << " by " << d;
    }
}

TEST_F(RulesTest, WallsReflectSnappingPicksTheNearestCellAndResolvesTheShot) {
    placeBall(416, 200);  // a bounce keeps the vertical move, undoes the horizontal one, mirrors the angle
    game.flightAngle = 338, MoveBall(1000);
    EXPECT_TRUE(game.flightAngle == 1102 && game.ballX == 416 * 256 && game.ballY < 200 * 256);
    const int32_t cases[][4] = {// rx, ry -> col, row; ties go right and down
                                {16, 0, 1, 0},  {15, 0, 0, 0},   {0, 14, 0, 1},   {0, 13, 0, 0}, {32, 28, 1, 1},
                                {31, 28, 0, 1}, {224, 28, 6, 1}, {-40, -9, 0, 0}, {300, 56, 7, 2}};
    for (auto& k : cases) {
        Reset(), Put(7, 4, 7), placeBall(192 + k[0], 55 + k[1]), AttachBall();
        EXPECT_EQ(board.cells[k[3]][k[2]].color, 3) << k[0] << "," << k[1];
    }
    // A pair pops nothing: the shot is counted, the next ball loaded (a step of 0 still meets the
    // ceiling). A third pops: the timer starts, nothing is removed or counted yet.
    Reset();
    Put(0, 0, 2), Put(7, 0, 5);
    placeBall(192 + 31, 54, 2), MoveBall(0);
    EXPECT_EQ(V({board.cells[0][1].color, game.shotCounter, game.ballInFlight}), V({2, 1, 0}));
    placeBall(192 + 64, 55, 2), AttachBall();
    EXPECT_EQ(V({game.popTimer, game.shotCounter, game.ballInFlight, CountBalls(), board.cells[0][2].mark}),
              V({kPopTime, 1, 1, 4, InGroup}));
    // Row 10 at the starting ceiling loses, and the group is not looked at.
    Reset();
    for (int32_t r = 0; r < 10; r++) Put(0, r, 1);
    Put(1, 9, 1, Loose);  // a stale mark MarkGroup would rewrite
    placeBall(192, 55 + 280, 1), AttachBall();
    EXPECT_EQ(V({board.cells[10][0].color, game.loseTimer, game.popTimer, board.cells[9][1].mark}), V({1, kLoseTime, 0, Loose}));
}

// One shot while the cannon is turned about at random: it stays in the field and rests in one free cell
// against the ceiling or a ball, its picture clear of every other ball where the board was when it stopped.
static void flyOne(std::mt19937& rng, int32_t angle, int& bounces) {
    const Board before = board;
    int32_t ceiling = game.ceiling, row = -1, col = -1;
    game.aimAngle = angle;
    FireBall();
    for (int frame = 0; frame < 3000 && row < 0; frame++) {
        const int32_t step = static_cast<int32_t>(rng() % 40), key = static_cast<int32_t>(rng() % 4), flying = game.flightAngle;
        key == 0 ? AimRecentre(step) : key == 1 ? AimTiltAway(step) : AimTurn(key == 2 ? -step : step);
        ASSERT_TRUE(aimAllowed(game.aimAngle)) << game.aimAngle;
        MoveBall(static_cast<int32_t>(400 + rng() % 4000));
        bounces += game.flightAngle != flying;
        for (int32_t r = 0; r < kBoardRows; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++)
                if (board.cells[r][c].color != before.cells[r][c].color) {
                    ASSERT_TRUE(row == -1 && before.cells[r][c].color == 0) << "ball put over another in " << r << "," << c;
                    row = r, col = c;
                }
        ASSERT_TRUE(row >= 0 || (game.ballX >> 8 >= 192 && (game.ballX >> 8) + 32 <= 448)) << (game.ballX >> 8);
    }
    ASSERT_GE(row, 0) << "the flight at " << angle << " never ended";
    std::swap(game.ceiling, ceiling);
    int32_t x, y, x2, y2, w, h;
    GetCellRect(col, row, &x, &y, &w, &h);
    bool touches = row == 0;
    for (int32_t r = 0; r < kBoardRows; r++)
        for (int32_t c = 0; c <= RowLastColumn(r); c++) {
            if (before.cells[r][c].color == 0) continue;
            GetCellRect(c, r, &x2, &y2, &w, &h);
            touches = touches || (x2 - x) * (x2 - x) + (y2 - y) * (y2 - y) <= 16 * 16 + 28 * 28;
            ASSERT_FALSE(ImageOverlap(&ballImage, x, y, &ballImage, x2, y2)) << row << "," << col << " overlaps " << r << "," << c;
        }
    ASSERT_TRUE(touches) << "ball in " << row << "," << col << " hangs in the air";
    std::swap(game.ceiling, ceiling);
}

// Empty, level-filled and packed boards at several ceilings, played at random angles, pops resolved as in play.
TEST_F(RulesTest, WholeFlightsOverEmptyFilledAndNearlyFullBoards) {
    std::mt19937 rng(4242);
    int shots = 0, pops = 0, losses = 0, bounces = 0;
    for (int trial = 0; trial < 240; trial++) {
        Reset(), game.levelIndex = trial % kLevelCount, game.ceiling += kCeilingStep * (trial % 4);
        if (trial % 3 == 1) FillLevel();
        for (int32_t r = 0; r < 10 && trial % 3 == 2; r++)  // rows 0..9 packed, a few holes
            for (int32_t c = 0; c <= RowLastColumn(r); c++)
                board.cells[r][c].color = rng() % 10 ? 1 + static_cast<int32_t>(rng() % (3 + trial % 6)) : 0;
        LoadNextBall();
        for (int i = 0; i < 60 && game.loseTimer == 0; i++, shots++) {
            const int32_t a = static_cast<int32_t>(rng() % 677);
            ASSERT_NO_FATAL_FAILURE(flyOne(rng, a <= 338 ? a : a + 763, bounces));
            if (game.popTimer == 0) continue;
            pops++, game.popTimer = 0;
            if (RemoveMarked()) break;
            StepCeiling(), LoadNextBall();
        }
        losses += game.loseTimer > 0;
    }
    EXPECT_TRUE(shots > 2000 && pops > 50 && losses > 50 && bounces > 500) << shots << " " << pops << " " << losses << " " << bounces;
}

TEST(GameImages, SizedFromTheBitmapsTintedReleasedAndFatalWhenMissing) {
    ReleaseGameImages(), CreateGameImages(), LoadGameImages();
    const Image* images[] = {&backImage, &ballImage, &tintImage, &ballStrip, &cannonImage, &cannonTurnImage};
    V sizes;
    for (const Image* image : images) sizes.insert(sizes.end(), {image->width, image->height});
    EXPECT_EQ(sizes, V({640, 480, 32, 32, 32, 32, 288, 32, 184, 184, 184, 184}));
    // Strip cell i is the ball with every channel x colour i's channel / 256.
    uint32_t *ball, *strip;
    int32_t ballPitch, stripPitch;
    ImageLock(&ballImage, &ballStrip, &ball, &strip, &ballPitch, &stripPitch);
    for (int32_t i = 0, x = 12, y = 10; i <= kColorCount; i++, x = 31 - x) {
        uint32_t want = 0;
        for (int s = 0; s <= 16; s += 8) want |= (((ball[y * ballPitch + x] >> s) & 255) * ((BallPalette[i] >> s) & 255) / 256) << s;
        EXPECT_TRUE(strip[y * stripPitch + i * 32 + x] == want && (i == 0) == (want == 0)) << "cell " << i;
    }
    ImageUnlock(&ballImage, &ballStrip);
    ReleaseGameImages();
    for (const Image* image : images) EXPECT_EQ(image->surface, nullptr);
    ReleaseGameImages();  // twice is harmless
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT({ CreateGameImages(); ImageCreate(&ballImage, nullptr, 30, 30, 1); LoadGameImages(); },
                ::testing::ExitedWithCode(1), "^$");  // the ball no longer the bitmap's size
}
