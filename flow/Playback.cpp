// Playback.cpp -- feeding a recording's frames back through the game, at
// the watcher's pace or as fast as it goes.
#include "flow/Playback.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "flow/Controls.h"
#include "flow/Game.h"
#include "flow/Recorder.h"
#include "flow/Scene.h"
#include "flow/ScoreTable.h"
#include "gfx/GameImages.h"
#include "gfx/Image.h"
#include "gfx/SineTable.h"
#include "gfx/Text.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Platform.h"
#include "platform/Timing.h"
#include "player/ReplayFile.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "sound/Sound.h"

static_assert(kReplayMaxElapsed == kMaxElapsed, "a recorded frame is a frame");

static constexpr int32_t kScreenWidth = 640;
static constexpr int32_t kScreenHeight = 480;
static constexpr int32_t kSpeedSteps = 4;  // 1x, 2x, 4x, 8x
static constexpr int32_t kOverlayRight = 636;
static constexpr int32_t kOverlayY = 4;
static constexpr int32_t kOverlayMargin = 2;
static constexpr uint32_t kOverlayBox = 0x000080;
static constexpr uint32_t kOverlayText = 0xFFFFFF;

namespace {

struct Playback {
    Replay replay;
    size_t next = 0;        // the next frame to play
    size_t checkpoint = 0;  // the next checkpoint to compare
    std::string divergence;
    int32_t watching = 0;  // in the window: the name entry polls the watcher too
    int32_t stop = 0;      // the watcher pressed Esc during the name entry
};

Playback* current;

void compareCheckpoints(Playback* p);

// Where the game stood when the recording began, then Enter's NewGame.
void begin(Playback* p)
{
    const Replay& r = p->replay;
    RandomSetPosition(r.seed, r.draws);
    aimRepeat = r.aimRepeat;
    ControlsSetStickRemainder(r.stickRemainder);
    std::memcpy(&ScoreTable[0][0], r.table.data(), sizeof ScoreTable);
    for (auto& line : ScoreTable)
        line[kScoreLineSize - 1] = '\0';  // as LoadScores makes every line
    GamePaused = 0;
    elapsed = 0;
    NewGame();
    game.playing = 1;
    ReplayActive = 1;
    current = p;
    compareCheckpoints(p);  // the first is the new game's
}

void compareCheckpoints(Playback* p)
{
    const std::vector<ReplayCheckpoint>& marks = p->replay.checkpoints;
    for (; p->checkpoint < marks.size() && marks[p->checkpoint].frame <= p->next; p->checkpoint++) {
        const ReplayCheckpoint& c = marks[p->checkpoint];
        if (!p->divergence.empty() ||
            (c.score == game.score && c.level == game.levelIndex && c.checksum == GameChecksum()))
            continue;
        p->divergence = "diverges at frame " + std::to_string(c.frame) + ": score " + std::to_string(game.score) +
                        ", level " + std::to_string(game.levelIndex + 1) + "; recorded score " +
                        std::to_string(c.score) + ", level " + std::to_string(c.level + 1);
    }
}

// The name entry's polls: the recording's frames; Enter once they run out
// (the recorded player quit in the entry) or the watcher pressed Esc.
void playbackPoll(FrameInput* input)
{
    Playback* p = current;
    if (p->watching != 0) {
        FrameInput live;
        PollInput(&live);
        if (live.character == CharEscape)
            p->stop = 1;
    }
    if (p->stop == 0 && p->next < p->replay.frames.size()) {
        *input = p->replay.frames[p->next++];
        return;
    }
    *input = FrameInput{};
    input->character = CharEnter;
}

// One recorded frame through the game.
void step(Playback* p)
{
    const FrameInput& input = p->replay.frames[p->next++];
    if (input.active == 0)
        return;
    void (*poll)(FrameInput*) = GamePollInput;
    GamePollInput = playbackPoll;
    GamePlayFrame(input);
    GamePollInput = poll;
    compareCheckpoints(p);
}

int32_t over(const Playback& p)
{
    return p.next >= p.replay.frames.size() || game.playing == 0 || p.stop != 0;
}

// What the end says about the game: "" when it went as recorded.
std::string verdict(const Playback& p)
{
    if (!p.divergence.empty())
        return p.divergence;
    const Replay& r = p.replay;
    if (p.next < r.frames.size())
        return "diverges at frame " + std::to_string(p.next) + ": the game ended, the recording goes on to frame " +
               std::to_string(r.frames.size());
    if (game.score != r.score || game.levelIndex != r.level || GameChecksum() != r.checksum)
        return "diverges at the end: score " + std::to_string(game.score) + ", level " +
               std::to_string(game.levelIndex + 1) + "; recorded score " + std::to_string(r.score) + ", level " +
               std::to_string(r.level + 1);
    return "";
}

void drawOverlay(int32_t speed, int32_t paused, int32_t ended)
{
    char text[48];
    std::snprintf(text, sizeof text, "Replay %dx%s", 1 << speed, ended ? " - end" : paused ? " - paused" : "");
    const int32_t width = kGlyphSize * static_cast<int32_t>(std::strlen(text));
    const int32_t x = kOverlayRight - width;
    ImageFillRect(&ScreenImage, x - kOverlayMargin, kOverlayY - kOverlayMargin, kOverlayRight + kOverlayMargin - 1,
                  kOverlayY + kGlyphSize + kOverlayMargin - 1, kOverlayBox);
    DrawFontText(&ScreenImage, text, x, kOverlayY, kOverlayText);
}

// The watcher's own keys while a recording plays. 1 when Esc ended it, or
// Enter after its end.
int32_t watch(Playback* p)
{
    int32_t speed = 0;
    int32_t paused = 0;
    int64_t budget = 0;  // microseconds of the recording due to be played
    p->watching = 1;
    for (;;) {
        FrameInput live;
        SoundReap();
        PollInput(&live);
        if (live.active == 0)
            continue;
        const int32_t ended = over(*p);
        FrameTimer(0);
        DrawScene();
        DrawControls();
        drawOverlay(speed, paused, ended);
        Present(&ScreenImage);
        const int64_t shown = FrameTimer(1);
        const int32_t c = live.character;
        if (c == CharEscape || p->stop != 0 || (ended && c == CharEnter))
            return c == CharEscape || p->stop != 0;
        if (live.keyCode == KeyF10)
            SaveScreenshot();
        if (c == 'm' || c == 'M' || c == '+' || c == '=' || c == '-' || c == 'c' || c == 'C') {
            FrameInput own;
            own.character = c;
            ControlsMachine(own);  // the watcher's volume and marks; no game runs here to pause
        }
        if (ended)
            continue;
        if (c == ' ' || c == 'p' || c == 'P' || live.keyCode == KeyPause) {
            paused = !paused;
            SoundPause(paused);
        }
        if (live.keyCode == KeyRight && speed < kSpeedSteps - 1)
            speed++;
        if (live.keyCode == KeyLeft && speed > 0)
            speed--;
        if (paused)
            continue;
        // A stalled frame plays no more than a stalled game would have.
        budget += (shown < kMaxElapsed ? (shown > 0 ? shown : 0) : kMaxElapsed) << speed;
        while (!over(*p) && budget >= p->replay.frames[p->next].elapsed) {
            budget -= p->replay.frames[p->next].elapsed;
            step(p);
        }
    }
}

// Everything a watched game changes, kept for the title screen's return.
struct Saved {
    GameState state;
    Board cells;
    uint32_t seed;
    uint64_t draws;
    int32_t repeat;
    int64_t remainder;
    char table[kScoreLines][kScoreLineSize];
    int32_t highlight;
    int32_t elapsedTime;
};

void save(Saved* s)
{
    s->state = game, s->cells = board, s->repeat = aimRepeat, s->remainder = ControlsStickRemainder();
    RandomPosition(&s->seed, &s->draws);
    std::memcpy(s->table, ScoreTable, sizeof ScoreTable);
    s->highlight = highlightRank, s->elapsedTime = elapsed;
}

void restore(const Saved& s)
{
    game = s.state, board = s.cells, aimRepeat = s.repeat, ControlsSetStickRemainder(s.remainder);
    RandomSetPosition(s.seed, s.draws);
    std::memcpy(ScoreTable, s.table, sizeof ScoreTable);
    highlightRank = s.highlight, elapsed = s.elapsedTime, GamePaused = 0;
    SoundPause(0);
}

// A table line's score and name, as its recording names them.
bool lineOf(int32_t rank, int32_t* score, std::string* name)
{
    const char* line = ScoreTable[rank];
    char* end = nullptr;
    const long value = std::strtol(line + 6, &end, 10);
    if (end == line + 6)
        return false;
    *score = static_cast<int32_t>(value);
    *name = std::string(line + 17, strnlen(line + 17, 12));
    name->erase(name->find_last_not_of(' ') + 1);
    return true;
}

// The recording whose header names this line: first the rank's own file,
// then the others (a shuffle cut short may have left it one place off).
bool findRanked(int32_t rank, Replay* replay)
{
    int32_t score = 0;
    std::string name;
    if (!lineOf(rank, &score, &name))
        return false;
    for (int32_t i = 0; i < kScoreLines; i++) {
        const std::string path = RankReplayPath(i == 0 ? rank : (i <= rank ? i - 1 : i));
        if (ReplayLoad(path, replay, true).empty() && replay->rank >= 0 && replay->score == score &&
            name == replay->name && ReplayLoad(path, replay).empty())
            return true;
    }
    return false;
}

}  // namespace

int ReplayCheck(const Replay& replay, std::FILE* out)
{
    Playback p;
    p.replay = replay;
    const int32_t drawing = ReplayDrawing;
    ReplayDrawing = 0;
    begin(&p);
    while (!over(p))
        step(&p);
    const std::string wrong = verdict(p);
    std::fprintf(out, "score %d, level %d, frames %zu\n", int(game.score), int(game.levelIndex + 1),
                 p.replay.frames.size());
    if (!wrong.empty())
        std::fprintf(out, "%s\n", wrong.c_str());
    ReplayActive = 0;
    ReplayDrawing = drawing;
    current = nullptr;
    return wrong.empty() ? 0 : 1;
}

int ReplayCheckFile(const char* path, std::FILE* out, std::FILE* err)
{
    Replay replay;
    const std::string problem = ReplayLoad(path, &replay);
    if (!problem.empty()) {
        std::fprintf(err, "kelvane: %s: %s\n", path, problem.c_str());
        return 2;
    }
    BuildSineTable();
    FontLoad();
    if (!ImageCreate(&ScreenImage, nullptr, kScreenWidth, kScreenHeight, 1)) {
        std::fprintf(err, "kelvane: out of memory\n");
        return 2;
    }
    CreateGameImages();
    LoadGameImages();
    return ReplayCheck(replay, out);
}

int ReplayWatchFile(const char* path)
{
    Playback p;
    const std::string problem = ReplayLoad(path, &p.replay);
    if (!problem.empty()) {
        std::fprintf(stderr, "kelvane: %s: %s\n", path, problem.c_str());
        return 2;
    }
    ScenePrepare();
    PlatformStart(kScreenWidth, kScreenHeight);
    ControlsStart();
    SoundStart();
    begin(&p);
    watch(&p);
    return 0;
}

int WatchRankKey(int32_t character)
{
    if (ReplayActive != 0 || character < '0' || character > '9')
        return 0;
    const int32_t rank = character == '0' ? kScoreLines - 1 : character - '1';
    Playback p;
    if (!findRanked(rank, &p.replay))
        return 0;
    Saved saved;
    save(&saved);
    begin(&p);
    watch(&p);
    ReplayActive = 0;
    current = nullptr;
    restore(saved);
    return 1;
}
