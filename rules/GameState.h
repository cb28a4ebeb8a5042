// GameState.h -- the game's variables: one global record shared by the rules,
// the game flow and the scene drawing, and the arrow-key repeat counter.
#pragma once

#include <cstdint>

// Every field is signed 32-bit. NewGame sets them in this order.
struct GameState {
    int32_t ballX;         // left edge of the ball picture, pixels x 256 (24.8)
    int32_t ballY;         // top edge of the ball picture, pixels x 256
    int32_t ballInFlight;  // 1 from FireBall until the next LoadNextBall
    int32_t flightAngle;   // Angle of the moving ball, quarter-degrees
    int32_t currentColor;  // BallPalette index 1..8 of the ball on the cannon or flying
    int32_t nextColor;     // BallPalette index of the waiting ball; 0 = pick both afresh
    int32_t ceiling;       // y of the field's top edge in pixels
    int32_t savedCeiling;  // the ceiling when the current level was cleared
    int32_t shotCounter;   // shots counted since the ceiling last came down
    int32_t aimAngle;      // Angle of the cannon: 0..338 or 1102..1439
    int32_t levelIndex;    // 0..29, shown as levelIndex + 1
    int32_t score;         // never negative: additions stop at kScoreMax
    int32_t credits;       // credits left; a loss with 0 ends the game
    int32_t playing;       // 0 on the attract screen, 1 during a game
    int32_t popTimer;      // pop effect countdown, units of 500 us
    int32_t slideTimer;    // level-change slide countdown, units of 500 us
    int32_t loseTimer;     // lose effect countdown, units of 500 us
};

extern GameState game;  // the one game in progress (or on the attract screen)

// Frames an arrow key has been held, 0..kAimRepeatMax; NewGame leaves it alone.
extern int32_t aimRepeat;

inline constexpr int32_t kCeilingStart = 55;  // ceiling whenever play on a level begins
inline constexpr int32_t kCeilingStep = 8;    // pixels per ceiling step
inline constexpr int32_t kStartCredits = 2;
inline constexpr int32_t kPopTime = 1024;    // 512 ms
inline constexpr int32_t kSlideTime = 4096;  // 2048 ms
inline constexpr int32_t kLoseTime = 8192;   // 4096 ms
inline constexpr int32_t kAimRepeatMax = 30;
inline constexpr int32_t kScoreMax = 2147483647;  // the score sticks here instead of wrapping
