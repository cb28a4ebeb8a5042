// ReplayFile.h -- a recorded game as a file (.kvr): a fixed header that can
// be read and checked alone, then the compressed body: the score table the
// game was played against, one FrameInput a frame and the checkpoints. The
// layout is described in docs/replay-format.md.
//
// Reading never trusts the bytes: every size, count and value is checked,
// and a file that fails any check is refused with the problem in a few words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "player/FrameInput.h"

inline constexpr uint16_t kReplayFormat = 1;
inline constexpr size_t kReplayHeaderSize = 128;
inline constexpr size_t kReplayTableSize = 1280;      // the score table's bytes
inline constexpr int32_t kReplayMaxElapsed = 100000;  // a frame never advances more
inline constexpr int32_t kReplayStickLimit = 32767;
// The most wheel notches one frame may carry: a full turn of the aim.
inline constexpr int32_t kReplayWheelLimit = 1440;
inline constexpr int32_t kReplayNameSize = 16;  // the name, NUL-padded
// Far beyond any real game (a day at 144 frames a second), so that a forged
// size cannot make the reader allocate without bound.
inline constexpr uint32_t kReplayMaxFrames = 24u * 3600u * 144u;
inline constexpr uint32_t kReplayMaxBody = 64u << 20;
// Draws since the seed: a long session's worth; more would take the reader
// minutes to catch up with.
inline constexpr uint64_t kReplayMaxDraws = uint64_t{1} << 32;

// The game's state at a frame: what a replay must agree with.
struct ReplayCheckpoint {
    uint32_t frame = 0;  // frames played when it was taken
    int32_t score = 0;
    int32_t level = 0;  // level index, 0..29
    uint32_t checksum = 0;
};

struct Replay {
    char gameVersion[16] = {};   // the game that recorded it, NUL-padded
    uint32_t seed = 0;           // the random numbers: seeded with this ...
    uint64_t draws = 0;          // ... and this many drawn when the game began
    int64_t date = 0;            // seconds since 1970 when the game began
    int32_t aimRepeat = 0;       // the held arrows' repeat count when it began
    int64_t stickRemainder = 0;  // the stick's turn not yet a whole step
    int32_t score = 0;           // where the recording ended
    int32_t level = 0;
    uint32_t checksum = 0;
    int32_t rank = -1;                // the table line it earned, 0..9, or -1
    char name[kReplayNameSize] = {};  // the name on that line
    std::string table;                // kReplayTableSize bytes
    std::vector<FrameInput> frames;
    std::vector<ReplayCheckpoint> checkpoints;
};

// The file's bytes.
std::vector<uint8_t> ReplayEncode(const Replay& replay);

// Fills *replay from a file's bytes: "" when they are a whole, sound
// recording of this format, otherwise the problem ("truncated", "damaged
// header", "format version 7, not 1", ...). Only the header is read when
// headerOnly is set.
std::string ReplayDecode(const uint8_t* bytes, size_t size, Replay* replay, bool headerOnly = false);

// The same from a file; a file that cannot be read says why.
std::string ReplayLoad(const std::string& path, Replay* replay, bool headerOnly = false);

// Writes the file atomically (ReplaceFile, through path + ".tmp"). 0, or errno.
int ReplaySave(const std::string& path, const Replay& replay);
