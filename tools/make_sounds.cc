// Writes the package's reminder sounds: short synthesised tones with soft envelopes, stored as
// 16-bit big-endian linear PCM CAF files, 22050 Hz mono. Output is the same on every run.
//   qv_make_sounds package/Sounds
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Samples = std::vector<double>;

Samples silence(double seconds) {
  return Samples(static_cast<std::size_t>(seconds * kRate), 0.0);
}

// A struck tone: quick rise, exponential fall, and a 15 ms release so a note cut short does not
// click. `partials` are (frequency ratio, level, decay rate per second).
struct Partial {
  double ratio, level, decay;
};
void addNote(Samples& out, double start, double length, double frequency,
             const std::vector<Partial>& partials, double attack = 0.004) {
  auto first = static_cast<std::size_t>(start * kRate);
  auto count = static_cast<std::size_t>(length * kRate);
  for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double rise = std::min(1.0, t / attack);
    double release = std::min(1.0, (length - t) / 0.015);
    double value = 0;
    for (const Partial& p : partials) {
      value += p.level * std::exp(-p.decay * t) * std::sin(2 * kPi * frequency * p.ratio * t);
    }
    out[first + i] += rise * release * value;
  }
}

// A bell by frequency modulation: the modulation index falls with the loudness, so the tone
// starts bright and mellows as it fades.
void addFmBell(Samples& out, double frequency, double ratio, double index, double decay) {
  for (std::size_t i = 0; i < out.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double envelope = std::min(1.0, t / 0.003) * std::exp(-decay * t);
    double modulator = index * envelope * std::sin(2 * kPi * frequency * ratio * t);
    out[i] += envelope * std::sin(2 * kPi * frequency * t + modulator);
  }
}

// Scales to a comfortable peak and fades the last 20 ms so no file ends in a click.
std::vector<std::int16_t> finish(Samples samples) {
  double peak = 0;
  for (double s : samples) peak = std::max(peak, std::abs(s));
  double gain = peak > 0 ? 0.7 / peak : 0;
  std::size_t fade = static_cast<std::size_t>(0.02 * kRate);
  std::vector<std::int16_t> out;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    double tail =
        std::min(1.0, static_cast<double>(samples.size() - i) / static_cast<double>(fade));
    out.push_back(static_cast<std::int16_t>(std::lround(samples[i] * gain * tail * 32767)));
  }
  return out;
}

void putBE(std::vector<std::uint8_t>& out, std::uint64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void putTag(std::vector<std::uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

std::vector<std::uint8_t> cafBytes(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> out;
  putTag(out, "caff");
  putBE(out, 1, 2);  // file version
  putBE(out, 0, 2);  // file flags
  putTag(out, "desc");
  putBE(out, 32, 8);
  std::uint64_t rateBits;
  std::memcpy(&rateBits, &kRate, sizeof rateBits);
  putBE(out, rateBits, 8);
  putTag(out, "lpcm");
  putBE(out, 0, 4);   // flags: signed integer, big-endian
  putBE(out, 2, 4);   // bytes per packet
  putBE(out, 1, 4);   // frames per packet
  putBE(out, 1, 4);   // channels
  putBE(out, 16, 4);  // bits per channel
  putTag(out, "data");
  putBE(out, 4 + 2 * samples.size(), 8);
  putBE(out, 0, 4);  // edit count
  for (std::int16_t s : samples) putBE(out, static_cast<std::uint16_t>(s), 2);
  return out;
}

double note(int semitonesFromA4) {
  return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0);
}

const std::vector<Partial> kMarimba = {{1, 1.0, 9}, {4, 0.35, 40}, {6.8, 0.06, 90}};
const std::vector<Partial> kGlass = {{1, 1.0, 6}, {2, 0.25, 14}, {3, 0.12, 22}};
const std::vector<Partial> kBeep = {{1, 1.0, 3}, {3, 0.15, 6}};
const std::vector<Partial> kChime = {
    {1, 1.0, 2.5}, {2.76, 0.5, 4}, {5.40, 0.25, 7}, {8.93, 0.12, 11}};

struct Sound {
  const char* name;
  double seconds;
  std::function<void(Samples&)> compose;
};

const std::vector<Sound> kSounds = {
    {"SMS 1.caf", 0.45,
     [](Samples& s) {
       addNote(s, 0.00, 0.12, note(27), kBeep);
       addNote(s, 0.18, 0.12, note(27), kBeep);
     }},
    {"SMS 2.caf", 0.80,
     [](Samples& s) {
       addNote(s, 0.00, 0.30, note(15), kGlass);
       addNote(s, 0.16, 0.30, note(19), kGlass);
       addNote(s, 0.32, 0.48, note(22), kGlass);
     }},
    {"SMS 3.caf", 1.10,
     [](Samples& s) {
       addNote(s, 0.00, 0.50, note(10), kMarimba);
       addNote(s, 0.22, 0.88, note(17), kMarimba);
     }},
    {"Tri-tone.caf", 0.65,
     [](Samples& s) {
       addNote(s, 0.00, 0.25, note(19), kGlass);
       addNote(s, 0.14, 0.25, note(24), kGlass);
       addNote(s, 0.28, 0.37, note(31), kGlass);
     }},
    {"Chime.caf", 1.50, [](Samples& s) { addNote(s, 0.0, 1.5, note(12), kChime, 0.002); }},
    {"Bell.caf", 2.00, [](Samples& s) { addFmBell(s, note(7), 1.4, 3.0, 2.2); }},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const Sound& sound : kSounds) {
    Samples samples = silence(sound.seconds);
    sound.compose(samples);
    std::vector<std::uint8_t> bytes = cafBytes(finish(std::move(samples)));
    std::ofstream file(folder / sound.name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
      std::fprintf(stderr, "%s: cannot write\n", (folder / sound.name).string().c_str());
      return 2;
    }
    std::printf("%s  %.2f s  %zu bytes\n", sound.name, sound.seconds, bytes.size());
  }
  return 0;
}
