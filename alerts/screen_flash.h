// The screen flash that stands in for the torch on an iPad: a white flash of the whole screen,
// through SBScreenFlash's shared instance where the class answers it and through its main-screen
// flasher otherwise; then the camera shutter sound when another party set playShutterSound.
// Main thread.
#pragma once

#include <cstdint>

namespace qv::core {
class Library;
}

namespace qv::alerts {

inline constexpr std::uint32_t kShutterSound = 1108;

// Flashes the screen white once (nothing when the process has no screen-flash class).
void flashScreen(core::Library& library);

}  // namespace qv::alerts
