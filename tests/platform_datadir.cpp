// Where the game keeps its files: a copy in a folder of its own, an installed
// game in the player's data folder (tests/e2e_install.sh plays one there),
// and a data folder that cannot be made.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "flow/ScoreTable.h"
#include "platform/DataDir.h"

namespace fs = std::filesystem;

namespace {

void SetOrUnset(const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); }

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

// A data folder that cannot be made (a file in its way): the table stays in
// memory, nothing is written anywhere and one line says where, once.
TEST(DataDir, FolderThatCannotBeMadeSavesNothing)
{
    const fs::path root = fs::temp_directory_path() / ("kelvane-datadir-" + std::to_string(getpid())), oldCwd = fs::current_path();
    fs::remove_all(root), fs::create_directories(root / "cwd"), fs::current_path(root / "cwd");
    std::ofstream(root / "file") << "in the way";
    setenv("XDG_DATA_HOME", (root / "file/data").c_str(), 1);
    DataDirStart("/usr/games/kelvane");
    testing::internal::CaptureStderr();
    SaveScores(), SaveScores();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "kelvane: cannot save scores or screenshots in " + (root / "file/data/kelvane/").string() +
                  ": Not a directory\n");
    EXPECT_TRUE(fs::is_empty(root / "cwd"));
    DataDirStart(nullptr), fs::current_path(oldCwd), fs::remove_all(root);
}

}  // namespace
