#include "platform/audio/aiff.h"

#include <cmath>
#include <set>
#include <string>

#include "platform/byte_cursor.h"

namespace qv::audio {
namespace {

struct Common {
  std::int16_t channels = 0;
  std::uint32_t frames = 0;
  std::int16_t bitsPerSample = 0;
  double sampleRate = 0;
  std::string compression = "NONE";
};

Error aiffError(const std::string& what) {
  return Error{"AIFF: " + what};
}

Result<Common> readCommon(ByteCursor& chunk, bool compressed) {
  Common c;
  std::uint16_t channels = 0, bits = 0;
  std::span<const std::uint8_t> rate;
  if (!chunk.u16be(channels) || !chunk.u32be(c.frames) || !chunk.u16be(bits) ||
      !chunk.take(10, rate)) {
    return aiffError("'COMM' chunk is shorter than its 18 bytes");
  }
  c.channels = static_cast<std::int16_t>(channels);
  c.bitsPerSample = static_cast<std::int16_t>(bits);
  auto sampleRate = decodeExtended80(rate.first<10>());
  if (!sampleRate) return aiffError("'COMM' sample rate is not a finite number");
  c.sampleRate = *sampleRate;
  if (compressed && !chunk.fourCC(c.compression)) {
    return aiffError("AIFF-C 'COMM' chunk is missing its compression type");
  }
  return c;
}

// Encodings that store each sample in whole bytes, so the sound data's size can be checked.
bool isUncompressed(const std::string& compression) {
  static const std::set<std::string> kPlain = {"NONE", "twos", "sowt", "raw ", "in24", "42ni",
                                               "in32", "23ni", "fl32", "FL32", "fl64", "FL64"};
  return kPlain.count(compression) > 0;
}

}  // namespace

std::optional<double> decodeExtended80(std::span<const std::uint8_t, 10> bytes) {
  int exponent = ((bytes[0] & 0x7F) << 8) | bytes[1];
  std::uint64_t mantissa = 0;
  for (int i = 2; i < 10; ++i) mantissa = (mantissa << 8) | bytes[i];
  if (exponent == 0x7FFF) return std::nullopt;
  // The integer bit is explicit, so the mantissa is a 64-bit integer scaled by 2^-63.
  double value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  return (bytes[0] & 0x80) ? -value : value;
}

Result<SoundInfo> readAiffInfo(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes);
  std::string form, kind;
  std::uint32_t formSize = 0;
  if (!in.fourCC(form) || !in.u32be(formSize) || !in.fourCC(kind)) {
    return aiffError("file is shorter than its 12-byte header");
  }
  if (form != "FORM" || (kind != "AIFF" && kind != "AIFC")) {
    return aiffError("no 'FORM' ... 'AIFF' or 'AIFC' tags at the start");
  }
  if (formSize < 4 || formSize > bytes.size() - 8) {
    return aiffError("FORM size " + std::to_string(formSize) + " does not match the file's " +
                     std::to_string(bytes.size()) + " bytes (truncated?)");
  }
  ByteCursor body(bytes.subspan(12, formSize - 4));

  std::optional<Common> common;
  std::optional<std::uint64_t> soundBytes;
  while (!body.atEnd()) {
    std::string id;
    std::uint32_t size = 0;
    if (!body.fourCC(id) || !body.u32be(size)) {
      return aiffError("truncated chunk header at byte " + std::to_string(12 + body.offset()));
    }
    std::span<const std::uint8_t> content;
    if (!body.take(size, content)) {
      return aiffError("'" + id + "' chunk claims " + std::to_string(size) + " bytes but only " +
                       std::to_string(body.remaining()) + " remain");
    }
    if (size % 2 == 1 && !body.atEnd()) body.skip(1);
    ByteCursor chunk(content);
    if (id == "COMM") {
      auto c = readCommon(chunk, kind == "AIFC");
      if (!c) return Error{c.error()};
      common = *c;
    } else if (id == "SSND") {
      std::uint32_t offset = 0, blockSize = 0;
      if (!chunk.u32be(offset) || !chunk.u32be(blockSize) || offset > chunk.remaining()) {
        return aiffError("'SSND' chunk is shorter than its header and offset");
      }
      soundBytes = chunk.remaining() - offset;
    }
  }
  if (!common) return aiffError("no 'COMM' chunk");
  if (common->frames > 0 && !soundBytes) return aiffError("no 'SSND' chunk for its sound data");
  if (common->channels < 1) return aiffError("'COMM' channel count is below 1");
  if (isUncompressed(common->compression)) {
    if (common->bitsPerSample < 1 || common->bitsPerSample > 64) {
      return aiffError("'COMM' sample size " + std::to_string(common->bitsPerSample) +
                       " is not 1 to 64 bits");
    }
    std::uint64_t frameBytes =
        std::uint64_t(common->channels) * ((std::uint64_t(common->bitsPerSample) + 7) / 8);
    std::uint64_t needed = frameBytes * common->frames;
    if (needed > soundBytes.value_or(0)) {
      return aiffError("'SSND' holds " + std::to_string(soundBytes.value_or(0)) +
                       " bytes, fewer than the " + std::to_string(common->frames) +
                       " frames 'COMM' promises");
    }
  }
  auto info = makeSoundInfo(common->sampleRate, common->channels, common->frames);
  if (!info) return aiffError("'COMM' " + info.error());
  return info;
}

}  // namespace qv::audio
