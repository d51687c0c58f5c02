#include "sim/invariants.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "alerts/banner.h"
#include "core/categories.h"
#include "core/missed_helper.h"
#include "platform/host/messages.h"
#include "platform/plist/io.h"
#include "sim/player.h"
#include "sim/presets.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kHomeProcess = "SpringBoard";
constexpr std::string_view kListedPrefix = "listed ";
constexpr std::string_view kOtherFireHandler = "reloadOtherTimer:";
constexpr std::string_view kOtherItem = "com.apple.AppStore";
// A list of the library that grows past this over a run is a leak, not a busy day.
constexpr std::size_t kListBound = 64;

const core::CategoryInfo* categoryOfItem(std::string_view identifier) {
  for (const core::CategoryInfo& c : core::kCategories)
    if (c.itemIdentifier == identifier) return &c;
  return nullptr;
}

const core::CategoryInfo* categoryOfClear(std::string_view notification) {
  for (const core::CategoryInfo& c : core::kCategories)
    if (!c.clearNotification.empty() && c.clearNotification == notification) return &c;
  return nullptr;
}

const core::CategoryInfo* categoryOfHandler(std::string_view selector) {
  for (const core::CategoryInfo& c : core::kCategories)
    if (c.fireHandler == selector) return &c;
  return nullptr;
}

// The settings a reminder's runs read: its count key and its interval key.
struct RunKeys {
  std::string_view count, interval;
};
constexpr std::array<RunKeys, 5> kRunKeys = {{{"smsCount", "smsInt"},
                                              {"phCount", "phInt"},
                                              {"mailCount", "mailInt"},
                                              {"imCount", "imInt"},
                                              {"otherCount", "otherInt"}}};
constexpr std::size_t kListedAppKeys = 4;

// The row of kRunKeys a reminder reads (`category` null for a listed app).
constexpr std::size_t runKeysRow(const core::CategoryInfo* category) {
  if (!category) return kListedAppKeys;
  const std::string_view count = core::settingKey(category->countKey).name;
  return std::find_if(kRunKeys.begin(), kRunKeys.end(), [&](const RunKeys& k) { return k.count == count; }) -
         kRunKeys.begin();
}

constexpr bool everyCategoryHasItsRow() {
  for (const core::CategoryInfo& c : core::kCategories) {
    const std::size_t row = runKeysRow(&c);
    if (row == kRunKeys.size() || kRunKeys[row].interval != core::settingKey(c.intervalKey).name) return false;
  }
  return kRunKeys[kListedAppKeys].count == "otherCount" && kRunKeys[kListedAppKeys].interval == "otherInt";
}
static_assert(everyCategoryHasItsRow(), "kRunKeys must hold every category's count and interval keys");

std::string limitText(std::int64_t limit) {
  return limit == DeviceModel::kNoLimit ? "no limit" : std::to_string(limit);
}

// A reminder bulletin of our own on the timeline ("Quorvel / Missed Call!").
bool isReminderBulletin(const std::string& detail) {
  return detail.starts_with(std::string(alerts::kBulletinTitle) + " / ");
}

}  // namespace

InvariantChecker::InvariantChecker(World& world) : world_(world), model_(world) {
  // The timeline keeps its listeners; they fall silent when the checker goes.
  world_.timeline().addListener(
      [this, listening = listening_](const timeline::Event& e) {
        if (*listening) onEvent(e);
      },
      false);
  world_.timeline().addTimerListener([this, listening = listening_](const timeline::TimerProbe& p) {
    if (*listening) onTimer(p);
  });
  readRunSettings();
  // The home screen finished launching as the world was built; intake opens 10 s later.
  intakeOpensAt_ = world_.config().launchHomeScreen ? world_.now() + 10s : dispatch::Instant::max();
}

InvariantChecker::~InvariantChecker() {
  *listening_ = false;
  world_.clock().afterEachEvent = nullptr;
}

void InvariantChecker::attach(Player& player) {
  world_.clock().afterEachEvent = [this] { checkState(); };
  player.afterAction = [this](const Action& a) { actionDone(a); };
}

void InvariantChecker::run(dispatch::Instant until) {
  dispatch::Instant due;
  while (ok() && world_.clock().nextDue(&due) && due <= until) world_.clock().runNext();
  if (ok()) world_.runUntil(until);
  finish();
}

std::string InvariantChecker::stamp() const {
  host::CalendarDate d = world_.springBoard().host.calendarDate(world_.now());
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
  return buf;
}

void InvariantChecker::fail(const std::string& what) {
  if (!violation_) violation_ = stamp() + ": " + what;
}

// --- Timers, as the host's run loop sees them ---

void InvariantChecker::onTimer(const timeline::TimerProbe& p) {
  if (p.process != kHomeProcess || violation_) return;
  using Step = timeline::TimerProbe::Step;
  // Only reminders' timers count: a listed app's ("listed <bundle id>") or a category's.
  const bool otherApp = p.selector == kOtherFireHandler;
  const core::CategoryInfo* category = otherApp ? nullptr : categoryOfHandler(p.selector);
  if (!otherApp && !category) return;
  switch (p.step) {
    case Step::Armed:
      armed(p, otherApp ? std::string(kListedPrefix) + std::string(p.service) : std::string(category->name), category);
      break;
    case Step::Firing:
      firing(p);
      break;
    case Step::Fired:
      if (firing_ && firing_->first == p.timer) {
        const std::uint64_t run = firing_->second.run;
        firing_.reset();
        auto it = runs_.find(run);
        if (it != runs_.end() && it->second.armed == 0 && latestRun_[it->second.reminder] != run) runs_.erase(it);
      }
      break;
    case Step::Invalidated: {
      auto it = timers_.find(p.timer);
      if (it == timers_.end()) break;
      if (auto run = runs_.find(it->second.run); run != runs_.end()) --run->second.armed;
      timers_.erase(it);
      leftOver_.erase(p.timer);
      break;
    }
  }
}

void InvariantChecker::armed(const timeline::TimerProbe& p, const std::string& reminder,
                             const core::CategoryInfo* category) {
  const std::size_t row = runKeysRow(category);
  std::uint64_t run;
  if (firing_ && firing_->second.reminder == reminder) {
    // A re-arm from the reminder's own fire continues the run of the timer that fired.
    run = firing_->second.run;
    if (leftOver_.count(firing_->first))
      return fail("a timer of the " + reminder + " reminder that the library no longer listed re-armed");
    if (latestRun_[reminder] != run)
      return fail("a timer left over from an earlier run of the " + reminder +
                  " reminder re-armed: a second chain runs beside the new one");
  } else {
    run = nextRun_++;
    const std::string_view countKey = kRunKeys[row].count;
    std::int64_t limit = runSettings_[row].limit;
    // The call reminder's call-state start follows its gate (which read the settings) by 1 s.
    if (auto it = lastLimits_.find(countKey); it != lastLimits_.end() && world_.now() - it->second.first <= 1500ms)
      limit = std::max(limit, it->second.second);
    runs_[run] = Run{reminder, category, world_.now(), limit};
    ++tally_.runs;
    latestRun_[reminder] = run;
    startedRun(reminder, category, run);
  }
  // Every arming reads the interval then; the library's copy follows the file unless an outside
  // edit has not been announced (or a save's notification is still on its way).
  const std::string_view intervalKey = kRunKeys[row].interval;
  const double interval = runSettings_[row].interval;
  auto changed = lastIntervals_.find(intervalKey);
  const bool settled = !model_.memoryMayLag() &&
                       (changed == lastIntervals_.end() || world_.now() - changed->second.first > 1500ms);
  if (settled && p.interval != interval)
    return fail("the " + reminder + " reminder was armed for " + std::to_string(p.interval) + " s; \"" +
                std::string(intervalKey) + "\" asks for " + std::to_string(interval) + " s");
  timers_[p.timer] = Timer{reminder, run};
  Run& r = runs_[run];
  if (++r.armed > 1) fail("two timers are armed in one run of the " + reminder + " reminder");
}

void InvariantChecker::startedRun(const std::string& reminder, const core::CategoryInfo* category, std::uint64_t run) {
  const dispatch::Instant now = world_.now();
  lastStart_[reminder] = ++seq_;
  lastStartAt_[reminder] = now;
  // Every start passes the alert gate at that instant (a missed call's call-state start 1 s
  // before): outside the window nothing may start.
  const bool openAtGate = windowOpenBeforeWrite_ && now - *windowOpenBeforeWrite_ <= 1500ms;
  if (!openAtGate && !model_.windowOpen(now) && !model_.windowOpen(now - 1s) && !model_.nearWindowEdge(now, 2s))
    return fail("the " + reminder + " reminder started outside the start window");
  if (category && model_.readsSettings() && model_.flag("showStatus", false).value_or(false) &&
      world_.config().statusBarLibrary) {
    runs_[run].wantsIcon = true;
    iconDue_.emplace_back(category->itemIdentifier);
  }
  std::erase_if(mustStart_, [&](const Expectation& e) { return e.reminder == reminder && e.from <= now; });
}

void InvariantChecker::firing(const timeline::TimerProbe& p) {
  auto it = timers_.find(p.timer);
  if (it == timers_.end()) return;  // armed before the checker listened
  firing_ = std::make_pair(p.timer, it->second);
  timers_.erase(it);
  Run& run = runs_[firing_->second.run];
  --run.armed;
  ++tally_.fires;
  if (++run.fires > run.limit)
    return fail("the " + run.reminder + " reminder fired " + std::to_string(run.fires) +
                " times in one run; its count setting allowed " + limitText(run.limit));
  recentFires_.push_back(Fire{world_.now(), world_.home().quietMode()});
  while (!recentFires_.empty() && recentFires_.front().at < world_.now() - 1s) recentFires_.pop_front();
}

// --- What the user notices, and the host's other events ---

void InvariantChecker::onEvent(const timeline::Event& e) {
  using timeline::Kind;
  if (violation_) return;
  ++seq_;
  const dispatch::Instant now = world_.now();
  switch (e.kind) {
    case Kind::Host:
      if (e.process == kHomeProcess && e.subject == "home screen" && e.detail == "restarts") respring();
      if (e.process == kHomeProcess && e.subject == "home screen" && e.detail == "finished launching")
        intakeOpensAt_ = now + 10s;
      break;
    case Kind::LockState:
      if (e.process == kHomeProcess && e.subject == "unlocked") lastUnlock_ = e.time;
      break;
    case Kind::Sound: {
      if (e.process != kHomeProcess) break;
      if (!firing_) return fail("sound " + e.subject + " played outside any reminder fire");
      if (world_.home().quietMode()) return fail("sound " + e.subject + " played while do not disturb was on");
      // Lengths are printed to the hundredth of a second.
      if (now + 6ms < soundEnds_) return fail("sound " + e.subject + " started while an earlier reminder sound played");
      soundEnds_ = now + dispatch::seconds(std::strtod(e.detail.c_str(), nullptr));
      break;
    }
    case Kind::Vibration: {
      if (e.process != kHomeProcess) break;
      bool followsFire = false, loud = false;
      for (const Fire& f : recentFires_)
        if (f.at == now - 300ms) {
          followsFire = true;
          loud |= !f.quiet;
        }
      if (!followsFire) return fail("a vibration that follows no reminder fire by 0.3 s");
      if (!loud) return fail("vibrated for a reminder that fired while do not disturb was on");
      break;
    }
    case Kind::StatusIconShown: {
      const core::CategoryInfo* c = categoryOfItem(e.subject);
      if (!c && e.subject != kOtherItem) break;
      if (!model_.readsSettings())
        return fail("the " + e.subject + " icon is shown on a release that never reads \"showStatus\"");
      // Judged when the instant ends: the Messenger call rules show the icon before they start.
      if (c) iconAppeared_.emplace_back(c->name);
      break;
    }
    case Kind::StatusIconHidden:
      if (const core::CategoryInfo* c = categoryOfItem(e.subject)) clearSeen(*c, "its icon was hidden");
      break;
    case Kind::DarwinPost:
      if (const core::CategoryInfo* c = categoryOfClear(e.subject))
        clearSeen(*c, "the clear notification " + e.subject);
      break;
    case Kind::Banner:
      if (e.process == kHomeProcess && firing_ && world_.home().locked())
        return fail("a reminder banner (" + e.subject + ") while the device is locked");
      break;
    case Kind::LockScreenBulletin:
      // A re-post decided while locked publishes 0.7 s later even if the user unlocked meanwhile
      // (its saved action is spent by then); anything else needs the lock screen up.
      if (!world_.home().locked() &&
          !(isReminderBulletin(e.detail) && lastUnlock_ && e.time - *lastUnlock_ <= alerts::kPublishDelay))
        fail("posted to the lock screen while unlocked: " + e.subject + " " + e.detail);
      break;
    default:
      break;
  }
}

void InvariantChecker::clearSeen(const core::CategoryInfo& category, const std::string& what) {
  ++tally_.clears;
  Cleared c{std::string(category.name), &category, ++seq_, {}, what};
  for (const auto& [id, t] : timers_)
    if (t.reminder == c.reminder) c.timers.insert(id);
  cleared_.push_back(std::move(c));
  // A start cleared within its own instant (an unread count already below the SMS badge) owes no icon.
  std::erase(iconDue_, category.itemIdentifier);
}

void InvariantChecker::respring() {
  // The old home screen's timers, sounds and queued work went with its process.
  timers_.clear();
  runs_.clear();
  latestRun_.clear();
  firing_.reset();
  leftOver_.clear();
  recentFires_.clear();
  cleared_.clear();
  iconDue_.clear();
  iconAppeared_.clear();
  mustStart_.clear();
  soundEnds_ = {};
  intakeOpensAt_ = dispatch::Instant::max();
  model_.libraryReloaded();
}

// --- After every event, and at the end of each instant ---

void InvariantChecker::checkState() {
  ++checks_;
  if (violation_) return;
  dispatch::Instant due;
  if (!world_.clock().nextDue(&due) || due > world_.now()) endOfInstant();
}

void InvariantChecker::endOfInstant() {
  Process& sb = world_.springBoard();
  if (!sb.library || !sb.statusBar) return;
  const dispatch::Instant now = world_.now();
  statusbar::StatusBarItems& items = world_.statusBar().items();

  for (const Cleared& c : cleared_) {
    for (std::uint64_t id : c.timers)
      if (timers_.count(id))
        return fail("after " + c.what + ", a timer of the " + c.reminder + " reminder armed before it still runs");
    if (items.isShown(c.category->itemIdentifier) && lastStart_[c.reminder] < c.seq)
      return fail("after " + c.what + ", the " + c.reminder + " icon still shows");
  }
  cleared_.clear();

  for (const std::string& reminder : iconAppeared_)
    if (lastStartAt_[reminder] != now) return fail("the " + reminder + " icon appeared without its reminder starting");
  iconAppeared_.clear();
  for (const std::string& identifier : iconDue_)
    if (!items.isShown(identifier)) return fail("a reminder started with \"showStatus\" on but " + identifier + " shows no icon");
  iconDue_.clear();
  for (const auto& [id, run] : runs_)
    if (run.armed > 0 && run.wantsIcon)
      if (run.category && !items.isShown(run.category->itemIdentifier))
        return fail("the " + run.reminder + " reminder is pending but its icon is gone");

  for (const Expectation& e : mustStart_)
    if (e.due <= now) return fail(e.why + " must have started the " + e.reminder + " reminder, and none started");

  checkTimerFields();
  checkLists();
}

void InvariantChecker::checkTimerFields() {
  Process& sb = world_.springBoard();
  core::Library& lib = *sb.library;
  sb.foundation->armedTimerRefs(armedRefs_);
  std::array<int, core::kCategoryCount> perCategory{};
  const auto& list = lib.otherApps.otherTimerList;
  core::MissedHelper* helper = nullptr;
  for (const auto& t : armedRefs_) {
    const Handler& handler = handlerOf(t.selector);
    if (handler.otherApp) {
      const bool listed = list && std::any_of(list->begin(), list->end(),
                                              [&](const objc::Id& listedTimer) { return listedTimer.get() == t.timer; });
      if (!listed) leftOver_.insert(t.order);
      continue;
    }
    if (!handler.category) continue;
    const core::CategoryInfo& c = *handler.category;
    if (++perCategory[core::index(c.category)] > 1)
      return fail("two timers are armed for the " + std::string(c.name) + " reminder");
    if (!helper) helper = &lib.helper();
    const objc::Object* field = helper->timer(c.category).get();
    if (field != t.timer)
      return fail("a timer is armed for the " + std::string(c.name) + " reminder but its timer field holds " +
                  (field ? "another" : "none"));
  }
}

const InvariantChecker::Handler& InvariantChecker::learnHandler(objc::Sel selector) {
  if (selector.id() >= handlers_.size()) handlers_.resize(selector.id() + 1);
  const std::string_view name = selector.name();
  return handlers_[selector.id()] = Handler{true, name == kOtherFireHandler, categoryOfHandler(name)};
}

void InvariantChecker::checkLists() {
  core::Library& lib = world_.library();
  const core::OtherAppsState& other = lib.otherApps;
  if (other.otherTimerList) {
    if (other.otherTimerList->size() > kListBound)
      return fail("otherTimerList holds " + std::to_string(other.otherTimerList->size()) + " timers");
    // Two timers of one app need two timers (most instants have none or one); the lists are
    // short (bounded above), so a look back through them beats building a set.
    if (other.otherTimerList->size() > 1) {
      listedApps_.clear();
      for (const objc::Id& t : *other.otherTimerList) {
        std::string app = host::send(t, host::msg::loggingIdentifier);
        if (std::find(listedApps_.begin(), listedApps_.end(), app) != listedApps_.end())
          return fail("otherTimerList holds two timers of one app");
        listedApps_.push_back(std::move(app));
      }
    }
  }
  if (other.activeOtherApps && other.activeOtherApps->size() > 1) {
    const std::vector<std::string>& apps = *other.activeOtherApps;
    for (auto it = apps.begin(); it != apps.end(); ++it)
      if (std::find(std::next(it), apps.end(), *it) != apps.end()) return fail("activeOtherApps names an app twice");
    if (apps.size() > kListBound) return fail("activeOtherApps keeps growing");
  }
  if (other.otherRepeatCounts && other.otherRepeatCounts->size() > kListBound)
    return fail("otherRepeatCounts keeps growing");
  if (lib.intake.waitingRequests.size() > kListBound) return fail("undecided notification requests pile up");
  if (lib.alerts.torchQueues.size() > 16) return fail("torch queues pile up");
}

// --- Liveness: what the scenario did that must start a reminder ---

bool InvariantChecker::intakeOpen() const {
  return intakeOpensAt_ != dispatch::Instant::max() && world_.now() >= intakeOpensAt_ + 1s;
}

void InvariantChecker::expectStart(const std::string& reminder, dispatch::Duration within, const std::string& why) {
  const dispatch::Instant now = world_.now();
  ++tally_.mustStart;
  if (lastStartAt_.count(reminder) && lastStartAt_[reminder] == now) return;  // it started already
  mustStart_.push_back(Expectation{reminder, now, now + within, why});
}

void InvariantChecker::actionDone(const Action& a) {
  if (violation_) return;
  switch (a.type) {
    case ActionType::Settings:
    case ActionType::SettingsFile:
      if (a.settingsFile) {
        // A whole file put in place: every key it lacks is gone.
        std::vector<std::string> gone;
        for (const auto& [key, value] : model_.file())
          if (!a.values.count(key)) gone.push_back(key);
        settingsWritten(a.values, gone, false);
        break;
      }
      settingsWritten(a.values, a.removals, a.type == ActionType::Settings);
      break;
    case ActionType::Notification:
      expectFromNotification(a);
      break;
    case ActionType::EndCall:
      expectFromCall();
      break;
    default:
      break;
  }
  checkSettingsFile();
}

void InvariantChecker::expectFromNotification(const Action& a) {
  const NotificationSpec& n = a.notification;
  // Only notifications whose shape the model knows: presets as the apps send them (the preset
  // is looked up and its app built past the gates below, where most notifications stop).
  if (!n.categoryIdentifier.empty() || n.remote || n.local || n.localFire || !world_.springBoard().library) return;
  const dispatch::Instant now = world_.now();
  if (!intakeOpen() || model_.memoryMayLag() || model_.nearWindowEdge(now, 2s) || !model_.windowOpen(now)) return;
  if (!model_.flag("globalEnabled", true).value_or(false)) return;
  const Preset* preset = findPreset(n.preset);
  if (!preset) return;
  const bool ios10 = world_.notifications().ios10();
  const std::string app = n.app.empty() ? preset->build(ios10, n.app).app : n.app;
  const std::int64_t badge = world_.home().badge(app);  // "set" means non-zero
  auto on = [&](const char* key, bool absent) { return model_.flag(key, absent).value_or(false); };
  auto what = [&] { return "a " + n.preset + " notification of " + app; };
  if (app == "com.apple.MobileSMS" && on("globalSMS", true) && badge != 0)
    expectStart("SMS", 0s, what() + " with the Messages badge at " + std::to_string(badge));
  if (app == "com.apple.mobilemail" && on("globalMail", false) && badge != 0)
    expectStart("mail", 0s, what() + " with the Mail badge at " + std::to_string(badge));
  if (app == "ph.telegra.Telegraph" && on("imSMSTeleg", false)) expectStart("Telegram message", 0s, what());
  if (ios10 && (app == "com.apple.mobilephone" || app == "com.apple.facetime") &&
      (n.preset == "missed-call" || n.preset == "facetime-missed-call") && on("globalCall", true))
    expectStart("call", 0s, what());
  if (model_.lists(app) && on("otherEnabled", false) && app != "com.atebits.Tweetie2" &&
      app != "com.apple.mobiletimer" && (ios10 || badge != 0 || app == "com.apple.mobilecal")) {
    const std::string listed = std::string(kListedPrefix) + app;
    const bool running =
        std::any_of(timers_.begin(), timers_.end(), [&](const auto& t) { return t.second.reminder == listed; });
    if (!running) expectStart(listed, 0s, what() + " (a listed app, not running)");
  }
}

void InvariantChecker::expectFromCall() {
  const auto& history = world_.calls().history();
  const dispatch::Instant now = world_.now();
  if (history.empty() || history.back().ended != now || history.back().outcome != telephony::CallOutcome::Missed ||
      !world_.springBoard().library)
    return;
  if (model_.memoryMayLag() || model_.nearWindowEdge(now, 2s) || !model_.windowOpen(now)) return;
  if (!model_.flag("globalEnabled", true).value_or(false) || !model_.flag("globalCall", true).value_or(false)) return;
  const double cf = world_.profile().release.coreFoundationVersion;
  if (cf >= 1348.0 && cf <= 1348.22) {
    // iOS 10.0 to 10.2 leave missed calls to the Phone app's notification.
    if (intakeOpen()) expectStart("call", 0s, "the Phone app's missed-call notification");
    return;
  }
  expectStart("call", 1s, "a call that ended unanswered");
}

// --- Settings ---

void InvariantChecker::settingsWritten(const pl::Dict& values, const std::vector<std::string>& removals,
                                       bool notified) {
  const auto before = runSettings_;
  // A start's gate may have read the settings just before this write (a missed call's call-state
  // start follows its gate by 1 s): remember that the window was open under the old ones.
  if (model_.windowOpen(world_.now()) || model_.windowOpen(world_.now() - 1s)) windowOpenBeforeWrite_ = world_.now();
  model_.settingsWritten(values, removals, notified);
  readRunSettings();
  for (std::size_t row = 0; row < kRunKeys.size(); ++row) {
    const RunSettings &was = before[row], &is = runSettings_[row];
    if (is.limit != was.limit)
      lastLimits_.insert_or_assign(std::string(kRunKeys[row].count), std::pair(world_.now(), was.limit));
    if (is.interval != was.interval)
      lastIntervals_.insert_or_assign(std::string(kRunKeys[row].interval), std::pair(world_.now(), was.interval));
  }
  for (auto& [id, run] : runs_) run.limit = std::max(run.limit, runSettings_[runKeysRow(run.category)].limit);
  settingsVerified_ = false;
}

void InvariantChecker::readRunSettings() {
  static_assert(std::tuple_size_v<decltype(runSettings_)> == kRunKeys.size());
  for (std::size_t row = 0; row < kRunKeys.size(); ++row)
    runSettings_[row] = {model_.repeatLimit(kRunKeys[row].count), model_.interval(kRunKeys[row].interval)};
}

void InvariantChecker::checkSettingsFile() {
  // What the pane and the tools wrote is the model's file.
  const auto& expectedSettings = model_.file();
  if (violation_ || expectedSettings.empty()) return;
  if (settingsPath_.empty())
    settingsPath_ = world_.prefs().devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  auto bytes = world_.root().readShared(settingsPath_);
  if (!bytes) return fail("the settings file is gone: " + bytes.error());
  // The same bytes judged against the same expectations give the same verdict.
  if (*bytes == settingsBytes_ && settingsVerified_) return;
  if (*bytes != settingsBytes_) {
    auto value = pl::parse(**bytes);
    settingsBytes_ = *bytes;
    settingsValue_.reset();
    if (value) settingsValue_ = std::move(*value);
  }
  const pl::Dict* dict = settingsValue_ ? settingsValue_->ifDict() : nullptr;
  if (!dict) return fail("the settings file is no longer a readable dictionary");
  // Both are in key order: one walk through the file meets every expected key.
  auto it = dict->begin();
  for (const auto& [key, expected] : expectedSettings) {
    int order = 1;
    while (it != dict->end() && (order = it->first.compare(key)) < 0) ++it;
    if (order != 0) return fail("the settings file lost \"" + key + "\"");
    if (!(it->second == expected))
      return fail("the settings file changed \"" + key + "\" from " + expected.describe() + " to " +
                  it->second.describe());
  }
  settingsVerified_ = true;
}

void InvariantChecker::finish() {
  if (violation_) return;
  checkSettingsFile();
  endOfInstant();
  for (const Expectation& e : mustStart_)
    if (e.due <= world_.now()) return fail(e.why + " must have started the " + e.reminder + " reminder, and none started");
}

}  // namespace qv::sim
