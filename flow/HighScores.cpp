// HighScores.cpp -- the high-score table's file, the ranking of a final
// score and the name entry that fills in its line.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "flow/Controls.h"
#include "flow/Game.h"
#include "flow/Recorder.h"
#include "flow/Scene.h"
#include "flow/ScoreTable.h"
#include "gfx/Image.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Mouse.h"
#include "platform/Quit.h"
#include "player/DataDir.h"
#include "player/SmallFile.h"
#include "sound/Sound.h"

static constexpr const char* kScoreFile = "Kelvane.scores";
// The new table is written here first and renamed over the file only once
// it is wholly on the disk, so an interrupted save leaves the old table.
static constexpr const char* kScoreTempFile = "Kelvane.scores.tmp";

static constexpr int kLineText = kScoreLineSize - 1;  // characters before the NUL
static constexpr int kScoreColumn = 6;                // where a line's score starts

// Name entry: 12 characters at the name column of the new line.
static constexpr int32_t kNameLength = 12;
static constexpr int32_t kEntryX = 340;
static constexpr uint32_t kEntryTextColour = 0xFFFFFF;
static constexpr int32_t kBlinkPeriod = 500;  // milliseconds, the cursor lit for the first half

static constexpr int32_t kCharFirstPrintable = CharSpace;
static constexpr int32_t kCharLastPrintable = 126;

// The line that waits for its name while the entry runs (-1 when none), with
// its score and the name typed so far. File-wide so that the exit hook can
// finish the entry when the window is closed in the middle of it.
static int32_t entryRank = -1;
static int32_t entryScore = 0;
static char entryName[kScoreLineSize];

static void clearLine(char* line)
{
    std::memset(line, ' ', kLineText);
    line[kLineText] = '\0';
}

// Puts the formatted text at the start of the line and spaces after it.
static void setLine(char* line, const char* text)
{
    const size_t length = std::strlen(text);
    const size_t kept = length < size_t(kLineText) ? length : size_t(kLineText);
    clearLine(line);
    std::memcpy(line, text, kept);
}

// The score a line shows, read as atoi would from its score column (leading
// blanks, a sign, digits; 0 for an empty line), but without atoi's undefined
// result for numbers beyond 32 bits in a foreign file: those are clamped.
static int32_t lineScore(const char* line)
{
    const long value = std::strtol(line + kScoreColumn, nullptr, 10);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

void LoadScores()
{
    for (int i = 0; i < kScoreLines; i++) {
        clearLine(ScoreTable[i]);
    }
    // A pipe or a device of that name is refused (player/SmallFile.h): the
    // table then stays empty, as for a missing file. A read that fails part
    // way keeps what came before it.
    const std::string path = DataPath(kScoreFile);
    std::string bytes;
    if (!path.empty()) {
        ReadSmallFile(path, sizeof ScoreTable, &bytes);
    }
    // The lines the file covers, the last one perhaps in part. A foreign file
    // need not end its lines: the drawing and the string copies rely on a NUL
    // within every line.
    for (size_t i = 0; i < size_t(kScoreLines) && i * kScoreLineSize < bytes.size(); i++) {
        const size_t got = std::min(bytes.size() - i * kScoreLineSize, size_t(kScoreLineSize));
        std::memcpy(ScoreTable[i], bytes.data() + i * kScoreLineSize, got);
        ScoreTable[i][kLineText] = '\0';
    }
}

void SaveScores()
{
    // A game watched again has nothing to say about the table.
    if (ReplayActive == 0 && DataFolderReady()) {
        ReplaceFile(DataPath(kScoreFile), DataPath(kScoreTempFile), &ScoreTable[0][0], sizeof ScoreTable);
    }
}

static int32_t clockMilliseconds()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count() % kBlinkPeriod);
}

// One picture of the entry: the scene, the box with room for one character
// more than the name may have, the blinking cursor and the text over it.
static void drawEntry(const char* buffer, int32_t length, int32_t maxLength, int32_t x, int32_t y)
{
    DrawScene();
    ImageFillRect(&ScreenImage, x, y, x + 8 * maxLength + 7, y + 7, kBoxColour);
    const uint32_t cursor = clockMilliseconds() < kBlinkPeriod / 2 ? kEntryTextColour : kBoxColour;
    ImageFillRect(&ScreenImage, x + 8 * length, y, x + 8 * (length + 1) - 1, y + 7, cursor);
    DrawFontText(&ScreenImage, buffer, x, y, kEntryTextColour);
    Present(&ScreenImage);
}

void EnterName(char* buffer, int32_t maxLength, int32_t x, int32_t y)
{
    int32_t length = 0;
    buffer[0] = '\0';
    // The pointer is free while the player types (or clicks away), and a
    // click confirms nothing.
    MouseRelease();
    MouseClicksAreEnter(0);
    for (;;) {
        FrameInput input;
        do {
            SoundReap();
            GamePollInput(&input);
        } while (input.active == 0);
        RecordFrame(input);
        const int32_t character = input.character;

        if (ReplayDrawing != 0) {
            drawEntry(buffer, length, maxLength, x, y);
        }

        if (character == CharEnter || character == CharEscape) {
            return;
        }
        if (ControlsEditName(input.pad, buffer, &length, maxLength)) {
            return;
        }
        if (character >= kCharFirstPrintable && character <= kCharLastPrintable && length < maxLength) {
            buffer[length] = static_cast<char>(character);
            length += 1;
            buffer[length] = '\0';
        } else if (character == CharBackspace && length > 0) {
            length -= 1;
            buffer[length] = '\0';
        }
    }
}

// Writes the name into the waiting line ("Nobody" for an empty one).
static void finishEntry()
{
    if (entryName[0] == '\0') {
        std::strcpy(entryName, "Nobody");
    }
    char text[kScoreLineSize];
    std::snprintf(text, sizeof text, "%-2i    %-9i  %.*s", entryRank + 1, entryScore, int(kNameLength), entryName);
    setLine(ScoreTable[entryRank], text);
    entryRank = -1;
}

// A quit request during the entry (the window closed, a signal, the display
// lost) ends the process from inside the poll. This saver keeps the new
// score: it ends the entry as Enter would and saves.
static void saveEntryOnExit()
{
    if (entryRank >= 0 && ReplayActive == 0) {
        finishEntry();
        SaveScores();
    }
}

void InsertScore(int32_t score)
{
    int32_t rank = 0;
    while (rank < kScoreLines && score < lineScore(ScoreTable[rank])) {
        rank += 1;
    }
    highlightRank = rank;
    if (rank == kNoHighlight) {
        return;
    }

    // Lines rank..8 move down one; the old last line is lost.
    for (int i = kScoreLines - 1; i > rank; i--) {
        std::strcpy(ScoreTable[i], ScoreTable[i - 1]);
    }
    char text[kScoreLineSize];
    std::snprintf(text, sizeof text, "      %-9i", score);
    setLine(ScoreTable[rank], text);
    for (int i = 0; i < kScoreLines - 1; i++) {
        ScoreTable[i][0] = static_cast<char>('1' + i);
        ScoreTable[i][1] = ' ';
    }
    ScoreTable[kScoreLines - 1][0] = '1';
    ScoreTable[kScoreLines - 1][1] = '0';

    QuitAddSaver(saveEntryOnExit);
    entryRank = rank;
    entryScore = score;
    EnterName(entryName, kNameLength, kEntryX, kScoreTableY + 8 * (rank + 1));
    finishEntry();
}
