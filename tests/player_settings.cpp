// Where the game keeps its files: the settings file, and the data folder of a
// copy in a folder of its own or of an installed game (the install scenario of
// tests/e2e_scenarios.bash plays one there).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "flow/ScoreTable.h"
#include "player/DataDir.h"
#include "player/Options.h"
#include "player/Settings.h"

namespace fs = std::filesystem;

namespace {

using namespace std::literals;
using ::testing::internal::CaptureStderr, ::testing::internal::GetCapturedStderr;

std::string Fields(const Settings& s, const std::string& kept = "") {
    char text[64];
    std::snprintf(text, sizeof text, "%d %dx%d %d %d", s.fullscreen, s.windowWidth, s.windowHeight, s.volume, s.muted);
    return text + std::string(s.scale == kScaleWhole ? " whole" : "") + kept;
}

// (That what is written reads back the same is for the fuzzer to show.)
TEST(Settings, ParseTakesGoodLinesAndKeepsOtherVersionsLines) {
    const struct {
        std::string_view text;
        int bad;
        const char* read;
    } cases[] = {
        {"fullscreen = no\nwindow_width=1280\n window_height = 960 \r\nvolume = 3\nMUTED = Yes"sv, 0, "0 1280x960 3 1"},
        {"# a note\n\ncolour = blue  \nvolume=0\nfullscreen = off\n"sv, 0, "0 0x0 0 0colour = blue\n"},
        {"volume = 11\nnonsense\nmuted = maybe\nwindow_width = 119\nvolume = 0x3\nbad key = 1\n"sv, 1, "1 0x0 10 0"},
        {"x = 1\n\x01y = 2\nvolume = 4\0volume = 5\n"sv, 2, "1 0x0 10 0x = 1\n"},
        {"scale = WHOLE\nscale = sharp\n"sv, 2, "1 0x0 10 0 whole"},
    };
    for (const auto& c : cases) {
        Settings s;
        std::string kept;
        EXPECT_EQ(SettingsParse(c.text.data(), c.text.size(), &s, &kept), c.bad) << c.text;
        EXPECT_EQ(Fields(s, kept), c.read);
    }
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", folder.c_str(), 1), std::system(("rm -rf " + folder).c_str()); }
    void TearDown() override { std::system(("rm -rf " + folder).c_str()), unsetenv("XDG_CONFIG_HOME"); }
    std::string Saved() {
        std::stringstream text;
        text << std::ifstream(file).rdbuf();
        Settings s;
        std::string kept;
        return SettingsParse(text.str().data(), text.str().size(), &s, &kept) == 0 ? Fields(s, kept) : "garbled";
    }
    // The settings folder made, and `text` as the file, or a folder for "/".
    void Spill(std::string_view text) {
        mkdir(folder.c_str(), 0700), mkdir((folder + "/kelvane").c_str(), 0700);
        text == "/" ? (void)mkdir(file.c_str(), 0700) : (void)(std::ofstream(file) << text);
    }
    // One folder per test: CTest runs the tests side by side.
    std::string folder = ::testing::TempDir() + "kelvane-settings-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                file = folder + "/kelvane/settings";
};

TEST_F(SettingsFile, CommandLineChoicesHoldForTheRunWhileChangesInPlayAreKept) {
    Spill("volume = 7\nfuture = 1\nfullscreen = yes\n");
    char* argv[] = {const_cast<char*>("kelvane"), const_cast<char*>("--window"), const_cast<char*>("--mute"),
                    const_cast<char*>("--scale"), const_cast<char*>("whole")};
    Options options;
    ASSERT_EQ(ParseOptions(5, argv, &options, stdout, stderr), -1);
    SettingsLoad();
    ApplyOptions(options, &GameSettings);
    SettingsStartRun();
    EXPECT_EQ(Fields(GameSettings), "0 0x0 7 1 whole");
    GameSettings.volume = 4;
    SettingsSave();
    EXPECT_EQ(Saved(), "1 0x0 4 0future = 1\n") << "the options are not written back";
    GameSettings.muted = 0, GameSettings.fullscreen = 1, GameSettings.windowWidth = 800,
    GameSettings.windowHeight = 600;
    SettingsSave();
    EXPECT_EQ(Saved(), "1 800x600 4 0future = 1\n");
}

TEST_F(SettingsFile, MissingGarbledUnreadableAndUnwritableFilesAndFoldersGiveDefaultsAndAtMostOneLine) {
    const struct {
        std::string_view file;
        const char* read;
        std::string said;
    } cases[] = {
        {"", "1 0x0 10 0", ""},
        {"volume = 2\n\xff\xfe\0\0 garbage"sv, "1 0x0 2 0",
         "kelvane: " + file + ": line 2 is not a setting: ignored\n"},
        {"/", "1 0x0 10 0", "kelvane: cannot read " + file + " (Is a directory): default settings, none saved\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        if (!c.file.empty()) Spill(c.file);
        CaptureStderr();
        SettingsLoad();
        EXPECT_EQ(Fields(GameSettings) + GetCapturedStderr(), c.read + c.said);
    }
    // A file in the way of the settings and the data folders (root may write
    // anywhere else): the settings and the table stay in memory, nothing is
    // written anywhere else, and one line each says where, once.
    std::system(("rm -rf " + folder + " && touch " + folder).c_str());
    setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    DataDirStart("/usr/games/kelvane");
    SettingsLoad();
    CaptureStderr();
    for (int volume : {3, 5}) GameSettings.volume = volume, SettingsSave(), SaveScores();
    EXPECT_EQ(GetCapturedStderr(), "kelvane: cannot save the settings in " + file + " (Not a directory)\n" +
                                       "kelvane: cannot save scores or screenshots in " + folder +
                                       "/data/kelvane/: Not a directory\n");
    EXPECT_FALSE(fs::exists("Kelvane.scores") || fs::exists("Kelvane.scores.tmp"));
    DataDirStart(nullptr), unsetenv("XDG_DATA_HOME");
}

void SetOrUnset(const char* name, const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
}

TEST(DataDir, ChosenFromTheExecutablesFolderAndTheEnvironment) {
    struct Case {
        const char *exe, *xdg, *home, *path;
    } cases[] = {
        {"/home/u/kelvane/build/kelvane", "/x", "/h", "Kelvane.scores"},
        {"kelvane", nullptr, nullptr, "Kelvane.scores"},
        {"/usr/games/kelvane", "/x/data", "/h", "/x/data/kelvane/Kelvane.scores"},
        {"/opt/k/bin/kelvane", "", "/h", "/h/.local/share/kelvane/Kelvane.scores"},     // empty is unset
        {"/usr/games/kelvane", "rel", "/h", "/h/.local/share/kelvane/Kelvane.scores"},  // relative too
        {"/usr/games/kelvane", nullptr, "", ""},                                        // nowhere to save
        {"/usr/games/kelvane", nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        SetOrUnset("XDG_DATA_HOME", c.xdg);
        SetOrUnset("HOME", c.home);
        DataDirStart(c.exe);
        EXPECT_EQ(DataPath("Kelvane.scores"), c.path) << c.exe << " " << (c.xdg ? c.xdg : "-");
    }
}

}  // namespace
