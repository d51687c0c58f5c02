#include "alerts/fire_cycle.h"

#include <algorithm>
#include <limits>
#include <string>

#include "alerts/banner.h"
#include "alerts/fire_alerts.h"
#include "alerts/home_state.h"
#include "alerts/localized_text.h"
#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "core/operations.h"
#include "core/registry.h"

namespace qv::alerts {
namespace {

using core::Category;
using core::CategoryInfo;
using core::kUnlimitedRepeats;

// The fires since the reminder was last started from outside the fire cycle: a fire of the timer
// our own re-arm made continues the run, any other starts a new one.
std::uint32_t countAlert(core::Library& library, Category c) {
  const std::size_t i = core::index(c);
  const objc::Id& spent = library.helper().timer(c);
  const bool rearmedByUs = spent && library.alerts.rearmedTimer[i].lock() == spent;
  library.alerts.alertsInRun[i] = rearmedByUs ? library.alerts.alertsInRun[i] + 1 : 1;
  return library.alerts.alertsInRun[i];
}

void recordFired(core::Library& library, const CategoryInfo& row, std::int64_t limit) {
  const std::uint32_t alert = countAlert(library, row.category);
  if (!library.host.timeline().active()) return;
  const std::string detail =
      limit == kUnlimitedRepeats
          ? "alert " + std::to_string(alert) + ", no limit"
          : "alert " + std::to_string(library.reminders.counter(row.category)) + " of " + std::to_string(limit);
  library.record(timeline::Kind::ReminderFired, row.name, detail);
}

void rearm(core::Library& library, const CategoryInfo& row) {
  if (row.startArgument.empty())
    objc::send<void()>(library.sharedHelper, objc::Sel::intern(row.startOperation));
  else
    host::send(library.sharedHelper, core::hm::LoadImTimer, std::string(row.startArgument));
  library.alerts.rearmedTimer[core::index(row.category)] = library.helper().timer(row.category);
}

// Re-arms while the reminder is active and under its limit; otherwise ends it. The status-bar
// item stays: only a clear hides it.
void repeatBookkeeping(core::Library& library, const CategoryInfo& row, std::int64_t limit) {
  if (!library.reminders.activeFlag(row.category)) {
    library.record(timeline::Kind::ReminderEnded, row.name,
                   "not re-armed: the app's active flag is off (a clear, or the app's other reminder ended)");
    return;
  }
  std::int32_t& counter = library.reminders.counter(row.category);
  if (counter < limit) {
    if (limit != kUnlimitedRepeats && counter < std::numeric_limits<std::int32_t>::max()) ++counter;
    rearm(library, row);
    return;
  }
  library.reminders.activeFlag(row.category) = false;
  core::dropTimer(library, row.category);
  counter = 1;
  if (library.host.timeline().active())
    library.record(timeline::Kind::ReminderEnded, row.name, "repeat limit " + std::to_string(limit) + " reached");
}

std::string bannerMessage(core::Library& library, const CategoryInfo& row) {
  return row.bannerLocalized ? localizedText(library, row.message, row.message) : std::string(row.message);
}

void fixedHandler(void* ctx, objc::Object* self, objc::Sel) {
  fireFixedCategory(core::libraryOf(self), static_cast<const CategoryInfo*>(ctx)->category);
}

void otherHandler(void*, objc::Object* self, objc::Sel, objc::Id timer) {
  fireOtherApp(core::libraryOf(self), timer);
}

std::string otherFireDetail(core::Library& library, const objc::Id& timer, const std::string& app) {
  // A timer the lists let go of (its app was cleared, or started again) alerts once more; it is
  // no part of the app's current chain, so it takes none of that chain's numbers.
  const auto& list = library.otherApps.otherTimerList;
  if (!list || std::find(list->begin(), list->end(), timer) == list->end()) return "alert of a timer no longer listed";
  const std::int64_t limit = library.settings.number(core::Key::otherCount);
  if (limit == kUnlimitedRepeats) return "alert, no limit";
  std::int64_t count = 1;
  if (const auto& counts = library.otherApps.otherRepeatCounts)
    if (auto it = counts->find(app); it != counts->end()) count = it->second;
  return "alert " + std::to_string(count) + " of " + std::to_string(limit);
}

}  // namespace

void fireFixedCategory(core::Library& library, Category category) {
  const CategoryInfo& row = core::info(category);
  const std::int64_t limit = library.settings.number(row.countKey);
  recordFired(library, row, limit);
  const bool locked = playFireAlerts(library, alertKeysOf(row), row.name, LightAlert::Torch);
  if (bannerAllowed(library, locked, row.name))
    showReminderBanner(library, bannerMessage(library, row), reminderSection(library, row));
  repeatBookkeeping(library, row, limit);
}

void fireOtherApp(core::Library& library, const objc::Id& timer) {
  const std::string app = host::send(timer, host::msg::loggingIdentifier);
  if (library.host.timeline().active())
    library.record(timeline::Kind::ReminderFired, app, otherFireDetail(library, timer, app));
  const bool locked = playFireAlerts(library, kOtherAppAlertKeys, app, LightAlert::ScreenFlashOnPad);
  if (bannerAllowed(library, locked, app)) showReminderBanner(library, otherAppMessage(library, app), app);
}

void registerFireHandlers(core::Library& library, objc::Class* missedHelper) {
  objc::Runtime& rt = library.host.runtime();
  for (const CategoryInfo& row : core::kCategories)
    rt.addMethod<void()>(missedHelper, objc::Sel::intern(row.fireHandler), &fixedHandler,
                         const_cast<CategoryInfo*>(&row));
  rt.addMethod<void(objc::Id)>(missedHelper, core::hm::reloadOtherTimer.sel, &otherHandler);
}

}  // namespace qv::alerts
