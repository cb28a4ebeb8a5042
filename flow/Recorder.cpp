// Recorder.cpp -- the game being recorded, and its files in the data folder.
#include "flow/Recorder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "flow/Controls.h"
#include "flow/ScoreTable.h"
#include "platform/Quit.h"
#include "player/DataDir.h"
#include "rules/Board.h"
#include "rules/GameState.h"

int32_t ReplayActive;
int32_t ReplayDrawing = 1;

static_assert(kReplayTableSize == sizeof ScoreTable, "a recording holds the whole table");

static constexpr const char* kReplayFolder = "replays/";
static constexpr int32_t kNameColumn = 17;  // where a table line's name starts
static constexpr int32_t kNameLength = 12;

static Replay recording;
static int32_t recordingOn;  // a game is being recorded
static int32_t gameOver;     // its last credit is gone: the name entry runs
static int32_t lastLevel;

uint32_t GameChecksum()
{
    // FNV-1a over the cells' colours and the state a replay must reach.
    uint32_t sum = 2166136261u;
    auto mix = [&sum](int32_t value) {
        for (int i = 0; i < 4; i++) {
            sum ^= uint32_t(value) >> (8 * i) & 0xFFu;
            sum *= 16777619u;
        }
    };
    for (int32_t row = 0; row < kBoardRows; row++)
        for (int32_t col = 0; col < kBoardColumns; col++)
            mix(board.cells[row][col].color);
    for (int32_t value : {game.score, game.levelIndex, game.credits, game.ceiling, game.aimAngle, game.currentColor,
                          game.nextColor, game.ballX, game.ballY, game.shotCounter})
        mix(value);
    return sum;
}

std::string RankReplayPath(int32_t rank)
{
    char name[32];
    std::snprintf(name, sizeof name, "%srank-%02d.kvr", kReplayFolder, int(rank + 1));
    return DataPath(name);
}

std::string LastReplayPath()
{
    return DataPath("replays/last.kvr");
}

int32_t CheckpointDue(uint32_t frames, int32_t level, int32_t previousLevel)
{
    return frames % kCheckpointFrames == 0 || level != previousLevel;
}

void RecorderStart()
{
    static bool registered = false;
    if (!registered) {
        // Esc ends through the exit hooks; a signal or a lost display
        // through the quit's savers.
        std::atexit(ReplayQuit);
        QuitAddSaver(ReplayQuit);
        registered = true;
    }
}

void RecorderBegin()
{
    if (ReplayActive != 0)
        return;
    recording = Replay{};
    std::snprintf(recording.gameVersion, sizeof recording.gameVersion, "%s", KELVANE_VERSION);
    RandomPosition(&recording.seed, &recording.draws);
    recording.date = static_cast<int64_t>(std::time(nullptr));
    recording.aimRepeat = aimRepeat;
    recording.stickRemainder = ControlsStickRemainder();
    recording.table.assign(&ScoreTable[0][0], sizeof ScoreTable);
    recording.frames.reserve(1 << 16);
    recordingOn = 1;
    gameOver = 0;
    lastLevel = -1;
}

void RecordFrame(const FrameInput& input)
{
    if (recordingOn != 0)
        recording.frames.push_back(input);
}

void RecordCheckpoint()
{
    if (recordingOn == 0 || gameOver != 0)
        return;
    const uint32_t frames = uint32_t(recording.frames.size());
    if (CheckpointDue(frames, game.levelIndex, lastLevel))
        recording.checkpoints.push_back({frames, game.score, game.levelIndex, GameChecksum()});
    lastLevel = game.levelIndex;
}

void RecorderGameOver()
{
    gameOver = recordingOn;
}

// The table's line as the recording names it.
static void nameLine(int32_t rank)
{
    recording.rank = rank;
    std::memset(recording.name, 0, sizeof recording.name);
    if (rank < 0)
        return;
    const char* name = ScoreTable[rank] + kNameColumn;
    int32_t length = 0;
    while (length < kNameLength && name[length] != '\0')
        length++;
    while (length > 0 && name[length - 1] == ' ')
        length--;
    std::memcpy(recording.name, name, size_t(length));
}

// The line's recordings below it move down one, the last one falls off, and
// this game's takes its place. Each names its line, so a shuffle cut short
// leaves at worst a stale copy that no line matches.
static void keepRanked(int32_t rank)
{
    std::remove(RankReplayPath(kScoreLines - 1).c_str());
    for (int32_t i = kScoreLines - 2; i >= rank; i--)
        std::rename(RankReplayPath(i).c_str(), RankReplayPath(i + 1).c_str());
    ReplaySave(RankReplayPath(rank), recording);
}

static void finish(int32_t rank)
{
    recordingOn = 0;
    gameOver = 0;
    recording.score = game.score;
    recording.level = game.levelIndex;
    recording.checksum = GameChecksum();
    nameLine(rank);
    if (!DataFolderReady() || !MakeFolders(DataPath(kReplayFolder)))
        return;
    if (rank >= 0)
        keepRanked(rank);
    ReplaySave(LastReplayPath(), recording);
    recording = Replay{};
}

void RecorderEnd()
{
    if (recordingOn != 0)
        finish(highlightRank < kScoreLines ? highlightRank : -1);
}

void ReplayQuit()
{
    if (recordingOn == 0)
        return;
    // Quitting in the name entry: the entry's own exit hook has already put
    // the name on its line and saved the table.
    finish(gameOver != 0 && highlightRank < kScoreLines ? highlightRank : -1);
}
