// The high-score table: its file, the ranking of a final score and the name
// entry, typed by a script.
#include "tests/flow_game_support.h"

namespace {

// A full table whose line i holds score 1000 - 100 i.
void FillTable()
{
    for (int i = 0; i < kScoreLines; i++) {
        char text[64];
        std::snprintf(text, sizeof text, "%-2d    %-9d  Player%d", i + 1, 1000 - 100 * i, i);
        std::memcpy(ScoreTable[i], PaddedLine(text).data(), kScoreLineSize);
    }
}

TEST_F(GameFlowTest, LoadScoresTakesWhatTheFileHoldsAndEndsEveryLine)
{
    std::memset(ScoreTable, 'x', sizeof ScoreTable);
    LoadScores();  // no file: ten empty lines
    for (int i = 0; i < kScoreLines; i++)
        EXPECT_EQ(Line(i), PaddedLine(""));

    // A short file fills what it covers, the last line in part; of a long
    // one only the first 1280 bytes count.
    WriteFile("Kelvane.scores", PaddedLine("1     300        Bea") + std::string(72, 'y'));
    LoadScores();
    EXPECT_EQ(Line(0), PaddedLine("1     300        Bea"));
    EXPECT_EQ(Line(1), PaddedLine(std::string(72, 'y')));
    EXPECT_EQ(Line(2), PaddedLine(""));
    WriteFile("Kelvane.scores", std::string(1152, ' ') + PaddedLine("10 77") + std::string(700, 'z'));
    LoadScores();
    EXPECT_EQ(Line(9), PaddedLine("10 77"));

    // Lines without their NUL get one in byte 127; a later insert copies
    // them safely. Loading changes no file.
    const std::string foreign(1280, 'A');
    WriteFile("Kelvane.scores", foreign);
    LoadScores();
    for (int i = 0; i < kScoreLines; i++)
        EXPECT_EQ(Line(i), std::string(127, 'A') + '\0');
    script.typing = "\r";
    InsertScore(5);  // 'A' reads as score 0
    EXPECT_EQ(highlightRank, 0);
    EXPECT_EQ(Line(1), "2 " + std::string(125, 'A') + '\0');
    EXPECT_EQ(ReadFile("Kelvane.scores"), foreign);
}

TEST_F(GameFlowTest, SavedFileOfTheAnnExampleIsExactlyTheTable)
{
    script.typing = "Ann\r";
    InsertScore(150);
    SaveScores();
    // Rank and a space, four spaces, 150 and six spaces, two spaces, Ann.
    std::string expected = PaddedLine("1 " "    " "150      " "  " "Ann");
    for (int i = 2; i <= 10; i++)
        expected += PaddedLine(std::to_string(i));
    EXPECT_EQ(ReadFile("Kelvane.scores"), expected);
    EXPECT_FALSE(std::filesystem::exists("Kelvane.scores.tmp"));
    std::memset(ScoreTable, 0, sizeof ScoreTable);
    LoadScores();
    EXPECT_EQ(Table(), expected);
}

TEST_F(GameFlowTest, NewScoresRankAboveEqualOnesAndLowOnesChangeNothing)
{
    // No file: even 0 takes line 0; the others get their rank numbers.
    script.typing = "Al\r";
    InsertScore(0);
    EXPECT_EQ(highlightRank, 0);
    EXPECT_EQ(Line(0), PaddedLine("1     0          Al"));
    EXPECT_EQ(Line(9), PaddedLine("10"));

    // Equal to line 3 (700): above it; the old line 9 is lost.
    FillTable();
    script.typing = "New\r";
    InsertScore(700);
    EXPECT_EQ(highlightRank, 3);
    EXPECT_EQ(Line(2), PaddedLine("3     800        Player2"));
    EXPECT_EQ(Line(3), PaddedLine("4     700        New"));
    EXPECT_EQ(Line(4), PaddedLine("5     700        Player3"));
    EXPECT_EQ(Line(9), PaddedLine("10    200        Player8"));

    // Below a full table: nothing changes and no name is asked for.
    FillTable();
    const std::string before = Table();
    script.typing = "Zz\r";
    InsertScore(99);
    EXPECT_EQ(highlightRank, kNoHighlight);
    EXPECT_EQ(Table(), before);
    EXPECT_EQ(script.typing, "Zz\r");

    // Ten digits run on past the score column and still rank.
    script.typing = "\r";
    InsertScore(2147483647);
    EXPECT_EQ(Line(0), PaddedLine("1     2147483647  Nobody"));
}

TEST_F(GameFlowTest, NameEntryEditsKeepsTwelveAndEndsOnEnterOrEsc)
{
    const struct { const char* keys; const char* name; } entries[] = {
        {"ABCDEFGHIJKLM\r", "ABCDEFGHIJKL"}, {"\b\bAB\bC\r", "AC          "},
        {"Bo\x1b" "b\r", "Bo          "},     {"\r", "Nobody      "},
        {"   \r", "            "},           {"\t\x7f\xe9q\r", "q           "}};
    for (auto [keys, name] : entries) {
        LoadScores();
        script.typing = keys;
        InsertScore(10);
        EXPECT_EQ(Line(0).substr(17, 12), name) << keys;
    }
    // Key codes are ignored: F10 takes no screenshot in the entry.
    LoadScores();
    script.events = {{KeyF10, 0, false}, {KeyLeft, 0, false}, {0, 'x', false}, {0, CharEnter, false}};
    InsertScore(10);
    EXPECT_EQ(Line(0).substr(17, 12), "x           ");
    EXPECT_FALSE(std::filesystem::exists("Saved-Screen-0.bmp"));
}

TEST_F(GameFlowTest, FailedSaveLeavesTheOldFileAndNoLeftovers)
{
    const std::string old = PaddedLine("1     42        Old") + std::string(1152, 'o');
    WriteFile("Kelvane.scores", old);
    FillTable();
    std::filesystem::create_directory("Kelvane.scores.tmp");  // cannot be made
    SaveScores();
    EXPECT_EQ(ReadFile("Kelvane.scores"), old);
    std::filesystem::remove("Kelvane.scores.tmp");

    // The rename fails: the new file is removed again.
    std::filesystem::remove("Kelvane.scores");
    std::filesystem::create_directories("Kelvane.scores/keep");
    SaveScores();
    EXPECT_TRUE(std::filesystem::is_directory("Kelvane.scores"));
    EXPECT_FALSE(std::filesystem::exists("Kelvane.scores.tmp"));
    std::filesystem::remove_all("Kelvane.scores");

    SaveScores();
    EXPECT_EQ(ReadFile("Kelvane.scores"), Table());
    EXPECT_FALSE(std::filesystem::exists("Kelvane.scores.tmp"));
}

// The lose effect ends the game; in the name entry the player types `name`
// and closes the window.
void GameOverFrame(const char* name)
{
    script.events = {{}};
    for (const char* p = name; *p != '\0'; p++)
        script.events.push_back({0, *p, false});
    script.events.push_back({0, 0, true});
    GameFrame();
}

TEST_F(GameFlowTest, WindowClosedDuringNameEntryKeepsTheNewScore)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    StartOnEmptyBoard();
    game.score = 640;
    game.credits = 0;
    game.loseTimer = 1;
    EXPECT_EXIT(GameOverFrame("Jo"), testing::ExitedWithCode(0), "");
    const std::string file = ReadFile("Kelvane.scores");
    ASSERT_EQ(file.size(), 1280u);
    EXPECT_EQ(file.substr(0, 128), PaddedLine("1     640        Jo"));
    std::filesystem::remove("Kelvane.scores");
    EXPECT_EXIT(GameOverFrame(""), testing::ExitedWithCode(0), "");  // as Enter would: "Nobody"
    EXPECT_EQ(ReadFile("Kelvane.scores").substr(0, 128), PaddedLine("1     640        Nobody"));
}

}  // namespace
