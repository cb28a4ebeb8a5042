// loud_game -- a minute of play heard through SDL's disk audio output at full
// volume: loud_game FILE
//
// The real game frames, paced in real time, with fixed input and fixed frame
// steps: a busy game that fires as fast as the cannon allows for three
// seconds in every five while the aim swings from side to side. Prints how
// much the limiter worked.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "sound/Limiter.h"
#include "sound/Sound.h"
#include "tests/game_support.h"

namespace {
constexpr int kFrameMicroseconds = 16667, kFrames = 60 * 60;
int polls = 0;
std::chrono::steady_clock::time_point start;

// One poll a frame, the name entry's included: an Enter whenever no game runs.
void scriptedPoll(FrameInput* input) {
    std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t(polls) * kFrameMicroseconds));
    const int f = polls++;
    const bool firing = f % 300 < 180 && f % 6 == 0;
    *input = FrameInput{};
    input->held = (f / 40) % 2 == 1 ? HeldLeft : HeldRight;
    input->character = game.playing == 0 ? (f % 30 == 0 ? CharEnter : 0) : firing ? ' ' : 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return std::fprintf(stderr, "usage: loud_game FILE\n"), 2;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", std::filesystem::absolute(argv[1]).c_str(), 1);
    const ScratchFolder folder;  // where a finished game saves its table
    if (!LoadGamePictures() || !SoundStart()) return std::fprintf(stderr, "loud_game: no picture or no sound\n"), 1;
    GamePollInput = scriptedPoll;
    GameFrameTimer = [](int32_t mode) { return mode == 0 ? 0 : kFrameMicroseconds; };
    StartGame(2026);
    start = std::chrono::steady_clock::now();
    while (polls < kFrames && GameFrame() == 0) {}
    SoundShutdown();
    const LimiterStats& s = SoundLimiterStats;
    const double frames = double(s.frames) / 100;  // percentages
    std::printf(
        "score %d, level %d\nlimiter: reduced %.2f%% of %.0f s, over 1 dB %.2f%%, over 3 dB %.2f%%, deepest %.2f dB\n",
        game.score, game.levelIndex + 1, double(s.reduced) / frames, frames / 220.5, double(s.reducedOver1) / frames,
        double(s.reducedOver3) / frames, 20 * std::log10(s.leastGain));
    return 0;
}
