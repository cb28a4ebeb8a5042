// Groups, falls, scoring and the ceiling.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "rules_support.h"

namespace {

class GroupsTest : public ::testing::Test {
protected:
    void SetUp() override { SetUpRulesWorld(); }
};

void put(int32_t col, int32_t row, int32_t color, int32_t mark = Held) {
    board.cells[row][col] = BoardCell{color, mark};
}

// Neighbours found from the cells' places on screen rather than from a table:
// two cells touch when their centres are one ball apart (32 along a row, or
// 16 across and 28 down between rows).
std::vector<std::pair<int, int>> touching(int row, int col) {
    std::vector<std::pair<int, int>> out;
    const int x = 32 * col + 16 * (row % 2), y = 28 * row;
    for (int r = 0; r < kBoardRows; r++) {
        for (int c = 0; c <= RowLastColumn(r); c++) {
            const int dx = 32 * c + 16 * (r % 2) - x, dy = 28 * r - y;
            const int d2 = dx * dx + dy * dy;
            if (d2 > 0 && d2 <= 16 * 16 + 28 * 28) out.emplace_back(r, c);
        }
    }
    return out;
}

// A plain breadth-first flood fill: the group over same-colour neighbours,
// then the held balls from every occupied non-group anchor.
int oracleMarks(int col, int row, int32_t marks[kBoardRows][kBoardColumns]) {
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) marks[r][c] = board.cells[r][c].color ? Loose : Held;
    const int32_t target = board.cells[row][col].color;
    std::deque<std::pair<int, int>> queue{{row, col}};
    marks[row][col] = InGroup;
    int count = 1;
    while (!queue.empty()) {
        auto [r, c] = queue.front();
        queue.pop_front();
        for (auto [nr, nc] : touching(r, c)) {
            if (board.cells[nr][nc].color == target && marks[nr][nc] == Loose) {
                marks[nr][nc] = InGroup;
                count++;
                queue.emplace_back(nr, nc);
            }
        }
    }
    for (int r = 0; r < kBoardRows; r++) {
        for (int c = 0; c <= RowLastColumn(r); c++) {
            const bool anchor = r == 0 || (r % 2 == 0 && (c == 0 || c == 7));
            if (anchor && marks[r][c] == Loose) {
                marks[r][c] = Held;
                queue.emplace_back(r, c);
            }
        }
    }
    while (!queue.empty()) {
        auto [r, c] = queue.front();
        queue.pop_front();
        for (auto [nr, nc] : touching(r, c)) {
            if (marks[nr][nc] == Loose) {
                marks[nr][nc] = Held;
                queue.emplace_back(nr, nc);
            }
        }
    }
    return count;
}

}  // namespace

TEST_F(GroupsTest, MarkGroupAgreesWithFloodFillOnRandomBoards) {
    std::mt19937 rng(20240611);
    int bigGroups = 0, someLoose = 0;
    for (int trial = 0; trial < 1000; trial++) {
        const int colours = 1 + static_cast<int>(rng() % 4);
        const int rows = 1 + static_cast<int>(rng() % 16);
        const unsigned density = 40 + rng() % 60;
        std::vector<std::pair<int, int>> occupied;
        for (int r = 0; r < kBoardRows; r++) {
            for (int c = 0; c < kBoardColumns; c++) {
                // Stale marks everywhere, also in the unused eighth slot.
                board.cells[r][c] = BoardCell{0, static_cast<int32_t>(rng() % 3)};
                if (c <= RowLastColumn(r) && r < rows && rng() % 100 < density) {
                    board.cells[r][c].color = 1 + static_cast<int32_t>(rng() % colours);
                    occupied.emplace_back(r, c);
                }
            }
        }
        if (occupied.empty()) continue;
        const auto [row, col] = occupied[rng() % occupied.size()];
        int32_t expected[kBoardRows][kBoardColumns];
        const int count = oracleMarks(col, row, expected);
        ASSERT_EQ(MarkGroup(col, row), count) << "trial " << trial;
        for (int r = 0; r < kBoardRows; r++) {
            for (int c = 0; c <= RowLastColumn(r); c++) {
                ASSERT_EQ(board.cells[r][c].mark, expected[r][c]) << "trial " << trial << " r" << r << " c" << c;
            }
        }
        bigGroups += count >= 3;
        for (auto [r, c] : occupied) someLoose += board.cells[r][c].mark == Loose;
    }
    // The boards must have exercised both passes.
    EXPECT_GT(bigGroups, 100);
    EXPECT_GT(someLoose, 100);
}

TEST_F(GroupsTest, WallsAndCeilingHold) {
    // A group of three reds in row 2, columns 1..3.
    put(1, 2, 3);
    put(2, 2, 3);
    put(3, 2, 3);
    // Lone balls: even-row wall cells are held, odd-row edge cells are not.
    put(0, 4, 1);
    put(7, 6, 1);
    put(0, 9, 2);
    put(6, 11, 2);
    // A row 0 ball with nothing around it stays.
    put(5, 0, 5);
    // Under the group: one also touches a ball on the left wall, one touches
    // only the group.
    put(0, 2, 6);
    put(0, 3, 6);
    put(2, 3, 6);
    EXPECT_EQ(MarkGroup(2, 2), 3);
    EXPECT_EQ(board.cells[2][1].mark, InGroup);
    EXPECT_EQ(board.cells[2][3].mark, InGroup);
    EXPECT_EQ(board.cells[4][0].mark, Held);
    EXPECT_EQ(board.cells[6][7].mark, Held);
    EXPECT_EQ(board.cells[9][0].mark, Loose);
    EXPECT_EQ(board.cells[11][6].mark, Loose);
    EXPECT_EQ(board.cells[0][5].mark, Held);
    EXPECT_EQ(board.cells[2][0].mark, Held);
    EXPECT_EQ(board.cells[3][0].mark, Held);
    EXPECT_EQ(board.cells[3][2].mark, Loose);
    EXPECT_EQ(board.cells[1][1].mark, Held);  // empty cells keep 0

    // A group ball on the wall holds nothing, and a row 0 ball of the group
    // pops with it: the ball hanging from them drops.
    std::memset(&board, 0, sizeof board);
    put(0, 0, 4);
    put(0, 1, 4);
    put(0, 2, 4);
    put(1, 2, 4);
    put(0, 3, 2);  // hangs from (0,2) and (1,2) only
    put(4, 0, 4);  // same colour, not joined: stays
    EXPECT_EQ(MarkGroup(1, 2), 4);
    EXPECT_EQ(board.cells[0][0].mark, InGroup);
    EXPECT_EQ(board.cells[2][0].mark, InGroup);
    EXPECT_EQ(board.cells[3][0].mark, Loose);
    EXPECT_EQ(board.cells[0][4].mark, Held);
}

TEST_F(GroupsTest, RemovedBallsScoreAndTheBoardEmpties) {
    struct Case {
        int popped, dropped;
        int32_t points;
    };
    const Case cases[] = {{3, 0, 30}, {3, 1, 50}, {5, 3, 130}, {3, 10, 10270}, {3, 27, 30 + 1342177280}};
    for (const Case& k : cases) {
        std::memset(&board, 0, sizeof board);
        int n = 0;
        for (int32_t r = 0; r < kBoardRows && n < k.popped + k.dropped + 1; r++) {
            for (int32_t c = 0; c <= RowLastColumn(r) && n < k.popped + k.dropped + 1; c++, n++) {
                put(c, r, 1 + n % 8, n < k.popped ? InGroup : (n < k.popped + k.dropped ? Loose : Held));
            }
        }
        game.score = 0;
        EXPECT_EQ(RemoveMarked(), 0) << "a held ball is left";
        EXPECT_EQ(game.score, k.points) << k.popped << " popped, " << k.dropped << " dropped";
        EXPECT_EQ(CountBalls(), 1);
        for (int32_t r = 0; r < kBoardRows; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++)
                if (board.cells[r][c].color == 0) {
                    ASSERT_EQ(board.cells[r][c].mark, Held);
                }
    }
    // With nothing held left the board is clear.
    std::memset(&board, 0, sizeof board);
    put(2, 0, 1, InGroup);
    put(3, 0, 1, InGroup);
    put(4, 0, 1, InGroup);
    put(3, 1, 2, Loose);
    game.score = 7;
    EXPECT_EQ(RemoveMarked(), 1);
    EXPECT_EQ(game.score, 7 + 30 + 20);
    EXPECT_EQ(CountBalls(), 0);
}

// The score must never wrap into a negative number (it could then not even
// enter an empty high-score table): it stops at the largest 32-bit value.
TEST_F(GroupsTest, ScoreStopsAtTheTopInsteadOfWrapping) {
    for (int dropped : {28, 29, 31, 32, 33, 60, 117}) {
        std::memset(&board, 0, sizeof board);
        int n = 0;
        for (int32_t r = 0; r < kBoardRows && n < dropped + 3; r++)
            for (int32_t c = 0; c <= RowLastColumn(r) && n < dropped + 3; c++, n++)
                put(c, r, 2, n < 3 ? InGroup : Loose);
        game.score = 0;
        EXPECT_EQ(RemoveMarked(), 1);
        EXPECT_EQ(game.score, kScoreMax) << dropped << " dropped";
    }
    // Plain pops near the top stop there too.
    std::memset(&board, 0, sizeof board);
    put(0, 0, 1, InGroup);
    put(1, 0, 1, InGroup);
    put(2, 0, 1, InGroup);
    put(3, 0, 2, Loose);
    game.score = kScoreMax - 35;
    RemoveMarked();
    EXPECT_EQ(game.score, kScoreMax);
    // 27 dropped still fits and is added in full.
    std::memset(&board, 0, sizeof board);
    int n = 0;
    for (int32_t r = 0; r < kBoardRows && n < 30; r++)
        for (int32_t c = 0; c <= RowLastColumn(r) && n < 30; c++, n++) put(c, r, 2, n < 3 ? InGroup : Loose);
    game.score = 100;
    RemoveMarked();
    EXPECT_EQ(game.score, 100 + 30 + 1342177280);
}

TEST_F(GroupsTest, CeilingComesDownEveryNthCountedShot) {
    put(0, 0, 1);
    put(1, 0, 2);
    put(2, 0, 3);
    StepCeiling();
    StepCeiling();
    EXPECT_EQ(game.ceiling, 55);
    EXPECT_EQ(game.shotCounter, 2);
    StepCeiling();
    EXPECT_EQ(game.ceiling, 63);
    EXPECT_EQ(game.shotCounter, 0);

    // A colour vanishing after the first shot: the second one steps.
    StepCeiling();
    put(2, 0, 0);
    StepCeiling();
    EXPECT_EQ(game.ceiling, 71);
    EXPECT_EQ(game.shotCounter, 0);
    // A single colour left: every shot.
    put(1, 0, 0);
    StepCeiling();
    EXPECT_EQ(game.ceiling, 79);
    // An empty board counts no colours and steps on every call.
    std::memset(&board, 0, sizeof board);
    StepCeiling();
    StepCeiling();
    EXPECT_EQ(game.ceiling, 95);
    EXPECT_EQ(game.loseTimer, 0);
}

TEST_F(GroupsTest, LoweredCeilingBringsBallsPastTheDeathLine) {
    put(3, 9, 1);
    put(0, 0, 2);
    game.ceiling = 63;
    game.shotCounter = -5;  // not yet due: the ceiling stays, row 9 is safe at 63
    StepCeiling();
    EXPECT_EQ(game.ceiling, 63);
    EXPECT_EQ(game.loseTimer, 0);
    game.shotCounter = 1;  // due: 63 -> 71, row 9 now reaches 71 + 280 > 350
    StepCeiling();
    EXPECT_EQ(game.ceiling, 71);
    EXPECT_EQ(game.loseTimer, kLoseTime);

    // Row 8 becomes fatal at ceiling 103, not before.
    std::memset(&board, 0, sizeof board);
    put(2, 8, 4);
    game.loseTimer = 0;
    game.ceiling = 87;
    game.shotCounter = 0;
    StepCeiling();  // 95
    EXPECT_EQ(game.loseTimer, 0);
    StepCeiling();  // 103
    EXPECT_EQ(game.ceiling, 103);
    EXPECT_EQ(game.loseTimer, kLoseTime);
}
