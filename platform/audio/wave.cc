#include "platform/audio/wave.h"

#include <optional>
#include <string>

#include "platform/byte_cursor.h"

namespace qv::audio {
namespace {

constexpr std::uint16_t kPcm = 0x0001;
constexpr std::uint16_t kIeeeFloat = 0x0003;
constexpr std::uint16_t kALaw = 0x0006;
constexpr std::uint16_t kMuLaw = 0x0007;
constexpr std::uint16_t kExtensible = 0xFFFE;

struct Format {
  std::uint16_t tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t blockAlign = 0;
};

Error waveError(const std::string& what) {
  return Error{"WAVE: " + what};
}

Result<Format> readFormat(ByteCursor& chunk) {
  Format f;
  std::uint32_t byteRate = 0;
  std::uint16_t bitsPerSample = 0;
  if (!chunk.u16le(f.tag) || !chunk.u16le(f.channels) || !chunk.u32le(f.sampleRate) ||
      !chunk.u32le(byteRate) || !chunk.u16le(f.blockAlign) || !chunk.u16le(bitsPerSample)) {
    return waveError("'fmt ' chunk is shorter than its 16 bytes");
  }
  if (f.tag == kExtensible) {
    // The real encoding is the first two bytes of the sub-format GUID.
    std::uint16_t extraSize = 0, validBits = 0, subFormat = 0;
    std::uint32_t channelMask = 0;
    if (!chunk.u16le(extraSize) || !chunk.u16le(validBits) || !chunk.u32le(channelMask) ||
        !chunk.u16le(subFormat)) {
      return waveError("extensible 'fmt ' chunk is missing its sub-format");
    }
    f.tag = subFormat;
  }
  return f;
}

// Encodings whose every block is exactly one frame, so the data size gives the length.
bool oneFramePerBlock(std::uint16_t tag) {
  return tag == kPcm || tag == kIeeeFloat || tag == kALaw || tag == kMuLaw;
}

}  // namespace

Result<SoundInfo> readWaveInfo(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes);
  std::string riff, wave;
  std::uint32_t riffSize = 0;
  if (!in.fourCC(riff) || !in.u32le(riffSize) || !in.fourCC(wave)) {
    return waveError("file is shorter than its 12-byte header");
  }
  if (riff != "RIFF" || wave != "WAVE") return waveError("no 'RIFF' ... 'WAVE' tags at the start");
  if (riffSize < 4 || riffSize > bytes.size() - 8) {
    return waveError("RIFF size " + std::to_string(riffSize) + " does not match the file's " +
                     std::to_string(bytes.size()) + " bytes (truncated?)");
  }
  ByteCursor body(bytes.subspan(12, riffSize - 4));

  std::optional<Format> format;
  std::optional<std::uint32_t> dataBytes;
  std::optional<std::uint32_t> factFrames;
  while (!body.atEnd()) {
    std::string id;
    std::uint32_t size = 0;
    if (!body.fourCC(id) || !body.u32le(size)) {
      return waveError("truncated chunk header at byte " + std::to_string(12 + body.offset()));
    }
    std::span<const std::uint8_t> content;
    if (!body.take(size, content)) {
      return waveError("'" + id + "' chunk claims " + std::to_string(size) + " bytes but only " +
                       std::to_string(body.remaining()) + " remain");
    }
    // Chunks start on even offsets; a writer may leave out the pad byte after the last one.
    if (size % 2 == 1 && !body.atEnd()) body.skip(1);
    ByteCursor chunk(content);
    if (id == "fmt ") {
      auto f = readFormat(chunk);
      if (!f) return Error{f.error()};
      format = *f;
    } else if (id == "data") {
      dataBytes = size;
    } else if (id == "fact") {
      std::uint32_t frames = 0;
      if (!chunk.u32le(frames)) return waveError("'fact' chunk is shorter than 4 bytes");
      factFrames = frames;
    }
  }
  if (!format) return waveError("no 'fmt ' chunk");
  if (!dataBytes) return waveError("no 'data' chunk");
  std::uint64_t frames = 0;
  if (oneFramePerBlock(format->tag)) {
    if (format->blockAlign == 0) return waveError("'fmt ' block alignment is 0");
    if (*dataBytes % format->blockAlign != 0) {
      return waveError("'data' holds " + std::to_string(*dataBytes) +
                       " bytes, not a whole number of " + std::to_string(format->blockAlign) +
                       "-byte frames");
    }
    frames = *dataBytes / format->blockAlign;
  } else if (factFrames) {
    frames = *factFrames;
  } else {
    return waveError("compressed encoding " + std::to_string(format->tag) +
                     " without a 'fact' chunk giving its length");
  }
  auto info = makeSoundInfo(format->sampleRate, format->channels, frames);
  if (!info) return waveError("'fmt ' " + info.error());
  return info;
}

}  // namespace qv::audio
