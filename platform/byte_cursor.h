// A bounds-checked reader over a byte buffer for the binary file formats the host reads (time-zone
// files, sound-file headers). Every read says whether the bytes were there; none reads past the
// end.
//   ByteCursor in(bytes);  std::uint32_t n;  if (!in.u32be(n)) return Error{"truncated"};
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qv {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t offset() const { return offset_; }
  std::size_t remaining() const { return bytes_.size() - offset_; }
  bool atEnd() const { return offset_ == bytes_.size(); }

  // Moves by `count` bytes; false (and no move) when fewer remain.
  bool skip(std::uint64_t count) {
    if (count > remaining()) return false;
    offset_ += static_cast<std::size_t>(count);
    return true;
  }

  // The next `count` bytes without moving; false when fewer remain.
  bool peek(std::size_t count, std::span<const std::uint8_t>& out) const {
    if (count > remaining()) return false;
    out = bytes_.subspan(offset_, count);
    return true;
  }

  bool take(std::size_t count, std::span<const std::uint8_t>& out) {
    if (!peek(count, out)) return false;
    offset_ += count;
    return true;
  }

  // A four-character code such as "caff" or "RIFF".
  bool fourCC(std::string& out) {
    std::span<const std::uint8_t> b;
    if (!take(4, b)) return false;
    out.assign(b.begin(), b.end());
    return true;
  }

  bool u8(std::uint8_t& out) { return readUnsigned(1, false, out); }
  bool u16be(std::uint16_t& out) { return readUnsigned(2, false, out); }
  bool u32be(std::uint32_t& out) { return readUnsigned(4, false, out); }
  bool u64be(std::uint64_t& out) { return readUnsigned(8, false, out); }
  bool u16le(std::uint16_t& out) { return readUnsigned(2, true, out); }
  bool u32le(std::uint32_t& out) { return readUnsigned(4, true, out); }

  // Two's-complement signed reads; the conversion from unsigned is well defined since C++20.
  bool i32be(std::int32_t& out) { return readSigned<std::int32_t, std::uint32_t>(out); }
  bool i64be(std::int64_t& out) { return readSigned<std::int64_t, std::uint64_t>(out); }

 private:
  template <class U>
  bool readUnsigned(std::size_t width, bool littleEndian, U& out) {
    std::span<const std::uint8_t> b;
    if (!take(width, b)) return false;
    U value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      std::size_t index = littleEndian ? width - 1 - i : i;
      value = static_cast<U>((value << 8) | b[index]);
    }
    out = value;
    return true;
  }

  template <class S, class U>
  bool readSigned(S& out) {
    U raw;
    if (!readUnsigned(sizeof(U), false, raw)) return false;
    out = static_cast<S>(raw);
    return true;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

}  // namespace qv
