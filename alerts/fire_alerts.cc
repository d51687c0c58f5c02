#include "alerts/fire_alerts.h"

#include "alerts/home_state.h"
#include "alerts/screen_flash.h"
#include "alerts/sound.h"
#include "alerts/torch.h"
#include "alerts/vibration.h"
#include "core/library.h"
#include "platform/stack_text.h"

namespace qv::alerts {
namespace {

// Decisions cost nothing unless someone listens: the text is built only then, in room of its own
// (a reminder whose torch waits for the lock explains so at every fire).
void explainKey(core::Library& library, std::string_view subject, std::string_view what, core::Key key) {
  if (!library.host.timeline().wantsDecisions()) return;
  StackText<80> text;
  text << what << " (" << core::settingKey(key).name << ")";
  library.explain(subject, text.view());
}

void soundAndVibration(core::Library& library, const AlertKeys& keys, std::string_view subject) {
  if (quietModeEnabled(library)) {
    library.explain(subject, "quiet mode: no sound and no vibration");
    return;
  }
  scheduleVibration(library, keys.vibration);
  if (library.settings.flag(keys.sound))
    playReminderSound(library, keys.currentSound);
  else
    explainKey(library, subject, "no sound: switched off", keys.sound);
}

void light(core::Library& library, const AlertKeys& keys, std::string_view subject, LightAlert kind, bool locked) {
  if (!library.settings.flag(keys.torch)) return;
  if (library.settings.flag(keys.lockTorch) && !locked) {
    explainKey(library, subject, "no torch: only while locked", keys.lockTorch);
    return;
  }
  if (kind == LightAlert::ScreenFlashOnPad && isPad(library))
    flashScreen(library);
  else
    requestTorchBlink(library);
}

}  // namespace

bool playFireAlerts(core::Library& library, const AlertKeys& keys, std::string_view subject, LightAlert kind) {
  soundAndVibration(library, keys, subject);
  const bool locked = uiLocked(library);
  if (library.settings.flag(keys.wake) && locked) undimScreen(library);
  light(library, keys, subject, kind, locked);
  return locked;
}

bool bannerAllowed(core::Library& library, bool locked, std::string_view subject) {
  if (!library.settings.flag(core::Key::showBanner)) {
    library.explain(subject, "no banner: switched off (showBanner)");
    return false;
  }
  if (locked) {
    library.explain(subject, "no banner while locked");
    return false;
  }
  return true;
}

}  // namespace qv::alerts
