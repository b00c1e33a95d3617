// Synthesises the application's error sounds into WAV files (16-bit PCM, mono, 44.1 kHz).
// Usage: wv_soundgen <output folder>
// Every sound is computed, not sampled, so the same program always writes the same files.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

using Samples = std::vector<double>;

// Little-endian WAV writer.
bool writeWav(const std::filesystem::path& path, const Samples& samples) {
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    auto u32 = [&](std::uint32_t v) { out.put(char(v)).put(char(v >> 8)).put(char(v >> 16)).put(char(v >> 24)); };
    auto u16 = [&](std::uint16_t v) { out.put(char(v)).put(char(v >> 8)); };
    const std::uint32_t dataBytes = std::uint32_t(samples.size() * 2);
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(kRate);
    u32(kRate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    for (double s : samples) {
        const double clamped = std::fmax(-1.0, std::fmin(1.0, s));
        u16(std::uint16_t(std::int16_t(std::lround(clamped * 32767))));
    }
    return bool(out);
}

Samples render(double seconds, const std::function<double(double)>& signal) {
    Samples samples(std::size_t(seconds * kRate));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = signal(double(i) / kRate);
    // A few milliseconds of fade at both ends keep the start and end free of clicks.
    const std::size_t fade = kRate / 400;
    for (std::size_t i = 0; i < fade && i < samples.size(); ++i) {
        const double g = double(i) / fade;
        samples[i] *= g;
        samples[samples.size() - 1 - i] *= g;
    }
    return samples;
}

double midiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// A soft two-step "bip": a short high tone sliding down a fourth, with a quick decay.
Samples beta(double pitch) {
    return render(0.16, [pitch](double t) {
        const double f = t < 0.06 ? midiToHz(pitch) : midiToHz(pitch - 5);
        const double env = std::exp(-t * 22) * std::fmin(1.0, t * 400);
        return 0.55 * env * (std::sin(2 * kPi * f * t) + 0.2 * std::sin(4 * kPi * f * t));
    });
}

// A toy-glockenspiel note: a bright fundamental with its inharmonic bar partials.
Samples child(double note) {
    const double f = midiToHz(note);
    return render(0.28, [f](double t) {
        const double env = std::exp(-t * 14);
        return 0.45 * env *
               (std::sin(2 * kPi * f * t) + 0.35 * std::exp(-t * 30) * std::sin(2 * kPi * f * 2.76 * t) +
                0.15 * std::exp(-t * 50) * std::sin(2 * kPi * f * 5.4 * t));
    });
}

// A marimba stroke: a warm fundamental and the bar's fourth harmonic, decaying fast.
Samples marimba(double note) {
    const double f = midiToHz(note);
    return render(0.35, [f](double t) {
        const double env = std::exp(-t * 11);
        return 0.6 * env * (std::sin(2 * kPi * f * t) + 0.25 * std::exp(-t * 40) * std::sin(2 * kPi * f * 4 * t));
    });
}

// A plucked string (Karplus-Strong) with a fixed noise seed.
Samples pluck(double note) {
    const double f = midiToHz(note);
    const std::size_t period = std::size_t(kRate / f);
    std::vector<double> line(period);
    std::uint32_t seed = 0x2545F491u ^ std::uint32_t(note * 97);
    for (double& v : line) {
        seed = seed * 1664525u + 1013904223u;
        v = (double(seed >> 8) / double(1u << 24)) * 2 - 1;
    }
    Samples samples(std::size_t(0.4 * kRate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t k = i % period;
        const double next = line[(k + 1) % period];
        samples[i] = 0.5 * line[k];
        line[k] = 0.996 * 0.5 * (line[k] + next);
    }
    const std::size_t fade = kRate / 400;
    for (std::size_t i = 0; i < fade; ++i) {
        samples[i] *= double(i) / fade;
        samples[samples.size() - 1 - i] *= double(i) / fade;
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wv_soundgen <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    struct Sound {
        std::string name;
        Samples samples;
    };
    // Five notes of a pentatonic scale for each family of five.
    const double scale[] = {72, 74, 76, 79, 81};
    std::vector<Sound> sounds;
    sounds.push_back({"sound_beta_2", beta(81)});
    for (int i = 0; i < 5; ++i) {
        sounds.push_back({"sound_child_" + std::to_string(i + 1), child(scale[i] + 12)});
        sounds.push_back({"sound_mar_" + std::to_string(i + 1), marimba(scale[i] - 12)});
        sounds.push_back({"sound_pluc_" + std::to_string(i + 1), pluck(scale[i] - 12)});
    }
    for (const Sound& sound : sounds) {
        const auto path = folder / (sound.name + ".wav");
        if (!writeWav(path, sound.samples)) {
            std::fprintf(stderr, "wv_soundgen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
