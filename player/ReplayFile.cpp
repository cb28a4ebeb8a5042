// ReplayFile.cpp -- writing and reading recorded games: the little-endian
// header, the body's columns (one per kind of field, so that zlib finds the
// repeats) and the checks that keep a damaged or forged file out.
#include "player/ReplayFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "player/DataDir.h"
#include "rules/Board.h"
#include "rules/Shot.h"

static constexpr uint8_t kMagic[8] = {'K', 'V', 'R', 'E', 'C', '\r', '\n', 0x1A};

// Header offsets.
enum : size_t {
    kAtFormat = 8,
    kAtHeaderSize = 10,
    kAtGameVersion = 12,
    kAtSeed = 28,
    kAtDraws = 32,
    kAtDate = 40,
    kAtScore = 48,
    kAtLevel = 52,
    kAtChecksum = 56,
    kAtFrames = 60,
    kAtRank = 64,
    kAtName = 68,
    kAtAimRepeat = 84,
    kAtStickRemainder = 88,
    kAtCheckpoints = 96,
    kAtBodySize = 100,
    kAtPackedSize = 104,
    kAtPackedCrc = 108,
    kAtHeaderCrc = 124,
};

// Frame tag bits: the held arrows in the low four, then what follows in the
// other columns.
static constexpr uint8_t kTagEvent = 16;  // a key, character, pad press or click
static constexpr uint8_t kTagAim = 32;    // the mouse aimed
static constexpr uint8_t kTagStick = 64;  // the stick moved
static constexpr uint8_t kTagInactive = 128;

static void put(uint8_t* at, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        at[i] = uint8_t(value >> (8 * i));
}

static uint64_t get(const uint8_t* at, int bytes)
{
    uint64_t value = 0;
    for (int i = 0; i < bytes; i++)
        value |= uint64_t{at[i]} << (8 * i);
    return value;
}

static uint32_t crcOf(const uint8_t* bytes, size_t size)
{
    return uint32_t(crc32(0L, bytes, uInt(size)));
}

static void putVarint(std::vector<uint8_t>* out, uint64_t value)
{
    while (value >= 0x80) {
        out->push_back(uint8_t(value | 0x80));
        value >>= 7;
    }
    out->push_back(uint8_t(value));
}

// Signed values as small unsigned ones: 0, -1, 1, -2 ... as 0, 1, 2, 3 ...
static void putSigned(std::vector<uint8_t>* out, int64_t value)
{
    putVarint(out, (uint64_t(value) << 1) ^ uint64_t(value >> 63));
}

static void encodeFrames(const Replay& replay, std::vector<uint8_t>* out)
{
    std::vector<uint8_t> times, events, aims, sticks;
    int32_t lastElapsed = 0, lastAim = 0, lastStick = 0;
    for (const FrameInput& f : replay.frames) {
        const bool event = f.keyCode != 0 || f.character != 0 || f.pad != 0 || f.click != 0 || f.wheel != 0;
        uint8_t tag = uint8_t(f.held & 15);
        tag |= event ? kTagEvent : 0;
        tag |= f.aim != kNoAim ? kTagAim : 0;
        tag |= f.stick != lastStick ? kTagStick : 0;
        tag |= f.active == 0 ? kTagInactive : 0;
        out->push_back(tag);
        putSigned(&times, int64_t{f.elapsed} - lastElapsed);
        lastElapsed = f.elapsed;
        if (event) {
            putVarint(&events, uint32_t(f.keyCode));
            putSigned(&events, f.character);
            events.push_back(uint8_t(f.pad));
            events.push_back(uint8_t(f.click));
            putSigned(&events, f.wheel);
        }
        if (f.aim != kNoAim) {
            putSigned(&aims, int64_t{f.aim} - lastAim);
            lastAim = f.aim;
        }
        if (f.stick != lastStick)
            putSigned(&sticks, f.stick), lastStick = f.stick;
    }
    for (const auto* column : {&times, &events, &aims, &sticks})
        out->insert(out->end(), column->begin(), column->end());
    uint32_t lastFrame = 0;
    int32_t lastScore = 0;
    for (const ReplayCheckpoint& c : replay.checkpoints) {
        putVarint(out, c.frame - lastFrame);
        putSigned(out, int64_t{c.score} - lastScore);
        out->push_back(uint8_t(c.level));
        uint8_t sum[4];
        put(sum, c.checksum, 4);
        out->insert(out->end(), sum, sum + 4);
        lastFrame = c.frame, lastScore = c.score;
    }
}

std::vector<uint8_t> ReplayEncode(const Replay& replay)
{
    std::vector<uint8_t> body(replay.table.begin(), replay.table.end());
    body.resize(kReplayTableSize, 0);
    encodeFrames(replay, &body);

    uLongf packedSize = compressBound(uLong(body.size()));
    std::vector<uint8_t> bytes(kReplayHeaderSize + packedSize);
    if (compress2(bytes.data() + kReplayHeaderSize, &packedSize, body.data(), uLong(body.size()), 9) != Z_OK)
        packedSize = 0;  // cannot happen with a buffer of compressBound's size
    bytes.resize(kReplayHeaderSize + packedSize);

    uint8_t* h = bytes.data();
    std::memcpy(h, kMagic, sizeof kMagic);
    put(h + kAtFormat, kReplayFormat, 2);
    put(h + kAtHeaderSize, kReplayHeaderSize, 2);
    std::memcpy(h + kAtGameVersion, replay.gameVersion, sizeof replay.gameVersion);
    h[kAtGameVersion + sizeof replay.gameVersion - 1] = 0;
    put(h + kAtSeed, replay.seed, 4);
    put(h + kAtDraws, replay.draws, 8);
    put(h + kAtDate, uint64_t(replay.date), 8);
    put(h + kAtScore, uint32_t(replay.score), 4);
    put(h + kAtLevel, uint32_t(replay.level), 4);
    put(h + kAtChecksum, replay.checksum, 4);
    put(h + kAtFrames, replay.frames.size(), 4);
    put(h + kAtRank, uint32_t(replay.rank), 4);
    std::memcpy(h + kAtName, replay.name, kReplayNameSize);
    h[kAtName + kReplayNameSize - 1] = 0;
    put(h + kAtAimRepeat, uint32_t(replay.aimRepeat), 4);
    put(h + kAtStickRemainder, uint64_t(replay.stickRemainder), 8);
    put(h + kAtCheckpoints, replay.checkpoints.size(), 4);
    put(h + kAtBodySize, body.size(), 4);
    put(h + kAtPackedSize, packedSize, 4);
    put(h + kAtPackedCrc, crcOf(h + kReplayHeaderSize, packedSize), 4);
    put(h + kAtHeaderCrc, crcOf(h, kAtHeaderCrc), 4);
    return bytes;
}

namespace {

// Reads the body front to back; any read past its end or any value out of
// its range sets bad, after which every read gives 0.
struct Reader {
    const uint8_t* at;
    const uint8_t* end;
    bool bad = false;

    uint8_t byte()
    {
        if (at >= end) {
            bad = true;
            return 0;
        }
        return *at++;
    }
    uint64_t varint()
    {
        uint64_t value = 0;
        for (int shift = 0; shift < 64 && !bad; shift += 7) {
            const uint8_t b = byte();
            value |= uint64_t(b & 0x7F) << shift;
            if ((b & 0x80) == 0)
                return value;
        }
        bad = true;
        return 0;
    }
    // Kept within +-2^40, so that sums of them cannot overflow before the
    // value they make is checked.
    int64_t signedVarint()
    {
        const uint64_t v = varint();
        if (v >> 41 != 0) {
            bad = true;
            return 0;
        }
        return int64_t(v >> 1) ^ -int64_t(v & 1);
    }
    // A value that must lie in lo..hi.
    int32_t within(int64_t value, int64_t lo, int64_t hi)
    {
        if (value < lo || value > hi) {
            bad = true;
            return 0;
        }
        return int32_t(value);
    }
};

bool aimInArc(int32_t aim)
{
    return (aim >= 0 && aim <= kAimRightLimit) || (aim >= kAimLeftLimit && aim < kAngleFull);
}

void decodeFrames(Reader* r, uint32_t count, Replay* replay)
{
    std::vector<FrameInput>& frames = replay->frames;
    frames.assign(count, FrameInput{});
    std::vector<uint8_t> tags(count);
    for (uint32_t i = 0; i < count; i++) {
        tags[i] = r->byte();
        frames[i].held = tags[i] & 15;
        frames[i].active = (tags[i] & kTagInactive) != 0 ? 0 : 1;
    }
    int64_t elapsed = 0;
    for (FrameInput& f : frames)
        f.elapsed = r->within(elapsed += r->signedVarint(), 0, kReplayMaxElapsed);
    for (uint32_t i = 0; i < count && !r->bad; i++) {
        if ((tags[i] & kTagEvent) == 0)
            continue;
        FrameInput& f = frames[i];
        f.keyCode = r->within(int64_t(r->varint() & 0xFFFFFFFF), 0, 0xFFFF);
        f.character = r->within(r->signedVarint(), -128, 255);
        f.pad = r->within(r->byte(), 0, 63);
        f.click = r->within(r->byte(), 0, 1);
        f.wheel = r->within(r->signedVarint(), -kReplayWheelLimit, kReplayWheelLimit);
        if (f.keyCode == 0 && f.character == 0 && f.pad == 0 && f.click == 0 && f.wheel == 0)
            r->bad = true;  // an event that is none: written by no game
    }
    int64_t aim = 0;
    for (uint32_t i = 0; i < count && !r->bad; i++) {
        if ((tags[i] & kTagAim) == 0)
            continue;
        aim += r->signedVarint();
        frames[i].aim = r->within(aim, 0, kAngleFull - 1);
        if (!aimInArc(frames[i].aim))
            r->bad = true;
    }
    int32_t stick = 0;
    for (uint32_t i = 0; i < count && !r->bad; i++) {
        if ((tags[i] & kTagStick) != 0)
            stick = r->within(r->signedVarint(), -kReplayStickLimit, kReplayStickLimit);
        frames[i].stick = stick;
    }
}

void decodeCheckpoints(Reader* r, uint32_t count, Replay* replay)
{
    uint32_t frame = 0;
    int64_t score = 0;
    for (uint32_t i = 0; i < count && !r->bad; i++) {
        ReplayCheckpoint c;
        frame += uint32_t(r->within(int64_t(r->varint() & 0xFFFFFFFF), 0, kReplayMaxFrames));
        score += r->signedVarint();
        c.frame = frame;
        c.score = r->within(score, 0, INT32_MAX);
        c.level = r->within(r->byte(), 0, kLevelCount - 1);
        uint32_t sum = 0;
        for (int b = 0; b < 4; b++)
            sum |= uint32_t(r->byte()) << (8 * b);
        c.checksum = sum;
        if (c.frame > replay->frames.size())
            r->bad = true;
        replay->checkpoints.push_back(c);
    }
}

std::string readHeader(const uint8_t* h, size_t size, Replay* replay)
{
    if (size == 0)
        return "empty file";
    if (size < sizeof kMagic && std::memcmp(h, kMagic, size) == 0)
        return "truncated header";
    if (size < sizeof kMagic || std::memcmp(h, kMagic, sizeof kMagic) != 0)
        return "not a Kelvane recording";
    if (size < kAtGameVersion)
        return "truncated header";
    const uint32_t format = uint32_t(get(h + kAtFormat, 2));
    if (format != kReplayFormat)
        return "format version " + std::to_string(format) + ", this game reads version " +
               std::to_string(kReplayFormat);
    if (size < kReplayHeaderSize)
        return "truncated header";
    if (get(h + kAtHeaderCrc, 4) != crcOf(h, kAtHeaderCrc) || get(h + kAtHeaderSize, 2) != kReplayHeaderSize)
        return "damaged header";
    std::memcpy(replay->gameVersion, h + kAtGameVersion, sizeof replay->gameVersion);
    replay->seed = uint32_t(get(h + kAtSeed, 4));
    replay->draws = get(h + kAtDraws, 8);
    replay->date = int64_t(get(h + kAtDate, 8));
    replay->score = int32_t(uint32_t(get(h + kAtScore, 4)));
    replay->level = int32_t(uint32_t(get(h + kAtLevel, 4)));
    replay->checksum = uint32_t(get(h + kAtChecksum, 4));
    replay->rank = int32_t(uint32_t(get(h + kAtRank, 4)));
    std::memcpy(replay->name, h + kAtName, kReplayNameSize);
    replay->aimRepeat = int32_t(uint32_t(get(h + kAtAimRepeat, 4)));
    replay->stickRemainder = int64_t(get(h + kAtStickRemainder, 8));
    const bool sane = replay->gameVersion[sizeof replay->gameVersion - 1] == 0 &&
                      replay->name[kReplayNameSize - 1] == 0 && replay->score >= 0 && replay->level >= 0 &&
                      replay->level < kLevelCount && replay->rank >= -1 && replay->rank < 10 &&
                      replay->aimRepeat >= 0 && replay->aimRepeat <= 1000 && replay->draws <= kReplayMaxDraws &&
                      replay->stickRemainder > INT32_MIN && replay->stickRemainder < INT32_MAX &&
                      get(h + kAtFrames, 4) <= kReplayMaxFrames && get(h + kAtCheckpoints, 4) <= kReplayMaxFrames &&
                      get(h + kAtBodySize, 4) <= kReplayMaxBody;
    return sane ? "" : "damaged header";
}

}  // namespace

std::string ReplayDecode(const uint8_t* bytes, size_t size, Replay* replay, bool headerOnly)
{
    *replay = Replay{};
    const std::string problem = readHeader(bytes, size, replay);
    if (!problem.empty() || headerOnly)
        return problem;
    const size_t packed = size_t(get(bytes + kAtPackedSize, 4));
    if (size - kReplayHeaderSize < packed)
        return "truncated: " + std::to_string(size) + " of " + std::to_string(kReplayHeaderSize + packed) + " bytes";
    if (size - kReplayHeaderSize > packed)
        return "damaged: bytes after the end of the recording";
    const uint8_t* body = bytes + kReplayHeaderSize;
    if (get(bytes + kAtPackedCrc, 4) != crcOf(body, packed))
        return "damaged frames";
    uLongf bodySize = uLongf(get(bytes + kAtBodySize, 4));
    std::vector<uint8_t> raw(bodySize);
    if (bodySize < kReplayTableSize || uncompress(raw.data(), &bodySize, body, uLong(packed)) != Z_OK ||
        bodySize != raw.size())
        return "damaged frames";
    replay->table.assign(reinterpret_cast<const char*>(raw.data()), kReplayTableSize);
    Reader r{raw.data() + kReplayTableSize, raw.data() + raw.size()};
    decodeFrames(&r, uint32_t(get(bytes + kAtFrames, 4)), replay);
    decodeCheckpoints(&r, uint32_t(get(bytes + kAtCheckpoints, 4)), replay);
    if (r.bad || r.at != r.end) {
        replay->frames.clear();
        return "damaged frames";
    }
    return "";
}

std::string ReplayLoad(const std::string& path, Replay* replay, bool headerOnly)
{
    *replay = Replay{};
    // Not blocking on a pipe or a device of that name: plain files only.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return "not a plain file";
    }
    const size_t limit = kReplayHeaderSize + kReplayMaxBody;
    const size_t size = size_t(status.st_size) < limit ? size_t(status.st_size) : limit;
    std::vector<uint8_t> bytes(headerOnly && size > kReplayHeaderSize ? kReplayHeaderSize : size);
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    close(fd);
    if (size_t(status.st_size) > limit)
        return "too large to be a recording";
    return ReplayDecode(bytes.data(), got, replay, headerOnly);
}

int ReplaySave(const std::string& path, const Replay& replay)
{
    const std::vector<uint8_t> bytes = ReplayEncode(replay);
    return ReplaceFile(path, path + ".tmp", bytes.data(), bytes.size());
}
