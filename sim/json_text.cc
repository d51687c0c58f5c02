#include "sim/json_text.h"

#include <cstdio>

namespace qv::sim {
namespace {

// The length of the valid UTF-8 sequence at `s[i]`, or 0 when it is not one.
std::size_t utf8Length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
  if (n == 2 && c < 0xC2) return 0;
  if (n == 3 && ((c == 0xE0 && byte(i + 1) < 0xA0) || (c == 0xED && byte(i + 1) >= 0xA0))) return 0;
  if (n == 4 && ((c == 0xF0 && byte(i + 1) < 0x90) || c > 0xF4 || (c == 0xF4 && byte(i + 1) >= 0x90))) return 0;
  return n;
}

}  // namespace

void JsonText::separate() {
  if (!first_) text_ += ',';
  first_ = false;
}

JsonText& JsonText::open() {
  separate();
  text_ += '{';
  first_ = true;
  return *this;
}

JsonText& JsonText::close() {
  text_ += '}';
  first_ = false;
  return *this;
}

JsonText& JsonText::openList() {
  separate();
  text_ += '[';
  first_ = true;
  return *this;
}

JsonText& JsonText::closeList() {
  text_ += ']';
  first_ = false;
  return *this;
}

JsonText& JsonText::key(std::string_view k) {
  string(k);
  text_ += ':';
  first_ = true;  // the value follows without a comma
  return *this;
}

JsonText& JsonText::string(std::string_view s) {
  separate();
  text_ += '"';
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += static_cast<char>(c);
    } else if (c == '\n') {
      text_ += "\\n";
    } else if (c == '\t') {
      text_ += "\\t";
    } else if (c == '\r') {
      text_ += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      text_ += escaped;
    } else if (c >= 0x80) {
      const std::size_t n = utf8Length(s, i);
      if (n == 0) {
        text_ += "\xEF\xBF\xBD";
        ++i;
        continue;
      }
      text_.append(s.substr(i, n));
      i += n;
      continue;
    } else {
      text_ += static_cast<char>(c);
    }
    ++i;
  }
  text_ += '"';
  return *this;
}

JsonText& JsonText::integer(std::int64_t n) {
  separate();
  text_ += std::to_string(n);
  return *this;
}

JsonText& JsonText::unsignedInteger(std::uint64_t n) {
  separate();
  text_ += std::to_string(n);
  return *this;
}

JsonText& JsonText::flag(bool b) {
  separate();
  text_ += b ? "true" : "false";
  return *this;
}

JsonText& JsonText::null() {
  separate();
  text_ += "null";
  return *this;
}

JsonText& JsonText::strings(const std::vector<std::string>& list) {
  openList();
  for (const std::string& s : list) string(s);
  return closeList();
}

}  // namespace qv::sim
