// Wave.cpp -- finding a cue's format record and PCM bytes inside its
// embedded RIFF/WAVE image.
#include "sound/Sound.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

static constexpr size_t kRiffHeaderBytes = 12;  // "RIFF", size, "WAVE"
static constexpr size_t kChunkHeaderBytes = 8;  // identifier, size

static uint32_t read32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static uint16_t read16(const unsigned char* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

static bool isTag(const unsigned char* p, const char* tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

WaveFormat WaveReadFormat(const unsigned char* fmt)
{
    WaveFormat f;
    f.formatTag = read16(fmt);
    f.channels = read16(fmt + 2);
    f.samplesPerSec = read32(fmt + 4);
    f.avgBytesPerSec = read32(fmt + 8);
    f.blockAlign = read16(fmt + 12);
    f.bitsPerSample = read16(fmt + 14);
    return f;
}

// The walk keeps what it found in locals and hands it out only on success,
// so a failed parse leaves no half-filled outputs behind.
int WaveParse(const void* image, size_t size, const unsigned char** format, const unsigned char** data,
              uint32_t* dataSize)
{
    if (format)
        *format = nullptr;
    if (data)
        *data = nullptr;
    if (dataSize)
        *dataSize = 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(image);
    if (bytes == nullptr || size < kRiffHeaderBytes)
        return 0;
    if (!isTag(bytes, "RIFF") || !isTag(bytes + 8, "WAVE"))
        return 0;

    // The walk ends where the RIFF size says or where the bytes end,
    // whichever comes first; 64-bit sums cannot wrap on a hostile size.
    uint64_t end = std::min<uint64_t>(8 + uint64_t(read32(bytes + 4)), size);
    bool wantFormat = format != nullptr;
    bool wantData = data != nullptr || dataSize != nullptr;
    const unsigned char* foundFormat = nullptr;
    const unsigned char* foundData = nullptr;
    uint32_t foundSize = 0;
    bool done = false;

    uint64_t pos = kRiffHeaderBytes;
    while (!done && pos + kChunkHeaderBytes <= end) {
        const unsigned char* header = bytes + pos;
        uint32_t chunkSize = read32(header + 4);
        uint64_t body = pos + kChunkHeaderBytes;
        if (body + chunkSize > end)
            break;  // a chunk that runs past the end is not read
        if (isTag(header, "fmt ") && wantFormat && foundFormat == nullptr) {
            // A short record would let the reader run past the chunk into
            // whatever follows it: the whole image is refused.
            if (chunkSize < kWaveFormatBytes)
                return 0;
            foundFormat = bytes + body;
            done = !wantData || foundSize != 0;
        } else if (isTag(header, "data") && wantData && foundSize == 0) {
            // An empty chunk is remembered but does not end the walk: a
            // later chunk with samples in it replaces it.
            foundData = bytes + body;
            foundSize = chunkSize;
            done = chunkSize != 0 && (!wantFormat || foundFormat != nullptr);
        }
        pos = body + chunkSize + (chunkSize & 1u);
    }
    if (!done)
        return 0;
    if (format)
        *format = foundFormat;
    if (data)
        *data = foundData;
    if (dataSize)
        *dataSize = foundSize;
    return 1;
}

static const ResourceEntry* findRaw(const ResourceEntry* module, const char* name)
{
    if (module == nullptr)
        return ResourceFind(name, kResourceRaw);
    if (name == nullptr)
        return nullptr;
    for (const ResourceEntry* e = module; e->name != nullptr; ++e) {
        if (e->type != nullptr && strcasecmp(e->name, name) == 0 && strcasecmp(e->type, kResourceRaw) == 0)
            return e;
    }
    return nullptr;
}

int WaveFindResource(const ResourceEntry* module, const char* name, const unsigned char** format,
                     const unsigned char** data, uint32_t* dataSize)
{
    const ResourceEntry* entry = findRaw(module, name);
    if (entry == nullptr || entry->bytes == nullptr) {
        WaveParse(nullptr, 0, format, data, dataSize);  // zeroes the outputs
        return 0;
    }
    return WaveParse(entry->bytes, entry->size, format, data, dataSize);
}
