// Checks of a scenario beyond its syntax, where a value is well formed but most likely not what
// the tester meant: actions written out of time order, an app no scenario or device has, a label
// given twice, a count below zero. Each is a warning saying what will happen instead; nothing of
// the run changes. A label no notification has by then is an error. Also the table of languages
// a scenario may name.
//   for (const std::string& w : checkActions(actions, apps)) ...  // "actions[3].app: ..."
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scenario.h"

namespace qv::sim {

// The languages of the package's reminder texts (package/Localizations/<code>.lproj).
std::span<const std::string_view> knownLanguages();
// Why `language` is no language the package speaks, or none when it is one. A region or
// script after the code ("de-AT", "pt_BR") reads the code's texts, as the device does.
std::optional<std::string> unknownLanguage(std::string_view language);

// Why an action names a notification by a label no notification before it has, as
// "PLACE: what"; none when every label an action names has arrived by then.
std::optional<std::string> unknownLabel(const std::vector<Action>& actions);

// One line per problem, "PLACE: what happens instead"; `actions` in the order of the file.
std::vector<std::string> checkActions(const std::vector<Action>& actions, const std::vector<AppSpec>& apps);

// "PLACE.otherApplications[i]: ..." for each listed bundle identifier that neither `apps` nor the
// device has and no action names: no notification of it can arrive (a misspelt identifier, most
// likely). `values` are settings given at `place` ("settings", "actions[2].set", or "" for a file).
std::vector<std::string> checkListedApps(const pl::Dict& values, const std::string& place,
                                         const std::vector<Action>& actions, const std::vector<AppSpec>& apps);

}  // namespace qv::sim
