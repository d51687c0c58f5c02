#include "platform/plist/internal/binary_check.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qv::pl::internal {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;

std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v = (v << 8) | p[i];
  return v;
}

bool isPowerOfTwoWidth(std::uint64_t w) { return w == 1 || w == 2 || w == 4 || w == 8; }

// Offset and reference widths: the format allows any whole number of bytes from 1 to 8 (writers
// pick the smallest that holds the largest value, so 3, 5, 6 and 7 occur as well as 1, 2, 4, 8).
bool isTableWidth(std::uint64_t w) {
  return w >= 1 && w <= 8;
}

Error fail(std::string message) { return Error{"binary property list: " + std::move(message)}; }

// What the walk needs to know about one object once its framing has been checked.
struct Shape {
  enum class Kind : std::uint8_t { Unframed, Scalar, String, Array, Dict };
  Kind kind = Kind::Unframed;
  std::uint64_t count = 0;      // elements of an array, pairs of a dictionary
  std::uint64_t refsStart = 0;  // byte offset of the first reference
  bool isContainer() const { return kind == Kind::Array || kind == Kind::Dict; }
  std::uint64_t refCount() const { return kind == Kind::Dict ? count * 2 : count; }
};

bool isHighSurrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

class StructureChecker {
 public:
  StructureChecker(std::span<const std::uint8_t> bytes, StructureLimits limits)
      : bytes_(bytes), limits_(limits) {}

  Status run() {
    if (auto s = readTrailer(); !s) return s;
    if (auto s = readOffsets(); !s) return s;
    return walkFromTop();
  }

 private:
  Status readTrailer() {
    if (bytes_.size() < kHeaderSize + kTrailerSize + 2)
      return fail("file of " + std::to_string(bytes_.size()) + " bytes is shorter than a header, one object and a trailer");
    const std::uint8_t* t = bytes_.data() + bytes_.size() - kTrailerSize;
    offsetWidth_ = t[6];
    refWidth_ = t[7];
    objectCount_ = readBigEndian(t + 8, 8);
    topObject_ = readBigEndian(t + 16, 8);
    tableStart_ = readBigEndian(t + 24, 8);
    if (!isTableWidth(offsetWidth_))
      return fail("offset size " + std::to_string(offsetWidth_) + " is not 1 to 8 bytes");
    if (!isTableWidth(refWidth_)) return fail("reference size " + std::to_string(refWidth_) + " is not 1 to 8 bytes");
    if (objectCount_ == 0) return fail("no objects");
    if (objectCount_ > limits_.maxNodes)
      return fail(std::to_string(objectCount_) + " objects exceed the limit of " + std::to_string(limits_.maxNodes));
    if (topObject_ >= objectCount_) return fail("top object lies beyond the object count");
    const std::uint64_t tableEndLimit = bytes_.size() - kTrailerSize;
    if (tableStart_ <= kHeaderSize || tableStart_ > tableEndLimit)
      return fail("offset table does not start inside the file");
    // Division keeps the table-size arithmetic free of overflow.
    if (objectCount_ > (tableEndLimit - tableStart_) / offsetWidth_)
      return fail("offset table runs past the trailer");
    return Ok{};
  }

  Status readOffsets() {
    offsets_.resize(objectCount_);
    const std::uint8_t* table = bytes_.data() + tableStart_;
    for (std::uint64_t i = 0; i < objectCount_; ++i) {
      offsets_[i] = readBigEndian(table + i * offsetWidth_, offsetWidth_);
      if (offsets_[i] < kHeaderSize || offsets_[i] >= tableStart_)
        return fail("object " + std::to_string(i) + " starts outside the object area");
    }
    shapes_.resize(objectCount_);
    return Ok{};
  }

  // Reads the element count that follows a marker; 0xF in the low nibble means an integer
  // object follows that holds the real count.
  Result<std::uint64_t> readCount(std::uint8_t lowNibble, std::uint64_t& pos) const {
    if (lowNibble != 0xF) return std::uint64_t{lowNibble};
    if (pos >= tableStart_) return fail("length runs past the object area");
    const std::uint8_t marker = bytes_[pos];
    if ((marker >> 4) != 0x1 || (marker & 0xF) > 3) return fail("length is not a 1 to 8 byte integer");
    const std::uint64_t width = std::uint64_t{1} << (marker & 0xF);
    if (width > tableStart_ - pos - 1) return fail("length runs past the object area");
    const std::uint64_t count = readBigEndian(bytes_.data() + pos + 1, width);
    pos += 1 + width;
    return count;
  }

  Status checkUtf16(std::uint64_t start, std::uint64_t units, std::uint64_t index) const {
    for (std::uint64_t i = 0; i < units; ++i) {
      const std::uint32_t u = readBigEndian(bytes_.data() + start + 2 * i, 2);
      if (isHighSurrogate(u)) {
        const bool paired = i + 1 < units && isLowSurrogate(readBigEndian(bytes_.data() + start + 2 * (i + 1), 2));
        if (!paired) return fail("UTF-16 string " + std::to_string(index) + " has an unpaired surrogate");
        ++i;
      } else if (isLowSurrogate(u)) {
        return fail("UTF-16 string " + std::to_string(index) + " has an unpaired surrogate");
      }
    }
    return Ok{};
  }

  Result<Shape> frame(std::uint64_t index) const {
    const std::string where = "object " + std::to_string(index);
    std::uint64_t pos = offsets_[index];
    const std::uint8_t marker = bytes_[pos++];
    const std::uint8_t high = marker >> 4, low = marker & 0xF;
    const std::uint64_t room = tableStart_ - pos;
    auto fixedWidth = [&](std::uint64_t width) -> Result<Shape> {
      if (width > room) return fail(where + " runs past the object area");
      return Shape{Shape::Kind::Scalar};
    };
    switch (high) {
      case 0x0:
        if (marker == 0x08 || marker == 0x09) return Shape{Shape::Kind::Scalar};
        return fail(where + " has marker " + std::to_string(marker) + ", which is no property-list value");
      case 0x1: {
        if (low > 4) return fail(where + " is an integer wider than 16 bytes");
        const std::uint64_t width = std::uint64_t{1} << low;
        auto shape = fixedWidth(width);
        // A 16-byte integer is how an unsigned 64-bit value is written; its high half must be zero.
        if (shape && width == 16 && readBigEndian(bytes_.data() + pos, 8) != 0)
          return fail(where + " is an integer beyond 64 bits");
        return shape;
      }
      case 0x2:
        if (low != 2 && low != 3) return fail(where + " is a real that is neither 4 nor 8 bytes");
        return fixedWidth(std::uint64_t{1} << low);
      case 0x3:
        if (low != 3) return fail(where + " is a date that is not 8 bytes");
        return fixedWidth(8);
      case 0x8:
        if (!isPowerOfTwoWidth(std::uint64_t{low} + 1)) return fail(where + " is a uid of odd width");
        return fixedWidth(std::uint64_t{low} + 1);
      case 0x4:
      case 0x5:
      case 0x6: {
        auto count = readCount(low, pos);
        if (!count) return fail(where + ": " + count.error());
        const std::uint64_t unitWidth = high == 0x6 ? 2 : 1;
        if (*count > (tableStart_ - pos) / unitWidth)
          return fail(where + " claims " + std::to_string(*count) + " units, more than the object area holds");
        if (high == 0x5) {
          const auto* begin = bytes_.data() + pos;
          if (std::any_of(begin, begin + *count, [](std::uint8_t c) { return c >= 0x80; }))
            return fail(where + " is an ASCII string with a byte above 0x7F");
        }
        if (high == 0x6) {
          if (auto s = checkUtf16(pos, *count, index); !s) return Error{s.error()};
        }
        // libplist cuts strings at a NUL (and aborts on such a key), so none may hold one.
        for (std::uint64_t i = 0; high != 0x4 && i < *count; ++i)
          if (readBigEndian(bytes_.data() + pos + i * unitWidth, unitWidth) == 0)
            return fail(where + " is a string holding a NUL character");
        return Shape{high == 0x4 ? Shape::Kind::Scalar : Shape::Kind::String};
      }
      case 0xA:
      case 0xD: {
        auto count = readCount(low, pos);
        if (!count) return fail(where + ": " + count.error());
        const std::uint64_t perElement = high == 0xD ? 2 : 1;
        if (*count > (tableStart_ - pos) / refWidth_ / perElement)
          return fail(where + " claims " + std::to_string(*count) + " elements, more than the object area holds");
        return Shape{high == 0xA ? Shape::Kind::Array : Shape::Kind::Dict, *count, pos};
      }
      default:
        return fail(where + " has marker " + std::to_string(marker) + ", which is no property-list value");
    }
  }

  Status ensureFramed(std::uint64_t index) {
    if (shapes_[index].kind != Shape::Kind::Unframed) return Ok{};
    auto shape = frame(index);
    if (!shape) return Error{shape.error()};
    shapes_[index] = *shape;
    return Ok{};
  }

  std::uint64_t refAt(const Shape& shape, std::uint64_t i) const {
    return readBigEndian(bytes_.data() + shape.refsStart + i * refWidth_, refWidth_);
  }

  // One open container on the walk; its summary grows as its children finish.
  struct Frame {
    std::uint64_t index;
    std::uint64_t nextRef = 0;
    std::uint64_t height = 1;
    std::uint64_t expanded = 1;
  };

  Status walkFromTop() {
    // 0 = not seen, 1 = open on the walk (seeing it again is a cycle), 2 = finished.
    std::vector<std::uint8_t> state(objectCount_, 0);
    std::vector<std::uint32_t> height(objectCount_, 0);
    std::vector<std::uint64_t> expanded(objectCount_, 1);
    std::vector<Frame> open;

    auto enter = [&](std::uint64_t index) -> Status {
      if (auto s = ensureFramed(index); !s) return s;
      if (!shapes_[index].isContainer()) {
        state[index] = 2;
        return Ok{};
      }
      if (open.size() >= limits_.maxDepth)
        return fail("nesting deeper than " + std::to_string(limits_.maxDepth) + " levels");
      state[index] = 1;
      open.push_back(Frame{index});
      return Ok{};
    };

    if (auto s = enter(topObject_); !s) return s;
    while (!open.empty()) {
      Frame& f = open.back();
      const Shape& shape = shapes_[f.index];
      if (f.nextRef == shape.refCount()) {
        state[f.index] = 2;
        height[f.index] = static_cast<std::uint32_t>(f.height);
        expanded[f.index] = f.expanded;
        const Frame done = f;
        open.pop_back();
        if (!open.empty() && !absorb(open.back(), done.height, done.expanded)) return tooManyNodes();
        continue;
      }
      const bool isKey = shape.kind == Shape::Kind::Dict && f.nextRef < shape.count;
      const std::uint64_t child = refAt(shape, f.nextRef++);
      if (child >= objectCount_)
        return fail("object " + std::to_string(f.index) + " refers to object " + std::to_string(child) +
                    ", beyond the " + std::to_string(objectCount_) + " objects");
      if (state[child] == 1) return fail("object " + std::to_string(child) + " contains itself");
      if (isKey) {
        if (auto s = ensureFramed(child); !s) return s;
        if (shapes_[child].kind != Shape::Kind::String)
          return fail("dictionary " + std::to_string(f.index) + " has a key that is not a string");
      }
      if (state[child] == 2) {
        if (!absorb(f, height[child], expanded[child])) return tooManyNodes();
      } else {
        if (auto s = enter(child); !s) return s;
        // A scalar finishes at once; `f` is still valid because nothing was pushed.
        if (state[child] == 2 && !absorb(f, 0, 1)) return tooManyNodes();
      }
    }
    return Ok{};
  }

  // False once the parent's expanded size passes the node limit.
  bool absorb(Frame& parent, std::uint64_t childHeight, std::uint64_t childExpanded) const {
    parent.height = std::max(parent.height, childHeight + 1);
    // Saturating, since a caller may set the limit near the top of the range.
    parent.expanded = childExpanded > UINT64_MAX - parent.expanded ? UINT64_MAX : parent.expanded + childExpanded;
    return parent.expanded <= limits_.maxNodes;
  }

  Status tooManyNodes() const {
    return fail("more than " + std::to_string(limits_.maxNodes) + " values once shared objects are expanded");
  }

  std::span<const std::uint8_t> bytes_;
  StructureLimits limits_;
  std::uint64_t offsetWidth_ = 0, refWidth_ = 0, objectCount_ = 0, topObject_ = 0, tableStart_ = 0;
  std::vector<std::uint64_t> offsets_;
  std::vector<Shape> shapes_;
};

}  // namespace

Status checkBinaryStructure(std::span<const std::uint8_t> bytes, StructureLimits limits) {
  return StructureChecker(bytes, limits).run();
}

}  // namespace qv::pl::internal
