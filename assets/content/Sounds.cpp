// Sound synthesis. Everything is computed from fixed recipes and a fixed-seed noise source,
// so the same sources give the same samples on every run.
#include "assets/content/Sounds.h"

#include "assets/content/FileOut.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace assets {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRate = kSoundRate;

using Buffer = std::vector<double>;

Buffer Silence(double seconds)
{
    return Buffer(static_cast<size_t>(seconds * kRate), 0.0);
}

// White noise in [-1, 1] from a fixed linear congruential generator.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 23) - 1.0;
    }

private:
    uint32_t state_;
};

// A two-pole band-pass (state-variable filter) whose centre may move per sample.
class BandPass {
public:
    double Process(double in, double centre, double q)
    {
        const double f = 2.0 * std::sin(kPi * std::min(centre, kRate / 6) / kRate);
        low_ += f * band_;
        const double high = in - low_ - band_ / q;
        band_ += f * high;
        return band_;
    }

private:
    double low_ = 0, band_ = 0;
};

double Note(int semitonesFromA4)
{
    return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0);
}

// A soft bell: a sine with a quieter octave and fifth above it, exponential decay.
void AddBell(Buffer& b, double start, double freq, double amp, double decay, double length)
{
    const size_t s0 = static_cast<size_t>(start * kRate);
    const size_t n = static_cast<size_t>(length * kRate);
    for (size_t i = 0; i < n && s0 + i < b.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = std::min(1.0, t / 0.004);
        const double env = attack * std::exp(-t / decay);
        const double w = 2 * kPi * freq * t;
        b[s0 + i] += amp * env * (std::sin(w) + 0.35 * std::sin(2 * w) * std::exp(-t / (decay * 0.4)) + 0.12 * std::sin(3 * w));
    }
}

// Fades the first and last few milliseconds to zero so a one-shot starts and ends silently.
void FadeEnds(Buffer& b, double seconds)
{
    const size_t n = std::min(b.size() / 2, static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < n; ++i) {
        const double g = 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / static_cast<double>(n));
        b[i] *= g;
        b[b.size() - 1 - i] *= g;
    }
}

std::vector<int16_t> ToPcm(const Buffer& b, double peak)
{
    double max = 1e-9;
    for (double v : b)
        max = std::max(max, std::fabs(v));
    std::vector<int16_t> pcm(b.size());
    for (size_t i = 0; i < b.size(); ++i)
        pcm[i] = static_cast<int16_t>(std::lround(std::clamp(b[i] / max * peak, -1.0, 1.0) * 32767.0));
    return pcm;
}

std::vector<int16_t> Click()
{
    // A short tick: a 2.4 kHz ping and a breath of filtered noise, gone in 30 ms.
    Buffer b = Silence(0.045);
    Noise noise(17);
    BandPass bp;
    for (size_t i = 0; i < b.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double env = std::min(1.0, t / 0.0015) * std::exp(-t / 0.006);
        b[i] = env * (0.7 * std::sin(2 * kPi * 2400 * t) + 0.6 * bp.Process(noise.Next(), 3500, 1.5));
    }
    FadeEnds(b, 0.002);
    return ToPcm(b, 0.55);
}

std::vector<int16_t> GameStart()
{
    // A rising arpeggio, C5 E5 G5 C6, ringing into each other.
    Buffer b = Silence(1.2);
    const int notes[] = {3, 7, 10, 15};
    for (int i = 0; i < 4; ++i)
        AddBell(b, 0.09 * i, Note(notes[i]), i == 3 ? 1.0 : 0.8, 0.32, 1.2 - 0.09 * i);
    FadeEnds(b, 0.01);
    return ToPcm(b, 0.8);
}

std::vector<int16_t> Back()
{
    // A calm pad loop of four chords (Am, F, C, G), four seconds each. Every partial makes a
    // whole number of cycles over the loop and every envelope is periodic in it, so the last
    // sample runs straight into the first.
    constexpr double kLoop = 16.0;
    const size_t n = static_cast<size_t>(kLoop * kRate);
    Buffer b(n, 0.0);
    const int chords[4][4] = {{-12, -5, 0, 3}, {-16, -9, -4, 0}, {-21, -9, -5, -2}, {-14, -10, -7, -2}};
    double phase = 0;
    for (int c = 0; c < 4; ++c) {
        for (int k = 0; k < 4; ++k) {
            for (double detune : {-0.6, 0.6}) {
                // Round the frequency to whole cycles per loop.
                const double freq = std::round((Note(chords[c][k]) + detune) * kLoop) / kLoop;
                // Spread starting phases so the partials never all line up into a pulse.
                phase += 2.399963; // the golden angle

                for (size_t i = 0; i < n; ++i) {
                    const double t = static_cast<double>(i) / kRate;
                    // Raised-cosine window centred on this chord's slot, wrapping around the loop.
                    double d = std::fmod(t - (c * 4.0 + 2.0) + kLoop * 1.5, kLoop) - kLoop / 2;
                    const double window = std::fabs(d) < 4.0 ? 0.5 + 0.5 * std::cos(kPi * d / 4.0) : 0.0;
                    if (window == 0.0)
                        continue;
                    const double w = 2 * kPi * freq * t + phase;
                    b[i] += window * (k == 0 ? 0.9 : 0.5) * (std::sin(w) + 0.2 * std::sin(2 * w));
                }
            }
        }
    }
    // A slow breathing of the whole bed, eight cycles per loop.
    for (size_t i = 0; i < n; ++i)
        b[i] *= 0.85 + 0.15 * std::sin(2 * kPi * 8.0 * static_cast<double>(i) / static_cast<double>(n));
    return ToPcm(b, 0.35);
}

std::vector<int16_t> Wind()
{
    // A gust: noise through a band-pass whose centre sways, swelling in and dying away.
    Buffer b = Silence(6.0);
    Noise noise(4242);
    BandPass a, c;
    for (size_t i = 0; i < b.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double swell = std::sin(kPi * t / 6.0);
        const double centre = 450 + 250 * std::sin(2 * kPi * t / 2.3) + 120 * std::sin(2 * kPi * t / 0.9);
        const double n1 = noise.Next();
        b[i] = swell * swell * (a.Process(n1, centre, 4.0) + 0.5 * c.Process(n1, centre * 2.1, 6.0));
    }
    FadeEnds(b, 0.05);
    return ToPcm(b, 0.6);
}

std::vector<int16_t> Slide()
{
    // A quick whoosh rising in pitch, ending on a soft tick as the digit lands.
    Buffer b = Silence(0.22);
    Noise noise(99);
    BandPass bp;
    for (size_t i = 0; i < b.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double env = std::sin(kPi * std::min(1.0, t / 0.18));
        b[i] = 0.8 * env * bp.Process(noise.Next(), 800 + 9000 * t, 3.0);
    }
    AddBell(b, 0.17, 1760, 0.25, 0.02, 0.05);
    FadeEnds(b, 0.005);
    return ToPcm(b, 0.6);
}

std::vector<int16_t> Help()
{
    // Two bright notes, G5 then D6, with a shimmer of the octave.
    Buffer b = Silence(0.8);
    AddBell(b, 0.0, Note(10), 0.8, 0.22, 0.8);
    AddBell(b, 0.12, Note(17), 0.9, 0.3, 0.68);
    AddBell(b, 0.12, Note(29), 0.15, 0.15, 0.5);
    FadeEnds(b, 0.01);
    return ToPcm(b, 0.75);
}

std::vector<int16_t> GameOver()
{
    // A short fanfare: G4 C5 E5 G5, then a held C major chord.
    Buffer b = Silence(2.2);
    const int run[] = {-2, 3, 7, 10};
    for (int i = 0; i < 4; ++i)
        AddBell(b, 0.13 * i, Note(run[i]), 0.7, 0.18, 0.5);
    for (int tone : {3, 7, 10, 15})
        AddBell(b, 0.58, Note(tone), 0.55, 0.7, 1.6);
    FadeEnds(b, 0.02);
    return ToPcm(b, 0.8);
}

std::vector<int16_t> MenuCommand()
{
    // The developer keys' chime: two quick high bells, E6 then A6.
    Buffer b = Silence(0.32);
    AddBell(b, 0.0, Note(19), 0.7, 0.05, 0.2);
    AddBell(b, 0.07, Note(24), 0.8, 0.07, 0.25);
    FadeEnds(b, 0.004);
    return ToPcm(b, 0.5);
}

void Put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

void PutTag(std::vector<uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(tag[i]));
}

} // namespace

const std::vector<SoundRecipe>& SoundRecipes()
{
    static const std::vector<SoundRecipe> recipes = {
        {"sounds/click.wav", false, Click},     {"sounds/game_start.wav", false, GameStart},
        {"sounds/back.wav", true, Back},        {"sounds/wind.wav", false, Wind},
        {"sounds/slide.wav", false, Slide},     {"sounds/help.wav", false, Help},
        {"sounds/game_over.wav", false, GameOver}, {"sounds/menu_command.wav", false, MenuCommand},
    };
    return recipes;
}

std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples)
{
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    Put32(out, 36 + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);                       // PCM
    Put16(out, 1);                       // mono
    Put32(out, kSoundRate);
    Put32(out, kSoundRate * 2);          // bytes per second
    Put16(out, 2);                       // block align
    Put16(out, 16);                      // bits per sample
    PutTag(out, "data");
    Put32(out, dataBytes);
    for (int16_t s : samples)
        Put16(out, static_cast<uint16_t>(s));
    return out;
}

void GenerateSounds(const std::filesystem::path& outDir)
{
    for (const SoundRecipe& r : SoundRecipes())
        WriteFileAtomic(outDir / r.path, EncodeWav(r.synthesise()));
}

} // namespace assets
