// Groups.cpp -- what follows when a ball comes to rest: the group it forms,
// the balls that lose their hold, the score, and the creeping ceiling.
#include "rules/Board.h"
#include "rules/GameState.h"
#include "sound/Sound.h"

static constexpr int32_t kPointsPerBall = 10;
static constexpr int32_t kDropBonusBase = 10;

// Neighbour offsets for (row, column) in the order both passes visit them:
// upper left, upper right, left, right, lower left, lower right. Odd rows sit
// half a ball to the right, so their diagonal neighbours are one column
// further right than an even row's.
static constexpr int32_t kNeighbourRow[6] = {-1, -1, 0, 0, 1, 1};
static constexpr int32_t kNeighbourCol[6] = {-1, 0, -1, 1, -1, 0};  // plus (row mod 2) on diagonals

static bool neighbour(int32_t row, int32_t col, int32_t i, int32_t* nRow, int32_t* nCol)
{
    const int32_t r = row + kNeighbourRow[i];
    const int32_t c = col + kNeighbourCol[i] + (kNeighbourRow[i] != 0 ? (row & 1) : 0);
    if (r < 0 || r >= kBoardRows || c < 0 || c > RowLastColumn(r)) {
        return false;
    }
    *nRow = r;
    *nCol = c;
    return true;
}

// The ceiling holds row 0; the side walls hold the outermost cells of the
// even rows, which touch them. Odd rows sit half a ball in from the walls.
static bool isAnchor(int32_t row, int32_t col)
{
    return row == 0 || (row % 2 == 0 && (col == 0 || col == kBoardColumns - 1));
}

// Sweeps the whole board until a sweep changes nothing. Cells changed in a
// sweep already act later in the same sweep. With 120 cells this needs no
// queue and no allocation.
static int32_t growGroup(int32_t target)
{
    int32_t added = 0;
    bool changed = true;
    while (changed) {
        changed = false;
        for (int32_t row = 0; row < kBoardRows; row++) {
            for (int32_t col = 0; col <= RowLastColumn(row); col++) {
                if (board.cells[row][col].mark != InGroup) {
                    continue;
                }
                for (int32_t i = 0; i < 6; i++) {
                    int32_t r, c;
                    if (!neighbour(row, col, i, &r, &c)) {
                        continue;
                    }
                    BoardCell& cell = board.cells[r][c];
                    if (cell.color == target && cell.mark == Loose) {
                        cell.mark = InGroup;
                        added++;
                        changed = true;
                    }
                }
            }
        }
    }
    return added;
}

static bool touchesHeld(int32_t row, int32_t col)
{
    for (int32_t i = 0; i < 6; i++) {
        int32_t r, c;
        if (neighbour(row, col, i, &r, &c) && board.cells[r][c].color != 0 && board.cells[r][c].mark == Held) {
            return true;
        }
    }
    return false;
}

static void spreadHold()
{
    bool changed = true;
    while (changed) {
        changed = false;
        for (int32_t row = 0; row < kBoardRows; row++) {
            for (int32_t col = 0; col <= RowLastColumn(row); col++) {
                BoardCell& cell = board.cells[row][col];
                if (cell.mark == Loose && (isAnchor(row, col) || touchesHeld(row, col))) {
                    cell.mark = Held;
                    changed = true;
                }
            }
        }
    }
}

int32_t MarkGroup(int32_t col, int32_t row)
{
    for (int32_t r = 0; r < kBoardRows; r++) {
        for (int32_t c = 0; c <= RowLastColumn(r); c++) {
            BoardCell& cell = board.cells[r][c];
            cell.mark = cell.color != 0 ? Loose : Held;
        }
    }
    BoardCell& start = board.cells[row][col];
    start.mark = InGroup;
    const int32_t count = 1 + growGroup(start.color);
    spreadHold();
    return count;
}

// Adds to the score without passing kScoreMax: a long game's score must not
// wrap into a negative number, which no high-score table would take.
static void addScore(int64_t points)
{
    const int64_t sum = static_cast<int64_t>(game.score) + points;
    game.score = sum > kScoreMax ? kScoreMax : static_cast<int32_t>(sum);
}

// 10 x 2^dropped. From 28 balls on it no longer fits 32 bits; it stays at
// the top instead of wrapping (or, past 31, starting again at 10).
static int64_t dropBonus(int32_t dropped)
{
    if (dropped >= 28) {
        return kScoreMax;
    }
    return static_cast<int64_t>(kDropBonusBase) << dropped;
}

int RemoveMarked()
{
    int32_t total = 0, popped = 0, dropped = 0;
    for (int32_t row = 0; row < kBoardRows; row++) {
        for (int32_t col = 0; col <= RowLastColumn(row); col++) {
            BoardCell& cell = board.cells[row][col];
            if (cell.color == 0) {
                continue;
            }
            total++;
            if (cell.mark == InGroup) {
                popped++;
            } else if (cell.mark == Loose) {
                dropped++;
            } else {
                continue;
            }
            cell = BoardCell{0, Held};
        }
    }
    addScore(static_cast<int64_t>(kPointsPerBall) * popped);
    if (dropped > 0) {
        addScore(dropBonus(dropped));
    }
    return total == popped + dropped ? 1 : 0;
}

void StepCeiling()
{
    bool present[kColorCount + 1] = {};
    int32_t colors = 0;
    for (int32_t row = 0; row < kBoardRows; row++) {
        for (int32_t col = 0; col <= RowLastColumn(row); col++) {
            const int32_t color = board.cells[row][col].color;
            if (color >= 1 && color <= kColorCount && !present[color]) {
                present[color] = true;
                colors++;
            }
        }
    }

    game.shotCounter++;
    if (game.shotCounter >= colors) {
        game.shotCounter = 0;
        game.ceiling += kCeilingStep;
    }

    const int32_t deathLine = GetDeathLine();
    if (AnyBallWhere([deathLine](int32_t, int32_t y, int32_t, int32_t h) { return y + h > deathLine; })) {
        game.loseTimer = kLoseTime;
        SoundPlay("LoseSound");
    }
}
