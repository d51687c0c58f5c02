#include "platform/l10n/strings_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace qv::l10n {
namespace {

// Decoding keeps each character's line so errors can point at the line of the original file.
struct Text {
  std::u32string chars;
  std::vector<int> lines;  // line of each character, 1-based
};

Error errorAt(int line, const std::string& what) {
  return Error{"line " + std::to_string(line) + ": " + what};
}

class LineCounter {
 public:
  void add(char32_t c, Text& text) {
    // A '\r' ends its line unless a '\n' follows, so "\r\n" counts once.
    if (previousWasCr_ && c != U'\n') ++line_;
    text.chars.push_back(c);
    text.lines.push_back(line_);
    if (c == U'\n') ++line_;
    previousWasCr_ = c == U'\r';
  }
  int line() const { return line_; }

 private:
  int line_ = 1;
  bool previousWasCr_ = false;
};

bool isSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

Result<Text> decodeUtf8(std::span<const std::uint8_t> bytes) {
  Text text;
  LineCounter lines;
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::uint8_t lead = bytes[i];
    int length = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    if (length == 0 || i + length > bytes.size()) {
      return errorAt(lines.line(), "invalid UTF-8 byte sequence");
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80)
        return errorAt(lines.line(), "invalid UTF-8 byte sequence");
      c = (c << 6) | (bytes[i + k] & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || isSurrogate(c)) {
      return errorAt(lines.line(), "invalid UTF-8 byte sequence");
    }
    lines.add(c, text);
    i += length;
  }
  return text;
}

Result<Text> decodeUtf16(std::span<const std::uint8_t> bytes, bool bigEndian) {
  Text text;
  LineCounter lines;
  if (bytes.size() % 2 != 0) return errorAt(1, "UTF-16 text has an odd number of bytes");
  auto unit = [&](std::size_t i) -> char32_t {
    return bigEndian ? (bytes[i] << 8 | bytes[i + 1]) : (bytes[i + 1] << 8 | bytes[i]);
  };
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
      char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (isSurrogate(c)) return errorAt(lines.line(), "unpaired UTF-16 surrogate");
    lines.add(c, text);
  }
  return text;
}

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

Result<Text> decode(std::span<const std::uint8_t> bytes) {
  if (startsWith(bytes, "\xEF\xBB\xBF")) return decodeUtf8(bytes.subspan(3));
  if (startsWith(bytes, "\xFF\xFE")) return decodeUtf16(bytes.subspan(2), false);
  if (startsWith(bytes, "\xFE\xFF")) return decodeUtf16(bytes.subspan(2), true);
  // Without a mark, a zero in exactly one of the first two bytes gives UTF-16 away.
  if (bytes.size() >= 2 && (bytes[0] == 0) != (bytes[1] == 0)) {
    return decodeUtf16(bytes, bytes[0] == 0);
  }
  return decodeUtf8(bytes);
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isPlainWordChar(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.' || c == '$' || c == ':' || c == '/' || c == '-';
}

bool isSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0xFEFF;
}

int hexValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

class Parser {
 public:
  explicit Parser(const Text& text) : text_(text) {}

  Result<StringsTable> entries() {
    StringsTable table;
    while (true) {
      if (auto e = skipSpaceAndComments()) return *e;
      if (atEnd()) return table;
      int line = lineHere();
      auto key = word("a key in quotes or a plain word");
      if (!key) return Error{key.error()};
      if (auto e = skipSpaceAndComments()) return *e;
      std::string value = *key;
      if (accept('=')) {
        if (auto e = skipSpaceAndComments()) return *e;
        auto v = word("a value after '='");
        if (!v) return Error{v.error()};
        value = std::move(*v);
        if (auto e = skipSpaceAndComments()) return *e;
      }
      if (!accept(';')) {
        return errorAt(atEnd() ? lastLine() : lineHere(),
                       "expected ';' to end the entry for \"" + *key + "\" begun on line " +
                           std::to_string(line) + ", found " + describeHere());
      }
      table[std::move(*key)] = std::move(value);
    }
  }

 private:
  bool atEnd() const { return pos_ >= text_.chars.size(); }
  char32_t peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.chars.size() ? text_.chars[pos_ + ahead] : 0;
  }
  int lineHere() const { return atEnd() ? lastLine() : text_.lines[pos_]; }
  int lastLine() const { return text_.lines.empty() ? 1 : text_.lines.back(); }
  bool accept(char32_t c) {
    if (atEnd() || peek() != c) return false;
    ++pos_;
    return true;
  }
  std::string describeHere() const {
    if (atEnd()) return "the end of the file";
    std::string s = "'";
    appendUtf8(s, peek());
    return s + "'";
  }

  std::optional<Error> skipSpaceAndComments() {
    while (!atEnd()) {
      if (isSpace(peek())) {
        ++pos_;
      } else if (peek() == '/' && peek(1) == '/') {
        while (!atEnd() && peek() != '\n' && peek() != '\r') ++pos_;
      } else if (peek() == '/' && peek(1) == '*') {
        int line = lineHere();
        pos_ += 2;
        while (!atEnd() && !(peek() == '*' && peek(1) == '/')) ++pos_;
        if (atEnd()) return errorAt(line, "comment begun here is never closed with '*/'");
        pos_ += 2;
      } else {
        break;
      }
    }
    return std::nullopt;
  }

  Result<std::string> word(const std::string& expected) {
    if (peek() == '"' || peek() == '\'') return quoted();
    std::string out;
    while (!atEnd() && isPlainWordChar(peek())) appendUtf8(out, text_.chars[pos_++]);
    if (out.empty())
      return errorAt(lineHere(), "expected " + expected + ", found " + describeHere());
    return out;
  }

  Result<std::string> quoted() {
    int line = lineHere();
    char32_t quote = text_.chars[pos_++];
    std::u32string chars;
    while (true) {
      if (atEnd()) return errorAt(line, "string begun here is never closed");
      char32_t c = text_.chars[pos_++];
      if (c == quote) break;
      if (c != '\\') {
        chars.push_back(c);
        continue;
      }
      auto escaped = escape();
      if (!escaped) return Error{escaped.error()};
      chars.push_back(*escaped);
    }
    // Escaped UTF-16 pairs ("\UD83D\UDE00") become one character.
    std::string out;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      char32_t c = chars[i];
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < chars.size() && chars[i + 1] >= 0xDC00 &&
          chars[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (chars[++i] - 0xDC00);
      }
      if (isSurrogate(c)) return errorAt(line, "string has an unpaired UTF-16 surrogate escape");
      appendUtf8(out, c);
    }
    return out;
  }

  Result<char32_t> escape() {
    if (atEnd()) return errorAt(lastLine(), "file ends inside an escape");
    int line = lineHere();
    char32_t c = text_.chars[pos_++];
    switch (c) {
      case 'n':
        return char32_t{'\n'};
      case 't':
        return char32_t{'\t'};
      case 'r':
        return char32_t{'\r'};
      case 'a':
        return char32_t{'\a'};
      case 'b':
        return char32_t{'\b'};
      case 'f':
        return char32_t{'\f'};
      case 'v':
        return char32_t{'\v'};
      case 'U':
      case 'u': {
        char32_t value = 0;
        int digits = 0;
        while (digits < 4 && hexValue(peek()) >= 0 && !atEnd()) {
          value = value * 16 + static_cast<char32_t>(hexValue(text_.chars[pos_++]));
          ++digits;
        }
        if (digits == 0) return errorAt(line, "expected hexadecimal digits after '\\U'");
        return value;
      }
      default:
        break;
    }
    if (c >= '0' && c <= '7') {
      // Octal escapes name a byte; read as Latin-1, which agrees with ASCII below 128.
      char32_t value = c - '0';
      for (int digits = 1; digits < 3 && peek() >= '0' && peek() <= '7' && !atEnd(); ++digits) {
        value = value * 8 + (text_.chars[pos_++] - '0');
      }
      return value;
    }
    return c;  // \" \' \\ and any other character stand for themselves
  }

  const Text& text_;
  std::size_t pos_ = 0;
};

}  // namespace

namespace {

bool isXmlPropertyList(const Text& text) {
  std::u32string_view chars = text.chars;
  while (!chars.empty() && isSpace(chars.front())) chars.remove_prefix(1);
  return chars.starts_with(U"<?xml") || chars.starts_with(U"<!DOCTYPE plist") ||
         chars.starts_with(U"<plist");
}

}  // namespace

bool isPropertyListStrings(std::span<const std::uint8_t> bytes) {
  if (startsWith(bytes, "bplist")) return true;
  auto text = decode(bytes);
  return text && isXmlPropertyList(*text);
}

Result<StringsTable> parseStringsFile(std::span<const std::uint8_t> bytes) {
  if (startsWith(bytes, "bplist")) return Error{kPropertyListStringsMessage};
  auto text = decode(bytes);
  if (!text) return Error{text.error()};
  if (isXmlPropertyList(*text)) return Error{kPropertyListStringsMessage};
  return Parser(*text).entries();
}

Result<StringsTable> readStringsFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Error{path + ": no such file"};
  // Strings tables are kilobytes; refusing huge files keeps a stray file from eating memory.
  if (std::filesystem::file_size(path, ec) > (16u << 20) || ec) {
    return Error{path + ": unreadable or larger than 16 MiB"};
  }
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) return Error{path + ": read failed"};
  auto table = parseStringsFile(bytes);
  if (!table) return Error{path + ": " + table.error()};
  return table;
}

}  // namespace qv::l10n
