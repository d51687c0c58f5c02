// Two texts as one new string, made in a single allocation: appending the second to a copy of the
// first allocates again once the first alone is past the string's inline room.
#pragma once

#include <string>
#include <string_view>

namespace qv {

inline std::string joined(std::string_view a, std::string_view b) {
  std::string s;
  s.reserve(a.size() + b.size());
  s.append(a).append(b);
  return s;
}

}  // namespace qv
