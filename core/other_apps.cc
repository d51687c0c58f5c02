#include "core/other_apps.h"

#include <algorithm>
#include <limits>

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "core/repeat_limit.h"
#include "platform/stack_text.h"

namespace qv::core {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

// The app a timer belongs to, by its user info's "id" ("" when it has none).
std::string appOf(const Id& timer) {
  const pl::Value info = host::send(timer, msg::userInfo);
  const std::string* id = pl::findString(&info, "id");
  return id ? *id : std::string();
}

// Drops the app's timers from otherTimerList without invalidating them; how many went.
std::size_t dropListEntries(Library& library, std::string_view app) {
  auto& list = library.otherApps.otherTimerList;
  if (!list) return 0;
  return std::erase_if(*list, [&](const Id& timer) { return appOf(timer) == app; });
}

bool isActive(const Library& library, std::string_view app) {
  const auto& active = library.otherApps.activeOtherApps;
  return active && std::find(active->begin(), active->end(), app) != active->end();
}

void leaveActiveList(Library& library, std::string_view app) {
  if (auto& active = library.otherApps.activeOtherApps) std::erase(*active, app);
}

// The user info a timer is made with: the caller's, given the bundle identifier as "id" when it
// carries none, so that clears and restarts can always find the timer by its app.
pl::Value userInfoWithApp(const pl::Value& userInfo, const std::string& app) {
  const std::string* id = pl::findString(&userInfo, "id");
  if (id && !id->empty()) return userInfo;
  pl::Dict fixed = userInfo.ifDict() ? *userInfo.ifDict() : pl::Dict{};
  fixed["id"] = app;
  return pl::Value(std::move(fixed));
}

// clearOtherTimer: without its timeline event; whether a reminder of the app was pending.
bool clearWithoutRecord(Library& library, const std::string& app) {
  MissedHelper& helper = library.helper();
  bool pending = isActive(library, app);
  if (helper.otherTimer && appOf(helper.otherTimer) == app) {
    host::send(helper.otherTimer, msg::invalidate);
    helper.otherTimer = nullptr;
    if (auto& counts = library.otherApps.otherRepeatCounts) counts->erase(app);
    pending = true;
  }
  pending = dropListEntries(library, app) > 0 || pending;
  // The item is shared: it goes whichever app it was shown for, and returns at another app's fire.
  if (Id item = std::move(helper.statusBarItemOther)) host::send(item, msg::setVisible, false);
  helper.statusBarItemOther = nullptr;
  if (library.statusBar.statusBarDirty) host::send(library.sharedHelper, hm::updateStatusbar);
  return pending;
}

// The app's home-screen badge says the user has dealt with it (the calendar is never taken as done).
bool badgeGone(Library& library, const std::string& app) {
  objc::Class* iconController = library.host.runtime().getClass("SBIconController");
  Id model = host::send(host::send(iconController, msg::sharedInstance), msg::model);
  const std::int64_t badge =
      host::send(host::send(model, msg::applicationIconForBundleIdentifier, app), msg::badgeValue);
  if (badge != 0) return false;
  if (app == kBadgeExemptApp) {
    library.explain(app, "com.apple.mobilecal never ends by badge");
    return false;
  }
  library.explain(app, "badge 0 → cleared");
  return true;
}

// Counts this fire against "otherCount"; re-arms while under it, else ends the reminder.
void countAndRearm(Library& library, const Id& timer, const std::string& app) {
  auto& counts = library.otherApps.otherRepeatCounts;
  if (!counts) counts.emplace();
  const std::int64_t limit = library.settings.number(Key::otherCount);
  std::int64_t count = (*counts)[app];
  if (count <= limit && count < std::numeric_limits<std::int64_t>::max()) ++count;
  (*counts)[app] = count;
  if (count > limit) {
    leaveActiveList(library, app);
    counts->erase(app);
    if (library.host.timeline().active())
      library.record(timeline::Kind::ReminderEnded, app, limitReachedText(limit, settingKey(Key::otherCount).name),
                     {{"category", listedAppId(app)}, {"reason", std::string("limit")}});
    return;
  }
  const pl::Value next(pl::Dict{{"id", appOf(timer)}, {"identifier", host::send(timer, msg::identifier)}});
  library.alerts.rearming = true;
  host::send(library.sharedHelper, hm::LoadImTimerTest, next, app);
  library.alerts.rearming = false;
  // Without a limit the stored count stays where intake put it.
  if (limit == kUnlimitedRepeats) (*counts)[app] = count - 1;
}

void loadImTimerTestImp(void*, Object* self, Sel, pl::Value userInfo, std::string bundleId) {
  startOtherApp(libraryOf(self), userInfo, bundleId);
}

void clearOtherTimerImp(void*, Object* self, Sel, std::string bundleId) {
  clearOtherApp(libraryOf(self), bundleId);
}

}  // namespace

bool hasArmedListEntry(const Library& library, std::string_view app) {
  const auto& list = library.otherApps.otherTimerList;
  return list && std::any_of(list->begin(), list->end(),
                             [&](const Id& t) { return appOf(t) == app && host::send(t, msg::isValid); });
}

void defineOtherTimerClass(Library& library) {
  objc::Runtime& rt = library.host.runtime();
  objc::Class* cls = rt.allocateClassPair(rt.getClass("PCSimpleTimer"), kOtherTimerClass);
  if (!cls) return;
  rt.registerClassPair(cls);
  rt.addMethod<std::string()>(cls, msg::identifier.sel, [](void*, Object* self, Sel) -> std::string {
    const pl::Value info = host::send(self, msg::userInfo);
    const std::string* name = pl::findString(&info, "identifier");
    return name ? *name : std::string();
  });
}

void startOtherApp(Library& library, const pl::Value& userInfo, const std::string& bundleId) {
  const std::string* givenId = pl::findString(&userInfo, "id");
  const std::string app = !bundleId.empty() ? bundleId : givenId ? *givenId : std::string();
  if (app.empty()) {
    library.explain("listed app", "not started: no bundle identifier");
    return;
  }
  const pl::Value info = userInfoWithApp(userInfo, app);
  const bool wasArmed = hasArmedListEntry(library, *pl::findString(&info, "id"));
  dropListEntries(library, *pl::findString(&info, "id"));
  const std::int64_t seconds = library.settings.number(Key::otherInt);
  objc::Class* timerClass = library.host.runtime().getClass(kOtherTimerClass);
  Id timer = host::send(host::send(timerClass, msg::alloc), msg::initTimer, static_cast<double>(seconds), app,
                        library.sharedHelper, hm::reloadOtherTimer.sel, info);
  if (!timer) return;
  // The previous OtherTimer is not invalidated: it may be another app's running reminder.
  library.helper().otherTimer = timer;
  host::send(timer, msg::scheduleInRunLoop, host::send(library.host.runtime().getClass("NSRunLoop"), msg::mainRunLoop));
  auto& list = library.otherApps.otherTimerList;
  if (!list) list.emplace();
  list->push_back(timer);
  if (!library.alerts.rearming) library.alerts.otherAlertsInRun.erase(app);
  if (library.host.timeline().active()) {
    const std::string name = host::send(timer, msg::identifier);
    // "next alert in 60 s (name)", built in one piece.
    StackText<40> head;
    head << "next alert in " << seconds << " s";
    std::string text;
    text.reserve(head.view().size() + (name.empty() ? 0 : name.size() + 3));
    text += head.view();
    if (!name.empty()) text.append(" (").append(name).append(")");
    const std::string id = listedAppId(app);
    library.record(timeline::Kind::ReminderArmed, app, text,
                   {{"category", timeline::Borrowed{id}},
                    {"interval", seconds},
                    {"start", timeline::Borrowed{library.alerts.rearming ? "rearm" : wasArmed ? "restart" : "new"}}});
  }
}

void clearOtherApp(Library& library, const std::string& bundleId) {
  const bool wasArmed = hasArmedListEntry(library, bundleId);
  if (clearWithoutRecord(library, bundleId))
    library.record(timeline::Kind::ReminderCleared, bundleId, {},
                   {{"category", listedAppId(bundleId)}, {"reason", std::string("cleared")}, {"running", wasArmed}});
}

std::vector<std::string> appsWithListEntries(const Library& library) {
  std::vector<std::string> apps;
  if (const auto& list = library.otherApps.otherTimerList)
    for (const Id& timer : *list)
      if (std::string app = appOf(timer); std::find(apps.begin(), apps.end(), app) == apps.end())
        apps.push_back(std::move(app));
  return apps;
}

bool hasListEntry(const Library& library, std::string_view bundleId) {
  const auto& list = library.otherApps.otherTimerList;
  return list && std::any_of(list->begin(), list->end(), [&](const Id& t) { return appOf(t) == bundleId; });
}

void badgeCheck(Library& library, const objc::Slot<void()>& previous, Object* self, Sel sel,
                ShowOtherAppItem showItem) {
  const Id timer = self->weak_from_this().lock();  // the fire may drop every other reference to it
  previous(self, sel);
  const auto& list = library.otherApps.otherTimerList;
  const bool listed = list && std::find(list->begin(), list->end(), timer) != list->end();
  if (!listed) {
    // A fixed category's timer, or a stale timer of a cleared or restarted app: only the timer
    // in the list may count and re-arm, or one app would run two chains.
    if (host::isKindOf(self, kOtherTimerClass))
      library.explain(host::send(timer, msg::loggingIdentifier), "timer no longer listed: alerts only");
    return;
  }
  const std::string app = host::send(timer, msg::loggingIdentifier);
  // What follows is part of the alert that just fired: its end, or its re-arm.
  auto alert = library.alerts.otherAlertsInRun.find(app);
  timeline::AlertScope scope(library.host.timeline(), listedAppId(app),
                             alert == library.alerts.otherAlertsInRun.end() ? 0 : alert->second);
  if (badgeGone(library, app)) {
    clearWithoutRecord(library, app);
    leaveActiveList(library, app);
    library.record(timeline::Kind::ReminderEnded, app, "badge gone",
                   {{"category", listedAppId(app)}, {"reason", std::string("badge-gone")}});
    return;
  }
  showItem(library);
  countAndRearm(library, timer, app);
}

Id statusBarItemInitHook(Library& library, const objc::Slot<Id(std::string, std::int64_t)>& previous, Object* self,
                         Sel sel, std::string identifier, std::int64_t alignment) {
  // One initialisation: a second run on the same receiver would re-initialise a live item.
  Id item = previous(self, sel, identifier, alignment);
  library.otherApps.lastInitialisedItem = item;
  library.otherApps.lastInitialisedIdentifier = std::move(identifier);
  return item;
}

void registerOtherAppOperations(Library& library, objc::Class* missedHelper) {
  objc::Runtime& rt = library.host.runtime();
  rt.addMethod<void(pl::Value, std::string)>(missedHelper, hm::LoadImTimerTest.sel, &loadImTimerTestImp);
  rt.addMethod<void(std::string)>(missedHelper, hm::clearOtherTimer.sel, &clearOtherTimerImp);
}

}  // namespace qv::core
