// Shot.h -- the cannon and the shot: aiming, loading, firing, the ball's
// flight with its wall bounces, the pixel-exact contact test and snapping the
// ball into the board.
//
// Angles are quarter-degrees 0..1439, 0 straight up, growing clockwise. The
// cannon keeps to 0..338 and 1102..1439. Distances are 1/256 pixel.
#pragma once

#include <cstdint>

inline constexpr int32_t kAngleFull = 1440;
inline constexpr int32_t kAimRightLimit = 338;  // furthest clockwise
inline constexpr int32_t kAimLeftLimit = 1102;  // furthest anticlockwise

// Puts a new ball on the cannon: nextColor becomes currentColor and a new
// nextColor is picked (both afresh when nextColor is 0).
void LoadNextBall();

// Turn the cannon back toward straight up (stopping there) or away from it;
// step >= 0.
void AimRecentre(int32_t step);
void AimTiltAway(int32_t step);
// Turns clockwise for positive steps, anticlockwise for negative ones,
// stopping at the limits and wrapping through straight up.
void AimTurn(int32_t step);

// Launches the ball along aimAngle ("ShootSound") unless one is flying.
void FireBall();

// Moves a flying ball by one frame's distance in steps shorter than 8 pixels,
// bouncing off the side walls; attaches it on contact or at the ceiling.
void MoveBall(int32_t distance);

// 1 if the flying ball's picture overlaps the picture of any board ball.
int TestBallHit();

// Snaps the flying ball into the nearest cell and resolves the shot.
void AttachBall();
