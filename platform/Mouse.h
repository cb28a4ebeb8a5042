// Mouse.h -- aiming with the mouse: once the player moves it, the pointer
// shows and the cannon points at it, and the left button fires; an arrow
// key (or a pad's button) hides it again and hands the aim back.
//
// A mouse that is only lying there changes nothing: the first position the
// window hears of (the window appearing under the pointer, the pointer
// coming back in) is only where the mouse starts, and the aim follows it
// once it has moved kMouseTakeOver pixels from there. Motion that the window
// reports when it changes size or place, the pointer lying still on the
// desktop, is never a move. Positions are in
// picture pixels, as PollEvents reports them.
#pragma once

#include <cstdint>

inline constexpr int32_t kMouseTakeOver = 8;

// What the event poll hears of the mouse and the keyboard.
void MouseMoved(int32_t x, int32_t y);
// The window moved under a pointer that did not: (x, y) is where it now
// lies over the picture, a new start for the take-over and no aim.
void MouseLiesStill(int32_t x, int32_t y);
// Notes where the pointer lies on the desktop, so that only a pointer that
// moves from there is heard as moving (at start; then at the first motion of
// a poll, whose answer holds for the poll's other motions). 1 when it lies
// elsewhere than at the previous note.
int32_t MouseNoteDesktopPosition();
void MousePointerLeftWindow();
void MouseLeftPressed();
void MouseSetAside();  // an arrow key or a pad was used

// The window lost the focus or the name entry began: the pointer is let go
// (no capture) and the held buttons are forgotten, their release would
// never arrive.
void MouseRelease();

// The wheel turned by this many notches, up positive (a flipped wheel is
// turned the right way round).
void MouseWheel(int32_t notches);

// While 1 (the title screen), a left click is no shot but Enter: the poll
// reports it as Enter's key and character. Set by the frame loop.
void MouseClicksAreEnter(int32_t yes);
int32_t MouseClickIsEnter();

// Forgets the previous poll's aim and click; called as each poll begins.
void MouseNewPoll();

// What the latest poll brought: 1 and the pointer's position when the cannon
// is to point at it; 1 when the left button was pressed.
int32_t MouseAimTaken(int32_t* x, int32_t* y);
int32_t MouseClickTaken();
// The latest poll's wheel notches: the mouse's aim turns by as many steps
// (quarter degrees), up clockwise.
int32_t MouseWheelTaken();

// The cannon's angle, in its arc, that points from the cannon's centre at
// the picture pixel (x, y); below the cannon it is the limit on that side.
int32_t MouseAimAngle(int32_t x, int32_t y);
