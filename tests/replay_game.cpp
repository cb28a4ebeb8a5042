// replay -- plays a recorded game back through GameFrame and checks that it
// ends exactly as it did when it was recorded.
//
//   replay FILE...                          replays each recording
//   replay --record FILE SEED short|clear   plays a game with an aiming bot
//                                           and writes what it polled
//
// A recording is plain text. "seed N" seeds the random numbers; then one
// line per poll, in the order the frame loop and the name entry polled:
//
//   p KEYCODE CHARACTER HELD ACTIVE ELAPSED [xCOUNT]
//
// HELD is the arrow keys held from this poll on (1 left, 2 up, 4 right,
// 8 down), ACTIVE is 0 while another window has the focus, ELAPSED is what
// the frame timer reads in the frame of this poll, and xCOUNT repeats the
// line. After the polls, "expect" lines give the end: the polls used, the
// score, level, credits, playing flag, highlighted rank, each board row
// ("row R" and its cells' colours, '-' for the odd rows' unused slot) and
// each score line ("line I" and its text up to the padding).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "flow/Game.h"
#include "flow/GameImages.h"
#include "flow/ScoreTable.h"
#include "gfx/Image.h"
#include "platform/Events.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/Shot.h"
#include "rules/SineTable.h"

namespace {

constexpr int32_t kHeldLeft = 1;
constexpr int32_t kHeldUp = 2;
constexpr int32_t kHeldRight = 4;
constexpr int32_t kHeldDown = 8;
constexpr int32_t kCharSpace = 32;

struct Poll {
    int32_t keyCode = 0;
    int32_t character = 0;
    int32_t held = 0;
    int32_t active = 1;
    int32_t elapsed = 16667;
};

struct Recording {
    uint32_t seed = 0;
    std::vector<Poll> polls;
    std::vector<std::string> expect;  // "key value..." lines
};

// ---------------------------------------------------------------------------
// The game, as RunGame starts it, in a folder of its own.

std::filesystem::path home;
std::filesystem::path folder;

// What the frame timer reads in the current frame.
int32_t pendingElapsed = 0;
int64_t pollsUsed = 0;
std::function<Poll()> nextPoll;

void applyPoll(const Poll& p, int32_t* keyCode, int32_t* character)
{
    KeyDown[VkLeft] = (p.held & kHeldLeft) != 0;
    KeyDown[VkUp] = (p.held & kHeldUp) != 0;
    KeyDown[VkRight] = (p.held & kHeldRight) != 0;
    KeyDown[VkDown] = (p.held & kHeldDown) != 0;
    AppActive = p.active;
    *keyCode = p.keyCode;
    *character = p.character;
    pendingElapsed = p.elapsed;
}

void scriptedPoll(int32_t* keyCode, int32_t* character, int32_t* mouseX, int32_t* mouseY, int32_t* buttons)
{
    *mouseX = -1;
    *mouseY = -1;
    *buttons = 0;
    pollsUsed += 1;
    applyPoll(nextPoll(), keyCode, character);
}

int32_t scriptedTimer(int32_t mode)
{
    return mode == 0 ? 0 : pendingElapsed;
}

void setUpOnce()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    BuildSineTable();
    FontLoad();
    CreateGameImages();
    LoadGameImages();
    if (!ImageCreate(&ScreenImage, nullptr, 640, 480, 1)) {
        std::fprintf(stderr, "replay: no screen image\n");
        std::exit(2);
    }
    GamePollEvents = scriptedPoll;
    GameFrameTimer = scriptedTimer;
    home = std::filesystem::current_path();
    char pattern[] = "/tmp/kelvane-replay-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("replay: mkdtemp");
        std::exit(2);
    }
    folder = pattern;
}

// The state at program start, then RunGame's first two steps.
void startGame(uint32_t seed)
{
    setUpOnce();
    std::filesystem::current_path(folder);
    std::filesystem::remove("Kelvane.scores");
    std::memset(KeyDown, 0, sizeof KeyDown);
    AppActive = 1;
    aimRepeat = 0;
    elapsed = 0;
    highlightRank = kNoHighlight;
    pollsUsed = 0;
    SeedRandom(seed);
    LoadScores();
    NewGame();
}

void finishGame()
{
    std::filesystem::current_path(home);
}

// The end of a game as "expect" lines.
std::vector<std::string> describeEnd()
{
    std::vector<std::string> out;
    out.push_back("polls " + std::to_string(pollsUsed));
    out.push_back("score " + std::to_string(game.score));
    out.push_back("level " + std::to_string(game.levelIndex));
    out.push_back("credits " + std::to_string(game.credits));
    out.push_back("playing " + std::to_string(game.playing));
    out.push_back("highlight " + std::to_string(highlightRank));
    for (int32_t r = 0; r < kBoardRows; r++) {
        std::string row = "row " + std::to_string(r) + " ";
        for (int32_t c = 0; c < kBoardColumns; c++)
            row += c > RowLastColumn(r) ? '-' : char('0' + board.cells[r][c].color);
        out.push_back(row);
    }
    for (int i = 0; i < kScoreLines; i++) {
        std::string text(ScoreTable[i]);
        text.erase(text.find_last_not_of(' ') + 1);
        out.push_back("line " + std::to_string(i) + " " + text);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Reading and writing recordings.

bool readRecording(const char* path, Recording* rec)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", path);
        return false;
    }
    std::string line;
    bool seeded = false;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        lineNumber++;
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "seed") {
            seeded = static_cast<bool>(words >> rec->seed);
        } else if (kind == "p") {
            Poll p;
            std::string repeat;
            if (!(words >> p.keyCode >> p.character >> p.held >> p.active >> p.elapsed)) {
                std::fprintf(stderr, "replay: %s:%d: a malformed poll\n", path, lineNumber);
                return false;
            }
            long count = 1;
            if (words >> repeat) {
                if (repeat.size() < 2 || repeat[0] != 'x' || (count = std::strtol(repeat.c_str() + 1, nullptr, 10)) < 1) {
                    std::fprintf(stderr, "replay: %s:%d: a malformed repeat\n", path, lineNumber);
                    return false;
                }
            }
            rec->polls.insert(rec->polls.end(), size_t(count), p);
        } else if (kind == "expect") {
            std::string rest;
            std::getline(words >> std::ws, rest);
            rec->expect.push_back(rest);
        } else {
            std::fprintf(stderr, "replay: %s:%d: unknown line '%s'\n", path, lineNumber, kind.c_str());
            return false;
        }
    }
    if (!seeded || rec->polls.empty() || rec->expect.empty()) {
        std::fprintf(stderr, "replay: %s: no seed, no polls or no expectations\n", path);
        return false;
    }
    return true;
}

bool samePoll(const Poll& a, const Poll& b)
{
    return a.keyCode == b.keyCode && a.character == b.character && a.held == b.held && a.active == b.active &&
           a.elapsed == b.elapsed;
}

bool writeRecording(const char* path, const Recording& rec, const std::string& about)
{
    std::ofstream out(path);
    out << "# " << about << "\n";
    out << "# p KEYCODE CHARACTER HELD(1 left 2 up 4 right 8 down) ACTIVE ELAPSED [xREPEAT]\n";
    out << "seed " << rec.seed << "\n";
    for (size_t i = 0; i < rec.polls.size();) {
        size_t j = i + 1;
        while (j < rec.polls.size() && samePoll(rec.polls[j], rec.polls[i]))
            j++;
        const Poll& p = rec.polls[i];
        out << "p " << p.keyCode << ' ' << p.character << ' ' << p.held << ' ' << p.active << ' ' << p.elapsed;
        if (j - i > 1)
            out << " x" << (j - i);
        out << "\n";
        i = j;
    }
    for (const std::string& e : rec.expect)
        out << "expect " << e << "\n";
    return static_cast<bool>(out);
}

// ---------------------------------------------------------------------------
// Replaying.

bool replay(const char* path)
{
    Recording rec;
    if (!readRecording(path, &rec))
        return false;
    size_t next = 0;
    bool ranDry = false;
    nextPoll = [&]() {
        if (next < rec.polls.size())
            return rec.polls[next++];
        // Only a name entry polls on after the recording: end it.
        ranDry = true;
        Poll enter;
        enter.character = CharEnter;
        return enter;
    };
    startGame(rec.seed);
    int frames = 0;
    while (next < rec.polls.size()) {
        frames++;
        if (GameFrame() != 0)
            break;
    }
    const std::vector<std::string> got = describeEnd();
    finishGame();

    bool ok = !ranDry;
    if (ranDry)
        std::fprintf(stderr, "replay: %s: the recording ended inside the name entry\n", path);
    if (next != rec.polls.size()) {
        std::fprintf(stderr, "replay: %s: the game quit after %zu of %zu polls\n", path, next, rec.polls.size());
        ok = false;
    }
    for (const std::string& want : rec.expect) {
        bool found = false;
        for (const std::string& g : got)
            found = found || g == want;
        if (!found) {
            // The line that says the same thing: the same first word, and
            // for a row or a score line the same number.
            const size_t words = want.rfind("row ", 0) == 0 || want.rfind("line ", 0) == 0 ? 2 : 1;
            size_t cut = 0;
            for (size_t w = 0; w < words && cut != std::string::npos; w++)
                cut = want.find(' ', cut == 0 ? 0 : cut + 1);
            const std::string key = want.substr(0, cut);
            std::string actual = "(nothing)";
            for (const std::string& g : got)
                if (g.substr(0, cut) == key)
                    actual = g;
            std::fprintf(stderr, "replay: %s: expected '%s', got '%s'\n", path, want.c_str(), actual.c_str());
            ok = false;
        }
    }
    std::printf("replay: %s: %zu polls, %d frames, score %d, level %d, credits %d: %s\n", path, rec.polls.size(),
                frames, game.score, game.levelIndex + 1, game.credits, ok ? "as recorded" : "DIFFERS");
    return ok;
}

// ---------------------------------------------------------------------------
// The recording bot. It aims by trying every angle of the cannon's arc on a
// copy of the flight (straight lines, wall bounces, the same contact test),
// scores where the ball would stop, turns the cannon there with the arrow
// keys as a player would and fires. Its own random numbers (never the
// game's) vary the frame times and now and then take the focus away.

int32_t signedAngle(int32_t a)
{
    return a > 719 ? a - kAngleFull : a;
}

// Where a ball fired at `angle` from the cannon comes to rest: its cell, or
// false when the flight goes on for implausibly long.
bool landingCell(int32_t angle, int32_t* rowOut, int32_t* colOut)
{
    const GameState saved = game;
    int32_t left, top, width, height;
    GetFieldRect(&left, &top, &width, &height);
    int32_t a = (angle + kAngleFull) % kAngleFull;
    constexpr int32_t per = 1280;
    bool landed = false;
    for (int step = 0; step < 4000 && !landed; step++) {
        const int32_t dx = (SineTable[a] * per) >> 8;
        const int32_t dy = (-(SineTable[(a + kQuarterTurn) % kAngleFull] * per)) >> 8;
        game.ballX += dx;
        game.ballY += dy;
        if (TestBallHit()) {
            landed = true;
            break;
        }
        const int32_t px = game.ballX >> 8;
        if (px < left || px + ballImage.width > left + width) {
            game.ballX -= dx;
            a = (kAngleFull - a) % kAngleFull;
        }
        if ((game.ballY >> 8) < top) {
            game.ballY -= dy;
            landed = true;
        }
    }
    if (landed) {
        int32_t x, y, w, h;
        GetCellRect(0, 0, &x, &y, &w, &h);
        auto clampTo = [](int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); };
        const int32_t rx = clampTo((game.ballX >> 8) - left, 0, width - 1);
        const int32_t ry = clampTo((game.ballY >> 8) - top, 0, height - 1);
        const int32_t row = clampTo((ry + h / 2) / h, 0, kBoardRows - 1);
        *rowOut = row;
        *colOut = clampTo((rx + w / 2 - (w / 2) * (row % 2)) / w, 0, RowLastColumn(row));
    }
    game = saved;
    return landed;
}

// How good a shot into (row, col) is: popping many (and dropping more) best,
// then resting beside its own colour, high up.
int32_t judge(int32_t row, int32_t col)
{
    if (board.cells[row][col].color != 0)
        return -100000;
    int32_t x, y, w, h;
    GetCellRect(col, row, &x, &y, &w, &h);
    if (y + h > GetDeathLine())
        return -50000;
    const Board saved = board;
    board.cells[row][col].color = game.currentColor;
    const int32_t group = MarkGroup(col, row);
    int32_t loose = 0;
    for (int32_t r = 0; r < kBoardRows; r++)
        for (int32_t c = 0; c <= RowLastColumn(r); c++)
            loose += board.cells[r][c].mark == Loose;
    board = saved;
    if (group >= 3)
        return 10000 + 100 * group + 300 * loose;
    return 200 * group - 20 * row;
}

int32_t chooseAngle(bool smart, std::mt19937& dice)
{
    if (!smart)
        return int32_t(dice() % 677) - 338;
    int32_t best = 0;
    int32_t bestScore = -1000000;
    for (int32_t a = -336; a <= 336; a += 3) {
        int32_t row, col;
        if (!landingCell(a, &row, &col))
            continue;
        const int32_t s = judge(row, col) * 4 - (a < 0 ? -a : a) / 64;
        if (s > bestScore) {
            bestScore = s;
            best = a;
        }
    }
    return best;
}

struct Bot {
    bool smart = false;
    std::string goal;
    std::mt19937 dice;
    int32_t target = 0;
    bool aimed = false;       // a target chosen for the ball on the cannon
    int aimingPolls = 0;
    int idle = 0;             // polls to wait before the next decision
    int inactive = 0;         // polls left with the focus away
    bool gameStarted = false;
    bool gameEnded = false;
    std::string typing;       // the name, typed once the game is over
    int afterEnd = 0;         // attract-screen polls after the name entry
    int clearedAt = -1;       // polls at the first cleared level
    bool done = false;
    int64_t polls = 0;

    Poll poll()
    {
        polls++;
        Poll p;
        p.elapsed = frameTime();
        if (inactive > 0) {
            inactive--;
            p.active = 0;
            return p;
        }
        if (dice() % 1500 == 0) {
            inactive = int(dice() % 40) + 1;
            p.active = 0;
            return p;
        }
        if (!gameStarted) {
            if (polls > 20) {
                p.character = CharEnter;
                gameStarted = true;
            }
            return p;
        }
        if (game.playing == 0) {
            // Game over: the name entry takes the name, one character a poll,
            // then the attract screen is left with Esc.
            if (!gameEnded) {
                gameEnded = true;
                typing = "Bot#" + std::to_string(dice() % 100) + "\b" + "\x01" + "!";
            }
            if (!typing.empty()) {
                p.character = static_cast<unsigned char>(typing[0]);
                typing.erase(0, 1);
                return p;
            }
            if (afterEnd++ == 0) {
                p.character = CharEnter;
                return p;
            }
            if (afterEnd > 30) {
                p.character = CharEscape;
                done = true;
            }
            return p;
        }
        if (goal == "clear" && game.levelIndex >= 1 && clearedAt < 0)
            clearedAt = int(polls);
        if (goal == "clear" && clearedAt >= 0 && polls > clearedAt + 1500 && game.popTimer == 0 &&
            game.slideTimer == 0 && game.ballInFlight == 0) {
            p.character = CharEscape;
            done = true;
            return p;
        }
        if (game.ballInFlight || game.popTimer > 0 || game.slideTimer > 0 || game.loseTimer > 0) {
            aimed = false;
            // Space and the arrows while nothing can be fired.
            if (dice() % 97 == 0)
                p.character = kCharSpace;
            if (dice() % 53 == 0)
                p.held = kHeldUp;
            return p;
        }
        if (idle > 0) {
            idle--;
            return p;
        }
        if (!aimed) {
            target = chooseAngle(smart, dice);
            aimed = true;
            aimingPolls = 0;
        }
        aimingPolls++;
        const int32_t diff = target - signedAngle(game.aimAngle);
        const int32_t distance = diff < 0 ? -diff : diff;
        if (distance <= 1 || aimingPolls > 300) {
            p.character = kCharSpace;
            idle = int(dice() % 4);
            return p;
        }
        // Close to the target a held key turns too fast: let go so that the
        // turning starts slowly again.
        if (distance < 40 && aimRepeat > 5 + distance / 4)
            return p;
        p.held = diff > 0 ? kHeldRight : kHeldLeft;
        if (dice() % 11 == 0)
            p.held |= kHeldDown;
        return p;
    }

    // Mostly 60 frames a second; some jitter, slow frames, frames too short
    // to move a timer, and now and then a stall longer than the clamp.
    int32_t frameTime()
    {
        const uint32_t r = dice() % 1000;
        if (r < 5)
            return int32_t(dice() % 500);
        if (r < 8)
            return 150000 + int32_t(dice() % 200000);
        if (r < 30)
            return 25000 + int32_t(dice() % 20000);
        if (r < 100)
            return 15500 + int32_t(dice() % 2500);
        return 16667;
    }
};

int record(const char* path, uint32_t seed, const std::string& goal)
{
    if (goal != "short" && goal != "clear") {
        std::fprintf(stderr, "replay: the goal is short or clear\n");
        return 2;
    }
    Bot bot;
    bot.smart = goal == "clear";
    bot.goal = goal;
    bot.dice.seed(seed ^ 0x9E3779B9u);
    Recording rec;
    rec.seed = seed;
    nextPoll = [&]() {
        Poll p = bot.poll();
        rec.polls.push_back(p);
        return p;
    };
    startGame(seed);
    while (GameFrame() == 0 && rec.polls.size() < 200000) {
    }
    rec.expect = describeEnd();
    finishGame();
    if (goal == "clear" && bot.clearedAt < 0) {
        std::fprintf(stderr, "replay: the bot cleared no level (score %d)\n", game.score);
        return 1;
    }
    char about[200];
    std::snprintf(about, sizeof about, "%s game recorded by the aiming bot: seed %u, score %d, level %d", goal.c_str(),
                  seed, game.score, game.levelIndex + 1);
    if (!writeRecording(path, rec, about)) {
        std::fprintf(stderr, "replay: cannot write %s\n", path);
        return 2;
    }
    std::printf("replay: recorded %s: %zu polls, score %d, level %d, credits %d\n", path, rec.polls.size(),
                game.score, game.levelIndex + 1, game.credits);
    // What was written must play back to the same end.
    return replay(path) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::error_code ignored;
    if (argc == 5 && std::strcmp(argv[1], "--record") == 0) {
        const int status = record(argv[2], uint32_t(std::strtoul(argv[3], nullptr, 10)), argv[4]);
        std::filesystem::remove_all(folder, ignored);
        return status;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: replay FILE... | replay --record FILE SEED short|clear\n");
        return 2;
    }
    bool ok = true;
    for (int i = 1; i < argc; i++)
        ok = replay(argv[i]) && ok;
    std::filesystem::remove_all(folder, ignored);
    return ok ? 0 : 1;
}
