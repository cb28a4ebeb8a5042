// The cannon and the shot: aiming, snapping and losing.
#include "rules/Shot.h"
#include "rules_support.h"

static bool aimAllowed(int32_t a) {
    return (a >= 0 && a <= 338) || (a >= 1102 && a <= 1439);
}

static void placeBall(int32_t x, int32_t y, int32_t color = 3) {
    game.ballX = x * 256, game.ballY = y * 256, game.ballInFlight = 1, game.currentColor = color;
}

TEST_F(RulesTest, AimingKeepsToTheArc) {
    const struct {
        void (*aim)(int32_t);
        int32_t from, step, to;
    } cases[] = {// to -1: anywhere in the arc
                 {AimTurn, 330, 20, 338},       {AimTurn, 1110, -20, 1102},        {AimTurn, 0, -5, 1435},
                 {AimTiltAway, 0, 10, 0},       {AimTiltAway, 1435, 10, 1425},     {AimTiltAway, 330, 20, 338},
                 {AimRecentre, 5, 10, 0},       {AimRecentre, 1200, 10, 1210},     {AimRecentre, 1200, INT32_MAX, 0},
                 {AimTurn, 300, INT32_MIN, -1}, {AimTiltAway, 1200, INT32_MAX, -1}};
    for (const auto& k : cases) {
        game.aimAngle = k.from, k.aim(k.step);
        EXPECT_TRUE(k.to < 0 ? aimAllowed(game.aimAngle) : game.aimAngle == k.to) << k.from << " by " << k.step;
    }
}

// (How a wall bounce turns and moves the ball, the recorded games pin: they
// differ at once without the horizontal step undone, tried.)
TEST_F(RulesTest, SnappingPicksTheNearestCellAndResolvesTheShot) {
    const int32_t cases[][4] = {// rx, ry -> col, row; ties go right and down
                                {16, 0, 1, 0},  {15, 0, 0, 0},   {0, 14, 0, 1},   {0, 13, 0, 0},  {32, 28, 1, 1},
                                {31, 28, 0, 1}, {224, 28, 6, 1}, {-40, -9, 0, 0}, {300, 56, 7, 2}};
    for (auto& k : cases) {
        Reset(), Put(7, 4, 7), placeBall(192 + k[0], 55 + k[1]), AttachBall();
        EXPECT_EQ(board.cells[k[3]][k[2]].color, 3) << k[0] << "," << k[1];
    }
    // Row 10 at the starting ceiling loses, and the group is not looked at.
    Reset();
    for (int32_t r = 0; r < 10; r++) Put(0, r, 1);
    Put(1, 9, 1, Loose);  // a stale mark MarkGroup would rewrite
    placeBall(192, 55 + 280, 1), AttachBall();
    EXPECT_EQ(V({board.cells[10][0].color, game.loseTimer, game.popTimer, board.cells[9][1].mark}),
              V({1, kLoseTime, 0, Loose}));
}

// 2150 flies as two steps of 1075; at the steepest angles one such step goes
// 1066 across (-1067 to the left: both components round down) and 101 up.
TEST_F(RulesTest, FlightStepsAndTheirRounding) {
    for (auto [angle, d, dx, dy] : {std::tuple{0, 2150, 0, 2150}, {338, 1075, 1066, 101}, {1102, 2150, -2134, 202}}) {
        placeBall(304, 391), game.flightAngle = angle, MoveBall(d);
        EXPECT_EQ(V({game.ballX, game.ballY}), V({304 * 256 + dx, 391 * 256 - dy})) << angle << " by " << d;
    }
}
