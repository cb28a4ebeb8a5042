// Options.h -- the command line: the choices it makes for one run, --help
// and --version.
#pragma once

#include <cstdio>

#include "player/Settings.h"

// What the command line chose; -1 for what it left alone.
struct Options {
    int fullscreen = -1;
    int muted = -1;
    int scale = -1;                     // kScaleFill or kScaleWhole
    const char* replay = nullptr;       // --replay FILE: watch a recorded game
    const char* checkReplay = nullptr;  // --check-replay FILE: check one, no window
    int marks = -1;
};

// Reads argv[1..argc-1] with getopt_long, as GNU tools do ("--" ends the
// options, long ones may be abbreviated). Returns -1 when the game should
// run, with the choices in *options; otherwise the status to exit with: 0
// after --help (usage on out) or --version, 2 after an unknown option or a
// stray argument (one line naming it under the name "kelvane", then the
// line that points to --help, on err).
int ParseOptions(int argc, char** argv, Options* options, std::FILE* out, std::FILE* err);

// Puts the command line's choices over the settings for this run.
void ApplyOptions(const Options& options, Settings* settings);
