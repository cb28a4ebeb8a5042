// Options.cpp -- the command line and its usage text.
#include "player/Options.h"

#include <cstring>

static const char kUsage[] =
    "Usage: kelvane [OPTION]...\n"
    "An arcade puzzle game: fire coloured balls into the grid; three or more\n"
    "of a colour that touch pop, and whatever hung from them drops.\n"
    "\n"
    "Options:\n"
    "      --fullscreen  start in full screen (the default)\n"
    "      --window      start in a window\n"
    "      --mute        start with the sound muted\n"
    "      --marks       mark each ball colour with a shape of its own\n"
    "      --replay FILE watch a recorded game (.kvr) in the window\n"
    "      --check-replay FILE\n"
    "                    replay a recorded game without a window, print its\n"
    "                    score, level and frames; exit 1 if it does not play\n"
    "                    out as recorded, 2 if the file is damaged\n"
    "  -h, --help        show this help and exit\n"
    "      --version     show the version and exit\n"
    "The choices above hold for one run; changes made in play are kept in\n"
    "$XDG_CONFIG_HOME/kelvane/settings (~/.config/kelvane/settings).\n"
    "\n"
    "Keys:\n"
    "  Enter             start a game; confirm your name\n"
    "  Left, Right       turn the cannon (hold to turn faster)\n"
    "  Up, Down          swing the cannon upright, tilt it further away\n"
    "  Space             fire\n"
    "  P, Pause          pause and carry on\n"
    "  M                 mute and unmute\n"
    "  C                 colour marks on and off (also on the title screen)\n"
    "  +, -              sound louder, softer\n"
    "  F11, Alt+Enter    switch between full screen and a window\n"
    "  F10               save a screenshot (Saved-Screen-0.bmp)\n"
    "  Esc               quit\n"
    "  1..9, 0           on the title screen: watch the game behind that rank\n"
    "Watching a recording: Space or P pauses, Right and Left change the speed,\n"
    "F10 saves a screenshot, Esc ends. Every game is recorded in replays/ in\n"
    "the game's data folder: last.kvr, and rank-01.kvr .. rank-10.kvr.\n"
    "The keypad's arrows work as arrows while Num Lock is off.\n"
    "Mouse: the cannon points at the pointer; the left button fires.\n"
    "Game pad: the D-pad or left stick turns, the south button fires, Start\n"
    "starts a game and pauses one.\n";

// The file of "--name FILE" or "--name=FILE" (the next argument is taken);
// null when arg is another option or the file is missing.
static const char* fileOption(const char* arg, const char* name, int argc, char** argv, int* i)
{
    const size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0)
        return nullptr;
    if (arg[length] == '=' && arg[length + 1] != '\0')
        return arg + length + 1;
    if (arg[length] != '\0' || *i + 1 >= argc)
        return nullptr;
    *i += 1;
    return argv[*i];
}

int ParseOptions(int argc, char** argv, Options* options, std::FILE* out, std::FILE* err)
{
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(kUsage, out);
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0) {
            std::fputs("Kelvane " KELVANE_VERSION "\n", out);
            return 0;
        }
        if (std::strcmp(arg, "--fullscreen") == 0) {
            options->fullscreen = 1;
        } else if (std::strcmp(arg, "--window") == 0) {
            options->fullscreen = 0;
        } else if (std::strcmp(arg, "--mute") == 0) {
            options->muted = 1;
        } else if (const char* file = fileOption(arg, "--replay", argc, argv, &i)) {
            options->replay = file;
        } else if (const char* checked = fileOption(arg, "--check-replay", argc, argv, &i)) {
            options->checkReplay = checked;
        } else if (std::strcmp(arg, "--replay") == 0 || std::strcmp(arg, "--check-replay") == 0) {
            std::fprintf(err, "kelvane: option '%s' requires an argument\n", arg);
            std::fputs(kUsage, err);
            return 2;
        } else if (std::strcmp(arg, "--marks") == 0) {
            options->marks = 1;
        } else {
            if (arg[0] == '-')
                std::fprintf(err, "kelvane: unrecognized option '%s'\n", arg);
            else
                std::fprintf(err, "kelvane: unexpected argument '%s'\n", arg);
            std::fputs(kUsage, err);
            return 2;
        }
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
}
