// Arbitrary bytes as the high-score file: loaded, a final score ranked into
// the table with a name typed into the entry, the table drawn and saved.
// Whatever the file held, every line keeps its NUL in byte 127, the new line
// reads exactly as the entry made it, the lines above it keep their text, the
// ones below moved down keep theirs, and the saved file is the table's bytes.
#include <climits>
#include <cstdio>
#include <fstream>

#include "flow/Scene.h"
#include "tests/game_support.h"

static constexpr size_t kTableBytes = sizeof ScoreTable;
static std::string typing;  // typed one character a poll, then Enter
static std::filesystem::path folder, home;

static void check(bool ok) {
    if (!ok) std::abort();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A folder of our own, in memory where there is one: the save syncs.
    char shm[] = "/dev/shm/kelvane-fuzz-XXXXXX", tmp[] = "/tmp/kelvane-fuzz-XXXXXX";
    const char* made = mkdtemp(shm);
    folder = made ? made : mkdtemp(tmp);
    home = std::filesystem::current_path();  // the corpus folders are named from here
    std::atexit([] { std::filesystem::remove_all(folder); });
    check(LoadGamePictures());
    GamePollInput = [](FrameInput* input) {
        *input = FrameInput{};
        input->character = typing.empty() ? CharEnter : static_cast<unsigned char>(typing[0]);
        typing.erase(0, typing.empty() ? 0 : 1);
    };
    GameFrameTimer = [](int32_t mode) { return mode == 0 ? 0 : 16667; };
    AppActive = 1;
    return 0;
}

static int32_t scoreOf(const char* line) {
    const long v = std::strtol(line + 6, nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : int32_t(v));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4000) return 0;
    std::filesystem::current_path(folder);
    std::ofstream("Kelvane.scores", std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    LoadScores();
    // The lines the file covers, NUL forced into byte 127; the rest blank.
    char loaded[kScoreLines][kScoreLineSize];
    std::memcpy(loaded, ScoreTable, kTableBytes);
    for (size_t i = 0; i < kTableBytes; i++)
        check((&loaded[0][0])[i] == (i % kScoreLineSize == kScoreLineSize - 1 ? '\0' : i < size ? char(data[i]) : ' '));

    // The score ties with a line, is one above or below it, or any value; the
    // name typed is up to 15 printable characters, of which the entry keeps 12.
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < size; i++) h = (h ^ data[i]) * 1099511628211ull;
    const int32_t tie = scoreOf(loaded[(h >> 2) % kScoreLines]);
    const int32_t score = h % 4 == 0   ? tie
                          : h % 4 == 1 ? (tie == INT32_MAX ? tie : tie + 1)
                          : h % 4 == 2 ? (tie == INT32_MIN ? tie : tie - 1)
                                       : int32_t(uint32_t(h >> 32));
    typing.clear();
    for (size_t i = 0; i < (h >> 8) % 16; i++) typing.push_back(char(32 + (h >> (16 + (i % 6) * 8) ^ (i * 37)) % 95));
    const std::string name = typing.substr(0, 12);
    int32_t rank = 0;
    while (rank < kScoreLines && score < scoreOf(loaded[rank])) rank++;

    InsertScore(score);
    check(highlightRank == rank);
    if (rank == kScoreLines) check(std::memcmp(ScoreTable, loaded, kTableBytes) == 0);
    for (int i = 0; i < kScoreLines && rank < kScoreLines; i++) {
        char want[kScoreLineSize * 2];
        std::snprintf(want, sizeof want, "%-2i    %-9i  %-127s", i + 1, score, name.empty() ? "Nobody" : name.c_str());
        check(ScoreTable[i][kScoreLineSize - 1] == '\0' && ScoreTable[i][0] == (i == 9 ? '1' : '1' + i) &&
              ScoreTable[i][1] == (i == 9 ? '0' : ' '));
        check(i != rank || std::memcmp(ScoreTable[i], want, kScoreLineSize - 1) == 0);
        check(i >= rank || std::memcmp(ScoreTable[i] + 2, loaded[i] + 2, kScoreLineSize - 2) == 0);
        check(i <= rank || std::strlen(loaded[i - 1]) < 2 || std::strcmp(ScoreTable[i] + 2, loaded[i - 1] + 2) == 0);
    }
    DrawScoreTable();
    SaveScores();
    std::string saved(kTableBytes + 1, '\0');
    saved.resize(size_t(std::ifstream("Kelvane.scores", std::ios::binary).read(saved.data(), saved.size()).gcount()));
    check(saved == std::string(&ScoreTable[0][0], kTableBytes));
    std::filesystem::current_path(home);
    return 0;
}
