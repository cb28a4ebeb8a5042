// Settings.h -- the player's choices that are kept between runs: window or
// full screen, the window's size, the volume and the mute.
//
// GameSettings holds the choices in force for this run: the settings file's,
// then the command line's on top. Whoever changes a choice during play sets
// the field and calls SettingsChanged, which keeps it for the next run.
#pragma once

#include <cstdint>

// The volume runs in this many steps above silence.
inline constexpr int32_t kVolumeSteps = 10;

struct Settings {
    int32_t fullscreen = 1;    // 1 full screen, 0 a window
    int32_t windowWidth = 0;   // the window's size; 0 while never chosen
    int32_t windowHeight = 0;
    int32_t volume = kVolumeSteps;  // 0 (silence) .. kVolumeSteps
    int32_t muted = 0;
};

extern Settings GameSettings;

// Keeps GameSettings for the next run.
void SettingsChanged();
