// AIFF and AIFF-C headers: 'COMM' gives channels, frame count and the 80-bit extended sample
// rate; 'SSND' must hold at least that many frames when the samples are uncompressed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/audio/sound_info.h"
#include "platform/result.h"

namespace qv::audio {

// Reads the length and format of AIFF or AIFF-C bytes; an Error names the chunk or field.
Result<SoundInfo> readAiffInfo(std::span<const std::uint8_t> bytes);

// The value of a big-endian IEEE 754 80-bit extended number; none for infinities and NaNs.
std::optional<double> decodeExtended80(std::span<const std::uint8_t, 10> bytes);

}  // namespace qv::audio
