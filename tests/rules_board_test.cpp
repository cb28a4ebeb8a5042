// The levels as laid out on the board, the next ball's colour and the
// playfield geometry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules_support.h"

using BoardTest = RulesTest;

TEST_F(BoardTest, EveryLevelLaysOutItsShapeWithItsOwnColoursAndDraws) {
    for (int32_t level = 0; level < kLevelCount; level++) {
        const LevelRecord& rec = LevelTable[level];
        ASSERT_EQ(std::string(rec.layout).size(), 75u);
        for (uint32_t seed = 1; seed <= 40; seed++) {
            // A twin generator makes the draws the fill must make: four group
            // colours, then one per 'o' in reading order (8, 7, 8, ... a row).
            SeedRandom(seed);
            int32_t g[4], expected[kBoardRows][kBoardColumns] = {};
            for (int32_t& v : g) v = RandomRange(1, rec.colorCount);
            for (int i = 0; i < 75; i++) {
                const int row = 2 * (i / 15) + (i % 15 >= 8), col = i % 15 - (i % 15 >= 8 ? 8 : 0);
                const char ch = rec.layout[i];
                expected[row][col] = ch == 'o' ? RandomRange(1, rec.colorCount) : (ch >= '1' && ch <= '4' ? g[ch - '1'] : 0);
            }
            const uint32_t following = NextRandom();

            for (auto& row : board.cells)
                for (auto& cell : row) cell = BoardCell{5, Loose};  // leftovers to wipe
            SeedRandom(seed);
            game.levelIndex = level;
            FillLevel();
            for (int32_t r = 0; r < kBoardRows; r++)
                for (int32_t c = 0; c <= RowLastColumn(r); c++) {
                    ASSERT_EQ(board.cells[r][c].color, expected[r][c]) << "level " << level << " r" << r << " c" << c;
                    ASSERT_EQ(board.cells[r][c].mark, Held);
                    ASSERT_LE(board.cells[r][c].color, rec.colorCount);
                    ASSERT_TRUE(r < 10 || board.cells[r][c].color == 0);
                }
            ASSERT_EQ(NextRandom(), following) << "level " << level << ": the fill drew too many or too few";
        }
    }
    EXPECT_STREQ(LevelTable[7].layout, LevelTable[25].layout);
    EXPECT_STREQ(LevelTable[18].layout, LevelTable[20].layout);
}

TEST_F(BoardTest, PickColorFollowsTheColoursLeft) {
    SeedRandom(5);  // empty board: one plain draw over 1..8
    const int32_t plain = RandomRange(1, 8);
    const uint32_t after = NextRandom();
    SeedRandom(5);
    EXPECT_EQ(PickColor(), plain);
    EXPECT_EQ(NextRandom(), after);

    Put(0, 0, 1);
    Put(6, 5, 3);
    int count[9] = {};
    for (int i = 0; i < 4000; i++) count[PickColor()]++;
    EXPECT_EQ(count[1] + count[3], 4000);
    EXPECT_GT(count[1], 1800);
    EXPECT_GT(count[3], 1800);
    std::memset(&board, 0, sizeof board);
    Put(7, 14, 8);
    for (int i = 0; i < 100; i++) ASSERT_EQ(PickColor(), 8);
}

TEST_F(BoardTest, GeometryFollowsTheCeilingAndTheScreen) {
    int32_t l, t, w, h, x, y;
    GetFieldRect(&l, &t, &w, &h);
    EXPECT_EQ(std::vector<int32_t>({l, t, w, h}), std::vector<int32_t>({192, 55, 256, 425}));
    for (int32_t ceiling : {55, 63}) {
        game.ceiling = ceiling;
        const int32_t cells[3][4] = {{0, 0, 192, 55}, {6, 1, 400, 83}, {7, 14, 416, 447}};
        for (auto& k : cells) {
            GetCellRect(k[0], k[1], &x, &y, &w, &h);
            EXPECT_EQ(std::vector<int32_t>({x, y, w, h}), std::vector<int32_t>({k[2], k[3] + ceiling - 55, 32, 28}));
        }
        GetCannonPos(&x, &y);
        EXPECT_EQ(x, 228);
        EXPECT_EQ(y, 315);
        EXPECT_EQ(GetDeathLine(), 350);
    }
    ScreenImage.width = 800;  // nothing is cached
    GetCannonPos(&x, &y);
    EXPECT_EQ(x, 308);
    ScreenImage.width = 640;
}
