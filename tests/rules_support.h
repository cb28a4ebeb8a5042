// rules_support.h -- the rules' world for a test: the screen's size, the
// game's pictures, the sine table, a fresh game and an empty board.
#pragma once

#include <cstring>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

#include "gfx/GameImages.h"
#include "gfx/SineTable.h"
#include "rules/Board.h"
#include "rules/GameState.h"

using V = std::vector<int32_t>;

inline void Put(int32_t col, int32_t row, int32_t color, int32_t mark = Held) {
    board.cells[row][col] = BoardCell{color, mark};
}

inline int32_t CountBalls() {
    int32_t n = 0;
    for (int32_t r = 0; r < kBoardRows; r++)
        for (int32_t c = 0; c <= RowLastColumn(r); c++) n += board.cells[r][c].color != 0;
    return n;
}

// The start of a level: ceiling 55, aim straight up, an empty board.
struct RulesTest : ::testing::Test {
    static void Reset() {
        BuildSineTable();
        ScreenImage.width = 640, ScreenImage.height = 480;
        if (ballImage.surface == nullptr) CreateGameImages(), LoadGameImages();
        game = GameState{}, game.ceiling = kCeilingStart;
        std::memset(&board, 0, sizeof board);
    }
    void SetUp() override { Reset(); }
};
