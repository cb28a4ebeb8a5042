// The random source, the next ball's colour, the geometry, and groups, falls,
// scoring and the ceiling.
#include <random>
#include <sstream>

#include "rules_support.h"

// (The seeding's forced lowest bit and the range's scaling are pinned by the
// recorded games, whose seeds are even and whose colours are drawn in range.)
TEST(Random, RenewalAgreesWithTheStandardGenerator) {
    RandomRange(INT32_MIN, INT32_MAX);  // no overflow on the widest span
    // The standard mt19937 loaded with the same 624 words agrees across renewals.
    std::stringstream state;
    for (uint32_t k = 0, x = 0xFFFFFFFFu; k < 624; k++, x *= 69069u) state << x << ' ';
    std::mt19937 standard;
    state << 624, state >> standard, SeedRandom(0xFFFFFFFFu);
    for (int i = 0; i < 2500; i++) ASSERT_EQ(NextRandom(), standard()) << "draw " << i;
}

// (Which colours the next ball takes, the recorded games pin: their boards
// lose colours as they empty, to the last ball of a cleared level.)
TEST_F(RulesTest, Geometry) {
    int32_t x, y, w, h, cannonX, cannonY;
    game.ceiling = 63, ScreenImage.width = 800;  // the cells come down, the cannon stays; nothing is cached
    GetCellRect(6, 1, &x, &y, &w, &h), GetCannonPos(&cannonX, &cannonY);
    EXPECT_EQ(V({x, y, w, h, cannonX, cannonY, GetDeathLine()}), V({480, 91, 32, 28, 308, 315, 350}));
}

// A plain flood fill, no neighbour table: two cells touch when their centres are
// one ball apart on screen (32 along a row, 16 across and 28 down between rows).
static void flood(int r, int c, int32_t colour, int32_t mark, int32_t marks[][kBoardColumns]) {
    for (int r2 = 0; r2 < kBoardRows; r2++)
        for (int c2 = 0; c2 <= RowLastColumn(r2); c2++) {
            const int dx = 32 * (c2 - c) + 16 * (r2 % 2 - r % 2), d = dx * dx + 784 * (r2 - r) * (r2 - r);
            if (d > 0 && d <= 1040 && marks[r2][c2] == Loose && (!colour || board.cells[r2][c2].color == colour))
                marks[r2][c2] = mark, flood(r2, c2, colour, mark, marks);
        }
}

TEST_F(RulesTest, MarkGroupAgreesWithAFloodFillOnRandomBoards) {
    std::mt19937 rng(20240611);
    int bigGroups = 0;
    for (int trial = 0; trial < 1000; trial++) {
        const int rows = 1 + int(rng() % 16), colours = 1 + int(rng() % 4), density = 40 + int(rng() % 60);
        int32_t want[kBoardRows][kBoardColumns];
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c < kBoardColumns; c++) {  // under stale marks
                const bool filled = c <= RowLastColumn(r) && r < rows && int(rng() % 100) < density;
                board.cells[r][c] = BoardCell{filled ? 1 + int32_t(rng() % colours) : 0, int32_t(rng() % 3)};
                want[r][c] = filled ? Loose : Held;
            }
        const int row = int(rng() % unsigned(rows)), col = int(rng() % unsigned(RowLastColumn(row) + 1));
        if (board.cells[row][col].color == 0) board.cells[row][col].color = 1;
        // The group, then the held balls from every occupied non-group anchor (row 0, even rows' ends).
        want[row][col] = InGroup;
        flood(row, col, board.cells[row][col].color, InGroup, want);
        int count = 0;
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c <= RowLastColumn(r); c++) {
                count += want[r][c] == InGroup;
                if (want[r][c] == Loose && (r == 0 || (r % 2 == 0 && (c == 0 || c == 7))))
                    want[r][c] = Held, flood(r, c, 0, Held, want);
            }
        ASSERT_EQ(MarkGroup(col, row), count) << "trial " << trial;
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c <= RowLastColumn(r); c++)
                ASSERT_EQ(board.cells[r][c].mark, want[r][c]) << "trial " << trial << " r" << r << " c" << c;
        bigGroups += count >= 3;
    }
    EXPECT_GT(bigGroups, 100);
}

// The score stops at the top instead of wrapping negative, which no high-score table would take.
TEST_F(RulesTest, RemovedBallsScoreAndTheScoreStopsAtTheTop) {
    const int32_t cases[][5] = {{3, 0, 1, 0, 30},
                                {5, 3, 1, 0, 130},
                                {3, 10, 1, 0, 10270},
                                {3, 27, 0, 100, 1342177410},
                                {3, 28, 0, 0, kScoreMax},
                                {3, 32, 1, 0, kScoreMax},
                                {3, 1, 0, kScoreMax - 35, kScoreMax}};
    for (auto& k : cases) {  // popped, dropped, held, score before, after
        std::memset(&board, 0, sizeof board);
        for (int n = 0; n < k[0] + k[1] + k[2]; n++)
            Put(n % 7, n / 7, 1 + n % 8, n < k[0] ? InGroup : (n < k[0] + k[1] ? Loose : Held));
        game.score = k[3];
        const int cleared = RemoveMarked();
        EXPECT_EQ(V({cleared, game.score, CountBalls()}), V({k[2] == 0, k[4], k[2]})) << k[0] << "+" << k[1];
    }
}

TEST_F(RulesTest, CeilingComesDownEveryNthCountedShotAndBringsTheDeathLine) {
    for (int c = 0; c < 3; c++) Put(c, 0, c + 1);
    for (int32_t want : {55, 55, 63, 63, 71, 79}) {  // three colours: every third shot; then two; then none
        if (want == 71) Put(2, 0, 0);
        if (want == 79) std::memset(&board, 0, sizeof board);
        StepCeiling();
        EXPECT_EQ(V({game.ceiling, game.loseTimer}), V({want, 0}));
    }
    // Row 9 is safe at 63 and fatal at 71; row 8 first at 103.
    for (auto [row, from, fatal] : {std::tuple{9, 55, 71}, std::tuple{8, 87, 103}}) {
        std::memset(&board, 0, sizeof board), Put(3, row, 1);
        game.ceiling = from, game.loseTimer = 0;
        while (game.loseTimer == 0 && game.ceiling < 200) StepCeiling();
        EXPECT_EQ(V({game.ceiling, game.loseTimer}), V({fatal, kLoseTime}));
    }
}
