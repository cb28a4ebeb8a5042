// The settings file, and the window keys on SDL's dummy video driver (a
// 1024x768 desktop).
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Options.h"
#include "platform/Platform.h"
#include "platform/Settings.h"

namespace {

using namespace std::literals;
using ::testing::internal::CaptureStderr, ::testing::internal::GetCapturedStderr;

std::string Fields(const Settings& s, const std::string& kept = "")
{
    char text[64];
    std::snprintf(text, sizeof text, "%d %dx%d %d %d", s.fullscreen, s.windowWidth, s.windowHeight, s.volume, s.muted);
    return text + kept;
}

// (That what is written reads back the same is for the fuzzer to show.)
TEST(Settings, ParseTakesGoodLinesAndKeepsOtherVersionsLines)
{
    const struct { std::string_view text; int bad; const char* read; } cases[] = {
        {"fullscreen = no\nwindow_width=1280\n window_height = 960 \r\nvolume = 3\nMUTED = Yes"sv, 0, "0 1280x960 3 1"},
        {"# a note\n\ncolour = blue  \nvolume=0\nfullscreen = off\n"sv, 0, "0 0x0 0 0colour = blue\n"},
        {"volume = 11\nnonsense\nmuted = maybe\nwindow_width = 119\nvolume = 0x3\nbad key = 1\n"sv, 1, "1 0x0 10 0"},
        {"x = 1\n\x01y = 2\nvolume = 4\0volume = 5\n"sv, 2, "1 0x0 10 0x = 1\n"},
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
    std::string Saved()
    {
        std::stringstream text;
        text << std::ifstream(file).rdbuf();
        Settings s;
        std::string kept;
        return SettingsParse(text.str().data(), text.str().size(), &s, &kept) == 0 ? Fields(s, kept) : "garbled";
    }
    void Spill(std::string_view text) { mkdir(folder.c_str(), 0700), mkdir((folder + "/kelvane").c_str(), 0700), std::ofstream(file) << text; }
    std::string folder = ::testing::TempDir() + "kelvane-settings-test";
    std::string file = folder + "/kelvane/settings";
};

TEST_F(SettingsFile, CommandLineChoicesHoldForTheRunWhileChangesInPlayAreKept)
{
    Spill("volume = 7\nfuture = 1\nfullscreen = yes\n");
    char* argv[] = {const_cast<char*>("kelvane"), const_cast<char*>("--window"), const_cast<char*>("--mute")};
    Options options;
    ASSERT_EQ(ParseOptions(3, argv, &options, stdout, stderr), -1);
    SettingsLoad();
    ApplyOptions(options, &GameSettings);
    SettingsStartRun();
    EXPECT_EQ(Fields(GameSettings), "0 0x0 7 1");
    GameSettings.volume = 4;
    SettingsChanged();
    EXPECT_EQ(Saved(), "1 0x0 4 0future = 1\n") << "the options are not written back";
    GameSettings.muted = 0, GameSettings.fullscreen = 1, GameSettings.windowWidth = 800, GameSettings.windowHeight = 600;
    SettingsChanged();
    EXPECT_EQ(Saved(), "1 800x600 4 0future = 1\n");
}

TEST_F(SettingsFile, MissingGarbledUnreadableAndUnwritableFilesGiveDefaultsAndAtMostOneLine)
{
    const struct { std::string_view file; const char* read; std::string said; } cases[] = {
        {"", "1 0x0 10 0", ""},
        {"volume = 2\n\xff\xfe\0\0 garbage"sv, "1 0x0 2 0", "kelvane: " + file + ": line 2 is not a setting: ignored\n"},
        {"folder", "1 0x0 10 0", "kelvane: cannot read " + file + " (Is a directory): default settings, none saved\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        if (c.file == "folder")
            mkdir(folder.c_str(), 0700), mkdir((folder + "/kelvane").c_str(), 0700), mkdir(file.c_str(), 0700);
        else if (!c.file.empty())
            Spill(c.file);
        CaptureStderr();
        SettingsLoad();
        EXPECT_EQ(Fields(GameSettings), c.read);
        EXPECT_EQ(GetCapturedStderr(), c.said);
    }
    // A settings folder that cannot be made (a file is in the way; root may
    // write anywhere else): nothing saved, said once.
    std::system(("rm -rf " + folder + " && touch " + folder).c_str());
    SettingsLoad();
    CaptureStderr();
    for (int volume : {3, 5})
        GameSettings.volume = volume, SettingsChanged();
    EXPECT_EQ(GetCapturedStderr(), "kelvane: cannot save the settings in " + file + " (Not a directory)\n");
}

void Key(SDL_Keycode sym, bool down, Uint16 mod, int32_t* keyCode, int32_t* character)
{
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);  // the window's own reports are not for the game here
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym = {SDL_GetScancodeFromKey(sym), sym, mod, 0};
    SDL_PushEvent(&e);
    int32_t x, y, buttons;
    PollEvents(keyCode, character, &x, &y, &buttons);
}

TEST(SettingsWindow, KeypadArrowsWindowKeysAndShrinkingWindows)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    PlatformStart(640, 480);
    int32_t keyCode = 0, character = 0;
    // Num Lock off: the keypad's 4 is Left; on: its own key, no KeyCode.
    for (Uint16 lock : {KMOD_NONE, KMOD_NUM}) {
        Key(SDLK_KP_4, true, lock, &keyCode, &character);
        EXPECT_EQ(std::pair(keyCode, KeyDown[lock ? 0x64 : VkLeft]), std::pair(lock ? 0 : KeyLeft, uint8_t{1}));
        Key(SDLK_KP_4, false, lock ^ KMOD_NUM, &keyCode, &character);  // Num Lock pressed meanwhile
        EXPECT_EQ(KeyDown[VkLeft] + KeyDown[0x64], 0);
    }
    // F11 makes a window, first at the largest whole multiple of the picture
    // (1x here); one too small for the picture shrinks it instead of cutting it.
    EXPECT_TRUE(SDL_RenderGetIntegerScale(DisplayRenderer));
    Key(SDLK_F11, true, KMOD_NONE, &keyCode, &character);
    EXPECT_EQ(std::tuple(SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_FULLSCREEN, GameSettings.fullscreen, KeyDown[0x7A]),
              std::tuple(0u, 0, uint8_t{0}));
    for (int size : {320, 700, 639, 640}) {
        SDL_SetWindowSize(MainWindow, size, size * 3 / 4);
        SDL_PumpEvents();
        EXPECT_EQ(SDL_RenderGetIntegerScale(DisplayRenderer), size >= 640) << size;
    }
    Key(SDLK_RETURN, true, KMOD_LALT, &keyCode, &character);
    EXPECT_EQ(std::pair(GameSettings.fullscreen, character), std::pair(1, 0)) << "Alt+Enter types no Enter";
    PlatformShutdown();
}

}  // namespace
