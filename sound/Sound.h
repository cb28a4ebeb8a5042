// Sound.h -- named sound cues played once each on sixteen channels.
//
// Callers neither wait for nor check a cue; without a sound device every
// call does nothing. Everything runs on the game's thread; the mixer plays
// the channels on its own. No SDL type appears here, so that the rules can
// play cues without seeing SDL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/Resources.h"

struct Mix_Chunk;

// --- cues and channels ---------------------------------------------------------

int SoundStart();                     // 1 if the device is open afterwards
void SoundPlay(const char* cueName);  // "ShootSound", "PopSound", ...
int SoundReap();                      // channels still playing (0..16)
void SoundShutdown();                 // exit hook registered by SoundStart

// The player's volume, level 0 (silence) to steps (full), over everything
// played. Kept while no device is open and applied when one opens; at 0 the
// device stays open and plays silence.
void SoundSetVolume(int32_t level, int32_t steps);
// 1 holds every playing cue where it is, 0 lets them carry on.
void SoundPause(int32_t paused);

// A one-shot buffer: a cue's PCM bytes converted to the device's format,
// played once on one channel. Made by SoundBufferFromResource, owned by the
// channel slot that plays it, freed by SoundBufferRelease.
struct SoundBuffer {
    int sourceFormat;  // SDL audio format of the cue (8-bit unsigned or 16-bit signed LE)
    int sourceChannels;
    int sourceRate;          // samples per second
    uint32_t capacity;       // source bytes the buffer was made for
    unsigned char* samples;  // converted bytes in the device's format; owned
    Mix_Chunk* chunk;        // the mixer's view of `samples`; owned
};

inline constexpr int kSoundChannelCount = 16;

// Slot i plays on mixer channel i; null while empty. A finished buffer keeps
// its slot until the next SoundReap.
extern SoundBuffer* SoundChannels[kSoundChannelCount];

// Opens the output (rate in Hz, 8 or 16 bits, channel count) and allocates
// the sixteen mixer channels; 1 if it is open afterwards. Opening twice is a
// no-op that succeeds.
int SoundOpenDevice(int32_t sampleRate, int32_t bitsPerSample, int32_t channelCount);
// Stops every channel, frees the buffers left in the slots and closes the
// output. Safe when nothing is open.
void SoundCloseDevice();
// How much the limiter on the output worked while the device was last open;
// filled in when it closes.
extern struct LimiterStats SoundLimiterStats;

// A filled buffer for the "RAW" resource `cueName`, not yet playing, or null
// (no device, no such resource, not a playable PCM WAVE).
SoundBuffer* SoundBufferFromResource(const char* cueName);
// Converts `count` source bytes (in the buffer's source format, at most its
// capacity; a partial last frame is dropped) into the buffer; 1 or 0.
int SoundBufferFill(SoundBuffer* buffer, const unsigned char* source, uint32_t count);
// Frees the buffer and its chunk; null is ignored. The caller empties the slot.
void SoundBufferRelease(SoundBuffer* buffer);

// --- WAVE images --------------------------------------------------------------

inline constexpr int kWaveFormatPcm = 1;
inline constexpr uint32_t kWaveFormatBytes = 16;  // the PCM format record

// The fields of a "fmt " chunk body, read from its little-endian bytes.
struct WaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};

// Reads the 16-byte format record at `fmt` (as returned by WaveParse).
WaveFormat WaveReadFormat(const unsigned char* fmt);

// Walks the RIFF/WAVE image of `size` bytes at `image`. Each output that is
// not null receives, on success, a pointer to the "fmt " body (at least
// kWaveFormatBytes long), a pointer to the first non-empty "data" body and
// its byte count; all point into `image`, nothing is copied. The walk never
// reads past `size` bytes nor past the RIFF size field. On failure (0) every
// requested output is zero.
int WaveParse(const void* image, size_t size, const unsigned char** format, const unsigned char** data,
              uint32_t* dataSize);

// Looks up the "RAW" resource `name` (without regard to case) in `module`, a
// resource table ended by an entry with a null name (null = the game's own
// table), and parses it with WaveParse bounded by the resource's size.
int WaveFindResource(const ResourceEntry* module, const char* name, const unsigned char** format,
                     const unsigned char** data, uint32_t* dataSize);
