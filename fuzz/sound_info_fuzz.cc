// Feeds arbitrary bytes to the CAF, WAVE and AIFF header readers.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/audio/aiff.h"
#include "platform/audio/caf.h"
#include "platform/audio/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  qv::audio::readSoundInfo(bytes);
  qv::audio::readCafInfo(bytes);
  qv::audio::readWaveInfo(bytes);
  qv::audio::readAiffInfo(bytes);
  return 0;
}
