// The names a mistyped name most likely meant, for "did you mean …?" in messages: by edit
// distance (letters inserted, dropped, changed or swapped; case counts for little): those at
// the nearest distance, when that is close enough to be the same word mistyped.
//   nearestNames("showStatuss", names)  // {"showStatus"}
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv::sim {

// At most `most` of `known`, in their order there; empty when none is close.
std::vector<std::string> nearestNames(std::string_view name, const std::vector<std::string_view>& known,
                                      std::size_t most = 3);

// " (did you mean a or b?)" when `name` is near some of `known`, else "".
std::string didYouMean(std::string_view name, const std::vector<std::string_view>& known);

// "a, b, c": the whole list of what a message says is known.
std::string commaList(const std::vector<std::string_view>& names);

// "a", "a or b", "a, b or c".
std::string oneOf(const std::vector<std::string>& names);

}  // namespace qv::sim
