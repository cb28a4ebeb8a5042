// Display.h -- the one 640x480 picture the game draws into, and its showing
// on the screen once per frame.
//
// The display owns a back buffer: a 64-byte aligned 32-bit 0x00RRGGBB Image
// that start-up wraps as the ScreenImage. Present shows it in its box on the
// window's pixels, aspect kept, black bars around: filled sharp or in whole
// pixels as the settings' scale says (platform/Scaling.h). Present waits for the
// display like a page flip: with vsync where that works, otherwise by
// sleeping out the rest of the refresh interval, so a frame never takes
// less than about one refresh.
#pragma once

#include <cstdint>

#include "gfx/Image.h"

struct SDL_Renderer;

// Every frame is drawn into this Image. Filled in by PlatformStart from the
// back buffer after DisplayStart succeeded; its surface belongs to the
// display and is absent again after DisplayShutdown. Never ImageRelease it.
extern Image ScreenImage;

// The display's renderer; null while the display is closed. Tests read the
// shown picture back through it.
extern SDL_Renderer* DisplayRenderer;

// Opens the display on the MainWindow for a width x height picture of bits
// per pixel (only 32 is supported). 1 or 0. Fails without touching anything
// while the display is already open; on any other failure it releases what
// it made.
int DisplayStart(int32_t width, int32_t height, int32_t bits);

// Releases the texture, the renderer and the back buffer, each if present.
void DisplayShutdown();

// Fills image with the back buffer (width, height and its surface); used by
// start-up to make the ScreenImage. 0 while the display is closed.
int DisplayBackBuffer(Image* image);

// Shows the back buffer, whatever Image is passed (callers pass the
// ScreenImage), and waits for the display. A back buffer unchanged since it
// was last shown (gfx/Image.h: its change stamp) is not shown again unless
// DisplayRepaint asked for it; the wait is the same either way. Never
// reports failure.
void Present(Image* image);

// Uploads and shows the back buffer without the wait: Present is this, when
// the picture changed or a repaint is due, followed by the wait.
void DisplayShow();

// The window lost or resized what it showed (exposed, restored, shown,
// resized, switched to or from full screen): the next Present shows the
// back buffer even if it has not changed.
void DisplayRepaint();

// Brings back a render device that was lost: the texture (targetsReset) or
// the whole renderer and texture (deviceReset). A no-op while the display is
// closed. 1 if the display can present afterwards.
int DisplayRestore(int deviceReset);

// Turns a pointer position in the window's points into the picture pixel
// under it, in place; positions over the bars lie outside the picture.
void DisplayPointToPicture(int32_t* x, int32_t* y);

// 1 while the display is open but cannot present (a lost device that could
// not be brought back yet); re-activation tries DisplayRestore again.
int DisplayIsLost();

// The wait that Present keeps between frames, in microseconds: one refresh
// interval of the window's display mode (60 Hz when it is not known).
int32_t DisplayRefreshInterval();
