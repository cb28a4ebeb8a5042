// The high-score table: its file, the ranking of a final score and the name
// entry, with the entry typed by a script.
#include "tests/flow_game_support.h"

namespace {

std::string EmptyTableFile()
{
    std::string bytes;
    for (int i = 0; i < kScoreLines; i++) {
        bytes += PaddedLine("");
    }
    return bytes;
}

// A full table whose line i holds score 1000 - 100 i and a name.
void FillTable()
{
    for (int i = 0; i < kScoreLines; i++) {
        char text[64];
        std::snprintf(text, sizeof text, "%-2d    %-9d  Player%d", i + 1, 1000 - 100 * i, i);
        std::memcpy(ScoreTable[i], PaddedLine(text).data(), kScoreLineSize);
    }
}

// The name typed into a new first line of an empty table.
std::string EnterFirstName(const std::string& keys)
{
    LoadScores();
    script.typing = keys;
    InsertScore(10);
    return Line(0).substr(17, 12);
}

TEST_F(GameFlowTest, LoadScoresTakesWhatTheFileHoldsAndEndsEveryLine)
{
    // No file: ten empty lines.
    std::memset(ScoreTable, 'x', sizeof ScoreTable);
    LoadScores();
    for (int i = 0; i < kScoreLines; i++) {
        EXPECT_EQ(Line(i), PaddedLine(""));
    }

    // A short file fills what it covers, the last line in part.
    std::string shortFile = PaddedLine("1     300        Bea") + std::string(72, 'y');
    WriteFile("Kelvane.scores", shortFile);
    LoadScores();
    EXPECT_EQ(Line(0), PaddedLine("1     300        Bea"));
    EXPECT_EQ(Line(1), PaddedLine(std::string(72, 'y')));
    EXPECT_EQ(Line(2), PaddedLine(""));

    // A long file: only its first 1280 bytes count.
    std::string longFile = EmptyTableFile();
    longFile.replace(9 * 128, 6, "10 77 ");
    longFile += std::string(700, 'z');
    WriteFile("Kelvane.scores", longFile);
    LoadScores();
    EXPECT_EQ(Line(9), PaddedLine("10 77"));

    // Lines without their NUL get one in byte 127, so nothing reads past a
    // line; a later insert copies and draws them safely.
    const std::string foreign(1280, 'A');
    WriteFile("Kelvane.scores", foreign);
    LoadScores();
    for (int i = 0; i < kScoreLines; i++) {
        EXPECT_EQ(Line(i), std::string(127, 'A') + '\0');
    }
    script.typing = "\r";
    InsertScore(5);  // 'A' reads as score 0: the new score goes first
    EXPECT_EQ(highlightRank, 0);
    EXPECT_EQ(Line(1), "2 " + std::string(125, 'A') + '\0');

    // Loading changes no file.
    EXPECT_EQ(ReadFile("Kelvane.scores"), foreign);
}

TEST_F(GameFlowTest, SavedFileOfTheAnnExampleIsExactlyTheTable)
{
    script.typing = "Ann\r";
    InsertScore(150);
    SaveScores();

    // Rank and a space, four spaces, 150 and six spaces, two spaces, Ann.
    std::string expected = std::string("1 ") + "    " + "150      " + "  " + "Ann";
    expected.resize(127, ' ');
    expected += '\0';
    for (int i = 2; i <= 9; i++) {
        expected += PaddedLine(std::to_string(i));
    }
    expected += PaddedLine("10");
    EXPECT_EQ(ReadFile("Kelvane.scores"), expected);
    EXPECT_FALSE(std::filesystem::exists("Kelvane.scores.tmp"));

    // It loads back as it was.
    std::memset(ScoreTable, 0, sizeof ScoreTable);
    LoadScores();
    EXPECT_EQ(std::string(&ScoreTable[0][0], 1280), expected);
}

TEST_F(GameFlowTest, NewScoresRankAboveEqualOnesAndLowOnesChangeNothing)
{
    // First game, no file: even 0 takes line 0; the others get rank numbers.
    script.typing = "Al\r";
    InsertScore(0);
    EXPECT_EQ(highlightRank, 0);
    EXPECT_EQ(Line(0), PaddedLine("1     0          Al"));
    EXPECT_EQ(Line(5), PaddedLine("6"));
    EXPECT_EQ(Line(9), PaddedLine("10"));

    // Equal to line 3 (700): goes above it; the old line 9 is lost.
    FillTable();
    script.typing = "New\r";
    InsertScore(700);
    EXPECT_EQ(highlightRank, 3);
    EXPECT_EQ(Line(2), PaddedLine("3     800        Player2"));
    EXPECT_EQ(Line(3), PaddedLine("4     700        New"));
    EXPECT_EQ(Line(4), PaddedLine("5     700        Player3"));
    EXPECT_EQ(Line(9), PaddedLine("10    200        Player8"));

    // Below every line of a full table: nothing changes, no entry is asked
    // for, no line is white; the game over still writes the file.
    FillTable();
    const std::string before(&ScoreTable[0][0], 1280);
    script.typing = "Zz\r";
    InsertScore(99);
    EXPECT_EQ(highlightRank, kNoHighlight);
    EXPECT_EQ(std::string(&ScoreTable[0][0], 1280), before);
    EXPECT_EQ(script.typing, "Zz\r");
    SaveScores();
    EXPECT_EQ(ReadFile("Kelvane.scores"), before);

    // Ten digits run on past the score column and still rank.
    FillTable();
    script.typing = "\r";
    InsertScore(2147483647);
    EXPECT_EQ(Line(0), PaddedLine("1     2147483647  Nobody"));
}

TEST_F(GameFlowTest, NameEntryEditsKeepsTwelveAndEndsOnEnterOrEsc)
{
    EXPECT_EQ(EnterFirstName("ABCDEFGHIJKLM\r"), "ABCDEFGHIJKL");
    EXPECT_EQ(EnterFirstName("\b\bAB\bC\r"), "AC          ");
    EXPECT_EQ(EnterFirstName("Bo\x1b" "b\r"), "Bo          ");  // Esc keeps what was typed
    EXPECT_EQ(EnterFirstName("\r"), "Nobody      ");
    EXPECT_EQ(EnterFirstName("   \r"), "            ");  // spaces are a name
    EXPECT_EQ(EnterFirstName("A B\r"), "A B         ");
    // Characters outside 32..126 and key codes are ignored.
    EXPECT_EQ(EnterFirstName("\t\x7f\xe9q\r"), "q           ");
    LoadScores();
    script.events = {{KeyF10, 0, false}, {KeyLeft, 0, false}, {0, 'x', false}, {0, CharEnter, false}};
    InsertScore(10);
    EXPECT_EQ(Line(0).substr(17, 12), "x           ");
    EXPECT_FALSE(std::filesystem::exists("Saved-Screen-0.bmp"));
}

TEST_F(GameFlowTest, FailedSaveLeavesTheOldFileAndNoLeftovers)
{
    const std::string old = EmptyTableFile().replace(0, 20, "1     42        Old");
    WriteFile("Kelvane.scores", old);
    FillTable();

    // The new file cannot be made: the old one stays.
    std::filesystem::create_directory("Kelvane.scores.tmp");
    SaveScores();
    EXPECT_EQ(ReadFile("Kelvane.scores"), old);
    std::filesystem::remove("Kelvane.scores.tmp");

    // The rename fails (the name is taken by a folder): the new file is
    // removed again and nothing else appears.
    std::filesystem::remove("Kelvane.scores");
    std::filesystem::create_directories("Kelvane.scores/keep");
    SaveScores();
    EXPECT_TRUE(std::filesystem::is_directory("Kelvane.scores"));
    EXPECT_FALSE(std::filesystem::exists("Kelvane.scores.tmp"));
    std::filesystem::remove_all("Kelvane.scores");

    // And a save that works replaces the file whole.
    SaveScores();
    EXPECT_EQ(ReadFile("Kelvane.scores"), std::string(&ScoreTable[0][0], 1280));
    EXPECT_FALSE(std::filesystem::exists("Kelvane.scores.tmp"));
}

// A frame in which the lose effect ends the game; in the name entry that
// follows the player types `name` and then closes the window.
void GameOverFrame(const char* name)
{
    script.events = {{}};
    for (const char* p = name; *p != '\0'; p++) {
        script.events.push_back({0, *p, false});
    }
    script.events.push_back({0, 0, true});
    GameFrame();
}

TEST_F(GameFlowTest, WindowClosedDuringNameEntryKeepsTheNewScore)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    // The game ends with 640 points; the player types "Jo" and closes the
    // window. The process ends with status 0 and the file holds the entry.
    StartOnEmptyBoard();
    game.score = 640;
    game.credits = 0;
    game.loseTimer = 1;
    EXPECT_EXIT(GameOverFrame("Jo"), testing::ExitedWithCode(0), "");
    const std::string file = ReadFile("Kelvane.scores");
    ASSERT_EQ(file.size(), 1280u);
    EXPECT_EQ(file.substr(0, 128), PaddedLine("1     640        Jo"));

    // Closed before anything was typed: "Nobody", as Enter would give.
    std::filesystem::remove("Kelvane.scores");
    EXPECT_EXIT(GameOverFrame(""), testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile("Kelvane.scores").substr(0, 128), PaddedLine("1     640        Nobody"));
}

}  // namespace
