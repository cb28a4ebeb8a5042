// Groups, falls, scoring and the ceiling.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <tuple>
#include <vector>

#include "rules_support.h"

using GroupsTest = RulesTest;

namespace {

// Two cells touch when their centres are one ball apart on screen: 32 along
// a row, or 16 across and 28 down between rows. No neighbour table here.
bool touch(int r1, int c1, int r2, int c2) {
    const int dx = 32 * (c2 - c1) + 16 * (r2 % 2 - r1 % 2), dy = 28 * (r2 - r1);
    return dx * dx + dy * dy > 0 && dx * dx + dy * dy <= 16 * 16 + 28 * 28;
}

// A plain breadth-first flood fill: the group over same-colour cells, then
// the held balls out from every occupied non-group anchor.
int floodMarks(int row, int col, int32_t marks[kBoardRows][kBoardColumns]) {
    std::deque<std::pair<int, int>> queue{{row, col}};
    auto spread = [&](auto joins) {
        while (!queue.empty()) {
            auto [r, c] = queue.front();
            queue.pop_front();
            for (int r2 = 0; r2 < kBoardRows; r2++)
                for (int c2 = 0; c2 <= RowLastColumn(r2); c2++)
                    if (touch(r, c, r2, c2) && marks[r2][c2] == Loose && joins(r2, c2)) queue.emplace_back(r2, c2);
        }
    };
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) marks[r][c] = board.cells[r][c].color ? Loose : Held;
    marks[row][col] = InGroup;
    int count = 1;
    spread([&](int r, int c) {
        if (board.cells[r][c].color != board.cells[row][col].color) return false;
        marks[r][c] = InGroup;
        return ++count > 0;
    });
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c <= RowLastColumn(r); c++)
            if (marks[r][c] == Loose && (r == 0 || (r % 2 == 0 && (c == 0 || c == 7)))) {
                marks[r][c] = Held;
                queue.emplace_back(r, c);
            }
    spread([&](int r, int c) { return (marks[r][c] = Held) == Held; });
    return count;
}

}  // namespace

TEST_F(GroupsTest, MarkGroupAgreesWithAFloodFillOnRandomBoards) {
    std::mt19937 rng(20240611);
    int bigGroups = 0, loose = 0;
    for (int trial = 0; trial < 1000; trial++) {
        const unsigned colours = 1 + rng() % 4, rows = 1 + rng() % 16, density = 40 + rng() % 60;
        std::vector<std::pair<int, int>> occupied;
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c < kBoardColumns; c++) {
                board.cells[r][c] = BoardCell{0, static_cast<int32_t>(rng() % 3)};  // stale marks
                if (c <= RowLastColumn(r) && r < static_cast<int>(rows) && rng() % 100 < density) {
                    board.cells[r][c].color = 1 + static_cast<int32_t>(rng() % colours);
                    occupied.emplace_back(r, c);
                }
            }
        if (occupied.empty()) continue;
        const auto [row, col] = occupied[rng() % occupied.size()];
        int32_t expected[kBoardRows][kBoardColumns];
        const int count = floodMarks(row, col, expected);
        ASSERT_EQ(MarkGroup(col, row), count) << "trial " << trial;
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c <= RowLastColumn(r); c++) {
                ASSERT_EQ(board.cells[r][c].mark, expected[r][c]) << "trial " << trial << " r" << r << " c" << c;
                loose += board.cells[r][c].mark == Loose;
            }
        bigGroups += count >= 3;
    }
    EXPECT_GT(bigGroups, 100);  // both passes had work to do
    EXPECT_GT(loose, 100);
}

TEST_F(GroupsTest, CeilingAndEvenRowWallsHold) {
    for (int c : {1, 2, 3}) Put(c, 2, 3);  // the group
    Put(0, 4, 1);                          // lone, even-row walls: held
    Put(7, 6, 1);
    Put(0, 9, 2);                          // lone, odd-row edges: loose
    Put(6, 11, 2);
    Put(5, 0, 5);                          // lone in row 0: held
    Put(0, 2, 6);                          // wall ball beside the group
    Put(0, 3, 6);                          // under the group and the wall ball: held
    Put(2, 3, 6);                          // under the group only: loose
    EXPECT_EQ(MarkGroup(2, 2), 3);
    const int32_t expect[][3] = {{1, 2, InGroup}, {3, 2, InGroup}, {0, 4, Held}, {7, 6, Held}, {0, 9, Loose},
                                 {6, 11, Loose}, {5, 0, Held},   {0, 2, Held},    {0, 3, Held}, {2, 3, Loose}};
    for (auto& e : expect) EXPECT_EQ(board.cells[e[1]][e[0]].mark, e[2]) << e[0] << "," << e[1];

    // Group balls on the wall and in row 0 pop and hold nothing.
    std::memset(&board, 0, sizeof board);
    for (auto [c, r] : {std::pair{0, 0}, {0, 1}, {0, 2}, {1, 2}, {4, 0}}) Put(c, r, 4);
    Put(0, 3, 2);
    EXPECT_EQ(MarkGroup(1, 2), 4);
    EXPECT_EQ(board.cells[0][0].mark, InGroup);
    EXPECT_EQ(board.cells[3][0].mark, Loose);
    EXPECT_EQ(board.cells[0][4].mark, Held);  // same colour, not joined
}

// The score must never wrap into a negative number, which not even an empty
// high-score table would take: it stops at the largest 32-bit value.
TEST_F(GroupsTest, RemovedBallsScoreAndTheScoreStopsAtTheTop) {
    struct Case {
        int popped, dropped, held;
        int32_t before, after;
    };
    const Case cases[] = {{3, 0, 1, 0, 30},          {3, 1, 1, 0, 50},
                          {5, 3, 1, 0, 130},         {3, 10, 1, 0, 10270},
                          {3, 27, 0, 100, 100 + 30 + 1342177280},
                          {3, 28, 0, 0, kScoreMax},  {3, 32, 1, 0, kScoreMax},
                          {4, 90, 0, 0, kScoreMax},  {3, 1, 0, kScoreMax - 35, kScoreMax}};
    for (const Case& k : cases) {
        std::memset(&board, 0, sizeof board);
        int n = 0;
        for (int32_t r = 0; r < kBoardRows; r++)
            for (int32_t c = 0; c <= RowLastColumn(r) && n < k.popped + k.dropped + k.held; c++, n++)
                Put(c, r, 1 + n % 8, n < k.popped ? InGroup : (n < k.popped + k.dropped ? Loose : Held));
        game.score = k.before;
        EXPECT_EQ(RemoveMarked(), k.held == 0 ? 1 : 0) << k.popped << "+" << k.dropped;
        EXPECT_EQ(game.score, k.after) << k.popped << " popped, " << k.dropped << " dropped";
        EXPECT_EQ(CountBalls(), k.held);
        for (int32_t r = 0; r < kBoardRows; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++) EXPECT_TRUE(board.cells[r][c].color || !board.cells[r][c].mark);
    }
}

TEST_F(GroupsTest, CeilingComesDownEveryNthCountedShotAndBringsTheDeathLine) {
    Put(0, 0, 1);
    Put(1, 0, 2);
    Put(2, 0, 3);
    const int32_t ceilings[] = {55, 55, 63};  // three colours: every third shot
    for (int32_t expected : ceilings) {
        StepCeiling();
        EXPECT_EQ(game.ceiling, expected);
    }
    EXPECT_EQ(game.shotCounter, 0);
    StepCeiling();
    Put(2, 0, 0);  // a colour vanishes: the second shot steps
    StepCeiling();
    EXPECT_EQ(game.ceiling, 71);
    std::memset(&board, 0, sizeof board);  // no colours: every call steps
    StepCeiling();
    EXPECT_EQ(game.ceiling, 79);
    EXPECT_EQ(game.loseTimer, 0);

    // Row 9 is safe at 63 and fatal at 71; row 8 first at 103.
    for (auto [row, from, fatal] : {std::tuple{9, 55, 71}, std::tuple{8, 87, 103}}) {
        std::memset(&board, 0, sizeof board);
        Put(3, row, 1);
        game.ceiling = from;
        game.loseTimer = 0;
        while (game.loseTimer == 0 && game.ceiling < 200) {
            game.shotCounter = 0;
            StepCeiling();
        }
        EXPECT_EQ(game.ceiling, fatal);
        EXPECT_EQ(game.loseTimer, kLoseTime);
    }
}
