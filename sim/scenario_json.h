// Scenario JSON read with the guards a hand-written file needs before anything walks it: objects
// and arrays nested at most kDeepestScenarioJson deep (a deeper document is refused while it is
// read, so no recursive step ever meets one), and each key at most once per object (a second
// value would otherwise replace the first in silence). Also the short preview of a value that
// error messages quote, bounded however large the value.
//   readScenarioJson(R"({"run":"1m","run":"2m"})", "s.json")  // error: s.json: "run" is given twice ...
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace qv::sim {

// The settings' own limit (a property list nested deeper is refused as well).
inline constexpr std::size_t kDeepestScenarioJson = 64;

// The document, comments allowed; an error "FILE: PLACE: what" for text that is no JSON, nests
// too deep or repeats a key.
Result<nlohmann::json> readScenarioJson(std::string_view text, std::string_view fileName);

// `value` as JSON, cut to about `longest` characters ("[1, 2, ..."); never walks more of it.
std::string previewJson(const nlohmann::json& value, std::size_t longest = 40);

}  // namespace qv::sim
