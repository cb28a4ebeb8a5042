// flow_game_support.h -- replays the game frame by frame: scripted events and
// frame times stand in for the event poll and the frame timer, the game
// images and a 640x480 screen are real, and every test runs in a folder of
// its own so that the score file and the screenshot start absent.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "flow/Game.h"
#include "flow/GameImages.h"
#include "flow/ScoreTable.h"
#include "gfx/Image.h"
#include "platform/Events.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

inline constexpr int32_t kFrameTime = 16667;  // one frame at 60 Hz, microseconds
inline constexpr int32_t kCharSpace = 32;

// One polled event. `quit` stands for a window-close request, which the real
// poll answers by ending the process with status 0 through the exit hooks.
struct ScriptedEvent {
    int32_t keyCode = 0;
    int32_t character = 0;
    bool quit = false;
};

struct FrameScript {
    std::deque<ScriptedEvent> events;  // one per poll; an empty poll after them
    std::deque<int32_t> frameTimes;    // one per frame-timer read; kFrameTime after them
    std::string typing;                // characters handed out once `events` ran dry
    int polls = 0;
    int timerReads = 0;
};

inline FrameScript script;

// A name entry that the script never ends would spin for ever: after this
// many polls the script presses Enter and the test fails.
inline constexpr int kPollLimit = 200000;

inline void ScriptedPoll(int32_t* keyCode, int32_t* character, int32_t* mouseX, int32_t* mouseY, int32_t* buttons)
{
    script.polls += 1;
    *keyCode = 0;
    *character = 0;
    *mouseX = -1;
    *mouseY = -1;
    *buttons = 0;
    if (!script.events.empty()) {
        const ScriptedEvent event = script.events.front();
        script.events.pop_front();
        if (event.quit) {
            std::exit(0);
        }
        *keyCode = event.keyCode;
        *character = event.character;
    } else if (!script.typing.empty()) {
        *character = static_cast<unsigned char>(script.typing.front());
        script.typing.erase(0, 1);
    } else if (script.polls > kPollLimit) {
        ADD_FAILURE() << "the script ran dry inside a modal loop";
        *character = CharEnter;
    }
}

inline int32_t ScriptedFrameTimer(int32_t mode)
{
    if (mode == 0) {
        return 0;
    }
    script.timerReads += 1;
    if (script.frameTimes.empty()) {
        return kFrameTime;
    }
    const int32_t t = script.frameTimes.front();
    script.frameTimes.pop_front();
    return t;
}

inline std::string ReadFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const char* name, const std::string& bytes)
{
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string Line(int i)
{
    return std::string(ScoreTable[i], kScoreLineSize);
}

// A whole line as the file holds it: text padded with spaces, NUL at 127.
inline std::string PaddedLine(const std::string& text)
{
    std::string line = text;
    line.resize(kScoreLineSize - 1, ' ');
    line.push_back('\0');
    return line;
}

class GameFlowTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BuildSineTable();
        FontLoad();
        if (ballImage.surface == nullptr) {
            CreateGameImages();
            LoadGameImages();
        }
        if (ScreenImage.surface == nullptr) {
            ImageCreate(&ScreenImage, nullptr, 640, 480, 1);
        }
    }

    void SetUp() override
    {
        home = std::filesystem::current_path();
        char pattern[] = "/tmp/kelvane-flow-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        std::filesystem::current_path(folder);

        script = FrameScript{};
        GamePollEvents = ScriptedPoll;
        GameFrameTimer = ScriptedFrameTimer;
        AppActive = 1;
        std::memset(KeyDown, 0, sizeof KeyDown);
        aimRepeat = 0;
        elapsed = 0;
        SeedRandom(20261206);
        LoadScores();
        highlightRank = kNoHighlight;
        NewGame();
    }

    void TearDown() override
    {
        std::filesystem::current_path(home);
        std::filesystem::remove_all(folder);
    }

    // One frame that polls `event` and measures `microseconds`.
    int Frame(ScriptedEvent event = {}, int32_t microseconds = kFrameTime)
    {
        script.events.push_back(event);
        script.frameTimes.clear();
        script.frameTimes.push_back(microseconds);
        return GameFrame();
    }
    int Press(int32_t character, int32_t microseconds = kFrameTime)
    {
        return Frame({0, character, false}, microseconds);
    }

    // Empties the board and starts a game on it.
    void StartOnEmptyBoard()
    {
        ASSERT_EQ(Press(CharEnter), 0);
        ASSERT_EQ(game.playing, 1);
        std::memset(&board, 0, sizeof board);
    }

    std::filesystem::path home;
    std::filesystem::path folder;
};
