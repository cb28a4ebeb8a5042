// Events.h -- the input the game reads once per frame: one queued event per
// PollEvents, the held keys, and whether the game is the active program.
//
// PollEvents takes at most one event from the queue and reports one KeyCode
// (a PC keyboard scan code from the table below, 0 for any other key), one
// character, the mouse position and the mouse button bits. A key press thus
// reaches the game over two polls: its key-down gives the KeyCode, the text
// it types the character in a later poll.
#pragma once

#include <cstdint>

#include "player/FrameInput.h"

union SDL_Event;

// KeyCodes reported by PollEvents.
inline constexpr int32_t KeyPageUp = 0x49;
inline constexpr int32_t KeyPageDown = 0x51;
inline constexpr int32_t KeyEnd = 0x4F;
inline constexpr int32_t KeyHome = 0x47;
inline constexpr int32_t KeyLeft = 0x4B;
inline constexpr int32_t KeyUp = 0x48;
inline constexpr int32_t KeyRight = 0x4D;
inline constexpr int32_t KeyDownArrow = 0x50;
inline constexpr int32_t KeyInsert = 0x52;
inline constexpr int32_t KeyDelete = 0x53;
inline constexpr int32_t KeyF1 = 0x3B;  // F1..F10 are 0x3B..0x44
inline constexpr int32_t KeyF9 = 0x43;
inline constexpr int32_t KeyF10 = 0x44;  // saves a screenshot
inline constexpr int32_t KeyAltF9 = 0x42B;
inline constexpr int32_t KeyPause = 0x145;  // Pause has no plain scan code: E1-prefixed 0x45

// Virtual-key codes that KeyDown is indexed by.
inline constexpr int VkBack = 0x08;
inline constexpr int VkTab = 0x09;
inline constexpr int VkReturn = 0x0D;
inline constexpr int VkShift = 0x10;
inline constexpr int VkControl = 0x11;
inline constexpr int VkMenu = 0x12;  // Alt
inline constexpr int VkPause = 0x13;
inline constexpr int VkEscape = 0x1B;
inline constexpr int VkSpace = 0x20;
inline constexpr int VkPrior = 0x21;
inline constexpr int VkNext = 0x22;
inline constexpr int VkEnd = 0x23;
inline constexpr int VkHome = 0x24;
inline constexpr int VkLeft = 0x25;
inline constexpr int VkUp = 0x26;
inline constexpr int VkRight = 0x27;
inline constexpr int VkDown = 0x28;
inline constexpr int VkInsert = 0x2D;
inline constexpr int VkDelete = 0x2E;
inline constexpr int VkF1 = 0x70;
inline constexpr int VkF9 = 0x78;
inline constexpr int VkF10 = 0x79;
inline constexpr int VkF12 = 0x7B;

// Characters delivered from key-downs rather than typed text.
inline constexpr int32_t CharBackspace = 8;
inline constexpr int32_t CharEnter = 13;
inline constexpr int32_t CharEscape = 27;
inline constexpr int32_t CharSpace = 32;  // fires; also the first printable character

// MouseButtons bits. The double and triple click bits are reported by one
// poll only; the held bits stay until the release.
inline constexpr int32_t MouseLeftHeld = 1;
inline constexpr int32_t MouseDoubleClick = 2;
inline constexpr int32_t MouseTripleClick = 4;
inline constexpr int32_t MouseRightHeld = 8;

// Presses no further apart than this many milliseconds make a multi-click.
inline constexpr int32_t kMultiClickTime = 300;

// 1 while the key with this virtual-key code is held. Keys pressed with Alt
// held, F10 and F11 do not set it.
extern uint8_t KeyDown[256];

// 1 while the game is the active program; 0 after the window lost the focus
// until it comes back and the images are reloaded.
extern int32_t AppActive;

extern int32_t MouseButtons;

// Takes at most one event and writes all five results. KeyCode and character
// are 0 when the event carried none; the mouse position is -1, -1 after the
// pointer left the window. A quit request ends the process here with status
// 0 through the exit hooks.
void PollEvents(int32_t* keyCode, int32_t* character, int32_t* mouseX, int32_t* mouseY, int32_t* buttons);

// One poll as the frame reads it: PollEvents, then the arrows held on the
// keyboard and the pads, the pad's presses and stick, and the mouse's aim (as
// the cannon angle it points at) and click, and the focus. The frame's time
// is the frame's to fill in.
void PollInput(FrameInput* input);

// Clears the held keys, the pending key, Alt key and character, and the run
// of quick clicks.
void InputReset();

// Records what one event means for the input state. Does nothing outside
// PollEvents, so events handled elsewhere change no input state.
void WindowProc(const SDL_Event* event);

// Left and right button press (1) and release (0).
void OnLeftButton(int32_t pressed);
void OnRightButton(int32_t pressed);
