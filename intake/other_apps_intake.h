// What intake does with the reminders of listed apps: start one (once per app while it runs),
// show the shared Other item at a start, and clear an app's reminder when the user dealt with
// its notification. Main thread.
#pragma once

#include <string_view>

#include "intake/rules.h"

namespace qv::intake {

// Other start: unless the app is in activeOtherApps, list it, set its repeat count to 1 and
// call LoadImTimer:test: with {"id", "identifier" (display name, else the bundle id)}.
void startListedAppReminder(Evaluation& ev);

// Whether a listed app's reminder may be cleared: the latest Other timer is set, or the app is
// still in activeOtherApps (another app's clear may have emptied the timer field).
bool listedAppClearable(core::Library& library, std::string_view bundleId);
// clearOtherTimer: with the app, then forget it in activeOtherApps; `cause` is explained.
void clearListedAppReminder(core::Library& library, std::string_view bundleId, std::string_view cause);

}  // namespace qv::intake
