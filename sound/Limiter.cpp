// Limiter.cpp -- make-up gain and a look-ahead true-peak limiter.
//
// Each frame in: lift it by the make-up gain and keep it in a ring. Once the
// frames after it have arrived, estimate the highest point of the waveform
// between it and the frame before (three points between the samples,
// interpolated by a windowed sinc) and note the gain that would keep that
// point at the ceiling. The gain applied is the least of those notes over
// the look-ahead and the interpolation's reach (a hold), let back towards 1
// exponentially (the release), and averaged over the look-ahead (a straight
// ramp down instead of a step). The frame that comes out is the one so far
// behind that every note that concerns it is already known, so its gain is
// never above what any peak near it asked for.
#include "sound/Limiter.h"

#include <algorithm>
#include <cmath>

static constexpr int kHalfTaps = kLimiterTaps / 2;
// The interpolation between frames k-1 and k reads frames k-6 .. k+5.
static constexpr int kSupportBefore = kHalfTaps;
static constexpr int kSupportAfter = kHalfTaps - 1;
static constexpr uint32_t kMask = Limiter::kRing - 1;
static_assert((Limiter::kRing & kMask) == 0 && Limiter::kRing > kLimiterMaxLookAhead + 2 * kLimiterTaps);

static constexpr double kPi = 3.14159265358979323846;
static constexpr float kReleaseDone = 1.2e-4f;  // 0.001 dB

// Phase j of the interpolator gives the waveform at j/4 of the way from frame
// m to m+1 from frames m-5 .. m+6; each phase sums to 1 so a constant stays
// constant.
static void buildKernel(Limiter* l)
{
    for (int j = 0; j < kLimiterPhases; j++) {
        double sum = 0;
        double taps[kLimiterTaps];
        for (int i = 0; i < kLimiterTaps; i++) {
            double t = double(j) / kLimiterPhases - (i - (kHalfTaps - 1));
            double sinc = t == 0 ? 1.0 : std::sin(kPi * t) / (kPi * t);
            double window = 0.5 + 0.5 * std::cos(kPi * t / kHalfTaps);
            taps[i] = sinc * window;
            sum += taps[i];
        }
        for (int i = 0; i < kLimiterTaps; i++)
            l->kernel[j][i] = float(taps[i] / sum);
    }
}

int LimiterReset(Limiter* l, int32_t sampleRate, int32_t channels, double makeUpDb, double ceilingDb)
{
    if (channels < 1 || channels > kLimiterMaxChannels || sampleRate <= 0)
        return 0;
    l->channels = channels;
    l->lookAhead = std::clamp(int(std::lround(kLimiterLookAheadSeconds * sampleRate)), 1, kLimiterMaxLookAhead);
    l->makeUp = float(std::pow(10.0, makeUpDb / 20.0) / 32768.0);
    l->ceiling = float(std::pow(10.0, ceilingDb / 20.0));
    l->release = float(1.0 - std::exp(-1.0 / (kLimiterReleaseSeconds * sampleRate)));
    buildKernel(l);
    for (int i = 0; i < Limiter::kRing; i++) {
        std::fill(l->input[i], l->input[i] + kLimiterMaxChannels, 0.0f);
        l->needed[i] = 1.0f;
        l->held[i] = 1.0f;
    }
    l->heldSum = l->lookAhead;
    l->heldReduced = 0;
    l->neededReduced = 0;
    l->gain = 1.0f;
    l->frame = 0;
    l->stats = LimiterStats{0, 0, 0, 0, 1.0f};
    return 1;
}

// A frame goes out when the ramp that ends at the newest note has passed
// every peak whose interpolation reads it: lookAhead + 5 frames behind the
// newest note, itself 5 frames behind the input. The hold keeps each note
// over every frame whose gain that ramp averages.
static int outputLag(const Limiter* l)
{
    return l->lookAhead + kSupportBefore - 1;
}

int LimiterLatency(const Limiter* l)
{
    return kSupportAfter + outputLag(l);
}

// The highest magnitude of the waveform over (k-1, k], on any channel.
static float truePeak(const Limiter* l, uint32_t k)
{
    float peak = 0;
    for (int c = 0; c < l->channels; c++) {
        peak = std::max(peak, std::fabs(l->input[k & kMask][c]));
        uint32_t first = k - kHalfTaps;  // frame m - 5, with m = k - 1
        for (int j = 1; j < kLimiterPhases; j++) {
            float v = 0;
            for (int i = 0; i < kLimiterTaps; i++)
                v += l->kernel[j][i] * l->input[(first + uint32_t(i)) & kMask][c];
            peak = std::max(peak, std::fabs(v));
        }
    }
    return peak;
}

static void count(LimiterStats* s, float gain)
{
    constexpr float kTenthDb = 0.98855309f, kOneDb = 0.89125094f, kThreeDb = 0.70794578f;  // -0.1, -1, -3 dB
    s->frames++;
    s->leastGain = std::min(s->leastGain, gain);
    s->reduced += gain < kTenthDb;
    s->reducedOver1 += gain < kOneDb;
    s->reducedOver3 += gain < kThreeDb;
}

void LimiterProcess(Limiter* l, int16_t* samples, int32_t frames)
{
    const int channels = l->channels;
    const uint32_t hold = uint32_t(outputLag(l) + kSupportAfter);
    for (int32_t f = 0; f < frames; f++) {
        int16_t* frame = samples + f * channels;
        const uint32_t n = l->frame++;
        for (int c = 0; c < channels; c++)
            l->input[n & kMask][c] = float(frame[c]) * l->makeUp;

        // The gain the peak just before frame k asks for, held over every
        // frame whose gain can touch it.
        const uint32_t k = n - uint32_t(kSupportAfter);
        const float peak = truePeak(l, k);
        // Most of the time no note in the hold asks for anything: counting
        // them spares the search.
        const float need = peak > l->ceiling ? l->ceiling / peak : 1.0f;
        l->neededReduced += int(need < 1.0f) - int(l->needed[(k - hold - 1) & kMask] < 1.0f);
        l->needed[k & kMask] = need;
        float target = 1.0f;
        for (uint32_t i = 0; i <= hold && l->neededReduced > 0; i++)
            target = std::min(target, l->needed[(k - i) & kMask]);
        // The release ends at exactly 1 once within a thousandth of a decibel,
        // rather than creeping towards it for a second.
        const float released = l->gain + (1.0f - l->gain) * l->release;
        l->gain = std::min(target, released > 1.0f - kReleaseDone ? 1.0f : released);

        // The ramp: the mean of the last lookAhead held gains. While none of
        // them is below 1 the gain is exactly 1 and the sum starts afresh, so
        // rounding never builds up.
        const uint32_t oldest = (k - uint32_t(l->lookAhead)) & kMask;
        l->heldReduced += int(l->gain < 1.0f) - int(l->held[oldest] < 1.0f);
        l->heldSum += double(l->gain) - double(l->held[oldest]);
        l->held[k & kMask] = l->gain;
        if (l->heldReduced == 0)
            l->heldSum = l->lookAhead;
        const float gain = l->heldReduced == 0 ? 1.0f : std::min(1.0f, float(l->heldSum / l->lookAhead));
        count(&l->stats, gain);

        const float* out = l->input[(k - uint32_t(outputLag(l))) & kMask];
        for (int c = 0; c < channels; c++) {
            float v = std::clamp(out[c] * gain, -l->ceiling, l->ceiling);
            frame[c] = int16_t(std::lround(v * 32768.0f));
        }
    }
}
