#include "assembly/launch_hooks.h"

#include <string>

#include "alerts/banner.h"
#include "core/library.h"
#include "core/settings_keys.h"

namespace qv::assembly {

using core::Key;
using core::kSettingsDomain;
using core::kSettingsFileUnderHome;
using core::Library;
using core::OtherAppsState;

namespace {

// The settings file as this process's home directory names it; a missing or unreadable file
// reads as empty.
pl::Dict readSettingsFile(Library& library) {
  return library.host.dictionaryWithContentsOfFile(library.host.homeDirectory() + std::string(kSettingsFileUnderHome))
      .value_or(pl::Dict{});
}

void prepareOtherAppLists(OtherAppsState& other) {
  if (!other.activeOtherApps) other.activeOtherApps.emplace();
  if (!other.otherRepeatCounts) other.otherRepeatCounts.emplace();
  // A list left from before is dropped, not emptied; it is made again when first needed.
  if (other.otherTimerList)
    other.otherTimerList.reset();
  else
    other.otherTimerList.emplace();
}

}  // namespace

void runFirstRunSteps(Library& library) {
  host::Host& host = library.host;
  if (!readSettingsFile(library).contains("firstRun")) {
    // Written for this host only, so it lands beside the main file (ByHost/), which is the
    // one read here: every launch finds it missing again.
    const pl::Value yes(true);
    host.prefsSetValue("firstRun", &yes, kSettingsDomain, host::PrefsUser::Current, host::PrefsHost::Current);
  }
  if (!readSettingsFile(library).contains("otherApplications")) {
    host.prefsSetValue("otherApplications", nullptr, kSettingsDomain, host::PrefsUser::Current, host::PrefsHost::Any);
    host.synchronizeUserDefaults();
  }
}

void launchHook(Library& library, const objc::Slot<void(objc::Id)>& previous, objc::Object* self, objc::Sel sel,
                objc::Id application) {
  previous(self, sel, std::move(application));
  prepareOtherAppLists(library.otherApps);
  runFirstRunSteps(library);
  library.explain("intake", "opens 10 s after the home screen finished launching");
  library.host.scheduler().after(library.host.mainQueue(), kIntakeOpensAfterLaunch,
                                 [&library] { library.intake.intakeReady = true; });
}

void autoLockHook(Library& library, const objc::Slot<void(objc::Id)>& previous, objc::Object* self, objc::Sel sel,
                  objc::Id timer) {
  previous(self, sel, std::move(timer));
  if (!library.settings.flag(Key::globalEnabled)) {
    library.explain("auto-lock", "no lock-screen re-post: switched off (globalEnabled)");
    return;
  }
  if (!library.settings.flag(Key::showBanner)) {
    library.explain("auto-lock", "no lock-screen re-post: banners off (showBanner)");
    return;
  }
  dispatch::Scheduler& scheduler = library.host.scheduler();
  const dispatch::QueueRef& main = library.host.mainQueue();
  scheduler.async(main, [&library, &scheduler, main] {
    scheduler.after(main, kRepostAfterAutoLock, [&library] { alerts::repostToLockScreen(library); });
  });
}

}  // namespace qv::assembly
