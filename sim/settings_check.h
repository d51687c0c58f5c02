// Settings a scenario gives, checked against the settings-key table (core/settings_keys.h) as the
// library will read them: an unknown key, or a value the library reads otherwise than as given,
// is a warning saying what the library does instead. Checks only: nothing is changed, since the
// device would read the same file the same way.
//   checkSettings(values, "settings")  // {"settings.showStatuss: no such setting; did you mean showStatus?"}
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/plist/value.h"

namespace qv::sim {

// One line per problem, "PLACE.KEY: what the library does"; `place` is the JSON path of the
// dictionary ("settings", "actions[2].set"), empty for a property-list file's top (keys alone).
std::vector<std::string> checkSettings(const pl::Dict& values, const std::string& place);

// Keys a settings file gives more than once (pl::repeatedTopKeys): one line per key, with the
// value read, the last given.
std::vector<std::string> checkRepeatedKeys(const std::vector<std::string>& keys, const pl::Dict& values);

// Whether the library reads the settings at all on the release ("7.1" no, "8.0" and later yes).
bool releaseReadsSettings(std::string_view version);

// Keys a scenario removes: one line per key the library does not know, at `place`.
std::vector<std::string> checkRemovedKeys(const std::vector<std::string>& keys, const std::string& place);

}  // namespace qv::sim
