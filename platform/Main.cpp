// Main.cpp -- program entry: the options are read and the settings loaded,
// the program's folder becomes the working directory, the arguments are kept
// (the game itself ignores them), and the game runs. FreeArguments is the
// first exit hook, so it runs last, after the sound's and the platform's.
#include <unistd.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "flow/Game.h"
#include "flow/Playback.h"
#include "platform/Quit.h"
#include "player/DataDir.h"
#include "player/Options.h"
#include "player/Settings.h"

static constexpr size_t kModulePathSize = 1024;

// The program file's full path; argument 0 for the whole run.
static char modulePath[kModulePathSize];
// The command-line tail with every blank and tab made a NUL, and the vector
// of argument pointers (module path first, no terminating null entry).
static char* argumentCopy = nullptr;
static char** argumentVector = nullptr;

// GameMain ignores the argument vector (the options were read before it); it is still made for it and freed here.
void FreeArguments()
{
    std::free(argumentCopy);
    argumentCopy = nullptr;
    std::free(argumentVector);
    argumentVector = nullptr;
}

// The running program's path, from the kernel; failing that, the folder SDL
// finds for it and the name it was started by.
static void findModulePath(const char* argument0)
{
    const ssize_t length = readlink("/proc/self/exe", modulePath, kModulePathSize - 1);
    if (length > 0) {
        modulePath[length] = '\0';
        return;
    }
    modulePath[0] = '\0';
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return;
    }
    const char* slash = argument0 != nullptr ? std::strrchr(argument0, '/') : nullptr;
    const char* name = slash != nullptr ? slash + 1 : (argument0 != nullptr ? argument0 : "");
    std::snprintf(modulePath, kModulePathSize, "%s%s", base, name);
    SDL_free(base);
}

// The folder keeps its trailing separator; a path without one gives "", and
// a working directory that cannot be set is left as it was.
static void enterProgramFolder()
{
    char* cut = modulePath;
    for (char* p = modulePath; *p != '\0'; p++) {
        if (*p == '/' || *p == '\\') {
            cut = p + 1;
        }
    }
    const char saved = *cut;
    *cut = '\0';
    if (chdir(modulePath) != 0) {
        // Ignored: the files are then read and written where we are.
    }
    *cut = saved;
}

static bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Splits the tail into words at blanks and tabs, quotes meaning nothing.
// Returns the argument count (1 + the words); 0 when memory ran out.
static int splitArguments(const std::string& tail)
{
    argumentCopy = static_cast<char*>(std::malloc(tail.size() + 1));
    if (argumentCopy == nullptr) {
        return 0;
    }
    std::memcpy(argumentCopy, tail.c_str(), tail.size() + 1);

    int count = 1;
    bool inWord = false;
    for (char* p = argumentCopy; *p != '\0'; p++) {
        if (isBlank(*p)) {
            *p = '\0';
            inWord = false;
        } else if (!inWord) {
            count += 1;
            inWord = true;
        }
    }

    argumentVector = static_cast<char**>(std::malloc(sizeof(char*) * size_t(count)));
    if (argumentVector == nullptr) {
        return 0;
    }
    argumentVector[0] = modulePath;
    int next = 1;
    const char* end = argumentCopy + tail.size();
    for (char* p = argumentCopy; p < end; p++) {
        if (*p != '\0' && (p == argumentCopy || p[-1] == '\0')) {
            argumentVector[next] = p;
            next += 1;
        }
    }
    return count;
}

int main(int argc, char** argv)
{
    Options options;
    const int status = ParseOptions(argc, argv, &options, stdout, stderr);
    if (status >= 0)
        return status;
    QuitStart();
    if (options.checkReplay != nullptr)
        return ReplayCheckFile(options.checkReplay, stdout, stderr);
    // The folder changes below: a recording named relative to where we were
    // is looked for there.
    std::string replayPath;
    if (options.replay != nullptr) {
        char* full = realpath(options.replay, nullptr);
        replayPath = full != nullptr ? full : options.replay;
        std::free(full);
    }
    SettingsLoad();
    ApplyOptions(options, &GameSettings);
    SettingsStartRun();

    std::atexit(FreeArguments);
    findModulePath(argc > 0 ? argv[0] : nullptr);
    enterProgramFolder();
    DataDirStart(modulePath);  // an installed game keeps its files elsewhere
    if (options.replay != nullptr)
        return ReplayWatchFile(replayPath.c_str());

    // The shell has split the command line already; put its tail back
    // together so that it is split the game's own way.
    std::string tail;
    for (int i = 1; i < argc; i++) {
        if (i > 1) {
            tail += ' ';
        }
        tail += argv[i];
    }
    const int count = splitArguments(tail);
    if (count == 0) {
        return 1;
    }
    return GameMain(count, argumentVector);
}
