// The reminder vibration: 0.3 s after a fire, a task on the main queue reads the fire's
// vibration key (at that moment, not at the fire) and, when it allows, vibrates once in a fixed
// pattern (300 ms on, 300 ms off) through the vibrate-only system sound 4095. Main thread.
#pragma once

#include <cstdint>

#include "core/settings_keys.h"
#include "platform/dispatch/scheduler.h"
#include "platform/plist/value.h"

namespace qv::core {
class Library;
}

namespace qv::alerts {

inline constexpr std::uint32_t kVibrateOnlySound = 4095;
inline constexpr dispatch::Duration kVibrationDelay{300'000'000};

// {"VibePattern": [true, 300.0, false, 300], "Intensity": 10}: one constant, handed to every
// vibration (the host only reads it).
const pl::Dict& vibrationDescription();

// Schedules the vibration task of one fire; it vibrates when `vibrationKey` allows it then.
void scheduleVibration(core::Library& library, core::Key vibrationKey);

}  // namespace qv::alerts
