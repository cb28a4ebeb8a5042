// Board.cpp -- the board, the palette, the level table and its layout, the
// colour of the next ball, and the playfield geometry.
#include "rules/Board.h"

#include "gfx/GameImages.h"
#include "rules/GameState.h"

Board board{};

// The strip of tinted balls has a cell for every colour and the empty one.
static_assert(kStripCells == kColorCount + 1);

// Each layout fills rows 0..9, 8 and 7 cells alternately; rows 10..15 always
// start empty. Levels 7, 15 and 25 share a shape, as do 18 and 20: only the
// number of colours differs.
const LevelRecord LevelTable[kLevelCount] = {
    {"112233441122334ooooooooooooooo.............................................", 4},  // 0
    {"...11......o......o.......o......o.......o......o.......o..................", 6},  // 1
    {"o......o1ooooo2o......o1ooooo2...o.......o......o..........................", 5},  // 2
    {".11..22..o...o..o...o...o...o..o...o...o...o..o...o...o...o................", 5},  // 3
    {".o.o.o.oo.o.o.oo.o.o.o..o.o.o..o.o.o....o.o......o.........................", 6},  // 4
    {"ooooooooo.o.o.o.oooooo..o.o.o..oooooo.o.o.o.ooooooooo......................", 6},  // 5
    {"...oo.....ooo.....oo....oo.oo..oooooo..oo.oo...............................", 6},  // 6
    {"oooooooooooooooooooooooooooooo.............................................", 5},  // 7
    {"111111111.....11..ooooo1...ooo1.....oooo.....oooo....ooooo.................", 7},  // 8
    {"o......o1ooooo2o......o1ooooo2o......o1ooooo2..............................", 7},  // 9
    {"...oo.....ooo....oooo...ooooo...oooo....ooo.....oo......o..................", 8},  // 10
    {"...oo.....ooo....oooo...ooooo..oooooo.ooooooooooooooo......................", 3},  // 11
    {"112oo211o12o21ooo1221oooo121ooooo11oooooo1ooooooooooo......................", 8},  // 12
    {"o.o..o.oo.o.ooo.o.oo.o.oo...o.o.oooo.oo.....o.oooooo.......................", 7},  // 13
    {"11.22.33o..o..oo..o..o.o..o..oo..o..o.o..o..oo..o..o.o..o..o...............", 8},  // 14
    {"oooooooooooooooooooooooooooooo.............................................", 7},  // 15
    {"ooo..ooooo...ooooo..ooooo...ooooo..ooo.....................................", 4},  // 16
    {"....1......1....o..1.o.o..1..o.o..1.o..o.1.o...oooo........................", 7},  // 17
    {"ooooooooooo.ooo.oo..oo..o...o..oo..oo.ooo.ooooooooooo......................", 3},  // 18
    {"o.o..o.oo.o.o.oo..oo..oo.ooo.oo..oo..oo.o.o.oo.o..o.oo.....o...............", 7},  // 19
    {"ooooooooooo.ooo.oo..oo..o...o..oo..oo.ooo.ooooooooooo......................", 4},  // 20
    {"11111111o.......ooooooo.o.......oooooo..o.......ooooo......................", 6},  // 21
    {"...2o.....123....o13o...oo.oo..oo..oo.oo...oooo....ooo.....o...............", 7},  // 22
    {"oooo....ooo....oooo....ooo....oooo....ooo..................................", 7},  // 23
    {"1......21.....2.oooooo..o...o..oooooo..o...o..oooooo.......................", 7},  // 24
    {"oooooooooooooooooooooooooooooo.............................................", 8},  // 25
    {"111..111..1.1....oooo...o.o.o...oooo....ooo...oooooo.......................", 6},  // 26
    {"ooooooo.oooooo..ooooo...oooo....ooo.....oo......o..........................", 6},  // 27
    {"..1..1....1.1.....11....oo1oo..oo..oo.o.ooo.oo..oo..o......................", 7},  // 28
    {"o.o.o.o.o.o.o.oo.o.o.o.o.o.o.oo.o.o.o.o.o.o.oo.o.o.o.......................", 8},  // 29
};

// The row pitch is the ball height minus this: adjacent rows interleave by a
// few pixels where the round pictures leave room.
static constexpr int32_t kRowOverlap = 4;
// The cannon sits this far above the screen's bottom edge, the death line
// this far: both hang from the bottom, so they stay put as the ceiling drops.
static constexpr int32_t kCannonRise = 165;
static constexpr int32_t kDeathLineRise = 130;

void FillLevel()
{
    for (int32_t row = 0; row < kBoardRows; row++) {
        for (int32_t col = 0; col <= RowLastColumn(row); col++) {
            board.cells[row][col] = BoardCell{0, Held};
        }
    }

    const LevelRecord& level = LevelTable[game.levelIndex];
    const int32_t n = level.colorCount;
    // All four group colours are drawn for every level, used or not, so the
    // random sequence does not depend on the layout's characters.
    int32_t groupColor[4];
    for (int32_t& g : groupColor) {
        g = RandomRange(1, n);
    }

    int32_t read = 0;
    for (int32_t row = 0; row < kBoardRows && read < kLayoutLength; row++) {
        for (int32_t col = 0; col <= RowLastColumn(row) && read < kLayoutLength; col++) {
            const char c = level.layout[read++];
            int32_t color = 0;
            if (c >= '1' && c <= '4') {
                color = groupColor[c - '1'];
            } else if (c == 'o') {
                color = RandomRange(1, n);
            }
            board.cells[row][col] = BoardCell{color, Held};
        }
    }
}

int32_t PickColor()
{
    bool present[kColorCount + 1] = {};
    bool any = false;
    for (int32_t row = 0; row < kBoardRows; row++) {
        for (int32_t col = 0; col <= RowLastColumn(row); col++) {
            const int32_t color = board.cells[row][col].color;
            if (color >= 1 && color <= kColorCount) {
                present[color] = true;
                any = true;
            }
        }
    }
    int32_t c = RandomRange(1, kColorCount);
    if (!any) {
        return c;
    }
    // Redrawing until a present colour comes up keeps the pick uniform over
    // the colours left, whatever the level's colour count was.
    while (!present[c]) {
        c = RandomRange(1, kColorCount);
    }
    return c;
}

void GetFieldRect(int32_t* left, int32_t* top, int32_t* width, int32_t* height)
{
    const int32_t fieldWidth = kBoardColumns * ballImage.width;
    *width = fieldWidth;
    *left = (ScreenImage.width - fieldWidth) / 2;
    *top = game.ceiling;
    *height = ScreenImage.height - game.ceiling;
}

void GetCellRect(int32_t col, int32_t row, int32_t* x, int32_t* y, int32_t* w, int32_t* h)
{
    int32_t left, top, width, height;
    GetFieldRect(&left, &top, &width, &height);
    const int32_t cellW = ballImage.width;
    const int32_t cellH = ballImage.height - kRowOverlap;
    *x = col * cellW + left + (cellW / 2) * (row % 2);
    *y = row * cellH + top;
    *w = cellW;
    *h = cellH;
}

void GetCannonPos(int32_t* x, int32_t* y)
{
    int32_t left, top, width, height;
    GetFieldRect(&left, &top, &width, &height);
    *x = width / 2 + left - cannonImage.width / 2;
    *y = top + height - kCannonRise;
}

int32_t GetDeathLine()
{
    int32_t left, top, width, height;
    GetFieldRect(&left, &top, &width, &height);
    return top + height - kDeathLineRise;
}
