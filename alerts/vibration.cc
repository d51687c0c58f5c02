#include "alerts/vibration.h"

#include "core/library.h"

namespace qv::alerts {

const pl::Dict& vibrationDescription() {
  // The durations are a real and an integer, as the platform's pattern format has them.
  static const pl::Dict description{{"VibePattern", pl::Array{true, 300.0, false, 300}}, {"Intensity", 10}};
  return description;
}

void scheduleVibration(core::Library& library, core::Key vibrationKey) {
  core::Library* lib = &library;
  library.host.scheduler().after(library.host.mainQueue(), kVibrationDelay, [lib, vibrationKey] {
    if (!lib->settings.flag(vibrationKey)) {
      if (lib->host.timeline().wantsDecisions())
        lib->explain("vibration", std::string("off: ") + std::string(core::settingKey(vibrationKey).name));
      return;
    }
    lib->host.playSystemSoundWithVibration(kVibrateOnlySound, vibrationDescription());
  });
}

}  // namespace qv::alerts
