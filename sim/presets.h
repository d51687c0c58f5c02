// Notification presets: what each supported app really sends for an event, on iOS 7 to 9 and
// on iOS 10, so a scenario can say "whatsapp-message" instead of spelling out payloads. Each
// preset gives the section id, the iOS 10 category identifier, the remote and local payloads,
// whether it is the app's own local notification firing, and how the app's badge moves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/plist/value.h"

namespace qv::sim {

struct PresetDelivery {
  std::string app;
  std::string categoryIdentifier;  // iOS 10
  std::optional<pl::Dict> remote;
  std::optional<pl::Dict> local;
  bool localFire = false;
  std::int64_t badgeDelta = 0;
  std::string title;
  std::string message;
};

struct Preset {
  const char* name;
  const char* app;  // "" when the scenario names the app
  bool needsApp;
  const char* summary;
  // Builds the delivery for a system range; `app` is the scenario's app for generic presets.
  PresetDelivery (*build)(bool ios10, const std::string& app);
};

const Preset* findPreset(std::string_view name);
std::string presetNames();
std::vector<std::string> presetList();

}  // namespace qv::sim
