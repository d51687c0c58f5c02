// Core Audio Format headers: the 'desc' description, the 'data' chunk (to end of file when its
// size is -1) and, for formats with variable-size packets, the 'pakt' frame count.
// Also brings in readSoundFile, which reads any of the sound-file kinds users drop in.
#pragma once

#include <cstdint>
#include <span>

#include "platform/audio/sound_info.h"
#include "platform/result.h"

namespace qv::audio {

// Reads the length and format of CAF bytes; an Error names the chunk or field that was wrong.
Result<SoundInfo> readCafInfo(std::span<const std::uint8_t> bytes);

}  // namespace qv::audio
