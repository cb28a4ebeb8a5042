// Shot.cpp -- the cannon and the shot: aiming, loading, firing, the flight,
// the contact test and snapping into the board.
#include "rules/Shot.h"

#include "gfx/GameImages.h"
#include "gfx/SineTable.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "sound/Sound.h"

static constexpr int32_t kFixedShift = 8;   // 24.8 fixed point
static constexpr int32_t kStepShift = 10;   // a flight step covers under 2048/256 = 8 pixels
static constexpr int32_t kAngleDown = 719;  // last Angle counted on the right-hand side

// The flight's arithmetic is signed 32-bit and wraps like the machine's.
static int32_t wrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

static int32_t wrapMul(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

static int32_t wrapNeg(int32_t a)
{
    return static_cast<int32_t>(0u - static_cast<uint32_t>(a));
}

static int32_t sineOf(int32_t angle)
{
    return SineTable[angle];
}
static int32_t cosineOf(int32_t angle)
{
    return SineTable[(angle + kQuarterTurn) % kAngleFull];
}

void LoadNextBall()
{
    int32_t cx, cy;
    GetCannonPos(&cx, &cy);
    // The ball's centre sits on the cannon's centre.
    game.ballX = (cx + cannonImage.width / 2 - ballImage.width / 2) * 256;
    game.ballY = (cy + cannonImage.height / 2 - ballImage.height / 2) * 256;
    game.ballInFlight = 0;
    game.flightAngle = 0;
    if (game.nextColor == 0) {
        game.nextColor = PickColor();
    }
    game.currentColor = game.nextColor;
    game.nextColor = PickColor();
}

void AimRecentre(int32_t step)
{
    // Worked in 64 bits so that no step, however large, can overflow; the
    // cannon stops at straight up instead of swinging past it.
    const int64_t angle = game.aimAngle <= kAngleDown ? int64_t{game.aimAngle} - step : int64_t{game.aimAngle} + step;
    game.aimAngle = (angle < 0 || angle > kAngleFull - 1) ? 0 : static_cast<int32_t>(angle);
}

static void turnBy(int64_t s)
{
    // Reduced into 0..1439 also for steps of a full turn or more.
    int64_t angle = (game.aimAngle + s + kAngleFull) % kAngleFull;
    if (angle < 0) {
        angle += kAngleFull;
    }
    if (angle > kAimRightLimit && angle < kAimLeftLimit) {
        angle = s > 0 ? kAimRightLimit : kAimLeftLimit;
    }
    game.aimAngle = static_cast<int32_t>(angle);
}

void AimTiltAway(int32_t step)
{
    if (game.aimAngle == 0) {
        return;  // straight up has no side to tilt to
    }
    turnBy(game.aimAngle <= kAngleDown ? int64_t{step} : -int64_t{step});
}

void AimTurn(int32_t step)
{
    turnBy(step);
}

void FireBall()
{
    if (game.ballInFlight != 0) {
        return;
    }
    game.ballInFlight = 1;
    game.flightAngle = game.aimAngle;
    SoundPlay("ShootSound");
}

void MoveBall(int32_t distance)
{
    if (game.ballInFlight == 0) {
        return;
    }
    int32_t steps = distance >> kStepShift;
    if (steps < 1) {
        steps = 1;
    }
    const int32_t per = distance / steps;

    int32_t left, top, width, height;
    GetFieldRect(&left, &top, &width, &height);

    for (int32_t i = 0; i < steps; i++) {
        // Both products are shifted after any negation, so both components
        // round toward minus infinity.
        const int32_t dx = wrapMul(sineOf(game.flightAngle), per) >> kFixedShift;
        const int32_t dy = wrapNeg(wrapMul(cosineOf(game.flightAngle), per)) >> kFixedShift;
        game.ballX = wrapAdd(game.ballX, dx);
        game.ballY = wrapAdd(game.ballY, dy);

        if (TestBallHit()) {
            AttachBall();
            return;
        }
        const int32_t pixelX = game.ballX >> kFixedShift;
        if (pixelX < left || pixelX + ballImage.width > left + width) {
            game.ballX = wrapAdd(game.ballX, wrapNeg(dx));
            game.flightAngle = (kAngleFull - game.flightAngle) % kAngleFull;
            SoundPlay("BounceSound");
        }
        if ((game.ballY >> kFixedShift) < top) {
            game.ballY = wrapAdd(game.ballY, wrapNeg(dy));
            AttachBall();
            return;
        }
    }
}

int TestBallHit()
{
    const int32_t bx = game.ballX >> kFixedShift;
    const int32_t by = game.ballY >> kFixedShift;
    // The plain ball on both sides: colours play no part in contact.
    return AnyBallWhere([bx, by](int32_t x, int32_t y, int32_t, int32_t) {
        return ImageOverlap(&ballImage, bx, by, &ballImage, x, y) != 0;
    });
}

static int32_t clampTo(int32_t v, int32_t lo, int32_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

void AttachBall()
{
    int32_t left, top, width, height;
    GetFieldRect(&left, &top, &width, &height);
    int32_t x, y, w, h;
    GetCellRect(0, 0, &x, &y, &w, &h);

    const int32_t rx = clampTo((game.ballX >> kFixedShift) - left, 0, width - 1);
    const int32_t ry = clampTo((game.ballY >> kFixedShift) - top, 0, height - 1);
    // Nearest row line, then the nearest cell of that row; ties go down and right.
    const int32_t row = clampTo((ry + h / 2) / h, 0, kBoardRows - 1);
    const int32_t col = clampTo((rx + w / 2 - (w / 2) * (row % 2)) / w, 0, RowLastColumn(row));

    board.cells[row][col].color = game.currentColor;
    SoundPlay("ClickSound");

    GetCellRect(col, row, &x, &y, &w, &h);
    if (y + h > GetDeathLine()) {
        game.loseTimer = kLoseTime;
        SoundPlay("LoseSound");
        return;
    }
    if (MarkGroup(col, row) >= 3) {
        game.popTimer = kPopTime;
        SoundPlay("PopSound");
        return;
    }
    StepCeiling();
    LoadNextBall();
}
