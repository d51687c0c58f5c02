// What a reminder fire asks of the home screen: quiet mode, lock state and the device idiom,
// and the screen wake it may ask for. Each looks its host object up by class name; a class the
// process lacks reads as "no" (not quiet, not locked, not an iPad) and makes the wake a no-op.
// Main thread.
#pragma once

namespace qv::core {
class Library;
}

namespace qv::alerts {

// SBBulletinSoundController sharedInstance quietModeEnabled (do not disturb).
bool quietModeEnabled(core::Library& library);
// SBLockScreenManager sharedInstance isUILocked.
bool uiLocked(core::Library& library);
// UIDevice currentDevice userInterfaceIdiom is 1, asked only when the device answers it.
bool isPad(core::Library& library);
// SBUserAgent sharedUserAgent undimScreen.
void undimScreen(core::Library& library);

}  // namespace qv::alerts
