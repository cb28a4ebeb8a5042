// ScoreTable.h -- the ten best scores as the lines the attract screen shows
// and the high-score file stores, and which line was entered last.
#pragma once

#include <cstdint>

inline constexpr int32_t kScoreLines = 10;      // ranks 1..10, best first
inline constexpr int32_t kScoreLineSize = 128;  // 127 characters and a NUL
inline constexpr int32_t kNoHighlight = 10;     // highlightRank when no line is new

// Line i (0 = best) as text: rank, score, name, padded with spaces to 127
// characters. The same 1280 bytes are the file's contents.
extern char ScoreTable[kScoreLines][kScoreLineSize];

// The line the attract screen shows in white (0..9), or kNoHighlight.
extern int32_t highlightRank;
