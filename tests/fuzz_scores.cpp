// Arbitrary bytes as the high-score file: loaded, a final score ranked into
// the table with a name typed into the entry, the table drawn and saved.
// Whatever the file held, every line keeps its NUL in byte 127, the new line
// reads exactly as the entry made it, the lines above it keep their text and
// the saved file is the table's 1280 bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "flow/Game.h"
#include "flow/GameImages.h"
#include "flow/Scene.h"
#include "flow/ScoreTable.h"
#include "gfx/Image.h"
#include "platform/Events.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

static constexpr size_t kMaxFile = 4000;
static constexpr size_t kTableBytes = size_t(kScoreLines) * kScoreLineSize;

// What the scripted name entry types, one character a poll, then Enter.
static std::string typing;
// The score file's folder, and the folder the fuzzer keeps its corpus
// relative to: each run works in the one and returns to the other.
static int scoresFolder = -1;
static int homeFolder = -1;
static size_t typed = 0;
static int polls = 0;

static void scriptedPoll(int32_t* keyCode, int32_t* character, int32_t* mouseX, int32_t* mouseY, int32_t* buttons)
{
    *keyCode = 0;
    *mouseX = -1;
    *mouseY = -1;
    *buttons = 0;
    polls += 1;
    *character = typed < typing.size() ? static_cast<unsigned char>(typing[typed++]) : CharEnter;
}

static int32_t scriptedTimer(int32_t mode)
{
    return mode == 0 ? 0 : 16667;
}

static char folderPath[64];

// The folder goes when the fuzzer ends.
static void removeFolder()
{
    if (scoresFolder >= 0) {
        unlinkat(scoresFolder, "Kelvane.scores", 0);
        unlinkat(scoresFolder, "Kelvane.scores.tmp", 0);
    }
    rmdir(folderPath);
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    (void)argc;
    (void)argv;
    // A folder of our own, in memory where there is one: the save syncs.
    char shm[] = "/dev/shm/kelvane-fuzz-scores-XXXXXX";
    char tmp[] = "/tmp/kelvane-fuzz-scores-XXXXXX";
    const char* folder = mkdtemp(shm);
    if (folder == nullptr)
        folder = mkdtemp(tmp);
    if (folder == nullptr)
        std::abort();
    scoresFolder = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    homeFolder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (scoresFolder < 0 || homeFolder < 0)
        std::abort();
    std::snprintf(folderPath, sizeof folderPath, "%s", folder);
    std::atexit(removeFolder);
    BuildSineTable();
    FontLoad();
    CreateGameImages();
    LoadGameImages();
    if (!ImageCreate(&ScreenImage, nullptr, 640, 480, 1))
        std::abort();
    GamePollEvents = scriptedPoll;
    GameFrameTimer = scriptedTimer;
    AppActive = 1;
    SeedRandom(1);
    NewGame();
    return 0;
}

static uint64_t hashOf(const uint8_t* data, size_t size)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < size; i++)
        h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

static int32_t scoreOf(const char* line)
{
    const long v = std::strtol(line + 6, nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : int32_t(v));
}

static void check(bool ok)
{
    if (!ok)
        std::abort();
}

static void runOne(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxFile)
        return 0;
    check(fchdir(scoresFolder) == 0);
    runOne(data, size);
    check(fchdir(homeFolder) == 0);
    return 0;
}

static void runOne(const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen("Kelvane.scores", "wb");
    check(f != nullptr);
    check(size == 0 || std::fwrite(data, 1, size, f) == size);
    std::fclose(f);

    LoadScores();
    char loaded[kScoreLines][kScoreLineSize];
    std::memcpy(loaded, ScoreTable, sizeof loaded);
    // The lines the file covers, NUL forced into byte 127; the rest empty.
    for (size_t i = 0; i < kTableBytes; i++) {
        const size_t column = i % kScoreLineSize;
        char want = column == kScoreLineSize - 1 ? '\0' : (i < size ? char(data[i]) : ' ');
        check((&loaded[0][0])[i] == want);
    }

    // The score and the name come from the bytes too: a tie with a line, one
    // above or below it, or any 32-bit value; up to 15 characters of any code.
    const uint64_t h = hashOf(data, size);
    const int32_t tie = scoreOf(loaded[(h >> 2) % kScoreLines]);
    int32_t score;
    switch (h % 4) {
    case 0: score = tie; break;
    case 1: score = tie == INT32_MAX ? tie : tie + 1; break;
    case 2: score = tie == INT32_MIN ? tie : tie - 1; break;
    default: score = int32_t(uint32_t(h >> 32)); break;
    }
    typing.clear();
    typed = 0;
    polls = 0;
    // Every typed character costs a drawn frame: mostly short names, now
    // and then one past the 12 that fit.
    size_t nameLength = (h >> 8) % 16;
    if ((h >> 12) % 8 != 0 && nameLength > 3)
        nameLength = 3;
    for (size_t i = 0; i < nameLength; i++)
        typing.push_back(char(h >> (16 + (i % 6) * 8) ^ (i * 37)));
    // Keep the typed printable characters as the entry would (Backspace
    // takes one back); the entry ends at Enter or Esc.
    std::string name;
    for (char c : typing) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u == CharEnter || u == CharEscape)
            break;
        if (u >= 32 && u <= 126 && name.size() < 12)
            name.push_back(c);
        else if (u == CharBackspace && !name.empty())
            name.pop_back();
    }

    int32_t rank = 0;
    while (rank < kScoreLines && score < scoreOf(loaded[rank]))
        rank++;

    InsertScore(score);
    check(highlightRank == rank);
    for (int i = 0; i < kScoreLines; i++)
        check(ScoreTable[i][kScoreLineSize - 1] == '\0');
    if (rank < kScoreLines) {
        char text[kScoreLineSize * 2];
        std::snprintf(text, sizeof text, "%-2i    %-9i  %s", rank + 1, score, name.empty() ? "Nobody" : name.c_str());
        std::string want(text);
        want.resize(kScoreLineSize - 1, ' ');
        want.push_back('\0');
        check(std::memcmp(ScoreTable[rank], want.data(), kScoreLineSize) == 0);
        for (int i = 0; i < kScoreLines; i++) {
            const char r0 = i == 9 ? '1' : char('1' + i);
            const char r1 = i == 9 ? '0' : ' ';
            check(ScoreTable[i][0] == r0 && ScoreTable[i][1] == r1);
            if (i < rank)
                check(std::memcmp(ScoreTable[i] + 2, loaded[i] + 2, kScoreLineSize - 2) == 0);
            if (i > rank && std::strlen(loaded[i - 1]) >= 2)
                check(std::strcmp(ScoreTable[i] + 2, loaded[i - 1] + 2) == 0);
        }
    } else {
        check(std::memcmp(ScoreTable, loaded, kTableBytes) == 0);
    }

    DrawScoreTable();
    SaveScores();
    struct stat st;
    check(stat("Kelvane.scores", &st) == 0 && size_t(st.st_size) == kTableBytes);
    f = std::fopen("Kelvane.scores", "rb");
    check(f != nullptr);
    char saved[kTableBytes];
    check(std::fread(saved, 1, kTableBytes, f) == kTableBytes);
    std::fclose(f);
    check(std::memcmp(saved, ScoreTable, kTableBytes) == 0);
}
