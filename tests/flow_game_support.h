// flow_game_support.h -- replays the game frame by frame: scripted events and
// frame times stand in for the event poll and the frame timer; the images and
// the screen are real; each test runs in a folder of its own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

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
#include "platform/Events.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

inline constexpr int32_t kFrameTime = 16667;  // 60 Hz, microseconds
inline constexpr int32_t kSpace = 32;

// One polled event; `quit` is a window-close request, which the real poll
// answers by ending the process through the exit hooks.
struct ScriptedEvent {
    int32_t keyCode = 0;
    int32_t character = 0;
    bool quit = false;
};

struct FrameScript {
    std::deque<ScriptedEvent> events;  // one per poll, then empty polls
    std::string typing;                // characters handed out once `events` ran dry
    int32_t frameTime = kFrameTime;
    int polls = 0;
    int timerReads = 0;
};
inline FrameScript script;

inline void ScriptedPoll(int32_t* keyCode, int32_t* character, int32_t* mouseX, int32_t* mouseY, int32_t* buttons)
{
    script.polls += 1;
    *keyCode = *character = *buttons = 0;
    *mouseX = *mouseY = -1;
    if (!script.events.empty()) {
        const ScriptedEvent event = script.events.front();
        script.events.pop_front();
        if (event.quit)
            std::exit(0);
        *keyCode = event.keyCode;
        *character = event.character;
    } else if (!script.typing.empty()) {
        *character = static_cast<unsigned char>(script.typing.front());
        script.typing.erase(0, 1);
    } else if (script.polls > 200000) {  // a name entry the script never ends
        ADD_FAILURE() << "the script ran dry inside a modal loop";
        *character = CharEnter;
    }
}

inline int32_t ScriptedFrameTimer(int32_t mode)
{
    script.timerReads += mode != 0;
    return mode == 0 ? 0 : script.frameTime;
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

inline std::string Line(int i) { return std::string(ScoreTable[i], kScoreLineSize); }
inline std::string Table() { return std::string(&ScoreTable[0][0], sizeof ScoreTable); }

// A line as the file holds it: text padded with spaces, NUL at 127.
inline std::string PaddedLine(std::string text)
{
    text.resize(kScoreLineSize - 1, ' ');
    return text + '\0';
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
        if (ScreenImage.surface == nullptr)
            ImageCreate(&ScreenImage, nullptr, 640, 480, 1);
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
    static int Frame(ScriptedEvent event = {}, int32_t microseconds = kFrameTime)
    {
        script.events.push_back(event);
        script.frameTime = microseconds;
        return GameFrame();
    }
    static int Press(int32_t character, int32_t microseconds = kFrameTime)
    {
        return Frame({0, character, false}, microseconds);
    }
    static void StartOnEmptyBoard()
    {
        ASSERT_EQ(Press(CharEnter), 0);
        ASSERT_EQ(game.playing, 1);
        std::memset(&board, 0, sizeof board);
    }

    std::filesystem::path home, folder;
};
