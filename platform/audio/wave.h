// RIFF/WAVE headers: the 'fmt ' description and the 'data' length, with the 'fact' frame count
// for compressed encodings whose length the data size alone does not give.
#pragma once

#include <cstdint>
#include <span>

#include "platform/audio/sound_info.h"
#include "platform/result.h"

namespace qv::audio {

// Reads the length and format of RIFF/WAVE bytes; an Error names the chunk or field.
Result<SoundInfo> readWaveInfo(std::span<const std::uint8_t> bytes);

}  // namespace qv::audio
