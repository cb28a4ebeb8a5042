// The cannon and the shot: aiming, loading, firing, flight steps, snapping
// and resolving; and the game's images.
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
