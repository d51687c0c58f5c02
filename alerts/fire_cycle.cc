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
#include "core/other_apps.h"
#include "core/registry.h"
#include "core/repeat_limit.h"

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

// Records a fire. "limit" is the limit the count acts as, null for a reminder without one;
// "counted" is the repeat count where it is not the alert's number (alerts made with no limit are
// not counted). The fields are passed in the call, built in place.
void recordAlert(core::Library& library, std::string_view subject, std::string_view text,
                 std::string_view reminderId, std::uint32_t alert, std::int64_t counted, std::int64_t limit) {
  const timeline::Field::Value limitValue =
      limit == kUnlimitedRepeats ? timeline::Field::Value() : timeline::Field::Value(core::limitActedOn(limit));
  if (limit != kUnlimitedRepeats && alert != 0 && counted != alert)
    library.record(timeline::Kind::ReminderFired, subject, text,
                   {{"category", timeline::Borrowed{reminderId}},
                    {"alert", std::int64_t{alert}},
                    {"limit", limitValue},
                    {"counted", counted}});
  else
    library.record(timeline::Kind::ReminderFired, subject, text,
                   {{"category", timeline::Borrowed{reminderId}}, {"alert", std::int64_t{alert}}, {"limit", limitValue}});
}

void recordFired(core::Library& library, const CategoryInfo& row, std::uint32_t alert, std::int64_t limit) {
  const std::int64_t counted = library.reminders.counter(row.category);
  const std::string_view countKey = core::settingKey(row.countKey).name;
  recordAlert(library, row.name, core::AlertText(alert, counted, limit, countKey).view(), row.id, alert, counted, limit);
}

void rearm(core::Library& library, const CategoryInfo& row) {
  library.alerts.rearming = true;
  if (row.startArgument.empty())
    objc::send<void()>(library.sharedHelper, core::selectorsOf(row.category).startOperation);
  else
    host::send(library.sharedHelper, core::hm::LoadImTimer, std::string(row.startArgument));
  library.alerts.rearming = false;
  library.alerts.rearmedTimer[core::index(row.category)] = library.helper().timer(row.category);
}

// Re-arms while the reminder is active and under its limit; otherwise ends it. The status-bar
// item stays: only a clear hides it.
void repeatBookkeeping(core::Library& library, const CategoryInfo& row, std::int64_t limit) {
  if (!library.reminders.activeFlag(row.category)) {
    library.alerts.runOpen[core::index(row.category)] = false;
    library.record(timeline::Kind::ReminderEnded, row.name,
                   "not re-armed: the app's active flag is off (a clear, or the app's other reminder ended)",
                   {{"category", std::string(row.id)}, {"reason", std::string("not-rearmed")}});
    return;
  }
  std::int32_t& counter = library.reminders.counter(row.category);
  if (counter < limit) {
    if (limit != kUnlimitedRepeats && counter < std::numeric_limits<std::int32_t>::max()) ++counter;
    rearm(library, row);
    return;
  }
  library.reminders.activeFlag(row.category) = false;
  library.alerts.runOpen[core::index(row.category)] = false;
  core::dropTimer(library, row.category);
  counter = 1;
  if (library.host.timeline().active())
    library.record(timeline::Kind::ReminderEnded, row.name,
                   core::limitReachedText(limit, core::settingKey(row.countKey).name),
                   {{"category", std::string(row.id)}, {"reason", std::string("limit")}});
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

// A listed app's alert: its number in this run. A timer the lists let go of (its app was
// cleared, or started again) alerts once more; it is no part of the app's current chain, so it
// takes none of that chain's numbers: 0.
std::uint32_t otherAlertNumber(core::Library& library, const objc::Id& timer, const std::string& app) {
  const auto& list = library.otherApps.otherTimerList;
  if (!list || std::find(list->begin(), list->end(), timer) == list->end()) return 0;
  return ++library.alerts.otherAlertsInRun[app];
}

// A listed app's stored repeat count, which the badge check raises after each fire under a limit.
std::int64_t otherRepeatCount(core::Library& library, const std::string& app) {
  if (const auto& counts = library.otherApps.otherRepeatCounts)
    if (auto it = counts->find(app); it != counts->end()) return it->second;
  return 1;
}

}  // namespace

void fireFixedCategory(core::Library& library, Category category) {
  const CategoryInfo& row = core::info(category);
  const std::int64_t limit = library.settings.number(row.countKey);
  const std::uint32_t alert = countAlert(library, row.category);
  timeline::AlertScope scope(library.host.timeline(), row.id, alert);
  if (library.host.timeline().active()) recordFired(library, row, alert, limit);
  const bool locked = playFireAlerts(library, alertKeysOf(row), row.name, LightAlert::Torch);
  if (bannerAllowed(library, locked, row.name))
    showReminderBanner(library, bannerMessage(library, row), reminderSection(library, row));
  repeatBookkeeping(library, row, limit);
}

void fireOtherApp(core::Library& library, const objc::Id& timer) {
  const std::string app = host::send(timer, host::msg::loggingIdentifier);
  const std::int64_t limit = library.settings.number(core::Key::otherCount);
  const std::uint32_t alert = otherAlertNumber(library, timer, app);
  const std::string id = core::listedAppId(app);
  timeline::AlertScope scope(library.host.timeline(), id, alert);
  if (library.host.timeline().active()) {
    const std::int64_t counted = otherRepeatCount(library, app);
    const core::AlertText text(alert, counted, limit, core::settingKey(core::Key::otherCount).name);
    recordAlert(library, app, alert == 0 ? "alert of a timer no longer listed" : text.view(), id, alert, counted,
                limit);
  }
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
