// Arbitrary bytes as a recorded game: read, and when they make a recording,
// written again and read back to the same frames, then played through the
// game as --check-replay plays it. Nothing may crash, hang or overflow,
// whatever the file holds.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "flow/Playback.h"
#include "player/ReplayFile.h"
#include "tests/game_support.h"

#include <zlib.h>

static std::FILE* sink;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!LoadGamePictures()) std::abort();
    sink = std::fopen("/dev/null", "w");
    return 0;
}

static void put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; i++) at[i] = uint8_t(value >> (8 * i));
}

// Inputs starting with '#': the rest is a body (a table, then the columns)
// put behind a sound header with the right sums, so that the body's own
// checks are reached. Bytes 1..2 give the frames, byte 3 the checkpoints.
static std::vector<uint8_t> wrapped(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes = ReplayEncode(Replay{});
    bytes.resize(kReplayHeaderSize);
    std::vector<uint8_t> body(kReplayTableSize, ' ');
    body.insert(body.end(), data + 4, data + size);
    uLongf packed = compressBound(uLong(body.size()));
    bytes.resize(kReplayHeaderSize + packed);
    compress2(bytes.data() + kReplayHeaderSize, &packed, body.data(), uLong(body.size()), 1);
    bytes.resize(kReplayHeaderSize + packed);
    put32(&bytes[60], uint32_t(data[1] | data[2] << 8));
    put32(&bytes[96], data[3]);
    put32(&bytes[100], uint32_t(body.size()));
    put32(&bytes[104], uint32_t(packed));
    put32(&bytes[108], uint32_t(crc32(0, bytes.data() + kReplayHeaderSize, uInt(packed))));
    put32(&bytes[124], uint32_t(crc32(0, bytes.data(), 124)));
    return bytes;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Replay replay;
    const std::vector<uint8_t> bytes =
        size >= 4 && data[0] == '#' ? wrapped(data, size) : std::vector<uint8_t>(data, data + size);
    if (!ReplayDecode(bytes.data(), bytes.size(), &replay).empty()) return 0;
    const std::vector<uint8_t> again = ReplayEncode(replay);
    Replay back;
    if (!ReplayDecode(again.data(), again.size(), &back).empty() || back.frames.size() != replay.frames.size() ||
        back.checkpoints.size() != replay.checkpoints.size() || back.table != replay.table ||
        (!back.frames.empty() &&
         std::memcmp(back.frames.data(), replay.frames.data(), back.frames.size() * sizeof(FrameInput)) != 0))
        std::abort();
    // A long game is played all the same, but not in every run.
    if (replay.frames.size() <= 5000 && replay.draws <= 100000) ReplayCheck(replay, sink);
    return 0;
}
