// What the simulated sound service knows about a sound file: rate, channels and length, read
// from the file's own header (CAF, RIFF/WAVE or AIFF/AIFC). Pure functions; thread-safe.
//   auto info = readSoundFile(root + "/Library/Sounds/SMS 3.caf");  info->durationSeconds
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/result.h"

namespace qv::audio {

struct SoundInfo {
  double sampleRate = 0;
  int channels = 0;
  std::uint64_t frames = 0;  // playable frames, without encoder priming or padding
  double durationSeconds = 0;
};

// Reads CAF, RIFF/WAVE or AIFF/AIFC bytes, chosen by their opening tag.
Result<SoundInfo> readSoundInfo(std::span<const std::uint8_t> bytes);

// Reads a sound file from disk; an Error names the path and what was wrong.
Result<SoundInfo> readSoundFile(const std::string& path);

// The fields every reader derives from a format description, checked for plausibility.
Result<SoundInfo> makeSoundInfo(double sampleRate, std::int64_t channels, std::uint64_t frames);

}  // namespace qv::audio
