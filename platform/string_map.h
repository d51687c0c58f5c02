// A hash map keyed by std::string that also finds by std::string_view, so a look-up builds no
// string: for names looked up at every alert or post (class names, Darwin notification names).
//   StringMap<Class*> byName;  byName.find(std::string_view("NSObject"));
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qv {

struct StringHash {
  using is_transparent = void;
  // Not noexcept on purpose: libstdc++ then keeps each key's hash in its node (as for
  // std::hash<std::string>), so a look-up walking a bucket hashes no stored key again.
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

template <class V>
using StringMap = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

}  // namespace qv
