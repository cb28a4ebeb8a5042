// Where the game keeps its files: a copy in a folder of its own, an installed
// game in the player's data folder, and a data folder that cannot be made.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "flow/ScoreTable.h"
#include "platform/DataDir.h"

namespace fs = std::filesystem;

namespace {

void SetOrUnset(const char* name, const char* value)
{
    value ? setenv(name, value, 1) : unsetenv(name);
}

TEST(DataDir, ChosenFromTheExecutablesFolderAndTheEnvironment)
{
    struct Case { const char *exe, *xdg, *home, *path; } cases[] = {
        {"/home/u/kelvane/build/kelvane", "/x", "/h", "Kelvane.scores"},
        {"kelvane", nullptr, nullptr, "Kelvane.scores"},
        {"/usr/games/kelvane", "/x/data", "/h", "/x/data/kelvane/Kelvane.scores"},
        {"/opt/k/bin/kelvane", "", "/h", "/h/.local/share/kelvane/Kelvane.scores"},    // empty is unset
        {"/usr/games/kelvane", "rel", "/h", "/h/.local/share/kelvane/Kelvane.scores"},  // relative too
        {"/usr/games/kelvane", nullptr, "", ""},                                         // nowhere to save
        {"/usr/games/kelvane", nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        SetOrUnset("XDG_DATA_HOME", c.xdg);
        SetOrUnset("HOME", c.home);
        DataDirStart(c.exe);
        EXPECT_EQ(DataPath("Kelvane.scores"), c.path) << c.exe << " " << (c.xdg ? c.xdg : "-");
    }
}

TEST(DataDir, InstalledGameSavesInTheDataFolderOrNowhere)
{
    const fs::path root = fs::temp_directory_path() / ("kelvane-datadir-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "cwd");
    const fs::path oldCwd = fs::current_path();
    fs::current_path(root / "cwd");

    setenv("XDG_DATA_HOME", (root / "a/b").c_str(), 1);
    DataDirStart("/usr/games/kelvane");
    std::memset(ScoreTable, 'x', sizeof ScoreTable);
    SaveScores();
    struct stat st{};
    ASSERT_EQ(stat((root / "a/b/kelvane/Kelvane.scores").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 1280);
    ASSERT_EQ(stat((root / "a/b/kelvane").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ScoreTable[3][5] = 'y';
    LoadScores();
    EXPECT_EQ(ScoreTable[3][5], 'x');

    // A data folder that cannot be made (a file in its way): the table is
    // kept in memory, nothing is written and one line says where.
    std::ofstream(root / "file") << "in the way";
    setenv("XDG_DATA_HOME", (root / "file/data").c_str(), 1);
    DataDirStart("/usr/games/kelvane");
    testing::internal::CaptureStderr();
    SaveScores();
    SaveScores();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "kelvane: cannot save scores or screenshots in " + (root / "file/data/kelvane/").string() +
                        ": Not a directory\n");
    EXPECT_TRUE(fs::is_empty(root / "cwd"));

    DataDirStart(nullptr);
    fs::current_path(oldCwd);
    fs::remove_all(root);
}

}  // namespace
