// Settings.h -- the player's choices that are kept between runs: window or
// full screen, the window's size, the volume, the mute, the colour marks and
// the scaling.
//
// GameSettings holds the choices in force for this run: the settings file's,
// then the command line's on top. Whoever changes a choice during play sets
// the field and calls SettingsSave, which keeps it for the next run.
//
// The file is $XDG_CONFIG_HOME/kelvane/settings (~/.config/kelvane/settings
// when the variable is unset or empty), lines of "key = value" a person can
// read and edit. A choice made on the command line holds for its run only:
// the file keeps its own value for that field until the player changes the
// field in play.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The volume runs in this many steps above silence.
inline constexpr int32_t kVolumeSteps = 10;

// How the picture fills the screen: sharp to the largest box of its shape,
// or by the largest whole factor.
inline constexpr int32_t kScaleFill = 0;
inline constexpr int32_t kScaleWhole = 1;

// The smallest and largest window sizes the file may name.
inline constexpr int32_t kSettingsMinWindow = 120;
inline constexpr int32_t kSettingsMaxWindow = 16384;

struct Settings {
    int32_t fullscreen = 1;   // 1 full screen, 0 a window
    int32_t windowWidth = 0;  // the window's size; 0 while never chosen
    int32_t windowHeight = 0;
    int32_t volume = kVolumeSteps;  // 0 (silence) .. kVolumeSteps
    int32_t muted = 0;
    int32_t scale = kScaleFill;
    int32_t marks = 0;      // 1 draws each ball colour's mark on its balls
    int32_t maximised = 0;  // 1: the window was maximised when last in one
};

extern Settings GameSettings;

// Keeps GameSettings for the next run: every field that changed since the
// start of the run (or the previous call) is written to the file, at once
// and atomically. A folder that cannot be written, or none at all (HOME
// unset), keeps nothing and says so once on standard error.
void SettingsSave();

// Reads the settings file into GameSettings. A missing file gives the
// defaults; an unreadable one the defaults and one line on standard error
// (and nothing is saved over it this run); lines that make no sense keep
// their fields' defaults, each with a line of its own on standard error
// (ten at most, then how many more).
void SettingsLoad();

// GameSettings as it stands now (the file's, then the command line's) is
// where the run starts: SettingsSave keeps only what changes after this.
void SettingsStartRun();

// The settings file's path; "" when no folder for it can be found.
std::string SettingsPath();

// Reads size bytes of settings text into *settings, field by field on top
// of what it holds. Well-formed "key = value" lines with keys it does not
// know are appended to *kept as they are, each ending in a newline.
// Returns the number of the first line that made no sense, 0 when none;
// each such line adds its own message to *problems when given ("line 3:
// volume = 11: volume takes 0 to 10", "line 4 is not a setting").
int SettingsParse(const char* bytes, size_t size, Settings* settings, std::string* kept,
                  std::vector<std::string>* problems = nullptr);

// The text of a settings file holding settings and then the kept lines.
std::string SettingsFormat(const Settings& settings, const std::string& kept);
