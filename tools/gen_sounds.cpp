// gen_sounds.cpp -- synthesises the game's six sound cues as RIFF/WAVE files.
//
// usage: gen_sounds <output dir>
//
// Every cue is 16-bit mono PCM at 22050 Hz with a data chunk of a fixed size,
// followed by a LIST chunk that names it. The synthesis is deterministic
// (seeded noise, no clock), faded in and out so that no cue starts or stops
// with a click.
//
// Every cue is set to a loudness of its own choosing, measured the way a
// loudness meter does (K-weighted, both sides of the stereo output) but over
// 100 ms rather than the 400 ms of a meter's momentary window: the ear sums a
// short sound's energy over about that long, and a 400 ms window would rate a
// 60 ms tick several decibels too low and have it lifted far too much. A
// cue's level is the loudest 100 ms of it. The shot, the pop and the two long
// phrases share one level; the bounce and the click, meant as ticks under the
// play, sit 2 LU below it.
//
// The levels are low enough that the mixer, which adds its channels and
// clamps at full scale, never clips: the busiest moment of a game (the click
// and the pop starting together while the shot, the bounce and the clear are
// still sounding, each at its peak) stays at -1.7 dBFS, which leaves room for
// the resampling when the output runs at another rate. The game lifts the
// whole mix afterwards (sound/Limiter.h).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

static constexpr int kRate = 22050;
static constexpr double kPi = 3.14159265358979323846;
static constexpr double kLevelLufs = -22.5;  // the loudest 100 ms of the shot, pop, lose and clear
static constexpr double kTickLufs = -24.5;   // ... of the bounce and the click
static constexpr double kLoudnessWindowSeconds = 0.1;
static constexpr double kFadeInSeconds = 0.003;
static constexpr double kFadeOutSeconds = 0.012;

using Samples = std::vector<double>;

// A small xorshift generator: the same noise on every build.
static uint32_t noiseState = 0x2545F491u;

static double noise()
{
    noiseState ^= noiseState << 13;
    noiseState ^= noiseState >> 17;
    noiseState ^= noiseState << 5;
    return (noiseState / 4294967295.0) * 2.0 - 1.0;
}

// One-pole low-pass, cutoff in Hz.
struct LowPass {
    double state = 0;
    double coefficient;
    explicit LowPass(double cutoff) : coefficient(1.0 - std::exp(-2.0 * kPi * cutoff / kRate)) {}
    double step(double x)
    {
        state += coefficient * (x - state);
        return state;
    }
};

// A tone with a few harmonics; `brightness` 0 is a sine, towards 1 it
// approaches a soft sawtooth.
static double tone(double phase, double brightness)
{
    double v = std::sin(phase);
    double weight = brightness;
    for (int h = 2; h <= 6 && weight > 0.001; ++h) {
        v += weight / h * std::sin(h * phase);
        weight *= brightness;
    }
    return v;
}

// --- the cues ---------------------------------------------------------------

// The shot: a short blip sweeping up an octave and a half.
static Samples makeShoot(int count)
{
    Samples s(count);
    double phase = 0;
    for (int i = 0; i < count; ++i) {
        double t = double(i) / count;
        double freq = 330.0 * std::pow(3.0, t);
        phase += 2 * kPi * freq / kRate;
        double env = std::exp(-2.2 * t) * std::min(1.0, i / (0.008 * kRate));
        s[i] = env * tone(phase, 0.45);
    }
    return s;
}

// The bounce: a bright, very short tick off the wall.
static Samples makeBounce(int count)
{
    Samples s(count);
    LowPass air(6000);
    double phase = 0;
    for (int i = 0; i < count; ++i) {
        double seconds = double(i) / kRate;
        double freq = 2600.0 - 600.0 * (double(i) / count);
        phase += 2 * kPi * freq / kRate;
        double env = std::exp(-seconds / 0.012);
        double click = air.step(noise()) * std::exp(-seconds / 0.003);
        s[i] = env * (std::sin(phase) + 0.35 * std::sin(2.01 * phase)) + 0.8 * click;
    }
    return s;
}

// The click: a soft, woody knock as the ball settles.
static Samples makeClick(int count)
{
    Samples s(count);
    LowPass felt(1200);
    double phase = 0;
    double phase2 = 0;
    for (int i = 0; i < count; ++i) {
        double seconds = double(i) / kRate;
        double freq = 220.0 + 160.0 * std::exp(-seconds / 0.01);
        phase += 2 * kPi * freq / kRate;
        phase2 += 2 * kPi * (freq * 2.76) / kRate;
        double body = std::sin(phase) * std::exp(-seconds / 0.028);
        double ring = 0.3 * std::sin(phase2) * std::exp(-seconds / 0.012);
        double knock = felt.step(noise()) * std::exp(-seconds / 0.006);
        s[i] = body + ring + 1.5 * knock;
    }
    return s;
}

// One bubble: a sine whose pitch rises as it dies away.
static void addBubble(Samples& s, double start, double f0, double decay, double amplitude)
{
    double phase = 0;
    for (int i = int(start * kRate); i < int(s.size()); ++i) {
        double t = i / double(kRate) - start;
        double freq = f0 * (1.0 + 9.0 * t);
        phase += 2 * kPi * freq / kRate;
        double attack = std::min(1.0, t / 0.002);
        s[i] += amplitude * attack * std::exp(-t / decay) * std::sin(phase);
    }
}

// The pop: a burst of three bubbles, the first the loudest.
static Samples makePop(int count)
{
    Samples s(count);
    LowPass snap(3000);
    for (int i = 0; i < int(0.012 * kRate); ++i)
        s[i] = 0.5 * snap.step(noise()) * (1.0 - i / (0.012 * kRate));
    addBubble(s, 0.000, 520, 0.045, 1.0);
    addBubble(s, 0.045, 760, 0.035, 0.65);
    addBubble(s, 0.095, 640, 0.040, 0.5);
    return s;
}

// A sustained note with vibrato and a gentle swell, added into `s`.
struct Note {
    double start;   // seconds
    double length;  // seconds
    double freq;    // Hz at the start
    double glide;   // factor the pitch reaches at the end (1 = steady)
    double amplitude;
    double brightness;
    double vibrato;  // depth as a fraction of the pitch
};

static void addNote(Samples& s, const Note& n)
{
    double phase = 0;
    int first = int(n.start * kRate);
    int last = std::min(int(s.size()), int((n.start + n.length) * kRate));
    for (int i = first; i < last; ++i) {
        double t = i / double(kRate) - n.start;
        double u = t / n.length;
        double freq = n.freq * std::pow(n.glide, u) * (1.0 + n.vibrato * std::sin(2 * kPi * 5.5 * t));
        phase += 2 * kPi * freq / kRate;
        double attack = std::min(1.0, t / 0.02);
        double release = std::min(1.0, (n.length - t) / 0.08);
        double swell = std::sin(kPi * std::min(1.0, u * 1.6)) * 0.3 + 0.7;
        s[i] += n.amplitude * attack * release * swell * tone(phase, n.brightness);
    }
}

// The loss: four notes stepping down a semitone each, the last one long,
// wavering and sinking.
static Samples makeLose(int count)
{
    Samples s(count);
    const Note notes[] = {
        {0.00, 0.46, 392.00, 1.00, 1.0, 0.55, 0.000},
        {0.50, 0.46, 369.99, 1.00, 1.0, 0.55, 0.000},
        {1.00, 0.46, 349.23, 1.00, 1.0, 0.55, 0.000},
        {1.50, 1.62, 329.63, 0.89, 1.0, 0.55, 0.012},
    };
    for (const Note& n : notes)
        addNote(s, n);
    // A muted, slightly dull colour: a gentle low-pass over the phrase.
    LowPass dull(1800);
    for (double& v : s)
        v = dull.step(v);
    return s;
}

// The clear: a quick rising arpeggio into a bright major chord.
static Samples makeClear(int count)
{
    Samples s(count);
    const double c5 = 523.25, e5 = 659.26, g5 = 783.99, c6 = 1046.50, e6 = 1318.51;
    const Note notes[] = {
        {0.00, 0.16, c5, 1.0, 0.8, 0.6, 0.0},   {0.13, 0.16, e5, 1.0, 0.8, 0.6, 0.0},
        {0.26, 0.16, g5, 1.0, 0.8, 0.6, 0.0},   {0.39, 2.45, c6, 1.0, 0.7, 0.6, 0.006},
        {0.39, 2.45, g5, 1.0, 0.5, 0.6, 0.006}, {0.39, 2.45, e5, 1.0, 0.45, 0.6, 0.006},
        {0.52, 2.32, e6, 1.0, 0.3, 0.3, 0.008},
    };
    for (const Note& n : notes)
        addNote(s, n);
    // Let the chord ring away rather than stop.
    int tail = int(0.9 * kRate);
    for (int i = 0; i < tail; ++i)
        s[count - tail + i] *= std::pow(1.0 - double(i) / tail, 1.5);
    return s;
}

// --- writing ------------------------------------------------------------------

// A two-pole filter section, direct form I.
struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double step(double x)
    {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// The K-weighting of loudness meters at kRate: a high shelf of +4 dB above
// about 1.7 kHz (the head's effect), then a high pass near 38 Hz.
static Samples kWeighted(const Samples& s)
{
    const double a = std::pow(10.0, 3.999843853973347 / 40), w = 2 * kPi * 1681.974450955533 / kRate;
    const double c = std::cos(w), r = 2 * std::sqrt(a) * std::sin(w) / (2 * 0.7071752369554196);
    const double n = (a + 1) - (a - 1) * c + r;
    Biquad shelf{a * ((a + 1) + (a - 1) * c + r) / n, -2 * a * ((a - 1) + (a + 1) * c) / n,
                 a * ((a + 1) + (a - 1) * c - r) / n, 2 * ((a - 1) - (a + 1) * c) / n, ((a + 1) - (a - 1) * c - r) / n};
    const double w2 = 2 * kPi * 38.13547087602444 / kRate, c2 = std::cos(w2);
    const double q = std::sin(w2) / (2 * 0.5003270373238773), n2 = 1 + q;
    Biquad highPass{(1 + c2) / 2 / n2, -(1 + c2) / n2, (1 + c2) / 2 / n2, -2 * c2 / n2, (1 - q) / n2};
    Samples out(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = highPass.step(shelf.step(s[i]));
    return out;
}

// The loudest 100 ms of s at full scale 1, in LUFS, as heard on both sides of
// the output (a meter adds the two sides' powers).
static double loudest(const Samples& s)
{
    const Samples k = kWeighted(s);
    const size_t window = size_t(kLoudnessWindowSeconds * kRate);
    double sum = 0, most = 0;
    for (size_t i = 0; i < k.size(); ++i) {
        sum += k[i] * k[i] - (i >= window ? k[i - window] * k[i - window] : 0.0);
        most = std::max(most, sum);
    }
    return -0.691 + 10 * std::log10(2 * most / double(window));
}

// Raised-cosine fades at both ends, then scale to the cue's level.
static std::vector<int16_t> finish(Samples s, double levelLufs)
{
    int fadeIn = int(kFadeInSeconds * kRate);
    int fadeOut = int(kFadeOutSeconds * kRate);
    int n = int(s.size());
    for (int i = 0; i < fadeIn && i < n; ++i)
        s[i] *= 0.5 - 0.5 * std::cos(kPi * i / fadeIn);
    for (int i = 0; i < fadeOut && i < n; ++i)
        s[n - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * i / fadeOut);
    double gain = std::pow(10.0, (levelLufs - loudest(s)) / 20.0);
    std::vector<int16_t> out(n);
    for (int i = 0; i < n; ++i)
        out[i] = int16_t(std::clamp(std::lround(s[i] * gain * 32768.0), -32768L, 32767L));
    return out;
}

static void put32(std::string& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b += char((v >> (8 * i)) & 0xFF);
}

static void put16(std::string& b, uint16_t v)
{
    b += char(v & 0xFF);
    b += char(v >> 8);
}

static std::string waveFile(const std::vector<int16_t>& pcm, const std::string& title)
{
    std::string name = title;
    name += '\0';
    if (name.size() % 2)
        name += '\0';
    std::string list = "INFOINAM";
    put32(list, uint32_t(name.size()));
    list += name;

    std::string body = "WAVEfmt ";
    put32(body, 16);
    put16(body, 1);  // PCM
    put16(body, 1);  // mono
    put32(body, kRate);
    put32(body, kRate * 2);  // bytes per second
    put16(body, 2);          // block align
    put16(body, 16);         // bits per sample
    body += "data";
    put32(body, uint32_t(pcm.size() * 2));
    for (int16_t v : pcm)
        put16(body, uint16_t(v));
    body += "LIST";
    put32(body, uint32_t(list.size()));
    body += list;

    std::string file = "RIFF";
    put32(file, uint32_t(body.size()));
    return file + body;
}

struct Cue {
    const char* file;
    const char* title;
    int dataBytes;
    Samples (*make)(int count);
    double levelLufs;
};

static const Cue kCues[] = {
    {"ShootSound.wav", "Shoot", 7876, makeShoot, kLevelLufs},
    {"BounceSound.wav", "Bounce", 2784, makeBounce, kTickLufs},
    {"ClickSound.wav", "Click", 4956, makeClick, kTickLufs},
    {"PopSound.wav", "Pop", 9086, makePop, kLevelLufs},
    {"LoseSound.wav", "Lose", 139302, makeLose, kLevelLufs},
    {"ClearSound.wav", "Clear", 125028, makeClear, kLevelLufs},
};

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_sounds <output dir>\n");
        return 2;
    }
    for (const Cue& cue : kCues) {
        std::string bytes = waveFile(finish(cue.make(cue.dataBytes / 2), cue.levelLufs), cue.title);
        std::string path = std::string(argv[1]) + "/" + cue.file;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            std::perror(path.c_str());
            return 1;
        }
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = (std::fclose(f) == 0) && ok;
        if (!ok) {
            std::fprintf(stderr, "gen_sounds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
