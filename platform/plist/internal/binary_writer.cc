#include "platform/plist/internal/binary_writer.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/plist/internal/utf8.h"
#include "platform/plist/io.h"

namespace qv::pl::internal {
namespace {

constexpr std::string_view kMagic = "bplist00";

// Marker bytes: the high nibble is the object's kind.
constexpr std::uint8_t kFalse = 0x08, kTrue = 0x09, kInteger = 0x10, kReal = 0x20, kDate = 0x33, kData = 0x40,
                       kAscii = 0x50, kUtf16 = 0x60, kUid = 0x80, kArray = 0xA0, kDict = 0xD0;
constexpr std::uint8_t kUnsigned128 = 0x14;  // a 16-byte integer: how values above INT64_MAX are kept
constexpr std::uint64_t kLargestInlineCount = 14;

// Bytes for an offset or reference up to `n`: libplist allows three but not 5 to 7.
int tableWidth(std::uint64_t n) {
  if (n < (1u << 8)) return 1;
  if (n < (1u << 16)) return 2;
  if (n < (1u << 24)) return 3;
  if (n <= UINT32_MAX) return 4;
  return 8;
}

// Scalars that libplist shares when their kind and bits are equal.
enum class ScalarKind : std::uint8_t { Bool, Integer, Unsigned, Real, Date, Uid };

struct ScalarKey {
  ScalarKind kind;
  std::uint64_t bits;
  friend bool operator==(const ScalarKey&, const ScalarKey&) = default;
};

struct ScalarHash {
  std::size_t operator()(const ScalarKey& k) const {
    return std::hash<std::uint64_t>{}(k.bits * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(k.kind));
  }
};

std::uint64_t bitsOf(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

// One object to write: a value, or a dictionary key (value null).
struct Object {
  const Value* value;
  const std::string* key;
  std::size_t firstRef;  // containers: where their references start in the reference list
};

class BinaryWriter {
 public:
  // Numbers `v` and everything under it; false when the writer leaves `v` to libplist.
  bool number(const Value& root) { return add(root, 0).has_value(); }

  std::optional<std::vector<std::uint8_t>> write() {
    refWidth_ = tableWidth(objects_.size());
    // A guess at the size (a short string or number per object) saves most regrowth.
    out_.reserve(kMagic.size() + objects_.size() * 16 + refs_.size() * refWidth_ + 32);
    out_.assign(kMagic.begin(), kMagic.end());
    std::vector<std::uint64_t> offsets;
    offsets.reserve(objects_.size());
    for (const Object& o : objects_) {
      offsets.push_back(out_.size());
      if (!writeObject(o)) return std::nullopt;
    }
    const std::uint64_t tableStart = out_.size();
    const int offsetWidth = tableWidth(tableStart);
    for (std::uint64_t offset : offsets) bigEndian(offset, offsetWidth);
    out_.insert(out_.end(), 6, 0);
    out_.push_back(static_cast<std::uint8_t>(offsetWidth));
    out_.push_back(static_cast<std::uint8_t>(refWidth_));
    bigEndian(objects_.size(), 8);
    bigEndian(0, 8);  // the top object is the first
    bigEndian(tableStart, 8);
    return std::move(out_);
  }

 private:
  std::optional<std::size_t> add(const Value& v, std::size_t depth) {
    if (depth > kDepthCeiling) return std::nullopt;
    switch (v.type()) {
      case Value::Type::Null:
        return std::nullopt;
      case Value::Type::Bool:
        return scalar({ScalarKind::Bool, *v.ifBool() ? 1u : 0u}, v);
      case Value::Type::Integer:
        return scalar(
            {v.isUnsigned64() ? ScalarKind::Unsigned : ScalarKind::Integer, static_cast<std::uint64_t>(*v.ifInteger())},
            v);
      case Value::Type::Real:
        return scalar({ScalarKind::Real, bitsOf(*v.ifReal())}, v);
      case Value::Type::Date:
        if (!std::isfinite(v.ifDate()->sinceReference)) return std::nullopt;
        return scalar({ScalarKind::Date, bitsOf(v.ifDate()->sinceReference)}, v);
      case Value::Type::Uid:
        if (v.ifUid()->index > UINT32_MAX) return std::nullopt;
        return scalar({ScalarKind::Uid, v.ifUid()->index}, v);
      case Value::Type::String:
        return text(strings_, *v.ifString(), &v);
      case Value::Type::Data: {
        const Data& d = *v.ifData();
        if (!data_.emplace(reinterpret_cast<const char*>(d.data()), d.size()).second) return std::nullopt;
        return push({&v, nullptr, 0});
      }
      case Value::Type::Array: {
        const Array& a = *v.ifArray();
        const std::size_t self = push({&v, nullptr, refs_.size()});
        const std::size_t first = refs_.size();
        refs_.resize(first + a.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
          auto child = add(a[i], depth + 1);
          if (!child) return std::nullopt;
          refs_[first + i] = *child;
        }
        return self;
      }
      case Value::Type::Dict: {
        const Dict& d = *v.ifDict();
        const std::size_t self = push({&v, nullptr, refs_.size()});
        const std::size_t first = refs_.size();
        refs_.resize(first + 2 * d.size());
        std::size_t i = 0;
        for (const auto& [key, e] : d) {
          refs_[first + i] = text(keys_, key, nullptr);
          auto child = add(e, depth + 1);
          if (!child) return std::nullopt;
          refs_[first + d.size() + i] = *child;
          ++i;
        }
        return self;
      }
    }
    return std::nullopt;
  }

  std::size_t push(Object o) {
    objects_.push_back(o);
    return objects_.size() - 1;
  }

  std::size_t scalar(ScalarKey key, const Value& v) {
    auto [it, added] = scalars_.try_emplace(key, objects_.size());
    if (added) push({&v, nullptr, 0});
    return it->second;
  }

  // A string value (`v` set) or a dictionary key, shared with equal ones of its own sort.
  std::size_t text(std::unordered_map<std::string_view, std::size_t>& seen, const std::string& s, const Value* v) {
    auto [it, added] = seen.try_emplace(s, objects_.size());
    if (added) push({v, v ? nullptr : &s, 0});
    return it->second;
  }

  bool writeObject(const Object& o) {
    if (o.key) return writeText(*o.key);
    const Value& v = *o.value;
    switch (v.type()) {
      case Value::Type::Bool:
        out_.push_back(*v.ifBool() ? kTrue : kFalse);
        return true;
      case Value::Type::Integer:
        if (v.isUnsigned64()) {
          out_.push_back(kUnsigned128);
          bigEndian(0, 8);
          bigEndian(static_cast<std::uint64_t>(*v.ifInteger()), 8);
        } else {
          integer(static_cast<std::uint64_t>(*v.ifInteger()));
        }
        return true;
      case Value::Type::Real:
        real(*v.ifReal());
        return true;
      case Value::Type::Date:
        out_.push_back(kDate);
        bigEndian(bitsOf(v.ifDate()->sinceReference), 8);
        return true;
      case Value::Type::Uid: {
        const std::uint64_t index = v.ifUid()->index;
        int width = tableWidth(index);
        if (width == 3) width = 4;
        out_.push_back(static_cast<std::uint8_t>(kUid | (width - 1)));
        bigEndian(index, width);
        return true;
      }
      case Value::Type::String:
        return writeText(*v.ifString());
      case Value::Type::Data: {
        const Data& d = *v.ifData();
        counted(kData, d.size());
        out_.insert(out_.end(), d.begin(), d.end());
        return true;
      }
      case Value::Type::Array: {
        const std::size_t n = v.ifArray()->size();
        counted(kArray, n);
        references(o.firstRef, n);
        return true;
      }
      case Value::Type::Dict: {
        const std::size_t n = v.ifDict()->size();
        counted(kDict, n);
        references(o.firstRef, 2 * n);
        return true;
      }
      case Value::Type::Null:
        break;
    }
    return false;
  }

  // An integer in 1, 2, 4 or 8 bytes; negative ones take 8.
  void integer(std::uint64_t n) {
    int width = tableWidth(n);
    if (width == 3) width = 4;
    out_.push_back(static_cast<std::uint8_t>(kInteger | std::countr_zero(static_cast<unsigned>(width))));
    bigEndian(n, width);
  }

  // Four bytes when a float holds the value exactly (infinities too), else eight.
  void real(double d) {
    const bool fitsFloat = !std::isnan(d) && !(std::isfinite(d) && std::fabs(d) > FLT_MAX) &&
                           static_cast<double>(static_cast<float>(d)) == d;
    if (fitsFloat) {
      const float f = static_cast<float>(d);
      std::uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      out_.push_back(kReal | 2);
      bigEndian(bits, 4);
    } else {
      out_.push_back(kReal | 3);
      bigEndian(bitsOf(d), 8);
    }
  }

  // ASCII as it is; anything else as UTF-16 (big-endian, surrogate pairs past the BMP).
  bool writeText(const std::string& s) {
    bool ascii = true;
    for (unsigned char c : s) {
      if (c == 0) return false;
      if (c >= 0x80) ascii = false;
    }
    if (ascii) {
      counted(kAscii, s.size());
      out_.insert(out_.end(), s.begin(), s.end());
      return true;
    }
    units_.clear();
    if (!utf16(s)) return false;
    counted(kUtf16, units_.size());
    for (std::uint16_t u : units_) bigEndian(u, 2);
    return true;
  }

  // Decodes `s` into units_; false for anything that is not strict UTF-8 (overlong forms,
  // surrogates, code points past U+10FFFF, cut sequences).
  bool utf16(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
      std::optional<std::uint32_t> cp = nextCodePoint(s, i);
      if (!cp) return false;
      if (*cp >= 0x10000) {
        const std::uint32_t above = *cp - 0x10000;
        units_.push_back(static_cast<std::uint16_t>(0xD800 | (above >> 10)));
        units_.push_back(static_cast<std::uint16_t>(0xDC00 | (above & 0x3FF)));
      } else {
        units_.push_back(static_cast<std::uint16_t>(*cp));
      }
    }
    return true;
  }

  // A marker with its count inline, or followed by the count as an integer object.
  void counted(std::uint8_t kind, std::uint64_t count) {
    if (count <= kLargestInlineCount) {
      out_.push_back(static_cast<std::uint8_t>(kind | count));
      return;
    }
    out_.push_back(static_cast<std::uint8_t>(kind | 0x0F));
    integer(count);
  }

  void references(std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i) bigEndian(refs_[i], refWidth_);
  }

  void bigEndian(std::uint64_t v, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) out_.push_back(static_cast<std::uint8_t>(v >> shift));
  }

  std::vector<Object> objects_;
  std::vector<std::size_t> refs_;
  std::unordered_map<ScalarKey, std::size_t, ScalarHash> scalars_;
  std::unordered_map<std::string_view, std::size_t> strings_;
  std::unordered_map<std::string_view, std::size_t> keys_;
  std::unordered_set<std::string_view> data_;
  std::vector<std::uint16_t> units_;
  std::vector<std::uint8_t> out_;
  int refWidth_ = 1;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> writeBinaryPlist(const Value& v) {
  BinaryWriter writer;
  if (!writer.number(v)) return std::nullopt;
  return writer.write();
}

}  // namespace qv::pl::internal
