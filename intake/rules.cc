#include "intake/rules.h"

#include <cassert>
#include <cstdio>
#include <limits>

#include "alerts/quiet_hours.h"
#include "core/helper_messages.h"
#include "core/missed_helper.h"
#include "core/registry.h"
#include "platform/host/messages.h"

namespace qv::intake {
namespace {

using core::Category;
namespace msg = host::msg;

std::string_view nameOf(Category c) {
  return core::info(c).name;
}

bool keysOn(Evaluation& ev, std::string_view what, std::initializer_list<core::Key> keys) {
  for (core::Key k : keys) {
    if (ev.library.settings.flag(k)) continue;
    ev.explain(what, " refused: \"", core::settingKey(k).name, "\" is off");
    return false;
  }
  return true;
}

bool windowOpen(Evaluation& ev, std::string_view what) {
  if (alerts::alertGate(ev.library)) return true;
  if (ev.library.host.timeline().wantsDecisions())
    ev.explain(what, " refused: quiet hours: ",
               alerts::windowTextToday(ev.library.host, alerts::activeWindow(ev.library.settings)));
  return false;
}

}  // namespace

void assertOnMainThread(core::Library& library) {
  [[maybe_unused]] const dispatch::Queue* q = library.host.scheduler().currentQueue();
  assert(q == nullptr || q == library.host.mainQueue().get());
}

std::string_view entryPointName(EntryPoint e) {
  switch (e) {
    case EntryPoint::Publish:
      return "publish rules";
    case EntryPoint::LockScreenAdd:
      return "lock-screen add rules";
    case EntryPoint::Request:
      return "request rules";
    case EntryPoint::WhatsAppLocal:
      return "local-notification rules";
    case EntryPoint::CallState:
      return "call-state start";
  }
  return "intake";
}

bool gate(Evaluation& ev, std::string_view what, std::initializer_list<core::Key> keys) {
  if (!keysOn(ev, what, keys) || !windowOpen(ev, what)) return false;
  ev.explain(what, " passed");
  return true;
}

bool gateWindowFirst(Evaluation& ev, std::string_view what, std::initializer_list<core::Key> keys) {
  if (!windowOpen(ev, what) || !keysOn(ev, what, keys)) return false;
  ev.explain(what, " passed");
  return true;
}

bool running(core::Library& library, Category c) {
  return core::timerPresent(library, c);
}

bool runningNotSpent(core::Library& library, Category c) {
  const objc::Id& timer = library.helper().timer(c);
  return timer && host::send(timer, msg::isValid);
}

void mark(core::Library& library, Category c) {
  library.reminders.counter(c) = 1;
  library.reminders.activeFlag(c) = true;
}

void start(core::Library& library, Category c) {
  const core::CategoryInfo& row = core::info(c);
  if (row.startArgument.empty())
    objc::send<void()>(library.sharedHelper, objc::Sel::intern(row.startOperation));
  else
    host::send(library.sharedHelper, core::hm::LoadImTimer, std::string(row.startArgument));
}

void clear(core::Library& library, Category c) {
  objc::send<void()>(library.sharedHelper, objc::Sel::intern(core::info(c).clearOperation));
}

void showItem(core::Library& library, Category c) {
  host::send(library.sharedHelper, core::hm::addStatusBarForIdentifier, std::string(core::info(c).statusBarKey));
}

namespace {

// Every start variant ends the same way: mark the category, arm its timer, show its item.
void startAndShow(core::Library& library, Category c) {
  mark(library, c);
  start(library, c);
  showItem(library, c);
}

}  // namespace

void clearIfRunning(Evaluation& ev, Category c) {
  if (!running(ev.library, c)) return;
  ev.explain("cleared ", nameOf(c), " before deciding on the new notification");
  clear(ev.library, c);
}

void markStartShow(Evaluation& ev, Category c) {
  ev.explain("started ", nameOf(c));
  startAndShow(ev.library, c);
}

void restart(Evaluation& ev, Category c) {
  if (running(ev.library, c)) {
    ev.explain("restarted ", nameOf(c), " (it was running)");
    clear(ev.library, c);
  } else {
    ev.explain("started ", nameOf(c));
  }
  startAndShow(ev.library, c);
}

void startIfIdle(Evaluation& ev, Category c) {
  if (runningNotSpent(ev.library, c)) {
    ev.explain(nameOf(c), " already running: left as it is");
    return;
  }
  markStartShow(ev, c);
}

void replace(Evaluation& ev, Category c) {
  if (running(ev.library, c)) {
    ev.explain("replaced the running ", nameOf(c), " reminder (its status item stays)");
    core::dropTimer(ev.library, c);
  } else {
    ev.explain("started ", nameOf(c));
  }
  startAndShow(ev.library, c);
}

void load(Evaluation& ev, Category c) {
  ev.explain(running(ev.library, c) ? "restarted " : "started ", nameOf(c));
  startAndShow(ev.library, c);
}

void saveAction(Evaluation& ev, Category c) {
  ev.library.intake.savedDefaultAction[core::index(core::info(c).actionSlot)] = ev.note.defaultAction;
}

void saveContext(Evaluation& ev, Category c) {
  ev.library.intake.savedContext[core::index(c)] = ev.note.savedContextValue();
}

void saveActionAndContext(Evaluation& ev, Category c) {
  saveAction(ev, c);
  saveContext(ev, c);
}

std::int64_t appBadge(core::Library& library, std::string_view bundleId) {
  objc::Id controller = host::send(library.host.runtime().getClass("SBIconController"), msg::sharedInstance);
  objc::Id icon =
      host::send(host::send(controller, msg::model), msg::applicationIconForBundleIdentifier, std::string(bundleId));
  return host::send(icon, msg::badgeValue);
}

std::int32_t clampedBadge(std::int64_t badge) {
  constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(badge < 0 ? 0 : badge > kHighest ? kHighest : badge);
}

}  // namespace qv::intake
