// Limiter.h -- the last stage of the sound: make-up gain and a look-ahead
// peak limiter over the mixed output.
//
// The cues are made quiet enough that their busiest pile-up never clips in
// the mixer, which adds the channels and clamps at full scale. That leaves
// the game too quiet, so the mix is lifted by a fixed make-up gain, and the
// rare moments that would then pass the ceiling are turned down just enough,
// a few milliseconds ahead, and let back up over tens of milliseconds. The
// ceiling applies to the peaks between the samples too (estimated at four
// times the rate), so that what a player's converter rebuilds stays under it.
//
// Plain C++ on interleaved 16-bit samples, no SDL: the mixer's post-mix hook
// calls LimiterProcess on the audio thread. Everything lives inside the
// Limiter record; processing allocates nothing and takes no lock. The output
// is the same whatever the buffers' sizes: every frame is handled alone.
#pragma once

#include <cstdint>

inline constexpr int kLimiterMaxChannels = 8;
inline constexpr int kLimiterMaxLookAhead = 256;  // frames
inline constexpr int kLimiterTaps = 12;           // interpolation taps per phase
inline constexpr int kLimiterPhases = 4;          // estimated points per sample step

// The level the game plays at: the mix lifted by this much (a busy game then
// measures about -20 LUFS), its (true) peaks kept at or under the ceiling.
// The ceiling is on the estimated peaks; for sounds near the top of the band
// four points a sample step can read up to 0.7 dB low, so it sits a decibel
// under the -1 dBTP the output must keep.
inline constexpr double kLimiterMakeUpDb = 6.5;
inline constexpr double kLimiterCeilingDb = -2.0;
inline constexpr double kLimiterLookAheadSeconds = 0.003;
inline constexpr double kLimiterReleaseSeconds = 0.060;

// How often and how hard the limiter turned the sound down, counted in
// frames since the last reset.
struct LimiterStats {
    uint64_t frames;
    uint64_t reduced;       // frames played more than 0.1 dB down
    uint64_t reducedOver1;  // ... with more than 1 dB
    uint64_t reducedOver3;  // ... with more than 3 dB
    float leastGain;        // the deepest reduction, as a factor (1 = none)
};

struct Limiter {
    int channels;
    int lookAhead;  // frames of look-ahead (and of the attack ramp)
    float makeUp;   // linear
    float ceiling;  // linear, of full scale
    float release;  // per-frame approach of the gain towards 1
    float kernel[kLimiterPhases][kLimiterTaps];
    // The gained input, the peak requirements and the held gains, in rings.
    static constexpr int kRing = 512;  // a power of two above look-ahead + taps
    float input[kRing][kLimiterMaxChannels];
    float needed[kRing];  // the gain each frame's (true) peak asks for
    int neededReduced;    // how many of those in the hold are below 1
    float held[kRing];    // the gain after hold and release, before the ramp
    double heldSum;       // sum of the last lookAhead held gains
    int heldReduced;      // how many of them are below 1
    float gain;           // the released gain of the last frame
    uint32_t frame;       // frames taken in since the reset
    LimiterStats stats;
};

// Sets the limiter up for `channels` interleaved channels (1..8) at
// `sampleRate` Hz, with silence behind it and no reduction; 0 if the format
// is not one it handles. `makeUpDb` and `ceilingDb` are in decibels of full
// scale. Called before the hook is installed, whenever the device (re)opens.
int LimiterReset(Limiter* limiter, int32_t sampleRate, int32_t channels, double makeUpDb = kLimiterMakeUpDb,
                 double ceilingDb = kLimiterCeilingDb);

// Replaces `frames` interleaved frames at `samples` with the limited output.
// The output runs LimiterLatency frames behind the input.
void LimiterProcess(Limiter* limiter, int16_t* samples, int32_t frames);

// The frames the output lags the input.
int LimiterLatency(const Limiter* limiter);
