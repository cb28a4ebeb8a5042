// BallMarks.cpp -- the eight mark shapes and their drawing onto a ball.
#include "gfx/BallMarks.h"

#include "gfx/GameImages.h"

// The ball's centre pixel, both axes (tools/gen_ball.cpp draws the disc
// about it).
static constexpr int32_t kMarkCentre = 15;

// The star: five points, one straight up, outer and inner radius in pixels.
static constexpr double kStarOuter = 8.2;
static constexpr double kStarInner = 3.6;
static constexpr int kStarCorners = 10;
// The points reach further up than down: lowered a little, the star's
// middle sits on the ball's.
static constexpr double kStarDown = 0.5;

// A near-black dark mark keeps a little of the ball's shading: plain grey
// times 3/32, plus 4 so that no channel can be 0.
static constexpr uint32_t kDarkNumerator = 3;
static constexpr uint32_t kDarkShift = 5;
static constexpr uint32_t kDarkFloor = 4;

static int32_t absolute(int32_t v)
{
    return v < 0 ? -v : v;
}

// Even-odd test of the pixel centre against the star's outline; the corners
// run clockwise from the top point, 36 degrees apart.
static int inStar(int32_t dx, int32_t dy)
{
    static constexpr double kSin[kStarCorners] = {0, 0.587785,  0.951057,  0.951057,  0.587785,
                                                  0, -0.587785, -0.951057, -0.951057, -0.587785};
    static constexpr double kCos[kStarCorners] = {1,  0.809017,  0.309017,  -0.309017, -0.809017,
                                                  -1, -0.809017, -0.309017, 0.309017,  0.809017};
    double cornerX[kStarCorners];
    double cornerY[kStarCorners];
    for (int i = 0; i < kStarCorners; i++) {
        const double r = i % 2 == 0 ? kStarOuter : kStarInner;
        cornerX[i] = r * kSin[i];
        cornerY[i] = kStarDown - r * kCos[i];
    }
    const double px = dx;
    const double py = dy;
    int inside = 0;
    for (int i = 0, j = kStarCorners - 1; i < kStarCorners; j = i++) {
        if ((cornerY[i] > py) != (cornerY[j] > py) &&
            px < (cornerX[j] - cornerX[i]) * (py - cornerY[i]) / (cornerY[j] - cornerY[i]) + cornerX[i])
            inside = !inside;
    }
    return inside;
}

int BallMarkCovers(int32_t k, int32_t dx, int32_t dy)
{
    const int32_t ax = absolute(dx);
    const int32_t ay = absolute(dy);
    const int32_t d2 = dx * dx + dy * dy;
    const int32_t box = ax > ay ? ax : ay;
    switch (k) {
    case 1:  // dot
        return d2 <= 20;
    case 2:  // ring
        return d2 >= 26 && d2 <= 56;
    case 3:  // diagonal cross
        return box <= 6 && (absolute(dx - dy) <= 1 || absolute(dx + dy) <= 1);
    case 4:  // bar across
        return ay <= 2 && ax <= 7;
    case 5:  // triangle pointing down: 15 wide at the top, a point at the bottom
        return dy >= -5 && dy <= 6 && ax * 11 <= (6 - dy) * 7 + 5;
    case 6:  // hollow square
        return box >= 5 && box <= 6;
    case 7:  // upright cross
        return (ax <= 1 && ay <= 7) || (ay <= 1 && ax <= 7);
    case 8:
        return inStar(dx, dy);
    default:
        return 0;
    }
}

int BallMarkIsLight(int32_t k)
{
    // Blue, red and magenta balls are dark all over (the blue one never
    // above luma 29); the others are light enough for a near-black.
    return k == 1 || k == 3 || k == 4;
}

void MarkBall(Image* picture, int32_t x, int32_t k)
{
    uint32_t* ball;
    uint32_t* out;
    int32_t ballPitch, outPitch;
    ImageLock(&ballImage, picture, &ball, &out, &ballPitch, &outPitch);
    if (ball == nullptr || out == nullptr || x < 0 || x + ballImage.width > picture->width ||
        ballImage.height > picture->height) {
        ImageUnlock(&ballImage, picture);
        return;
    }
    const bool light = BallMarkIsLight(k);
    for (int32_t y = 0; y < ballImage.height; y++) {
        for (int32_t i = 0; i < ballImage.width; i++) {
            const uint32_t grey = ball[static_cast<ptrdiff_t>(y) * ballPitch + i] & 0xFF;
            if (grey == 0 || !BallMarkCovers(k, i - kMarkCentre, y - kMarkCentre))
                continue;
            const uint32_t tone = light ? grey : ((grey * kDarkNumerator) >> kDarkShift) + kDarkFloor;
            out[static_cast<ptrdiff_t>(y) * outPitch + x + i] = tone << 16 | tone << 8 | tone;
        }
    }
    ImageUnlock(&ballImage, picture);
}
