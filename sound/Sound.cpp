// Sound.cpp -- the sound device and the sixteen cue channels on SDL2_mixer.
#include "sound/Sound.h"

#include "sound/Limiter.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <climits>
#include <cstdlib>
#include <cstring>

SoundBuffer* SoundChannels[kSoundChannelCount];

static constexpr int32_t kOutputRate = 22050;
static constexpr int32_t kOutputBits = 16;
static constexpr int32_t kOutputChannels = 2;
static constexpr int kMixerChunkFrames = 512;
static constexpr int32_t kMaxOutputChannels = 8;
// The range of source rates a buffer accepts; it also bounds how much a
// conversion can grow the data.
static constexpr uint32_t kMinSourceRate = 100;
static constexpr uint32_t kMaxSourceRate = 200000;
static constexpr uint16_t kMaxSourceChannels = 8;

// The device: open or not, and the format the mixer actually got (it may
// differ from the one asked for).
static bool deviceOpen = false;
static int deviceRate = 0;
static Uint16 deviceFormat = 0;
static int deviceChannels = 0;
static bool exitHookRegistered = false;
static int masterVolume = MIX_MAX_VOLUME;  // the player's volume, in the mixer's units
// The last stage of the mix, run by the mixer on the audio thread. It sees
// the channels summed after their volumes, so the player's volume and mute
// act before it. Only this hook touches it while the device is open.
static Limiter limiter;
LimiterStats SoundLimiterStats;

// --- device ---------------------------------------------------------------------

static void SDLCALL limitMix(void* state, Uint8* stream, int len)
{
    auto* l = static_cast<Limiter*>(state);
    LimiterProcess(l, reinterpret_cast<int16_t*>(stream), len / (2 * l->channels));
}

int SoundOpenDevice(int32_t sampleRate, int32_t bitsPerSample, int32_t channelCount)
{
    if (deviceOpen)
        return 1;
    Uint16 format = bitsPerSample == 8 ? AUDIO_U8 : bitsPerSample == 16 ? AUDIO_S16LSB : 0;
    if (format == 0 || sampleRate <= 0 || channelCount <= 0 || channelCount > kMaxOutputChannels)
        return 0;
    // Audio is started on its own so that a machine without a sound device
    // only loses the sound.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return 0;
    if (Mix_OpenAudio(sampleRate, format, channelCount, kMixerChunkFrames) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    if (Mix_AllocateChannels(kSoundChannelCount) != kSoundChannelCount ||
        Mix_QuerySpec(&deviceRate, &deviceFormat, &deviceChannels) == 0) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    deviceOpen = true;
    Mix_MasterVolume(masterVolume);
    // A fresh limiter for every opening: nothing of the last device's sound
    // is held over. Formats other than 16-bit samples play as mixed.
    if (deviceFormat == AUDIO_S16SYS && LimiterReset(&limiter, deviceRate, deviceChannels))
        Mix_SetPostMix(limitMix, &limiter);
    return 1;
}

void SoundCloseDevice()
{
    if (!deviceOpen)
        return;
    Mix_HaltChannel(-1);
    Mix_SetPostMix(nullptr, nullptr);
    SoundLimiterStats = limiter.stats;
    for (SoundBuffer*& slot : SoundChannels) {
        SoundBufferRelease(slot);
        slot = nullptr;
    }
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    deviceOpen = false;
    deviceRate = 0;
    deviceFormat = 0;
    deviceChannels = 0;
}

// --- buffers --------------------------------------------------------------------

void SoundBufferRelease(SoundBuffer* buffer)
{
    if (buffer == nullptr)
        return;
    // The chunk does not own its bytes (quick-loaded): free them after it,
    // when no channel can be reading them any more.
    if (buffer->chunk != nullptr)
        Mix_FreeChunk(buffer->chunk);
    SDL_free(buffer->samples);
    delete buffer;
}

// Only plain PCM that the converter understands and whose block align agrees
// with its sample size is played; anything else would be read wrongly.
static bool sourceFormatFor(const WaveFormat& f, Uint16* sdlFormat)
{
    if (f.formatTag != kWaveFormatPcm || f.channels == 0 || f.channels > kMaxSourceChannels)
        return false;
    if (f.samplesPerSec < kMinSourceRate || f.samplesPerSec > kMaxSourceRate)
        return false;
    if (f.bitsPerSample == 8)
        *sdlFormat = AUDIO_U8;
    else if (f.bitsPerSample == 16)
        *sdlFormat = AUDIO_S16LSB;
    else
        return false;
    return f.blockAlign == f.channels * (f.bitsPerSample / 8);
}

int SoundBufferFill(SoundBuffer* buffer, const unsigned char* source, uint32_t count)
{
    if (buffer == nullptr || source == nullptr || count == 0 || !deviceOpen)
        return 0;
    if (count > buffer->capacity)
        return 0;
    uint32_t frameBytes = uint32_t(buffer->sourceChannels) * (SDL_AUDIO_BITSIZE(buffer->sourceFormat) / 8);
    count -= count % frameBytes;
    if (count == 0)
        return 0;

    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, Uint16(buffer->sourceFormat), Uint8(buffer->sourceChannels), buffer->sourceRate,
                          deviceFormat, Uint8(deviceChannels), deviceRate) < 0)
        return 0;
    // The converter works in place in a buffer len_mult times the input.
    uint64_t workBytes = uint64_t(count) * uint64_t(cvt.len_mult);
    if (workBytes > uint64_t(INT_MAX))
        return 0;
    auto* work = static_cast<Uint8*>(SDL_malloc(size_t(workBytes)));
    if (work == nullptr)
        return 0;
    std::memcpy(work, source, count);
    cvt.buf = work;
    cvt.len = int(count);
    if (SDL_ConvertAudio(&cvt) != 0 || cvt.len_cvt <= 0) {
        SDL_free(work);
        return 0;
    }
    Mix_Chunk* chunk = Mix_QuickLoad_RAW(work, Uint32(cvt.len_cvt));
    if (chunk == nullptr) {
        SDL_free(work);
        return 0;
    }
    // Refilling replaces what the buffer held.
    if (buffer->chunk != nullptr)
        Mix_FreeChunk(buffer->chunk);
    SDL_free(buffer->samples);
    buffer->samples = work;
    buffer->chunk = chunk;
    return 1;
}

SoundBuffer* SoundBufferFromResource(const char* cueName)
{
    if (!deviceOpen)
        return nullptr;
    const unsigned char* fmt = nullptr;
    const unsigned char* data = nullptr;
    uint32_t dataSize = 0;
    if (!WaveFindResource(nullptr, cueName, &fmt, &data, &dataSize))
        return nullptr;
    Uint16 sdlFormat = 0;
    WaveFormat format = WaveReadFormat(fmt);
    if (!sourceFormatFor(format, &sdlFormat))
        return nullptr;

    auto* buffer = new SoundBuffer{};
    buffer->sourceFormat = sdlFormat;
    buffer->sourceChannels = format.channels;
    buffer->sourceRate = int(format.samplesPerSec);
    buffer->capacity = dataSize;
    if (!SoundBufferFill(buffer, data, dataSize)) {
        SoundBufferRelease(buffer);
        return nullptr;
    }
    return buffer;
}

// --- channels -------------------------------------------------------------------

int SoundStart()
{
    if (deviceOpen)
        return 1;
    if (!SoundOpenDevice(kOutputRate, kOutputBits, kOutputChannels))
        return 0;
    // One hook for the whole run, however often sound is started again.
    if (!exitHookRegistered) {
        std::atexit(SoundShutdown);
        exitHookRegistered = true;
    }
    for (SoundBuffer*& slot : SoundChannels)
        slot = nullptr;
    return 1;
}

void SoundPlay(const char* cueName)
{
    if (!deviceOpen || cueName == nullptr)
        return;
    int slot = 0;
    while (slot < kSoundChannelCount && SoundChannels[slot] != nullptr)
        ++slot;
    if (slot == kSoundChannelCount)
        return;  // every channel busy: the cue is dropped
    SoundChannels[slot] = SoundBufferFromResource(cueName);
    // A chunk that fails to start is simply reaped at the next frame.
    if (SoundChannels[slot] != nullptr)
        Mix_PlayChannel(slot, SoundChannels[slot]->chunk, 0);
}

int SoundReap()
{
    if (!deviceOpen)
        return 0;
    int playing = 0;
    for (int slot = 0; slot < kSoundChannelCount; ++slot) {
        if (SoundChannels[slot] == nullptr)
            continue;
        if (Mix_Playing(slot)) {
            ++playing;
        } else {
            SoundBufferRelease(SoundChannels[slot]);
            SoundChannels[slot] = nullptr;
        }
    }
    return playing;
}

void SoundSetVolume(int32_t level, int32_t steps)
{
    if (steps <= 0)
        return;
    masterVolume = SDL_clamp(level, 0, steps) * MIX_MAX_VOLUME / steps;
    if (deviceOpen)
        Mix_MasterVolume(masterVolume);
}

void SoundPause(int32_t paused)
{
    if (!deviceOpen)
        return;
    if (paused)
        Mix_Pause(-1);
    else
        Mix_Resume(-1);
}

void SoundShutdown()
{
    SoundCloseDevice();
}
