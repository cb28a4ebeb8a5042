// ScoreTable.cpp -- the high-score table's state.
#include "flow/ScoreTable.h"

char ScoreTable[kScoreLines][kScoreLineSize];
int32_t highlightRank = kNoHighlight;
