// Playback.h -- recorded games played back: watched in the game's window
// (--replay, or a rank's digit on the title screen) or checked without one
// (--check-replay).
//
// A playback puts the random numbers, the aim and the table where they stood
// when the game began and feeds its frames through GamePlayFrame; the name
// entry takes its polls from the recording too. Only the game's course is in
// a recording: pause, volume, the window and screenshots are the watcher's.
#pragma once

#include <cstdint>
#include <cstdio>

#include "player/ReplayFile.h"

// --check-replay: plays the file as fast as it goes, with no window or
// sound, and prints "score S, level L, frames F" on out. 0 when the game
// went as recorded; 1 when it diverged (where, on out); 2 when the file is
// not a sound recording (the problem in one line on err).
int ReplayCheckFile(const char* path, std::FILE* out, std::FILE* err);

// The same for a recording in memory, once the images are made: 0 or 1.
int ReplayCheck(const Replay& replay, std::FILE* out);

// --replay: shows the file's game in the game's window with its sounds;
// Space or P pauses, Right and Left change the speed (1x, 2x, 4x, 8x), F10
// saves a screenshot, Esc ends. The last frame stays, marked as the end,
// until Esc or Enter. 0, or 2 (with one line on stderr) for a file that
// cannot be played.
int ReplayWatchFile(const char* path);

// On the title screen, 1..9 and 0 watch the game behind that rank's table
// line, then the title screen comes back as it was. 1 when the character
// was such a key and a recording names that line.
int WatchRankKey(int32_t character);
