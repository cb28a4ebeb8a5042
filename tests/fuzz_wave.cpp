// Arbitrary bytes through the WAVE walk: it must never read outside them, and
// every pointer it hands back must lie inside them with room for what it
// promises (a 16-byte format record, a non-empty run of samples).
#include "sound/Sound.h"

#include <cstdint>
#include <cstdlib>

static bool inside(const uint8_t* bytes, size_t size, const unsigned char* p, size_t length) {
    uintptr_t begin = reinterpret_cast<uintptr_t>(bytes);
    uintptr_t at = reinterpret_cast<uintptr_t>(p);
    return at >= begin && at - begin <= size && length <= size - (at - begin);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const unsigned char* fmt = nullptr;
    const unsigned char* data = nullptr;
    uint32_t dataSize = 0;
    if (WaveParse(bytes, size, &fmt, &data, &dataSize)) {
        if (!inside(bytes, size, fmt, kWaveFormatBytes) || dataSize == 0 || !inside(bytes, size, data, dataSize))
            std::abort();
        // Touch what was promised so the sanitizer checks it too.
        WaveFormat f = WaveReadFormat(fmt);
        volatile unsigned sink = f.bitsPerSample + data[0] + data[dataSize - 1];
        (void)sink;
    } else if (fmt != nullptr || data != nullptr || dataSize != 0) {
        std::abort();  // a failure leaves nothing behind
    }
    return 0;
}
