// Recorded games: whole scripted games (keys, mouse, stick, a pause, a volume
// key) recorded, kept behind their table lines and played back to the same
// end; a changed frame is found out; the file keeps every value exactly.
#include <gtest/gtest.h>

#include <cstdio>

#include "flow/Playback.h"
#include "flow/Recorder.h"
#include "platform/Gamepad.h"
#include "player/ReplayFile.h"
#include "player/Settings.h"
#include "tests/game_support.h"

namespace {

// A player who starts a game, then turns, aims with the mouse and the stick,
// fires, pauses once and turns the sound down once, and types a name.
struct Player {
    int32_t frame = 0;
    int32_t playing = 0;  // started a game that has not ended yet
    std::string name;
    uint32_t noise = 1;
} player;

void Play(FrameInput* in) {
    *in = FrameInput{};
    const int32_t f = ++player.frame;
    if (!player.playing) {
        player.playing = 1, in->character = CharEnter;
    } else if (game.playing == 0) {  // the name entry
        in->character = player.name.empty() ? CharEnter : player.name[0];
        player.name.erase(0, player.name.empty() ? 0 : 1);
    } else {
        in->held = (f / 40) % 5 == 1 ? HeldLeft : (f / 40) % 5 == 3 ? HeldRight | HeldUp : 0;
        in->character = f % 23 == 0 ? ' ' : f % 400 == 100 || f % 400 == 130 ? 'p' : f == 50 ? '-' : 0;
        in->aim = f % 97 == 0 ? 1300 + f % 140 : kNoAim;
        in->click = f % 61 == 0;
        in->wheel = f % 89 == 0 ? (f % 3) - 1 : 0;
        in->stick = (f / 70) % 3 == 1 ? -12000 - f % 9000 : 0;
        in->pad = f % 151 == 0 ? PadSouth : 0;
    }
}

class Replays : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadGamePictures()); }
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", folder.path.c_str(), 1);
        GamePollInput = Play;
        GameFrameTimer = [](int32_t mode) {
            player.noise = player.noise * 1103515245u + 12345u;
            return mode == 0 ? 0 : int32_t(30000 + (player.noise >> 16) % 9000);
        };
        StartGame(20261207);
    }

    // Plays one whole game through the frame loop, the name typed at its end.
    static void WholeGame(const std::string& name) {
        player.name = name, player.playing = 0;
        for (int i = 0; i < 100000 && (player.playing == 0 || game.playing != 0); i++) ASSERT_EQ(GameFrame(), 0);
        ASSERT_EQ(game.playing, 0) << "the game never ended";
        player.playing = 0;
    }

    static std::string Check(const Replay& replay, int* status) {
        std::FILE* out = std::tmpfile();
        *status = ReplayCheck(replay, out);
        std::rewind(out);
        char text[256] = {};
        const size_t got = std::fread(text, 1, sizeof text - 1, out);
        std::fclose(out);
        return std::string(text, got);
    }

    ScratchFolder folder;
};

TEST_F(Replays, GamesAreKeptBehindTheirLinesAndPlayBackToTheirEnd) {
    bool movedDown = false;
    for (int g = 1; g <= 4; g++) {
        WholeGame("G" + std::to_string(g));
        ASSERT_LT(highlightRank, kScoreLines);
        movedDown = movedDown || highlightRank < g - 1;
        const int32_t score = game.score;
        const GameState end = game;
        // Every line with a game has its own recording, which names it.
        for (int32_t i = 0; i < g; i++) {
            Replay kept;
            ASSERT_EQ(ReplayLoad(RankReplayPath(i), &kept), "") << i;
            char line[kScoreLineSize];
            std::snprintf(line, sizeof line, "%-2i    %-9i  %s", i + 1, kept.score, kept.name);
            EXPECT_EQ(std::string(ScoreTable[i]).substr(0, std::strlen(line)), line) << "game " << g;
        }
        EXPECT_FALSE(std::filesystem::exists(RankReplayPath(g)));
        // The latest is the one behind its line; it plays back to the same end
        // and leaves the watcher's volume alone.
        Replay last;
        ASSERT_EQ(ReplayLoad(LastReplayPath(), &last), "");
        EXPECT_EQ(last.rank, highlightRank);
        GameSettings.volume = 7;
        int status = -1;
        const std::string said = Check(last, &status);
        EXPECT_EQ(status, 0) << said;
        EXPECT_EQ(said.substr(0, said.find(',')), "score " + std::to_string(score));
        EXPECT_EQ(std::memcmp(&game, &end, sizeof game), 0);
        EXPECT_EQ(GameSettings.volume, 7) << "the recorded volume key was replayed";
        EXPECT_GT(last.checkpoints.size(), last.frames.size() / kCheckpointFrames);
    }
    EXPECT_TRUE(movedDown) << "no game ranked above an older one";

    // A frame changed in the middle: found out at a checkpoint or at the end.
    Replay changed;
    ASSERT_EQ(ReplayLoad(LastReplayPath(), &changed), "");
    for (size_t i = changed.frames.size() / 2; i < changed.frames.size(); i++) changed.frames[i].held ^= HeldLeft;
    int status = -1;
    const std::string said = Check(changed, &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("\ndiverges at "), std::string::npos) << said;
}

TEST_F(Replays, TheFileKeepsEveryValueExactly) {
    Replay replay;
    std::strcpy(replay.gameVersion, "9.8.7");
    std::strcpy(replay.name, "Twelve chars");
    replay.seed = 0xFFFFFFFFu, replay.draws = kReplayMaxDraws, replay.date = -5, replay.aimRepeat = 30;
    replay.stickRemainder = -866624999, replay.score = INT32_MAX, replay.level = 29, replay.checksum = 0xDEADBEEF;
    replay.rank = 9;
    replay.table.assign(kReplayTableSize, 'x');
    const FrameInput edge[] = {{0x42B, -128, 15, 63, -24767, 0, 1, 1, 0, -kReplayWheelLimit},
                               {0, 255, 0, 0, 24767, 1439, 0, 1, kReplayMaxElapsed, kReplayWheelLimit},
                               {0, 0, 0, 0, 24767, kNoAim, 0, 0, 16667, 0},
                               {1, 0, 0, 0, 0, 338, 0, 1, 3, 7}};
    replay.frames.assign(std::begin(edge), std::end(edge));
    replay.checkpoints = {{0, 0, 0, 1}, {3, INT32_MAX, 29, 0xFFFFFFFFu}};
    const std::vector<uint8_t> bytes = ReplayEncode(replay);
    Replay back;
    ASSERT_EQ(ReplayDecode(bytes.data(), bytes.size(), &back), "");
    EXPECT_TRUE(std::strcmp(back.gameVersion, "9.8.7") == 0 && std::strcmp(back.name, replay.name) == 0);
    EXPECT_TRUE(back.seed == replay.seed && back.draws == replay.draws && back.date == -5 && back.aimRepeat == 30 &&
                back.stickRemainder == replay.stickRemainder && back.score == INT32_MAX && back.level == 29 &&
                back.checksum == 0xDEADBEEF && back.rank == 9);
    EXPECT_EQ(back.table, replay.table);
    ASSERT_EQ(back.frames.size(), replay.frames.size());
    EXPECT_EQ(std::memcmp(back.frames.data(), edge, sizeof edge), 0);
    ASSERT_EQ(back.checkpoints.size(), 2u);
    const ReplayCheckpoint& c = back.checkpoints[1];
    EXPECT_TRUE(c.frame == 3 && c.score == INT32_MAX && c.level == 29 && c.checksum == 0xFFFFFFFFu);
}

}  // namespace
