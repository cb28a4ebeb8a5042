// GameState.cpp -- the game's global variables.
#include "rules/GameState.h"

GameState game{};
int32_t aimRepeat = 0;
