// rules_support.h -- puts the rules' world in place for a test: the screen's
// size, the ball and cannon pictures, the sine table, a fresh game and board.
#pragma once

#include <cstdint>
#include <cstring>

#include "flow/GameImages.h"
#include "resources/Resources.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

// The game's own ball when the build carries it, else a grey disc of
// diameter 31 on black, which is what the game's picture is.
inline void MakeBallImage() {
    if (ImageCreate(&ballImage, "MyBallBitmap", 0, 0, 1) && ImageLoadBitmap(&ballImage, "MyBallBitmap")) return;
    ImageCreate(&ballImage, nullptr, 32, 32, 1);
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(&ballImage, nullptr, &pixels, nullptr, &pitch, nullptr);
    for (int32_t y = 0; y < 32; y++)
        for (int32_t x = 0; x < 32; x++)
            pixels[y * pitch + x] = (x - 15) * (x - 15) + (y - 15) * (y - 15) <= 15 * 15 ? 0xC0C0C0u : 0u;
    ImageUnlock(&ballImage, nullptr);
}

// The start of a level: ceiling 55, aim straight up, an empty board.
inline void SetUpRulesWorld() {
    BuildSineTable();
    ScreenImage.width = 640;
    ScreenImage.height = 480;
    if (ballImage.surface == nullptr) MakeBallImage();
    if (cannonImage.surface == nullptr) ImageCreate(&cannonImage, nullptr, 184, 184, 1);
    game = GameState{};
    game.ceiling = kCeilingStart;
    std::memset(&board, 0, sizeof board);
}

inline int32_t CountBalls() {
    int32_t n = 0;
    for (int32_t r = 0; r < kBoardRows; r++)
        for (int32_t c = 0; c <= RowLastColumn(r); c++) n += board.cells[r][c].color != 0;
    return n;
}

inline void Put(int32_t col, int32_t row, int32_t color, int32_t mark = Held) {
    board.cells[row][col] = BoardCell{color, mark};
}

class RulesTest : public ::testing::Test {
protected:
    void SetUp() override { SetUpRulesWorld(); }
};
