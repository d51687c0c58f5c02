#include "platform/audio/sound_info.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/audio/aiff.h"
#include "platform/audio/caf.h"
#include "platform/audio/wave.h"

namespace qv::audio {
namespace {

// Alert sounds are seconds long; anything this big is not one and is not worth reading whole.
constexpr std::uintmax_t kMaxSoundFileSize = 64u << 20;

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view tag) {
  return bytes.size() >= tag.size() &&
         std::equal(tag.begin(), tag.end(), bytes.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}  // namespace

Result<SoundInfo> makeSoundInfo(double sampleRate, std::int64_t channels, std::uint64_t frames) {
  if (!std::isfinite(sampleRate) || sampleRate < 1 || sampleRate > 10'000'000) {
    return Error{"sample rate " + std::to_string(sampleRate) + " is not a plausible rate"};
  }
  if (channels < 1 || channels > 1024) {
    return Error{"channel count " + std::to_string(channels) + " is not between 1 and 1024"};
  }
  return SoundInfo{sampleRate, static_cast<int>(channels), frames,
                   static_cast<double>(frames) / sampleRate};
}

Result<SoundInfo> readSoundInfo(std::span<const std::uint8_t> bytes) {
  if (startsWith(bytes, "caff")) return readCafInfo(bytes);
  if (startsWith(bytes, "RIFF")) return readWaveInfo(bytes);
  if (startsWith(bytes, "FORM")) return readAiffInfo(bytes);
  return Error{"not a sound file this service reads (expected a 'caff', 'RIFF' or 'FORM' tag)"};
}

Result<SoundInfo> readSoundFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Error{path + ": no such sound file"};
  std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return Error{path + ": cannot read its size"};
  if (size > kMaxSoundFileSize) return Error{path + ": larger than 64 MiB, too big for a sound"};
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) return Error{path + ": read failed"};
  auto info = readSoundInfo(bytes);
  if (!info) return Error{path + ": " + info.error()};
  return info;
}

}  // namespace qv::audio
