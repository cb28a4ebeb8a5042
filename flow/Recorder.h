// Recorder.h -- every game recorded, from the Enter that starts it to the end
// of its name entry, and kept in the data folder: replays/last.kvr for the
// latest game, replays/rank-01.kvr .. rank-10.kvr for the games behind the
// high-score table's lines, moving with their lines.
//
// The frames are kept in memory and written once the game ends, or when the
// program quits in the middle of one (ReplayQuit, also an exit hook). Each
// file is replaced atomically; a folder that cannot be written costs the
// recordings and nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "player/FrameInput.h"
#include "player/ReplayFile.h"

// 1 while a recorded game is being played back: nothing is recorded, and the
// score table is neither saved nor finished on exit.
extern int32_t ReplayActive;
// 0 while a recording is checked without a window: the name entry draws nothing.
extern int32_t ReplayDrawing;

// Registers ReplayQuit as an exit hook (once).
void RecorderStart();

// Enter starts a game: where the random numbers and the aim stand, and the
// table it is played against. The frames recorded from here on are its own.
void RecorderBegin();

// The frame's input, before it acts; the name entry's polls too.
void RecordFrame(const FrameInput& input);
// After a frame acted: a checkpoint at every level start and every
// kCheckpointFrames frames.
void RecordCheckpoint();
inline constexpr uint32_t kCheckpointFrames = 300;

// The last credit is lost: the name entry follows.
void RecorderGameOver();
// The game and its entry are over: the recording is written.
void RecorderEnd();

// The quit path (Esc, the window closed, a signal): a game in progress or in
// its name entry is written as it stands. Safe to call more than once.
void ReplayQuit();

// A checksum of the board and the game's state: what a replay must agree on.
uint32_t GameChecksum();

// The data folder's path of a rank's recording (0..9) and of the latest game.
std::string RankReplayPath(int32_t rank);
std::string LastReplayPath();

// Whether a checkpoint is due after the frame with this count.
int32_t CheckpointDue(uint32_t frames, int32_t level, int32_t lastLevel);
