// Controls.h -- pause, volume, and the mouse and the pad in the game: what
// the frames and the name entry make of them, beyond the keyboard's keys.
//
// None of it acts until its own key, the mouse or a pad is used: without
// them every frame is the keyboard's game alone.
#pragma once

#include <cstdint>

#include "player/FrameInput.h"

// 1 while a game is paused: no time passes, nothing moves, the sounds wait
// and "Paused" shows in the middle of the field.
extern int32_t GamePaused;

// Sets the sound to the kept volume (before SoundStart, so that the first
// sound already has it) and opens the pads.
void ControlsStart();

// What belongs to this machine, not to the game's course: P, Pause and the
// pad's Start pause and carry on during a game; M mutes, + and - change the
// volume, C switches the colour marks (in play and on the title screen). 1 while the game is paused (the frame then
// does nothing more).
int32_t ControlsMachine(const FrameInput& input);

// The rest of the poll, outside a pause: the mouse and the left stick aim.
// Returns the character the game acts on: the polled one, Space for a click
// or the pad's south button, Enter for the pad's Start on the title screen.
int32_t ControlsGame(const FrameInput& input);

// The stick's turn carried from frame to frame, less than a whole step: part
// of where a game stands when it is recorded.
int64_t ControlsStickRemainder();
void ControlsSetStickRemainder(int64_t remainder);

// Draws "Paused", for a second after each change the volume, and while the
// sound is muted a small mark in the bottom right corner.
void DrawControls();

// The pad's presses (pad) in the name entry, after each poll. The letter being chosen sits
// at the cursor, after the *length letters of the name: up and down change
// it, right keeps it and moves on (over a space if none was chosen), left
// goes back to choose the letter before again. 1 when the south button or
// Start confirms the name as it shows.
int32_t ControlsEditName(int32_t pad, char* buffer, int32_t* length, int32_t maxLength);
