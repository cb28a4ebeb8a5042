// fault_save -- a test driver for the score file's saving under sudden death.
//
//   fault_save FOLDER tables   writes the two tables it alternates between as
//                              FOLDER/old.scores and FOLDER/new.scores
//   fault_save FOLDER check    1 if FOLDER/Kelvane.scores is neither, else 0
//   fault_save FOLDER loop     loads FOLDER/Kelvane.scores (it must be one of
//                              the two), then saves the tables alternately
//                              until it is killed
//
// Both tables are made the way the game makes them: final scores ranked into
// the table and names typed into the entry. In the loop FOLDER/marker holds
// one byte, 1 while SaveScores runs and 0 outside it, and the count of
// finished saves as eight bytes after it, so that whoever kills the process
// can tell where the kill landed.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "flow/Game.h"
#include "flow/GameImages.h"
#include "flow/ScoreTable.h"
#include "gfx/Image.h"
#include "platform/Events.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

static constexpr size_t kTableBytes = sizeof ScoreTable;

static std::string typing;

// The name entry's poll: the name, one character a poll, then Enter.
static void typeName(int32_t* keyCode, int32_t* character, int32_t* mouseX, int32_t* mouseY, int32_t* buttons)
{
    *keyCode = 0;
    *mouseX = -1;
    *mouseY = -1;
    *buttons = 0;
    if (typing.empty()) {
        *character = CharEnter;
        return;
    }
    *character = static_cast<unsigned char>(typing[0]);
    typing.erase(0, 1);
}

static void insert(int32_t score, const char* name)
{
    typing = name;
    InsertScore(score);
}

// The old table: nine games over an empty one. The new one: a tenth game
// that goes to the top and pushes every line down.
static void makeTables(char (*oldTable)[kScoreLineSize], char (*newTable)[kScoreLineSize])
{
    BuildSineTable();
    FontLoad();
    CreateGameImages();
    LoadGameImages();
    ImageCreate(&ScreenImage, nullptr, 640, 480, 1);
    GamePollEvents = typeName;
    AppActive = 1;
    SeedRandom(7);
    NewGame();

    for (int i = 0; i < kScoreLines; i++) {
        std::memset(ScoreTable[i], ' ', kScoreLineSize - 1);
        ScoreTable[i][kScoreLineSize - 1] = '\0';
    }
    const int32_t scores[] = {5120, 80, 2560, 640, 0, 99990, 1280, 320, 40960};
    const char* names[] = {"Ada", "Bo", "Cy", "Di", "", "Ed Long Name", "Fay", "Gus", "Hal"};
    for (int i = 0; i < 9; i++)
        insert(scores[i], names[i]);
    std::memcpy(oldTable, ScoreTable, kTableBytes);
    insert(123456, "Top");
    std::memcpy(newTable, ScoreTable, kTableBytes);
}

static bool readFile(const char* name, char* bytes, size_t size)
{
    std::FILE* f = std::fopen(name, "rb");
    if (f == nullptr)
        return false;
    const size_t got = std::fread(bytes, 1, size, f);
    const bool atEnd = std::fgetc(f) == EOF;
    std::fclose(f);
    return got == size && atEnd;
}

static bool writeFile(const char* name, const void* bytes, size_t size)
{
    std::FILE* f = std::fopen(name, "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(bytes, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// 1 unless the file holds exactly one of the two tables.
static int checkFile(const char (*oldTable)[kScoreLineSize], const char (*newTable)[kScoreLineSize])
{
    char bytes[kTableBytes];
    if (!readFile("Kelvane.scores", bytes, kTableBytes)) {
        std::fprintf(stderr, "fault_save: the score file is missing or not %zu bytes\n", kTableBytes);
        return 1;
    }
    if (std::memcmp(bytes, oldTable, kTableBytes) != 0 && std::memcmp(bytes, newTable, kTableBytes) != 0) {
        std::fprintf(stderr, "fault_save: the score file holds neither table\n");
        return 1;
    }
    return 0;
}

struct Marker {
    std::atomic<uint8_t> inSave;
    uint8_t pad[7];
    std::atomic<uint64_t> saves;
};

static int saveLoop(const char (*oldTable)[kScoreLineSize], const char (*newTable)[kScoreLineSize])
{
    const int fd = open("marker", O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, sizeof(Marker)) != 0)
        return 2;
    void* mapped = mmap(nullptr, sizeof(Marker), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED)
        return 2;
    Marker* marker = static_cast<Marker*>(mapped);

    // What the last run left must load as one of the tables.
    LoadScores();
    if (std::memcmp(ScoreTable, oldTable, kTableBytes) != 0 && std::memcmp(ScoreTable, newTable, kTableBytes) != 0) {
        std::fprintf(stderr, "fault_save: the table loaded is neither\n");
        return 1;
    }
    for (uint64_t i = 0;; i++) {
        std::memcpy(ScoreTable, (i % 2 == 0) ? newTable : oldTable, kTableBytes);
        marker->inSave.store(1);
        SaveScores();
        marker->inSave.store(0);
        marker->saves.store(i + 1);
    }
}

int main(int argc, char** argv)
{
    if (argc != 3 || chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: fault_save FOLDER tables|check|loop\n");
        return 2;
    }
    static char oldTable[kScoreLines][kScoreLineSize];
    static char newTable[kScoreLines][kScoreLineSize];
    makeTables(oldTable, newTable);
    const std::string mode = argv[2];
    if (mode == "tables") {
        return writeFile("old.scores", oldTable, kTableBytes) && writeFile("new.scores", newTable, kTableBytes) ? 0 : 2;
    }
    if (mode == "check") {
        return checkFile(oldTable, newTable);
    }
    if (mode == "loop") {
        return saveLoop(oldTable, newTable);
    }
    std::fprintf(stderr, "fault_save: unknown mode %s\n", mode.c_str());
    return 2;
}
