// Options.cpp -- the command line and its usage text.
#include "player/Options.h"

#include <getopt.h>

#include <cstring>
#include <string_view>

static const char kUsage[] = "Usage: kelvane [OPTION]...\n"
                             "An arcade puzzle game: fire coloured balls into the grid; three or more\n"
                             "of a colour that touch pop, and whatever hung from them drops.\n"
                             "\n"
                             "Options:\n"
                             "      --fullscreen  start in full screen (the default)\n"
                             "      --window      start in a window\n"
                             "      --mute        start with the sound muted\n"
                             "      --scale=fill  fill the screen, sharp, aspect kept (the default)\n"
                             "      --scale=whole scale by whole pixels only\n"
                             "      --marks       mark each ball colour with a shape of its own\n"
                             "      --replay FILE watch a recorded game (.kvr) in the window\n"
                             "      --check-replay FILE\n"
                             "                    replay a recorded game without a window, print its\n"
                             "                    score, level and frames; exit 1 if it does not play\n"
                             "                    out as recorded, 2 if the file is damaged\n"
                             "  -h, --help        show this help and exit\n"
                             "      --version     show the version and exit\n"
                             "      --            end of the options\n"
                             "The choices above hold for one run; changes made in play are kept in\n"
                             "$XDG_CONFIG_HOME/kelvane/settings (~/.config/kelvane/settings).\n"
                             "\n"
                             "Keys:\n"
                             "  Enter             start a game; confirm your name\n"
                             "  Left, Right       turn the cannon (hold to turn faster)\n"
                             "  Up, Down          swing the cannon upright, tilt it further away\n"
                             "  Space             fire\n"
                             "  P, Pause          pause and carry on\n"
                             "  M                 mute and unmute (a mark shows while muted)\n"
                             "  C                 colour marks on and off (also on the title screen)\n"
                             "  +, -              sound louder (and back on), softer (muted stays muted)\n"
                             "  F11, Alt+Enter    switch between full screen and a window\n"
                             "  F9                switch between sharp fill and whole pixels\n"
                             "  F10               save a screenshot (Saved-Screen-0.bmp)\n"
                             "  Esc               quit\n"
                             "  1..9, 0           on the title screen: watch the game behind that rank\n"
                             "Watching a recording: Space or P pauses, Right and Left change the speed,\n"
                             "F10 saves a screenshot, Esc ends. Every game is recorded in replays/ in\n"
                             "the game's data folder: last.kvr, and rank-01.kvr .. rank-10.kvr.\n"
                             "The keypad's arrows work as arrows while Num Lock is off.\n"
                             "Mouse: the cannon points at the pointer; the left button fires (on the\n"
                             "title screen it starts a game); the wheel turns a quarter degree a notch.\n"
                             "Game pad: the D-pad or left stick turns, the south button fires, Start\n"
                             "starts a game and pauses one.\n";

static const char kTryHelp[] = "Try 'kelvane --help' for more information.\n";

// What getopt_long would say, said on err under the program's own name.
static void complain(int code, const char* arg, std::FILE* err)
{
    if (code == 0 && std::strncmp(arg, "--", 2) == 0)
        std::fprintf(err, "kelvane: unrecognized option '%s'\n", arg);
    else if (code == 0 || std::strncmp(arg, "--", 2) != 0)
        std::fprintf(err, "kelvane: invalid option -- '%c'\n", code != 0 ? code : arg[1]);
    else if (std::strchr(arg, '=') != nullptr)
        std::fprintf(err, "kelvane: option '%.*s' doesn't allow an argument\n", int(std::strcspn(arg, "=")), arg);
    else
        std::fprintf(err, "kelvane: option '%s' requires an argument\n", arg);
}

int ParseOptions(int argc, char** argv, Options* options, std::FILE* out, std::FILE* err)
{
    enum { kFullscreen = 0x100, kWindow, kMute, kMarks, kScale, kReplay, kCheckReplay, kVersion };
    static const option kLong[] = {
        {"fullscreen", no_argument, nullptr, kFullscreen},
        {"window", no_argument, nullptr, kWindow},
        {"mute", no_argument, nullptr, kMute},
        {"marks", no_argument, nullptr, kMarks},
        {"scale", required_argument, nullptr, kScale},
        {"replay", required_argument, nullptr, kReplay},
        {"check-replay", required_argument, nullptr, kCheckReplay},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    // The messages are ours, on err; optind 0 starts getopt afresh.
    opterr = 0;
    optind = 0;
    for (;;) {
        const int code = getopt_long(argc, argv, "h", kLong, nullptr);
        if (code == -1)
            break;
        switch (code) {
        case 'h':
            std::fputs(kUsage, out);
            return 0;
        case kVersion:
            std::fputs("Kelvane " KELVANE_VERSION "\n", out);
            return 0;
        case kFullscreen:
            options->fullscreen = 1;
            break;
        case kWindow:
            options->fullscreen = 0;
            break;
        case kMute:
            options->muted = 1;
            break;
        case kMarks:
            options->marks = 1;
            break;
        case kScale: {
            const std::string_view word(optarg);
            if (word != "fill" && word != "whole") {
                std::fprintf(err, "kelvane: invalid argument '%s' for '--scale'\n", optarg);
                std::fputs(kTryHelp, err);
                return 2;
            }
            options->scale = word == "whole" ? kScaleWhole : kScaleFill;
            break;
        }
        case kReplay:
            options->replay = optarg;
            break;
        case kCheckReplay:
            options->checkReplay = optarg;
            break;
        default:
            complain(optopt, argv[optind - 1], err);
            std::fputs(kTryHelp, err);
            return 2;
        }
    }
    if (optind < argc) {
        std::fprintf(err, "kelvane: unexpected argument '%s'\n", argv[optind]);
        std::fputs(kTryHelp, err);
        return 2;
    }
    return -1;
}

void ApplyOptions(const Options& options, Settings* settings)
{
    if (options.fullscreen >= 0)
        settings->fullscreen = options.fullscreen;
    if (options.muted >= 0)
        settings->muted = options.muted;
    if (options.marks >= 0)
        settings->marks = options.marks;
    if (options.scale >= 0)
        settings->scale = options.scale;
}
