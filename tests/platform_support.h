// platform_support.h -- helpers for the platform shell's tests: a started
// platform on SDL's dummy video driver, pushed input, a clock set by hand,
// and child processes for what ends the process.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Platform.h"
#include "platform/Timing.h"

// The results of one PollEvents.
struct Poll {
    int32_t keyCode, character, x, y, buttons;
};

inline Poll PollOnce()
{
    Poll p{-99, -99, -99, -99, -99};
    PollEvents(&p.keyCode, &p.character, &p.x, &p.y, &p.buttons);
    return p;
}

// A performance counter that moves only when a test says so.
struct ManualClock {
    static inline int64_t ticks = 1;
    static inline int64_t rate = 1000000;
    static void install()
    {
        ticks = 1;
        rate = 1000000;
        QueryCounter = [] { return ticks; };
        QueryFrequency = [] { return rate; };
    }
    static void advanceMs(int64_t ms) { ticks += ms * rate / 1000; }
};

inline void Push(SDL_Event e)
{
    e.window.windowID = SDL_GetWindowID(MainWindow);  // the same place in every window event
    SDL_PushEvent(&e);
}

inline void PushKey(SDL_Keycode sym, bool down, Uint16 mod = KMOD_NONE, Uint8 repeat = 0)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.repeat = repeat;
    e.key.keysym = {SDL_GetScancodeFromKey(sym), sym, mod, 0};
    Push(e);
}

inline void PushText(const char* text)
{
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, text, sizeof e.text.text);
    Push(e);
}

inline void PushButton(Uint8 button, bool down)
{
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    Push(e);
}

inline void PushWindowEvent(Uint8 event)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    Push(e);
}

inline void PushType(Uint32 type)
{
    SDL_Event e{};
    e.type = type;
    Push(e);
}

// A platform started on the dummy video driver with an empty event queue,
// shut down again afterwards so that tests can share a process.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        PlatformStart(640, 480);
    }
    void TearDown() override
    {
        QueryCounter = savedCounter;
        QueryFrequency = savedFrequency;
        PlatformShutdown();
    }
    int64_t (*savedCounter)() = QueryCounter;
    int64_t (*savedFrequency)() = QueryFrequency;
};

struct ChildResult {
    int exitStatus = -1;  // -1 if the child did not exit normally
    std::string output;   // its standard output and error
};

// Runs body in a forked child and reports how it ended; returning from body
// exits with 99.
inline ChildResult RunInChild(const std::function<void()>& body)
{
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0)
        return result;
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        body();
        fflush(nullptr);
        _exit(99);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    return result;
}
