// FrameInput.h -- everything one frame of the game reads from the player:
// the poll's key and character, the arrows held, the pad's presses and
// stick, the mouse's aim and click, the focus and the frame's time.
//
// The event poll fills one in; the frame acts on nothing else. A recorded
// game is these records in order, and watching it is feeding them back.
#pragma once

#include <cstdint>

// held: the arrows held on the keyboard or a pad's D-pad.
inline constexpr int32_t HeldLeft = 1;
inline constexpr int32_t HeldUp = 2;
inline constexpr int32_t HeldRight = 4;
inline constexpr int32_t HeldDown = 8;

// aim when the mouse did not point the cannon in this poll.
inline constexpr int32_t kNoAim = -1;

struct FrameInput {
    int32_t keyCode = 0;    // the poll's KeyCode (platform/Events.h), 0 for none
    int32_t character = 0;  // the poll's character, 0 for none
    int32_t held = 0;       // Held* bits
    int32_t pad = 0;        // the pad buttons pressed in this poll (platform/Gamepad.h bits)
    int32_t stick = 0;      // the left stick across, -kStickRange..kStickRange
    int32_t aim = kNoAim;   // the cannon angle the mouse points at, as the game counts angles
    int32_t click = 0;      // 1 when the left button was pressed
    int32_t active = 1;     // 0 while another window has the focus: the frame does nothing
    int32_t elapsed = 0;    // microseconds the frame advances the game by
    int32_t wheel = 0;      // the mouse wheel's notches, up positive: the aim turns by as many steps
};
