// The board's levels, the next ball's colour and the playfield geometry.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "rules_support.h"

namespace {

// Where layout character i lands: every two rows take 15 characters, 8 for
// the even row and 7 for the odd one.
void layoutCell(int i, int* row, int* col) {
    const int pair = i / 15, within = i % 15;
    *row = 2 * pair + (within >= 8 ? 1 : 0);
    *col = within >= 8 ? within - 8 : within;
}

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override { SetUpRulesWorld(); }
};

}  // namespace

TEST_F(BoardTest, EveryLevelLaysOutItsShapeWithItsOwnColours) {
    for (int32_t level = 0; level < kLevelCount; level++) {
        const LevelRecord& rec = LevelTable[level];
        ASSERT_EQ(std::string(rec.layout).size(), 75u) << level;
        ASSERT_GE(rec.colorCount, 3);
        ASSERT_LE(rec.colorCount, 8);
        for (uint32_t seed = 1; seed <= 40; seed++) {
            // A twin generator supplies the draws the fill must make: four
            // group colours, then one per 'o' in reading order.
            SeedRandom(seed);
            int32_t g[4];
            for (int32_t& v : g) v = RandomRange(1, rec.colorCount);
            Board expected{};
            for (int i = 0; i < 75; i++) {
                int r, c;
                layoutCell(i, &r, &c);
                const char ch = rec.layout[i];
                if (ch >= '1' && ch <= '4') expected.cells[r][c].color = g[ch - '1'];
                if (ch == 'o') expected.cells[r][c].color = RandomRange(1, rec.colorCount);
            }
            const uint32_t following = NextRandom();

            // Leftovers of a previous game must be wiped, marks included.
            for (auto& row : board.cells)
                for (auto& cell : row) cell = BoardCell{5, Loose};
            SeedRandom(seed);
            game.levelIndex = level;
            FillLevel();
            for (int32_t r = 0; r < kBoardRows; r++) {
                for (int32_t c = 0; c <= RowLastColumn(r); c++) {
                    const BoardCell& cell = board.cells[r][c];
                    ASSERT_EQ(cell.color, expected.cells[r][c].color) << "level " << level << " r" << r << " c" << c;
                    ASSERT_EQ(cell.mark, Held);
                    ASSERT_LE(cell.color, rec.colorCount);
                    if (r >= 10) {
                        ASSERT_EQ(cell.color, 0);
                    }
                }
            }
            // The fill consumed exactly the draws above, no more.
            ASSERT_EQ(NextRandom(), following) << "level " << level;
        }
    }
}

TEST_F(BoardTest, TellingLevels) {
    // Level 0: the first two rows use only the four group colours, from 1..4.
    for (uint32_t seed = 1; seed <= 200; seed++) {
        SeedRandom(seed);
        game.levelIndex = 0;
        FillLevel();
        std::set<int32_t> top;
        for (int32_t r = 0; r < 2; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++) top.insert(board.cells[r][c].color);
        ASSERT_LE(top.size(), 4u);
        ASSERT_GE(*top.begin(), 1);
        ASSERT_LE(*top.rbegin(), 4);
        EXPECT_EQ(board.cells[0][0].color, board.cells[1][1].color);  // both '1'
        EXPECT_EQ(board.cells[0][6].color, board.cells[0][7].color);  // "44"
        for (int32_t r = 4; r < kBoardRows; r++)
            for (int32_t c = 0; c <= RowLastColumn(r); c++) ASSERT_EQ(board.cells[r][c].color, 0);
    }
    // Levels 7, 15 and 25: exactly rows 0..3 full, with up to 5, 7 and 8 colours.
    for (int32_t level : {7, 15, 25}) {
        int32_t highest = 0;
        for (uint32_t seed = 1; seed <= 50; seed++) {
            SeedRandom(seed);
            game.levelIndex = level;
            FillLevel();
            EXPECT_EQ(CountBalls(), 30);
            for (int32_t r = 0; r < 4; r++)
                for (int32_t c = 0; c <= RowLastColumn(r); c++) {
                    ASSERT_NE(board.cells[r][c].color, 0);
                    highest = std::max(highest, board.cells[r][c].color);
                }
        }
        EXPECT_EQ(highest, LevelTable[level].colorCount);
    }
    EXPECT_STREQ(LevelTable[7].layout, LevelTable[15].layout);
    EXPECT_STREQ(LevelTable[7].layout, LevelTable[25].layout);
    EXPECT_STREQ(LevelTable[18].layout, LevelTable[20].layout);
    EXPECT_NE(LevelTable[18].colorCount, LevelTable[20].colorCount);
}

TEST_F(BoardTest, PickColorFollowsTheColoursLeft) {
    SeedRandom(99);
    // Empty board: one plain draw over 1..8.
    for (int i = 0; i < 500; i++) {
        const int32_t c = PickColor();
        ASSERT_GE(c, 1);
        ASSERT_LE(c, 8);
    }
    SeedRandom(5);
    const int32_t plain = RandomRange(1, 8);
    const uint32_t after = NextRandom();
    SeedRandom(5);
    EXPECT_EQ(PickColor(), plain);
    EXPECT_EQ(NextRandom(), after);

    // Blue and red only: each about half the time, whatever else was drawn.
    board.cells[0][0].color = 1;
    board.cells[5][6].color = 3;
    int blue = 0, red = 0;
    for (int i = 0; i < 4000; i++) {
        const int32_t c = PickColor();
        ASSERT_TRUE(c == 1 || c == 3) << c;
        (c == 1 ? blue : red)++;
    }
    EXPECT_GT(blue, 1800);
    EXPECT_GT(red, 1800);

    // One colour left: always that one, even above the level's colour count.
    std::memset(&board, 0, sizeof board);
    board.cells[14][7].color = 8;
    for (int i = 0; i < 200; i++) ASSERT_EQ(PickColor(), 8);
}

TEST_F(BoardTest, GeometryFollowsCeilingAndPictureSizes) {
    int32_t left, top, width, height, x, y, w, h;
    GetFieldRect(&left, &top, &width, &height);
    EXPECT_EQ(left, 192);
    EXPECT_EQ(top, 55);
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, 425);
    GetCellRect(0, 0, &x, &y, &w, &h);
    EXPECT_EQ(x, 192);
    EXPECT_EQ(y, 55);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 28);
    GetCellRect(6, 1, &x, &y, &w, &h);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 83);
    GetCellRect(7, 14, &x, &y, &w, &h);
    EXPECT_EQ(x, 416);
    EXPECT_EQ(y, 447);
    GetCannonPos(&x, &y);
    EXPECT_EQ(x, 228);
    EXPECT_EQ(y, 315);
    EXPECT_EQ(GetDeathLine(), 350);

    // One ceiling step: the cells move, the cannon and the death line stay.
    game.ceiling = 63;
    GetCellRect(6, 1, &x, &y, &w, &h);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 91);
    GetCellRect(7, 14, &x, &y, &w, &h);
    EXPECT_EQ(y, 455);
    GetCannonPos(&x, &y);
    EXPECT_EQ(x, 228);
    EXPECT_EQ(y, 315);
    EXPECT_EQ(GetDeathLine(), 350);

    // Nothing is cached: a wider screen moves the field at once.
    ScreenImage.width = 800;
    GetFieldRect(&left, &top, &width, &height);
    EXPECT_EQ(left, 272);
    GetCannonPos(&x, &y);
    EXPECT_EQ(x, 308);
    ScreenImage.width = 640;
}
