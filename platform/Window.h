// Window.h -- the main window: full screen or a window of its own, its size,
// and how the picture is scaled into it.
//
// Full screen fills the desktop; a window opens at the size the player last
// gave it, or else at the largest whole multiple of the picture that fits
// the desktop's usable area. Either way the display shows the picture in it,
// filled sharp or in whole pixels.
#pragma once

#include <cstdint>

// The window's smallest size, told to the window manager and kept by the
// game itself where there is none: it is never used or saved below this.
inline constexpr int kWindowMinWidth = 320;
inline constexpr int kWindowMinHeight = 240;

struct SDL_Window;

// Makes the window for a width x height picture, full screen or not as
// GameSettings says, and starts following its size. Null on failure.
SDL_Window* WindowCreate(int32_t width, int32_t height);

// Tells the window manager the window's smallest size; once the display
// has been made, which can make the window anew.
void WindowSetMinimum();

// Writes a window size the player gave and the game has not kept yet to the
// settings file, and stops following the window; the caller
// destroys it.
void WindowSaveSettings();

// Switches the main window between full screen and a window and keeps the
// choice in the settings. F11 and Alt+Enter.
void WindowToggleFullscreen();

// Switches between sharp fill and whole pixels and keeps the choice in the
// settings. F9.
void WindowToggleScale();

// Called once per event poll: a new window size is kept in the settings once
// the player has stopped resizing for a moment.
void WindowPoll();
