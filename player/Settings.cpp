// Settings.cpp -- the choices kept between runs: the settings file's text,
// where it lives, and its atomic replacement.
#include "player/Settings.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "player/DataDir.h"
#include "player/SmallFile.h"

Settings GameSettings;

// What the file holds (or would, had it been written): the file's values
// with every change made in play on top, and its lines for other versions.
static Settings stored;
static std::string keptLines;
// GameSettings as of the last look: a field that differs has been changed.
static Settings seen;
// Where the file was looked for at the start.
static std::string filePath;
// The text last read or written, so that an unchanged file is not rewritten.
static std::string onDisk;
// Only a run that loaded the file writes it (never a test of the shell), and
// not over a file it could not read.
static bool saving;
static bool warnedUnwritable;
static bool loaded;

// A settings file is small; anything longer is not one.
static constexpr size_t kMaxFileSize = 65536;
// Other versions' lines are kept up to this many bytes.
static constexpr size_t kMaxKept = 4096;
static constexpr int kMaxDigits = 6;

enum class Kind { YesNo, Volume, WindowSize, Scale };

struct Field {
    const char* key;
    int32_t Settings::*member;
    Kind kind;
};

static constexpr Field kFields[] = {
    {"fullscreen", &Settings::fullscreen, Kind::YesNo},
    {"window_width", &Settings::windowWidth, Kind::WindowSize},
    {"window_height", &Settings::windowHeight, Kind::WindowSize},
    {"volume", &Settings::volume, Kind::Volume},
    {"muted", &Settings::muted, Kind::YesNo},
    {"scale", &Settings::scale, Kind::Scale},
    {"marks", &Settings::marks, Kind::YesNo},
    {"maximised", &Settings::maximised, Kind::YesNo},
};

static const char* const kScaleWords[] = {"fill", "whole"};  // by kScaleFill, kScaleWhole

static std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

static bool sameWord(std::string_view a, const char* b)
{
    return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

// A value of the field's kind; -1 when it is none.
static int32_t valueOf(std::string_view text, Kind kind)
{
    if (kind == Kind::YesNo) {
        for (const char* yes : {"1", "yes", "true", "on"})
            if (sameWord(text, yes))
                return 1;
        for (const char* no : {"0", "no", "false", "off"})
            if (sameWord(text, no))
                return 0;
        return -1;
    }
    if (kind == Kind::Scale) {
        for (int32_t i = 0; i < 2; i++)
            if (sameWord(text, kScaleWords[i]))
                return i;
        return -1;
    }
    if (text.empty() || text.size() > kMaxDigits)
        return -1;
    int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    if (kind == Kind::Volume)
        return value <= kVolumeSteps ? value : -1;
    // 0 is "never chosen"
    return value == 0 || (value >= kSettingsMinWindow && value <= kSettingsMaxWindow) ? value : -1;
}

static bool isKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// What a field's value may be, for the message about one that is not.
static const char* allowedFor(Kind kind)
{
    switch (kind) {
    case Kind::YesNo:
        return "yes or no";
    case Kind::Volume:
        return "0 to 10";
    case Kind::Scale:
        return "fill or whole";
    default:
        return "120 to 16384 (0: never chosen)";
    }
}

// One line, without its newline. false when it makes no sense, with why in
// *why (without the line number) when a field's value is wrong.
static bool parseLine(std::string_view line, Settings* settings, std::string* kept, std::string* why)
{
    line = trim(line);
    if (line.empty() || line.front() == '#')
        return true;
    for (char c : line)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)
            return false;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    const std::string_view key = trim(line.substr(0, equals));
    const std::string_view value = trim(line.substr(equals + 1));
    if (key.empty())
        return false;
    for (char c : key)
        if (!isKeyCharacter(c))
            return false;
    for (const Field& field : kFields) {
        if (sameWord(key, field.key)) {
            const int32_t v = valueOf(value, field.kind);
            if (v < 0) {
                constexpr size_t kShown = 40;  // of a long value, the start will do
                *why = std::string(field.key) + " = " + std::string(value.substr(0, kShown)) +
                       (value.size() > kShown ? "..." : "") + ": " + field.key + " takes " + allowedFor(field.kind);
                return false;
            }
            settings->*field.member = v;
            return true;
        }
    }
    if (kept->size() + line.size() + 1 <= kMaxKept) {
        kept->append(line);
        kept->push_back('\n');
    }
    return true;
}

int SettingsParse(const char* bytes, size_t size, Settings* settings, std::string* kept,
                  std::vector<std::string>* problems)
{
    int firstBad = 0;
    int number = 1;
    std::string_view rest(bytes, size);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        std::string why;
        if (!parseLine(line, settings, kept, &why)) {
            if (firstBad == 0)
                firstBad = number;
            if (problems != nullptr)
                problems->push_back("line " + std::to_string(number) +
                                    (why.empty() ? " is not a setting" : ": " + why));
        }
        number++;
    }
    return firstBad;
}

std::string SettingsFormat(const Settings& settings, const std::string& kept)
{
    std::string text = "# Kelvane's settings, kept between runs. The game rewrites this file\n"
                       "# whenever one changes in play: edit it while the game is not running.\n";
    for (const Field& field : kFields) {
        const int32_t value = settings.*field.member;
        text += field.key;
        text += " = ";
        if (field.kind == Kind::YesNo)
            text += value != 0 ? "yes" : "no";
        else if (field.kind == Kind::Scale)
            text += kScaleWords[value == kScaleWhole];
        else
            text += std::to_string(value);
        text += '\n';
    }
    return text + kept;
}

std::string SettingsPath()
{
    const std::string folder = XdgFolder("XDG_CONFIG_HOME", ".config");
    return folder.empty() ? folder : folder + "settings";
}

// Each line that made no sense in a line of its own, the first few of them.
static void tellProblems(const std::string& path, const std::vector<std::string>& problems)
{
    constexpr size_t kToldLines = 10;
    for (size_t i = 0; i < problems.size() && i < kToldLines; i++)
        std::fprintf(stderr, "kelvane: %s: %s: ignored\n", path.c_str(), problems[i].c_str());
    if (problems.size() > kToldLines)
        std::fprintf(stderr, "kelvane: %s: and %zu more lines like those: ignored\n", path.c_str(),
                     problems.size() - kToldLines);
}

void SettingsLoad()
{
    GameSettings = Settings{};
    keptLines.clear();
    onDisk.clear();
    warnedUnwritable = false;
    filePath = SettingsPath();
    loaded = true;
    const std::string& path = filePath;
    saving = !path.empty();
    std::string text;
    // One byte past the largest size tells a file that is too long.
    const int error = path.empty() ? ENOENT : ReadSmallFile(path, kMaxFileSize + 1, &text);
    if (error == ENOENT || error == ENOTDIR) {
        // No file yet: the defaults, quietly.
    } else if (error != 0) {
        std::fprintf(stderr, "kelvane: cannot read %s (%s): default settings, none saved\n", path.c_str(),
                     SmallFileError(error));
        saving = false;
    } else if (text.size() > kMaxFileSize) {
        std::fprintf(stderr, "kelvane: %s is too large to be a settings file: default settings\n", path.c_str());
    } else {
        std::vector<std::string> problems;
        SettingsParse(text.data(), text.size(), &GameSettings, &keptLines, &problems);
        tellProblems(path, problems);
        onDisk = text;
    }
    stored = GameSettings;
    seen = GameSettings;
}

void SettingsStartRun()
{
    seen = GameSettings;
}

// The settings folder made if need be, then the file replaced in one step.
// 0 or errno.
static int replaceFile(const std::string& path, const std::string& text)
{
    if (!MakeFolders(path.substr(0, path.rfind('/') + 1)))
        return errno;
    return ReplaceFile(path, path + ".tmp", text.data(), text.size());
}

void SettingsSave()
{
    bool changed = false;
    for (const Field& field : kFields) {
        if (GameSettings.*field.member != seen.*field.member) {
            stored.*field.member = GameSettings.*field.member;
            changed = true;
        }
    }
    seen = GameSettings;
    if (changed && loaded && filePath.empty() && !warnedUnwritable) {
        std::fputs("kelvane: no folder for the settings (neither XDG_CONFIG_HOME nor HOME is set): "
                   "changes are not saved\n",
                   stderr);
        warnedUnwritable = true;
    }
    if (!changed || !saving)
        return;
    const std::string text = SettingsFormat(stored, keptLines);
    if (text == onDisk)
        return;
    const int error = replaceFile(filePath, text);
    if (error != 0) {
        if (!warnedUnwritable)
            std::fprintf(stderr, "kelvane: cannot save the settings in %s (%s)\n", filePath.c_str(),
                         std::strerror(error));
        warnedUnwritable = true;
        return;
    }
    onDisk = text;
}
