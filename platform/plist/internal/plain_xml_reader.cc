#include "platform/plist/internal/plain_xml_reader.h"

#include <string_view>

#include "platform/plist/internal/plain_xml_form.h"

namespace qv::pl::internal {
namespace {

class PlainReader {
 public:
  PlainReader(std::string_view text, const ReadLimits& limits) : text_(text), limits_(limits) {}

  std::optional<Value> document() {
    if (!text_.starts_with(kPlainProlog)) return std::nullopt;
    pos_ = kPlainProlog.size();
    skipBlank();
    // Only a container at the root (as the settings file is).
    if (!(peek("<dict") || peek("<array"))) return std::nullopt;
    auto root = value(1);
    if (!root) return std::nullopt;
    skipBlank();
    if (!take("</plist>")) return std::nullopt;
    skipBlank();
    if (pos_ != text_.size()) return std::nullopt;
    return root;
  }

 private:
  std::optional<Value> value(std::size_t depth) {
    if (++nodes_ > limits_.maxNodes) return std::nullopt;
    if (take("<true/>")) return Value(true);
    if (take("<false/>")) return Value(false);
    if (take("<string>")) {
      auto s = text("</string>");
      if (!s) return std::nullopt;
      return Value(std::string(*s));
    }
    if (take("<integer>")) return integer();
    if (take("<dict/>")) return container(depth) ? std::optional<Value>(Value(Dict{})) : std::nullopt;
    if (take("<array/>")) return container(depth) ? std::optional<Value>(Value(Array{})) : std::nullopt;
    if (take("<dict>")) {
      if (!container(depth)) return std::nullopt;
      Dict d;
      while (true) {
        skipBlank();
        if (take("</dict>")) return Value(std::move(d));
        if (!take("<key>")) return std::nullopt;
        auto key = text("</key>");
        if (!key || key->empty()) return std::nullopt;
        skipBlank();
        if (peek("<key>")) return std::nullopt;
        auto v = value(depth + 1);
        if (!v) return std::nullopt;
        // A key given twice is left to libplist. Our writer sorts keys, so the end is the place.
        const std::size_t before = d.size();
        d.emplace_hint(d.end(), std::string(*key), std::move(*v));
        if (d.size() == before) return std::nullopt;
      }
    }
    if (take("<array>")) {
      if (!container(depth)) return std::nullopt;
      Array a;
      while (true) {
        skipBlank();
        if (take("</array>")) return Value(std::move(a));
        if (peek("<key>")) return std::nullopt;
        auto v = value(depth + 1);
        if (!v) return std::nullopt;
        a.push_back(std::move(*v));
      }
    }
    return std::nullopt;
  }

  // A container at `depth` (the root is 1), well within the limits.
  bool container(std::size_t depth) const { return depth <= kPlainDepth && depth < limits_.maxDepth; }

  std::optional<Value> integer() {
    bool negative = false;
    if (pos_ < text_.size() && text_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    const std::size_t digits = pos_;
    std::int64_t n = 0;
    // Digits past the 18th are counted, not added: the sum would overflow (and is refused below).
    for (; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; ++pos_)
      if (pos_ - digits < 18) n = n * 10 + (text_[pos_] - '0');
    const std::size_t count = pos_ - digits;
    // No leading zeros (libplist would read them as octal) and no "-0".
    if (count == 0 || count > 18 || (text_[digits] == '0' && (count > 1 || negative))) return std::nullopt;
    if (!take("</integer>")) return std::nullopt;
    return Value(negative ? -n : n);
  }

  // Printable ASCII up to `close`, without the characters XML gives meaning to.
  std::optional<std::string_view> text(std::string_view close) {
    const std::size_t start = pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '<') break;
      if (c < 0x20 || c > 0x7E || c == '&' || c == '>') return std::nullopt;
      ++pos_;
    }
    const std::string_view s = text_.substr(start, pos_ - start);
    if (!take(close)) return std::nullopt;
    return s;
  }

  bool peek(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }
  bool take(std::string_view s) {
    if (!peek(s)) return false;
    pos_ += s.size();
    return true;
  }
  // The blanks our writer puts between elements (a carriage return leaves the text to libplist).
  void skipBlank() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n')) ++pos_;
  }

  std::string_view text_;
  const ReadLimits& limits_;
  std::size_t pos_ = 0;
  std::size_t nodes_ = 0;
};

}  // namespace

std::optional<Value> readPlainXml(std::span<const std::uint8_t> bytes, const ReadLimits& limits) {
  return PlainReader(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), limits).document();
}

}  // namespace qv::pl::internal
