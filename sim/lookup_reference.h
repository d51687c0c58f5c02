// What a user looks up before writing a scenario: every settings key (type, default, the values
// the library reads as given, what it does) and the apps a scenario can name without declaring
// them. Printed from the tables the system itself reads (core/settings_keys.h,
// platform/apps/catalog.h): `--list-settings`, docs/settings.md and `--list-apps`.
#pragma once

#include <string>

#include "core/settings_keys.h"

namespace qv::sim {

// "flag", "seconds", "alerts", "hour", ...
std::string settingType(const core::SettingKey& key);
// "on", "60", "no limit", "SMS 3.caf", ...
std::string settingDefault(const core::SettingKey& key);
// The values the library reads as given; anything else reads as the default.
std::string settingValues(const core::SettingKey& key);

// `--list-settings`: plain text for a terminal.
std::string settingsText();
// docs/settings.md (`--list-settings --markdown`).
std::string settingsMarkdown();
// `--list-apps`: the apps on the simulated home screen, with bundle identifiers and names.
std::string appsText();

}  // namespace qv::sim
