// ScoreTable.h -- the ten best scores as the lines the attract screen shows
// and the high-score file stores, and which line was entered last.
#pragma once

#include <cstdint>

inline constexpr int32_t kScoreLines = 10;      // ranks 1..10, best first
inline constexpr int32_t kScoreLineSize = 128;  // 127 characters and a NUL
inline constexpr int32_t kNoHighlight = 10;     // highlightRank when no line is new
// The attract screen shows the table's header at this y, line i 8 x (i + 1)
// pixels below it; the name entry's box sits on the new line.
inline constexpr int32_t kScoreTableY = 196;

// Line i (0 = best) as text: rank, score, name, padded with spaces to 127
// characters. The same 1280 bytes are the file's contents.
extern char ScoreTable[kScoreLines][kScoreLineSize];
static_assert(sizeof ScoreTable == 1280, "the file holds the table's bytes and nothing else");

// The line the attract screen shows in white (0..9), or kNoHighlight.
extern int32_t highlightRank;

// The file "Kelvane.scores" in this run's data folder (player/DataDir.h:
// the working directory unless the game is installed) holds the table's 1280
// bytes and nothing else. Neither a missing file nor a failed write is
// reported (only a data folder that cannot be made is, once): the game goes
// on with the table it has.

// Fills the table from the file; lines the file does not cover stay empty
// (127 spaces). Every line read ends in a NUL at its byte 127, whatever the
// file held there.
void LoadScores();

// Replaces the file with the table: written to a new file beside it, flushed
// to the disk and renamed over it, so the old table survives any failure.
void SaveScores();

// Ranks a final score (above an equal older one), moves the lines below it
// down, asks for the player's name and fills in the line; sets highlightRank
// (kNoHighlight when the score did not make the table).
void InsertScore(int32_t score);

// Lets the player type up to maxLength printable characters into buffer
// (maxLength + 1 bytes) in a box drawn over the scene at (x, y); Backspace
// deletes, Enter or Esc ends the entry and keeps what was typed. A game
// pad spells the name too (ControlsEditName), its south button ends it.
void EnterName(char* buffer, int32_t maxLength, int32_t x, int32_t y);
