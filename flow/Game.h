// Game.h -- the game's main function, its run loop and its frame: the one
// place where time passes.
//
// The game's state is not a stored number. It follows each frame from
// game.playing and the three countdown timers, in this priority: attract
// screen (playing 0), pop, slide, lose, and otherwise aiming or flight.
#pragma once

#include <cstdint>

#include "player/FrameInput.h"

// Called by the program's entry with its arguments, which it ignores: seeds
// the random numbers, starts the platform (the title's font work already
// under way beside it), runs the game. Returns 0 when the player pressed Esc.
int GameMain(int argc, char** argv);

// Loads the high scores, starts a new game (the attract screen shows level 1
// behind the table), runs the first frame, starts the sound and runs frames
// until one asks to quit.
void RunGame();

// One frame: reap sounds, poll one event, draw, present, measure, then act
// on Esc, F10, pause and volume; a paused frame stops there. On the title
// screen a rank's digit watches its game. Otherwise the frame's input is
// recorded (during a game) and played: GamePlayFrame. 1 to quit, 0 to go on.
int GameFrame();

// The game's course in one frame, from its input alone: the mouse, the pad
// and the arrows aim, and the game state advances by input.elapsed. A
// recorded game is replayed by feeding its frames through here.
void GamePlayFrame(const FrameInput& input);

// F10: the screen picture into the data folder.
void SaveScreenshot();

// Resets every GameState field for a new game, lays out level 1 and puts a
// ball on the cannon. aimRepeat, the score table and highlightRank stay.
void NewGame();

// The microseconds the latest active frame took to draw and present: the
// step by which it advanced the game. Never above kMaxElapsed: a frame that
// stalled (a debugger, a suspended process, a slow display) counts as a
// tenth of a second, so no product of it can overflow, the cannon cannot
// jump across its forbidden arc and no effect is skipped in one frame.
extern int32_t elapsed;
inline constexpr int32_t kMaxElapsed = 100000;

// A held arrow turns the cannon by elapsed x aimRepeat / kAimDivisor
// quarter-degrees in a frame.
inline constexpr int32_t kAimDivisor = 35000;

// Where the frame loop and the name entry take their input and their clock:
// PollInput and FrameTimer. Tests put scripted ones here to replay a game
// frame by frame, and so does watching a recorded game's name entry.
extern void (*GamePollInput)(FrameInput* input);
extern int32_t (*GameFrameTimer)(int32_t mode);
