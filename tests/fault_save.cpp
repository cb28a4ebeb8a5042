// fault_save -- a test driver for the score file's saving under sudden death.
//
//   fault_save FOLDER   writes the two tables it alternates between as
//                       FOLDER/old.scores and FOLDER/new.scores, then saves
//                       them alternately as the score file until it is killed
//
// FOLDER/marker holds one byte, 1 while SaveScores runs and 0 outside it, and
// the count of finished saves as eight bytes after it, so that whoever kills
// the process can tell where the kill landed.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "flow/ScoreTable.h"

static constexpr size_t kTableBytes = sizeof ScoreTable;
static char tables[2][kTableBytes];

struct Marker {
    std::atomic<uint8_t> inSave;
    uint8_t pad[7];
    std::atomic<uint64_t> saves;
};

int main(int argc, char** argv) {
    const int fd = argc == 2 && chdir(argv[1]) == 0 ? open("marker", O_RDWR | O_CREAT | O_TRUNC, 0644) : -1;
    void* mapped = fd < 0 || ftruncate(fd, sizeof(Marker)) != 0
                       ? MAP_FAILED
                       : mmap(nullptr, sizeof(Marker), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) {
        std::fprintf(stderr, "usage: fault_save FOLDER\n");
        return 2;
    }
    // Lines as the game writes them: text padded with spaces, a NUL at 127.
    for (int t = 0; t < 2; t++) {
        for (int i = 0; i < kScoreLines; i++) {
            char* line = tables[t] + i * kScoreLineSize;
            std::snprintf(line, kScoreLineSize, "%-2d    %-9d  %-110s", i + 1, (t + 1) * 1000 - i * 10,
                          t ? "New" : "Old");
        }
        if (!std::ofstream(t ? "new.scores" : "old.scores", std::ios::binary).write(tables[t], kTableBytes)) return 2;
    }
    Marker* marker = static_cast<Marker*>(mapped);
    for (uint64_t i = 0;; i++) {
        std::memcpy(ScoreTable, tables[(i + 1) % 2], kTableBytes);
        marker->inSave.store(1);
        SaveScores();
        marker->inSave.store(0);
        marker->saves.store(i + 1);
    }
}
