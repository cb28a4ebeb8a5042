// Board.h -- the board of coloured balls, the palette and the thirty levels,
// the playfield geometry, the random numbers, and popping, dropping and the
// ceiling.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------
// The board: 16 rows hanging from the ceiling. Even rows hold 8 cells
// (columns 0..7), odd rows 7 (columns 0..6) shifted right by half a ball, so
// the highest column of row r is 7 - (r mod 2). The eighth slot of an odd row
// is never read or written.

inline constexpr int32_t kBoardRows = 16;
inline constexpr int32_t kBoardColumns = 8;
inline constexpr int32_t kColorCount = 8;  // ball colours 1..8; 0 is an empty cell
inline constexpr int32_t kLevelCount = 30;
inline constexpr int32_t kLayoutLength = 75;  // layout characters per level: rows 0..9

// Marks written by MarkGroup and read by RemoveMarked and the pop effect.
enum CellMark : int32_t {
    Held = 0,     // stays; also the mark of every empty cell
    InGroup = 1,  // part of the matched group: pops
    Loose = 2,    // held up by nothing but the group, or by nothing: drops
};

struct BoardCell {
    int32_t color;  // 0 empty, 1..8 index into BallPalette (gfx/GameImages.h)
    int32_t mark;   // a CellMark
};

struct Board {
    BoardCell cells[kBoardRows][kBoardColumns];  // [row][col]
};

extern Board board;  // the one board in play

// Highest column index of a row: 7 in even rows, 6 in odd rows.
inline int32_t RowLastColumn(int32_t row)
{
    return kBoardColumns - 1 - (row & 1);
}

struct LevelRecord {
    char layout[kLayoutLength + 1];  // '1'..'4' group colours, 'o' a fresh draw, else empty
    int32_t colorCount;              // 3..8: colours are drawn from 1..colorCount
};

extern const LevelRecord LevelTable[kLevelCount];

// Clears the whole board and lays out LevelTable[game.levelIndex]. Draws four
// group colours, then one colour per 'o' in reading order.
void FillLevel();

// A colour 1..8 present on the board, uniform over those present; a plain
// draw over 1..8 when the board is empty.
int32_t PickColor();

// ---------------------------------------------------------------------------
// Geometry, in screen pixels. Read from the sizes of ballImage, cannonImage
// and ScreenImage and from game.ceiling at every call; nothing is cached.

void GetFieldRect(int32_t* left, int32_t* top, int32_t* width, int32_t* height);
// Top-left of the cell's ball picture, the cell width and the row pitch.
void GetCellRect(int32_t col, int32_t row, int32_t* x, int32_t* y, int32_t* w, int32_t* h);

// 1 when `test(x, y, w, h)` holds for the picture rectangle of some occupied
// cell; cells are visited in reading order and the walk stops at the first.
template <class Test>
int AnyBallWhere(Test&& test)
{
    for (int32_t row = 0; row < kBoardRows; row++)
        for (int32_t col = 0; col <= RowLastColumn(row); col++) {
            if (board.cells[row][col].color == 0)
                continue;
            int32_t x, y, w, h;
            GetCellRect(col, row, &x, &y, &w, &h);
            if (test(x, y, w, h))
                return 1;
        }
    return 0;
}

void GetCannonPos(int32_t* x, int32_t* y);  // top-left of the cannon picture
int32_t GetDeathLine();                     // a cell whose bottom is below it loses

// ---------------------------------------------------------------------------
// Random numbers: one MT19937 generator. Drawn from before it was ever
// seeded, it seeds itself with 4357.

void SeedRandom(uint32_t seed);
uint32_t NextRandom();
// lo..hi (lo <= hi) from the low 16 bits of one output.
int32_t RandomRange(int32_t lo, int32_t hi);
// Where the stream stands: the last seed and the outputs drawn since. Setting
// a position seeds and draws that many, so the stream goes on from there.
void RandomPosition(uint32_t* seed, uint64_t* draws);
void RandomSetPosition(uint32_t seed, uint64_t draws);

// ---------------------------------------------------------------------------
// Groups, falls and the ceiling, in the order AttachBall and the game flow
// call them: MarkGroup on the new ball; if the group has 3 or more, the pop
// effect runs and then RemoveMarked; every shot that does not clear the board
// then goes through StepCeiling.

// Marks every occupied cell InGroup, Held or Loose for the group of the ball
// at (col, row), which must be occupied. Returns the group's size (>= 1).
int32_t MarkGroup(int32_t col, int32_t row);

// Empties the InGroup and Loose cells and scores them: 10 per popped ball and
// 10 x 2^dropped for the dropped ones, the score stopping at kScoreMax rather
// than wrapping negative. 1 if the board is now empty, else 0.
int RemoveMarked();

// Counts a shot; with n colours on the board every n-th counted shot lowers
// the ceiling by 8. Starts the lose timer ("LoseSound") when a ball now
// reaches below the death line.
void StepCeiling();
