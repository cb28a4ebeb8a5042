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
    // The settings folder made, and `text` as the file, or a folder for "/".
    void Spill(std::string_view text)
    {
        mkdir(folder.c_str(), 0700), mkdir((folder + "/kelvane").c_str(), 0700);
        text == "/" ? (void)mkdir(file.c_str(), 0700) : (void)(std::ofstream(file) << text);
    }
    std::string folder = ::testing::TempDir() + "kelvane-settings-test", file = folder + "/kelvane/settings";
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
        {"/", "1 0x0 10 0", "kelvane: cannot read " + file + " (Is a directory): default settings, none saved\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        if (!c.file.empty())
            Spill(c.file);
        CaptureStderr();
        SettingsLoad();
        EXPECT_EQ(Fields(GameSettings) + GetCapturedStderr(), c.read + c.said);
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

void Key(SDL_Keycode sym, bool down, Uint16 mod)
{
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);  // the window's own reports are not for the game here
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym = {SDL_GetScancodeFromKey(sym), sym, mod, 0};
    SDL_PushEvent(&e);
    int32_t keyCode, character, x, y, buttons;
    PollEvents(&keyCode, &character, &x, &y, &buttons);
}

// (F11, Alt+Enter and the keypad with Num Lock off are played end to end.)
TEST(SettingsWindow, KeypadKeysUnderNumLockAndShrinkingWindows)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    setenv("XDG_CONFIG_HOME", ::testing::TempDir().c_str(), 1);  // where F11's choice is kept
    PlatformStart(640, 480);
    // Num Lock on: the keypad's 4 is its own key; released, with Num Lock
    // pressed meanwhile, neither it nor Left stays held.
    for (Uint16 lock : {KMOD_NONE, KMOD_NUM}) {
        Key(SDLK_KP_4, true, lock);
        EXPECT_EQ(KeyDown[lock ? 0x64 : VkLeft], 1);
        Key(SDLK_KP_4, false, lock ^ KMOD_NUM);
        EXPECT_EQ(KeyDown[VkLeft] + KeyDown[0x64], 0);
    }
    // A window too small for the picture shrinks it instead of cutting it.
    Key(SDLK_F11, true, KMOD_NONE);
    for (int size : {320, 700, 639, 640}) {
        SDL_SetWindowSize(MainWindow, size, size * 3 / 4);
        SDL_PumpEvents();
        EXPECT_EQ(SDL_RenderGetIntegerScale(DisplayRenderer), size >= 640) << size;
    }
    PlatformShutdown();
    GameSettings = Settings{}, unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
