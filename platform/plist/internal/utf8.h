// Strict UTF-8, as property lists must hold it: the checks before libplist writes a text, and
// our binary writer's conversion to UTF-16, decode it the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::pl::internal {

// The code point starting at `i`, with `i` moved past it; nullopt for anything that is not strict
// UTF-8 (overlong forms, surrogates, code points past U+10FFFF, cut sequences).
inline std::optional<std::uint32_t> nextCodePoint(std::string_view s, std::size_t& i) {
  const unsigned char c = s[i];
  std::size_t extra;
  std::uint32_t cp;
  if (c < 0x80) {
    ++i;
    return c;
  }
  if ((c & 0xE0) == 0xC0) {
    extra = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return std::nullopt;
  }
  if (i + extra >= s.size()) return std::nullopt;
  for (std::size_t k = 1; k <= extra; ++k) {
    const unsigned char cc = s[i + k];
    if ((cc & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (cc & 0x3F);
  }
  static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  i += extra + 1;
  return cp;
}

}  // namespace qv::pl::internal
