#include "platform/audio/caf.h"

#include <bit>
#include <optional>
#include <string>

#include "platform/byte_cursor.h"

namespace qv::audio {
namespace {

struct StreamDescription {
  double sampleRate = 0;
  std::string formatId;
  std::uint32_t formatFlags = 0;
  std::uint32_t bytesPerPacket = 0;
  std::uint32_t framesPerPacket = 0;
  std::uint32_t channelsPerFrame = 0;
  std::uint32_t bitsPerChannel = 0;
};

struct PacketTable {
  std::int64_t packets = 0;
  std::int64_t validFrames = 0;
  std::int32_t primingFrames = 0;
  std::int32_t remainderFrames = 0;
};

Error cafError(const std::string& what) {
  return Error{"CAF: " + what};
}

Result<StreamDescription> readDescription(ByteCursor& chunk) {
  StreamDescription d;
  std::uint64_t rateBits = 0;
  if (!chunk.u64be(rateBits) || !chunk.fourCC(d.formatId) || !chunk.u32be(d.formatFlags) ||
      !chunk.u32be(d.bytesPerPacket) || !chunk.u32be(d.framesPerPacket) ||
      !chunk.u32be(d.channelsPerFrame) || !chunk.u32be(d.bitsPerChannel)) {
    return cafError("'desc' chunk is shorter than its 32 bytes");
  }
  d.sampleRate = std::bit_cast<double>(rateBits);
  if (d.formatId == "lpcm" && (d.bytesPerPacket == 0 || d.framesPerPacket != 1)) {
    return cafError("linear PCM 'desc' must have fixed-size packets of one frame");
  }
  return d;
}

Result<PacketTable> readPacketTable(ByteCursor& chunk) {
  PacketTable p;
  if (!chunk.i64be(p.packets) || !chunk.i64be(p.validFrames) || !chunk.i32be(p.primingFrames) ||
      !chunk.i32be(p.remainderFrames)) {
    return cafError("'pakt' chunk is shorter than its 24-byte header");
  }
  if (p.packets < 0 || p.validFrames < 0 || p.primingFrames < 0 || p.remainderFrames < 0) {
    return cafError("'pakt' chunk has a negative count");
  }
  return p;
}

Result<std::uint64_t> frameCount(const StreamDescription& d, std::uint64_t audioBytes,
                                 const std::optional<PacketTable>& packets) {
  if (packets) {
    if (d.framesPerPacket > 0) {
      std::int64_t total = 0, accounted = 0;
      bool overflow =
          __builtin_mul_overflow(packets->packets, std::int64_t{d.framesPerPacket}, &total) ||
          __builtin_add_overflow(packets->validFrames,
                                 std::int64_t{packets->primingFrames} + packets->remainderFrames,
                                 &accounted);
      if (overflow || total != accounted) {
        return cafError("'pakt' frame counts do not add up to its packets times " +
                        std::to_string(d.framesPerPacket) + " frames per packet");
      }
    }
    return static_cast<std::uint64_t>(packets->validFrames);
  }
  if (d.bytesPerPacket == 0 || d.framesPerPacket == 0) {
    return cafError("format '" + d.formatId + "' has variable-size packets but no 'pakt' chunk");
  }
  if (audioBytes % d.bytesPerPacket != 0) {
    return cafError("'data' holds " + std::to_string(audioBytes) +
                    " bytes, not a whole number of " + std::to_string(d.bytesPerPacket) +
                    "-byte packets");
  }
  return audioBytes / d.bytesPerPacket * d.framesPerPacket;
}

}  // namespace

Result<SoundInfo> readCafInfo(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes);
  std::string tag;
  std::uint16_t version = 0, flags = 0;
  if (!in.fourCC(tag) || !in.u16be(version) || !in.u16be(flags)) {
    return cafError("file is shorter than its 8-byte header");
  }
  if (tag != "caff") return cafError("no 'caff' tag at the start");
  if (version != 1) return cafError("file version " + std::to_string(version) + " is not 1");

  std::optional<StreamDescription> description;
  std::optional<PacketTable> packets;
  std::optional<std::uint64_t> audioBytes;
  while (!in.atEnd()) {
    std::string type;
    std::int64_t size = 0;
    if (!in.fourCC(type) || !in.i64be(size)) {
      return cafError("truncated chunk header at byte " + std::to_string(in.offset()));
    }
    if (!description && type != "desc") {
      return cafError("first chunk is '" + type + "', expected 'desc'");
    }
    // Only the audio data may leave its size open (-1), meaning "to the end of the file".
    std::uint64_t length = 0;
    if (type == "data" && size == -1) {
      length = in.remaining();
    } else if (size < 0) {
      return cafError("'" + type + "' chunk has a negative size");
    } else {
      length = static_cast<std::uint64_t>(size);
    }
    std::span<const std::uint8_t> body;
    if (length > in.remaining() || !in.take(static_cast<std::size_t>(length), body)) {
      return cafError("'" + type + "' chunk claims " + std::to_string(length) + " bytes but only " +
                      std::to_string(in.remaining()) + " remain");
    }
    ByteCursor chunk(body);
    if (type == "desc") {
      if (description) return cafError("second 'desc' chunk");
      auto d = readDescription(chunk);
      if (!d) return Error{d.error()};
      description = *d;
    } else if (type == "pakt") {
      auto p = readPacketTable(chunk);
      if (!p) return Error{p.error()};
      packets = *p;
    } else if (type == "data") {
      if (audioBytes) return cafError("second 'data' chunk");
      if (length < 4) return cafError("'data' chunk is shorter than its 4-byte edit count");
      audioBytes = length - 4;
    }
  }
  if (!description) return cafError("no 'desc' chunk");
  if (!audioBytes) return cafError("no 'data' chunk");
  auto frames = frameCount(*description, *audioBytes, packets);
  if (!frames) return Error{frames.error()};
  auto info = makeSoundInfo(description->sampleRate, description->channelsPerFrame, *frames);
  if (!info) return cafError("'desc' " + info.error());
  return info;
}

}  // namespace qv::audio
