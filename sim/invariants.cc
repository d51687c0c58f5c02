#include "sim/invariants.h"

#include <algorithm>

#include "core/categories.h"
#include "core/missed_helper.h"
#include "platform/plist/io.h"

namespace qv::sim {
namespace {

bool isFixedCategory(const std::string& name) {
  return std::any_of(core::kCategories.begin(), core::kCategories.end(),
                     [&](const core::CategoryInfo& c) { return c.name == name; });
}

std::string stamp(World& world) {
  host::CalendarDate d = world.springBoard().host.calendarDate(world.now());
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
  return buf;
}

}  // namespace

InvariantChecker::InvariantChecker(World& world) : world_(world) {
  world_.timeline().addListener([this](const timeline::Event& e) { onEvent(e); }, false);
  if (world_.config().settings)
    for (const auto& [k, v] : *world_.config().settings) expectedSettings_[k] = v;
}

void InvariantChecker::fail(const std::string& what) {
  if (!violation_) violation_ = stamp(world_) + ": " + what;
}

void InvariantChecker::onEvent(const timeline::Event& e) {
  using timeline::Kind;
  switch (e.kind) {
    case Kind::ReminderCleared:
      firesSinceClear_[e.subject] = 0;
      break;
    case Kind::ReminderArmed:
      firesSinceClear_.erase(e.subject);
      break;
    case Kind::ReminderFired: {
      auto it = firesSinceClear_.find(e.subject);
      if (it == firesSinceClear_.end()) break;
      // A dropped Other-app timer alerts once more after its app was cleared; nothing else does.
      const int allowed = isFixedCategory(e.subject) ? 0 : 1;
      if (++it->second > allowed) fail("the " + e.subject + " reminder fired after it was cleared");
      break;
    }
    case Kind::Sound:
      if (world_.home().quietMode()) fail("sound " + e.subject + " played while do not disturb was on");
      break;
    case Kind::LockScreenBulletin:
      if (!world_.home().locked()) fail("posted to the lock screen while unlocked: " + e.subject + " " + e.detail);
      break;
    default:
      break;
  }
}

void InvariantChecker::checkState() {
  ++checks_;
  if (violation_) return;
  Process& sb = world_.springBoard();
  if (!sb.library) return;
  core::Library& lib = *sb.library;
  core::MissedHelper& helper = lib.helper();
  const std::vector<std::string> shown = world_.statusBar().items().shownIdentifiers();
  auto isShown = [&](std::string_view id) { return std::find(shown.begin(), shown.end(), id) != shown.end(); };
  const auto armed = sb.foundation->armedTimerList();

  for (const core::CategoryInfo& c : core::kCategories) {
    if (!helper.statusBarItem(c.category) && isShown(c.itemIdentifier))
      return fail("the " + std::string(c.name) + " icon is shown but the category has no status-bar item");
    const auto timers =
        std::count_if(armed.begin(), armed.end(), [&](const auto& t) { return t.selector == c.fireHandler; });
    if (timers > 1) return fail(std::to_string(timers) + " timers armed for the " + std::string(c.name) + " reminder");
    if (timers == 1 && !helper.timer(c.category))
      return fail("a timer is armed for the " + std::string(c.name) + " reminder, which is idle");
  }
  if (!helper.statusBarItemOther && isShown("com.apple.AppStore"))
    return fail("the Other-app icon is shown but no Other-app item exists");

  const core::OtherAppsState& other = lib.otherApps;
  std::map<std::string, int> liveChains;
  for (const auto& t : armed) {
    if (t.selector != "reloadOtherTimer:") continue;
    const bool inList = other.otherTimerList && std::find(other.otherTimerList->begin(), other.otherTimerList->end(),
                                                          t.timer) != other.otherTimerList->end();
    if (inList) ++liveChains[t.serviceIdentifier];
  }
  for (const auto& [app, chains] : liveChains) {
    if (chains > 1) return fail(app + " has " + std::to_string(chains) + " live reminder chains");
    const bool running =
        other.activeOtherApps &&
        std::find(other.activeOtherApps->begin(), other.activeOtherApps->end(), app) != other.activeOtherApps->end();
    if (!running) return fail(app + " has a live reminder chain but is not running");
  }
}

void InvariantChecker::settingsWritten(const pl::Dict& values, const std::vector<std::string>& removals) {
  for (const std::string& k : removals) expectedSettings_.erase(k);
  for (const auto& [k, v] : values) expectedSettings_[k] = v;
}

void InvariantChecker::checkSettingsFile() {
  if (violation_ || expectedSettings_.empty()) return;
  const std::string path =
      world_.prefs().devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  auto bytes = world_.root().read(path);
  if (!bytes) return fail("the settings file is gone: " + bytes.error());
  auto value = pl::parse(*bytes);
  const pl::Dict* dict = value ? value->ifDict() : nullptr;
  if (!dict) return fail("the settings file is no longer a readable dictionary");
  for (const auto& [key, expected] : expectedSettings_) {
    auto it = dict->find(key);
    if (it == dict->end()) return fail("the settings file lost \"" + key + "\"");
    if (!(it->second == expected))
      return fail("the settings file changed \"" + key + "\" from " + expected.describe() + " to " +
                  it->second.describe());
  }
}

}  // namespace qv::sim
