// The two home-screen hooks that finish start-up and follow the lock: the launch hook
// (SpringBoard applicationDidFinishLaunching:) prepares the Other-app lists, runs the first-run
// steps on the settings files and opens intake 10 s later; the auto-lock hook
// (SBBacklightController _autoLockTimerFired:) schedules the lock-screen re-post of the pending
// reminders 1 s later. Both call through first. Main thread.
#pragma once

#include <chrono>

#include "platform/objc/runtime.h"

namespace qv::core {
class Library;
}

namespace qv::assembly {

inline constexpr auto kIntakeOpensAfterLaunch = std::chrono::seconds(10);
inline constexpr auto kRepostAfterAutoLock = std::chrono::seconds(1);

// The replacement of SpringBoard applicationDidFinishLaunching:.
void launchHook(core::Library& library, const objc::Slot<void(objc::Id)>& previous, objc::Object* self,
                objc::Sel sel, objc::Id application);

// The replacement of SBBacklightController _autoLockTimerFired:.
void autoLockHook(core::Library& library, const objc::Slot<void(objc::Id)>& previous, objc::Object* self,
                  objc::Sel sel, objc::Id timer);

// The first-run steps: "firstRun" set for the current host when the settings file lacks it,
// "otherApplications" removed (any host) and the defaults synchronised when the file lacks it.
void runFirstRunSteps(core::Library& library);

}  // namespace qv::assembly
