// The alerts of one reminder fire, shared by every fire handler: sound and vibration (unless
// quiet mode is on), the screen wake while locked, the torch blink (or on an iPad, for listed
// apps, the screen flash), and the test for the banner. Which of them run is decided by the
// settings keys of the reminder's row at the moment of the fire. Main thread.
#pragma once

#include <string_view>

#include "core/categories.h"
#include "core/settings_keys.h"

namespace qv::core {
class Library;
}

namespace qv::alerts {

// The settings keys of one reminder's alerts.
struct AlertKeys {
  core::Key sound, currentSound, vibration, torch, lockTorch, wake;
};

// The keys of a fixed category's row.
constexpr AlertKeys alertKeysOf(const core::CategoryInfo& row) {
  return AlertKeys{row.soundKey, row.currentSoundKey, row.vibrationKey, row.torchKey, row.lockTorchKey, row.wakeKey};
}

// The keys every listed app's reminder uses.
inline constexpr AlertKeys kOtherAppAlertKeys{core::Key::soundOther, core::Key::currentOtherSound, core::Key::vibeOther,
                                              core::Key::torchOther, core::Key::locktorchOther,    core::Key::unOther};

enum class LightAlert { Torch, ScreenFlashOnPad };

// Sound and vibration, screen wake, then torch (or flash); `subject` names the reminder in
// decisions. Returns whether the UI is locked, for the banner step.
bool playFireAlerts(core::Library& library, const AlertKeys& keys, std::string_view subject, LightAlert light);

// Whether this fire shows a banner: "showBanner" allows it and the UI is not locked.
bool bannerAllowed(core::Library& library, bool locked, std::string_view subject);

}  // namespace qv::alerts
