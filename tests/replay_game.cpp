// replay -- plays recorded games back through GameFrame and checks that each
// ends exactly as it did when it was recorded: replay FILE...
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
// score, level, credits, playing flag, highlighted rank, each board row and
// each score line. A recording that ends otherwise, or without them, fails
// and prints the lines its game ended with.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "tests/game_support.h"

namespace {

struct Poll {
    int32_t keyCode, character, held, active, elapsed;
};
std::vector<Poll> polls;
size_t next = 0;
int32_t pendingElapsed = 0;

// Once the recording runs dry only a name entry can still poll: Enter ends it.
void scriptedPoll(FrameInput* input) {
    const Poll p = next < polls.size() ? polls[next] : Poll{0, CharEnter, 0, 1, 16667};
    next++;
    *input = FrameInput{};
    const int32_t bits[4] = {HeldLeft, HeldUp, HeldRight, HeldDown};
    for (int i = 0; i < 4; i++) input->held |= (p.held >> i) & 1 ? bits[i] : 0;
    input->active = p.active;
    input->keyCode = p.keyCode, input->character = p.character, pendingElapsed = p.elapsed;
}

std::vector<std::string> describeEnd() {
    std::vector<std::string> out = {"polls " + std::to_string(next),
                                    "score " + std::to_string(game.score),
                                    "level " + std::to_string(game.levelIndex),
                                    "credits " + std::to_string(game.credits),
                                    "playing " + std::to_string(game.playing),
                                    "highlight " + std::to_string(highlightRank)};
    for (int32_t r = 0; r < kBoardRows; r++) {
        std::string row = "row " + std::to_string(r) + " ";
        for (int32_t c = 0; c < kBoardColumns; c++)
            row += c > RowLastColumn(r) ? '-' : char('0' + board.cells[r][c].color);
        out.push_back(row);
    }
    for (int i = 0; i < kScoreLines; i++) {
        std::string text(ScoreTable[i]);
        out.push_back("line " + std::to_string(i) + " " + text.erase(text.find_last_not_of(' ') + 1));
    }
    return out;
}

bool replay(const char* path) {
    std::ifstream in(path);
    std::string line, kind;
    uint32_t seed = 0;
    std::vector<std::string> expected;
    polls.clear();
    while (std::getline(in, line)) {
        std::istringstream words(line);
        Poll p{0, 0, 0, 1, 16667};
        std::string repeat = "x1";
        if (!(words >> kind) || kind[0] == '#') continue;
        if (kind == "seed" && words >> seed) continue;
        if (kind == "p" && words >> p.keyCode >> p.character >> p.held >> p.active >> p.elapsed) {
            words >> repeat;
            polls.insert(polls.end(), std::max(1, std::atoi(repeat.c_str() + 1)), p);
        } else if (kind == "expect" && std::getline(words >> std::ws, line)) {
            expected.push_back(line);
        } else {
            std::fprintf(stderr, "replay: %s: cannot read '%s'\n", path, line.c_str());
            return false;
        }
    }
    std::filesystem::remove("Kelvane.scores");
    next = 0;
    StartGame(seed);
    while (next < polls.size() && GameFrame() == 0) {}
    const std::vector<std::string> got = describeEnd();

    bool ok = next == polls.size() && !expected.empty();
    if (next != polls.size()) std::fprintf(stderr, "replay: %s: %zu polls used of %zu\n", path, next, polls.size());
    for (const std::string& want : expected)
        if (std::find(got.begin(), got.end(), want) == got.end())
            ok = false, std::fprintf(stderr, "replay: %s: expected '%s'\n", path, want.c_str());
    for (size_t i = 0; i < got.size() && !ok; i++)  // what the game ended with, ready to be appended
        std::printf("expect %s\n", got[i].c_str());
    std::printf("replay: %s: %zu polls, score %d, level %d: %s\n", path, polls.size(), game.score, game.levelIndex + 1,
                ok ? "as recorded" : "DIFFERS");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !LoadGamePictures()) {
        std::fprintf(stderr, "usage: replay FILE...\n");
        return 2;
    }
    GamePollInput = scriptedPoll;
    GameFrameTimer = [](int32_t mode) { return mode == 0 ? 0 : pendingElapsed; };
    bool ok = true;
    const ScratchFolder folder;  // where the games save their tables
    for (int i = 1; i < argc; i++) ok = replay((folder.home / argv[i]).c_str()) && ok;
    return ok ? 0 : 1;
}
