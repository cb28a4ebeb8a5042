// The settings file, the command line, and the window keys on SDL's dummy
// video driver (a 1024x768 desktop).
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
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

std::string Slurp(const std::string& path) { std::stringstream s; s << std::ifstream(path).rdbuf(); return s.str(); }
void Spill(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
std::string Fields(const Settings& s)
{
    return std::to_string(s.fullscreen) + " " + std::to_string(s.windowWidth) + "x" + std::to_string(s.windowHeight) +
           " " + std::to_string(s.volume) + " " + std::to_string(s.muted);
}

TEST(Settings, ParseKeepsGoodLinesAndOtherVersionsLinesAndFlagsTheFirstBadOne)
{
    const struct { std::string_view text; int bad; const char* fields; const char* kept; } cases[] = {
        {"fullscreen = no\nwindow_width=1280\n window_height = 960 \r\nvolume = 3\nMUTED = Yes"sv, 0, "0 1280x960 3 1", ""},
        {"# a note\n\ncolour = blue  \nvolume=0\n"sv, 0, "1 0x0 0 0", "colour = blue\n"},
        {"volume = 11\nfullscreen = off\nnonsense\nmuted = maybe\n"sv, 1, "0 0x0 10 0", ""},
        {"window_width = 63\nwindow_height = -5\nvolume = 0x3\nbad key = 1\n"sv, 1, "1 0x0 10 0", ""},
        {"x = 1\n\x01y = 2\nvolume = 4\0volume = 5\n"sv, 2, "1 0x0 10 0", "x = 1\n"},
    };
    for (const auto& c : cases) {
        Settings s;
        std::string kept;
        EXPECT_EQ(SettingsParse(c.text.data(), c.text.size(), &s, &kept), c.bad) << c.text;
        EXPECT_EQ(Fields(s), c.fields) << c.text;
        EXPECT_EQ(kept, c.kept);
        // What it writes reads back the same, with nothing out of place.
        Settings again;
        std::string keptAgain;
        const std::string written = SettingsFormat(s, kept);
        EXPECT_EQ(SettingsParse(written.data(), written.size(), &again, &keptAgain), 0);
        EXPECT_EQ(Fields(again) + keptAgain, Fields(s) + kept);
    }
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", folder.c_str(), 1), std::system(("rm -rf " + folder).c_str()); }
    void TearDown() override { std::system(("rm -rf " + folder).c_str()), unsetenv("XDG_CONFIG_HOME"); }
    std::string folder = ::testing::TempDir() + "kelvane-settings-test";
    std::string file = folder + "/kelvane/settings";
};

TEST_F(SettingsFile, CommandLineChoicesHoldForTheRunWhileChangesInPlayAreKept)
{
    SettingsLoad();  // no file: the defaults, and nothing written yet
    EXPECT_EQ(Fields(GameSettings), "1 0x0 10 0");
    EXPECT_NE(access(file.c_str(), F_OK), 0);
    SettingsChanged();
    EXPECT_NE(access(file.c_str(), F_OK), 0) << "nothing changed, nothing written";

    mkdir(folder.c_str(), 0700), mkdir((folder + "/kelvane").c_str(), 0700);
    Spill(file, "volume = 7\nfuture = 1\nfullscreen = yes\n");
    SettingsLoad();
    ApplyOptions(Options{0, 1}, &GameSettings);  // --window --mute
    SettingsStartRun();
    EXPECT_EQ(Fields(GameSettings), "0 0x0 7 1");
    GameSettings.volume = 4;
    SettingsChanged();
    Settings saved;
    std::string kept;
    EXPECT_EQ(SettingsParse(Slurp(file).data(), Slurp(file).size(), &saved, &kept), 0);
    EXPECT_EQ(Fields(saved) + kept, "1 0x0 4 0future = 1\n") << "the options are not written back";
    GameSettings.muted = 0, GameSettings.fullscreen = 1, GameSettings.windowWidth = 800, GameSettings.windowHeight = 600;
    SettingsChanged();
    SettingsLoad();
    EXPECT_EQ(Fields(GameSettings), "1 800x600 4 0");
}

TEST_F(SettingsFile, GarbledUnreadableAndUnwritableFilesGiveDefaultsAndOneLine)
{
    mkdir(folder.c_str(), 0700), mkdir((folder + "/kelvane").c_str(), 0700);
    Spill(file, std::string("volume = 2\n\xff\xfe\0\0 garbage"sv));
    ::testing::internal::CaptureStderr();
    SettingsLoad();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "kelvane: " + file + ": line 2 is not a setting: ignored\n");
    EXPECT_EQ(GameSettings.volume, 2);

    // A folder where the file should be cannot be read: defaults, and the
    // game does not try to save over it.
    std::remove(file.c_str()), mkdir(file.c_str(), 0700);
    ::testing::internal::CaptureStderr();
    SettingsLoad();
    GameSettings.volume = 1;
    SettingsChanged();
    EXPECT_EQ(::testing::internal::GetCapturedStderr().find("kelvane: cannot read " + file), 0u);
    EXPECT_EQ(Fields(GameSettings), "1 0x0 1 0");

    // A settings folder that cannot be made (a file is in the way; root may
    // write anywhere else): nothing saved, said once.
    std::system(("rm -rf " + folder).c_str()), Spill(folder, "");
    SettingsLoad();
    ::testing::internal::CaptureStderr();
    for (int volume : {3, 5})
        GameSettings.volume = volume, SettingsChanged();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "kelvane: cannot save the settings in " + file + " (Not a directory)\n");
}

TEST(SettingsOptions, HelpVersionAndMistakes)
{
    const struct { std::vector<const char*> args; int status, fullscreen, muted; const char* says; } cases[] = {
        {{"--window", "--mute"}, -1, 0, 1, ""},
        {{"--window", "--fullscreen"}, -1, 1, -1, ""},
        {{"--version", "--bogus"}, 0, -1, -1, "Kelvane " KELVANE_VERSION "\n"},
        {{"-h"}, 0, -1, -1, "Usage: kelvane [OPTION]...\n"},
        {{"--mute", "--full"}, 2, -1, 1, "kelvane: unrecognized option '--full'\nUsage: kelvane [OPTION]...\n"},
        {{"two", "words"}, 2, -1, -1, "kelvane: unexpected argument 'two'\nUsage: kelvane [OPTION]...\n"},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv{const_cast<char*>("kelvane")};
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        char* text = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&text, &size);
        FILE* err = c.status == 2 ? out : stderr;  // help and version go to standard output, mistakes not
        Options options;
        EXPECT_EQ(ParseOptions(int(argv.size()), argv.data(), &options, c.status == 2 ? stdout : out, err), c.status);
        std::fclose(out);
        const std::string said = text;
        std::free(text);
        EXPECT_EQ(said.substr(0, std::strlen(c.says)), c.says) << c.args[0];
        EXPECT_EQ(std::pair(options.fullscreen, options.muted), std::pair(c.fullscreen, c.muted)) << c.args[0];
        for (const char* word : {"--window", "--fullscreen", "--mute", "--version", "F11", "Alt+Enter", "Esc"})
            EXPECT_TRUE(c.args[0] != "-h"sv || said.find(word) != std::string::npos) << word;
    }
}

void Key(SDL_Keycode sym, bool down, Uint16 mod, int32_t* keyCode = nullptr, int32_t* character = nullptr)
{
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);  // the window's own reports are not for the game here
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym = {SDL_GetScancodeFromKey(sym), sym, mod, 0};
    SDL_PushEvent(&e);
    int32_t k, c, x, y, b;
    PollEvents(keyCode ? keyCode : &k, character ? character : &c, &x, &y, &b);
}

TEST(SettingsWindow, KeypadArrowsWindowKeysAndWholePixels)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    PlatformStart(640, 480);
    int32_t keyCode = 0, character = 0;
    // Num Lock off: the keypad's 4 is Left; on: its own key, no KeyCode.
    for (Uint16 lock : {KMOD_NONE, KMOD_NUM}) {
        Key(SDLK_KP_4, true, lock, &keyCode);
        EXPECT_EQ(keyCode, lock ? 0 : KeyLeft);
        EXPECT_EQ(KeyDown[lock ? 0x64 : VkLeft], 1);
        Key(SDLK_KP_4, false, lock ^ KMOD_NUM);  // Num Lock pressed meanwhile
        EXPECT_EQ(KeyDown[VkLeft] + KeyDown[0x64], 0);
    }
    // F11 and Alt+Enter switch and are no other key: no Enter is typed.
    auto fullscreen = [] { return (SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_FULLSCREEN) != 0; };
    int w = 0, h = 0;
    EXPECT_TRUE(fullscreen() && SDL_RenderGetIntegerScale(DisplayRenderer));
    Key(SDLK_F11, true, KMOD_NONE, &keyCode);
    SDL_GetWindowSize(MainWindow, &w, &h);
    EXPECT_EQ(std::tuple(fullscreen(), GameSettings.fullscreen, w, h, keyCode), std::tuple(false, 0, 640, 480, 0));
    EXPECT_EQ(KeyDown[0x7A], 0);
    // A window too small for the picture shrinks it instead of cutting it.
    for (int size : {320, 700, 639, 640}) {
        SDL_SetWindowSize(MainWindow, size, size * 3 / 4);
        SDL_PumpEvents();
        EXPECT_EQ(SDL_RenderGetIntegerScale(DisplayRenderer), size >= 640) << size;
    }
    Key(SDLK_RETURN, true, KMOD_LALT, &keyCode, &character);
    EXPECT_EQ(std::tuple(fullscreen(), GameSettings.fullscreen, character), std::tuple(true, 1, 0));
    PlatformShutdown();
}

}  // namespace
