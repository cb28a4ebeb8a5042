// game_support.h -- what the tests that run whole frames share: the game's
// headers, its pictures on a screen of their own, and a folder to play in.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "flow/Controls.h"
#include "flow/Game.h"
#include "flow/ScoreTable.h"
#include "gfx/GameImages.h"
#include "gfx/Image.h"
#include "gfx/SineTable.h"
#include "gfx/Text.h"
#include "platform/Events.h"
#include "rules/Board.h"
#include "rules/GameState.h"

// The sine table, the font, the game's pictures and a 640 x 480 screen, once.
inline bool LoadGamePictures() {
    if (ScreenImage.surface != nullptr) return true;
    BuildSineTable();
    FontLoad();
    CreateGameImages();
    LoadGameImages();
    return ImageCreate(&ScreenImage, nullptr, 640, 480, 1) != 0;
}

// The state at the program's start, then its first two steps: the table
// read and a game set up (on the attract screen).
inline void StartGame(uint32_t seed) {
    std::memset(KeyDown, 0, sizeof KeyDown);
    AppActive = 1, aimRepeat = elapsed = GamePaused = 0, highlightRank = kNoHighlight;
    SeedRandom(seed);
    LoadScores();
    NewGame();
}

// A fresh folder made the working one (where games save their tables); the
// old one is back and the folder gone when this is.
struct ScratchFolder {
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::path path;
    ScratchFolder() {
        char pattern[] = "/tmp/kelvane-test-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        std::filesystem::current_path(path = pattern);
    }
    ~ScratchFolder() { std::filesystem::current_path(home), std::filesystem::remove_all(path); }
};
