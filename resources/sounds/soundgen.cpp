// Synthesises the message box's two sounds as 16-bit PCM WAVE files, so the artwork's source is
// this program rather than an opaque binary. Run at build time: soundgen <output folder>.
//
//   100.wav  error: mono, 0.61 s, two soft descending tones with a warm, slightly hollow timbre
//   200.wav  information and question: stereo, 0.91 s, a rising two-note glass chime whose notes
//            sit a little left and a little right
//
// The output is fully deterministic.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int sampleRate = 44100;
constexpr double pi = 3.14159265358979323846;

struct Partial {
    double ratio;      // frequency relative to the note's fundamental
    double amplitude;  // relative to the fundamental
    double decay;      // time constant in seconds
};

struct Note {
    double start;  // seconds
    double frequency;
    double gain;
    double pan;  // 0 left .. 1 right
    std::vector<Partial> partials;
};

// A struck tone: a short raised-cosine attack, then each partial dies away on its own.
double noteSample(const Note& note, double t) {
    const double local = t - note.start;
    if (local < 0.0) return 0.0;
    constexpr double attack = 0.006;
    const double onset = local < attack ? 0.5 - 0.5 * std::cos(pi * local / attack) : 1.0;
    double value = 0.0;
    for (const Partial& partial : note.partials) {
        value += partial.amplitude * std::exp(-local / partial.decay) *
                 std::sin(2.0 * pi * note.frequency * partial.ratio * local);
    }
    return note.gain * onset * value;
}

// Renders the notes into interleaved frames, fades the last milliseconds to silence and scales
// the loudest sample to the given peak.
std::vector<std::int16_t> render(const std::vector<Note>& notes, double seconds, int channels,
                                 double peak) {
    const int frames = static_cast<int>(std::lround(seconds * sampleRate));
    std::vector<double> mix(static_cast<size_t>(frames) * channels, 0.0);
    constexpr double fadeOut = 0.04;
    double loudest = 1e-9;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double remaining = seconds - t;
        const double tail =
            remaining < fadeOut ? 0.5 - 0.5 * std::cos(pi * remaining / fadeOut) : 1.0;
        for (const Note& note : notes) {
            const double s = noteSample(note, t) * tail;
            if (channels == 1) {
                mix[i] += s;
            } else {
                // Constant-power panning keeps both notes equally loud.
                mix[2 * i] += s * std::cos(note.pan * pi / 2.0);
                mix[2 * i + 1] += s * std::sin(note.pan * pi / 2.0);
            }
        }
    }
    for (double v : mix) loudest = std::max(loudest, std::fabs(v));
    std::vector<std::int16_t> samples(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(std::lround(mix[i] / loudest * peak * 32767.0));
    }
    return samples;
}

void putLittleEndian(std::FILE* file, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((value >> (8 * i)) & 0xff), file);
}

bool writeWave(const std::string& path, const std::vector<std::int16_t>& samples, int channels) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels * 2);
    std::fwrite("RIFF", 1, 4, file);
    putLittleEndian(file, 36 + dataBytes, 4);
    std::fwrite("WAVEfmt ", 1, 8, file);
    putLittleEndian(file, 16, 4);  // size of the format chunk
    putLittleEndian(file, 1, 2);   // PCM
    putLittleEndian(file, static_cast<std::uint32_t>(channels), 2);
    putLittleEndian(file, sampleRate, 4);
    putLittleEndian(file, sampleRate * blockAlign, 4);
    putLittleEndian(file, blockAlign, 2);
    putLittleEndian(file, 16, 2);  // bits per sample
    std::fwrite("data", 1, 4, file);
    putLittleEndian(file, dataBytes, 4);
    for (std::int16_t sample : samples)
        putLittleEndian(file, static_cast<std::uint16_t>(sample), 2);
    const bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written;
}

std::vector<Note> errorNotes() {
    // Odd partials give the hollow, clarinet-like colour that reads as "something is wrong"
    // without being harsh.
    const std::vector<Partial> hollow = {
        {1.0, 1.0, 0.20}, {3.0, 0.22, 0.09}, {5.0, 0.06, 0.05}, {2.0, 0.08, 0.12}};
    return {{0.000, 493.88, 1.0, 0.5, hollow},   // B4
            {0.150, 369.99, 1.0, 0.5, hollow}};  // F#4
}

std::vector<Note> informationNotes() {
    // Slightly inharmonic upper partials make a soft glass or marimba-like strike.
    const std::vector<Partial> glass = {
        {1.0, 1.0, 0.42}, {2.76, 0.16, 0.12}, {5.40, 0.05, 0.06}, {2.0, 0.10, 0.25}};
    return {{0.000, 783.99, 0.85, 0.35, glass},    // G5
            {0.130, 1174.66, 0.75, 0.65, glass}};  // D6
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = writeWave(folder + "/100.wav", render(errorNotes(), 0.61, 1, 0.55), 1) &&
                    writeWave(folder + "/200.wav", render(informationNotes(), 0.91, 2, 0.5), 2);
    if (!ok) std::fprintf(stderr, "cannot write the sounds into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
