// Platform.h -- start-up and shutdown of the platform around the game, and
// the main window that everything is shown in.
//
// PlatformStart prepares, in this order: the sine table, the 8x8 font, the
// input state, the main window, the display, the ScreenImage and the game
// images; then it sets AppActive. It returns only on success: a window or
// display that cannot be made shows the "ERROR" message box and exits with
// status 1 (a game image that cannot be made exits with 1 silently). Every
// teardown happens in PlatformShutdown, which PlatformStart registers with
// atexit, so it runs however the process ends.
#pragma once

#include <cstdint>

struct SDL_Window;

// Window title, also the name the window is found by in end-to-end runs.
inline constexpr const char* kWindowTitle = "Kelvane";

// The main window: null until CreateMainWindow succeeds and again after
// DestroyMainWindow. Read by the display (its renderer draws into it).
extern SDL_Window* MainWindow;

// Starts everything the frame loop needs; width and height are the picture's
// size (640, 480). Returns only when every step succeeded.
void PlatformStart(int32_t width, int32_t height);

// Releases the game images, the display and the window, in that order. Each
// step copes with what was never made, so it is safe after a failed start
// and when called twice.
void PlatformShutdown();

// Opens the video subsystem and the window titled "Kelvane" (full screen or
// not, as the settings say), and hides the mouse pointer. The picture of
// width x height is scaled into it by the display. 1 or 0; on 0 whatever was
// made is left for DestroyMainWindow.
int CreateMainWindow(int32_t width, int32_t height);

// Destroys the window and closes the video subsystem if they were made.
void DestroyMainWindow();
