// Gamepad.h -- game pads through SDL's game controller layer: its own
// mapping database and SDL_GAMECONTROLLERCONFIG, pads plugged in and out at
// any moment.
//
// The held D-pad and the left stick are read as they are in each frame; the
// presses come from the event poll and count for that poll alone.
#pragma once

#include <cstdint>

union SDL_Event;

// Pad bits: the D-pad, the south face button, Start.
inline constexpr int32_t PadUp = 1;
inline constexpr int32_t PadDown = 2;
inline constexpr int32_t PadLeft = 4;
inline constexpr int32_t PadRight = 8;
inline constexpr int32_t PadSouth = 16;
inline constexpr int32_t PadStart = 32;

// The stick reads 0 within this much of its centre, and beyond it from 1 to
// kStickRange at full tilt.
inline constexpr int32_t kStickDeadZone = 8000;
inline constexpr int32_t kStickRange = 32767 - kStickDeadZone;

// Opens the game controller subsystem and the pads already plugged in, and
// registers GamepadShutdown as an exit hook. Without the subsystem there are
// simply no pads.
void GamepadStart();
// Closes the pads and the subsystem; safe when nothing is open.
void GamepadShutdown();

// 1 for the pads' events that mean nothing to the game (the stick's and the
// buttons' every movement, read as states by the frames instead), which the
// poll skips so that they never hold up a key behind them. The rest, pads
// coming and going and buttons pressed, go to GamepadEvent.
int GamepadEventSkipped(uint32_t type);
void GamepadEvent(const SDL_Event* event);

// Forgets the previous poll's presses; called as each poll begins.
void GamepadNewPoll();

// The buttons pressed by the latest poll's event.
int32_t GamepadPressed();
// The D-pad directions held on any pad.
int32_t GamepadHeld();
// The left stick across, -kStickRange (left) .. kStickRange, of the pad
// pushed furthest.
int32_t GamepadStickX();
