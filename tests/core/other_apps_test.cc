#include "core/other_apps.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "assembly/startup.h"
#include "tests/alerts/alerts_test_support.h"
#include "tests/core/other_apps_test_support.h"
#include "tests/platform/trace_hooks.h"

namespace qv::core {
namespace {

using alerts::testing::writeAndLoad;
using namespace std::chrono_literals;
using alerts::testing::details;
using alerts::testing::trace;
using testing::intakeClear;
using testing::intakeStart;
using testing::isRunning;
using testing::listEntries;
using testing::liveChains;
using timeline::Kind;

const std::string kChat = "com.example.chat";
const std::string kNotes = "com.example.notes";

class OtherAppReminder : public alerts::testing::AlertWorld {
 protected:
  void start(const std::string& app, const std::string& name = "App") { intakeStart(lib, app, name); }
  std::size_t armedTimers() { return world.springBoard().foundation->armedTimers(); }
  bool decided(const std::string& subject, const std::string& detail) {
    for (const auto& e : rec.ofKind(Kind::Decision))
      if (e.subject == subject && e.detail == detail) return true;
    return false;
  }
};

TEST_F(OtherAppReminder, RepeatLimitGivesExactlyThatManyFiresAndALaterStartCountsAfresh) {
  writeAndLoad(world, {{"otherCount", 3}});
  world.home().installApp(kChat, "Chat", 2);
  const auto origin = world.now();
  start(kChat, "Chat");
  world.runFor(10min);
  EXPECT_EQ(trace(rec, origin, {Kind::ReminderFired, Kind::ReminderEnded}),
            "reminder-fired@60000 reminder-fired@120000 reminder-fired@180000 reminder-ended@180000");
  EXPECT_EQ(details(rec, Kind::ReminderEnded), kChat + ": repeat limit 3 reached");
  EXPECT_FALSE(isRunning(lib, kChat));
  EXPECT_FALSE(lib.otherApps.otherRepeatCounts->contains(kChat));
  EXPECT_EQ(armedTimers(), 0u);

  start(kChat, "Chat");
  world.runFor(10min);
  EXPECT_EQ(rec.count(Kind::ReminderFired, kChat), 6u);
}

// Guards a fault: a limit set during a run numbered the app's alerts from 1 again.
TEST_F(OtherAppReminder, ALimitSetDuringARunCountsFromTheNextAlertWhileTheRunKeepsItsNumbers) {
  world.home().installApp(kChat, "Chat", 2);
  start(kChat, "Chat");
  world.runFor(2min + 1s);
  writeAndLoad(world, {{"otherCount", 2}});
  world.runFor(10min);
  EXPECT_EQ(details(rec, Kind::ReminderFired), kChat + ": alert 1, no limit | " + kChat + ": alert 2, no limit | " +
                                                   kChat + ": alert 3, counted 1 of 2 | " + kChat +
                                                   ": alert 4, counted 2 of 2");
  EXPECT_EQ(details(rec, Kind::ReminderEnded), kChat + ": repeat limit 2 reached");
}

// Guards a fault: a count below zero was told as a limit of that negative number.
TEST_F(OtherAppReminder, ACountBelowZeroEndsAtTheFirstAlertAndIsToldAsTheOneItActsAs) {
  writeAndLoad(world, {{"otherCount", -3}});
  world.home().installApp(kChat, "Chat", 2);
  start(kChat, "Chat");
  world.runFor(10min);
  EXPECT_EQ(details(rec, Kind::ReminderFired), kChat + ": alert 1 of 1 (otherCount -3 reads as 1)");
  EXPECT_EQ(details(rec, Kind::ReminderEnded), kChat + ": repeat limit 1 reached (otherCount -3 reads as 1)");
}

TEST_F(OtherAppReminder, WithoutALimitRepeatsWhileTheBadgeStaysAndTheStoredCountNeverGrows) {
  world.home().installApp(kChat, "Chat", 1);
  start(kChat, "Chat");
  world.runFor(10min + 1s);
  EXPECT_EQ(rec.count(Kind::ReminderFired, kChat), 10u);
  EXPECT_EQ(lib.otherApps.otherRepeatCounts->at(kChat), 1);
  EXPECT_EQ(liveChains(lib, kChat), 1u);
  EXPECT_EQ(rec.count(Kind::ReminderArmed, kChat), 11u);
  EXPECT_EQ(rec.ofKind(Kind::ReminderArmed).back().detail, "next alert in 60 s (Chat)");
}

TEST_F(OtherAppReminder, BadgeGoneEndsTheReminderAtTheNextFireAfterItsAlerts) {
  writeAndLoad(world, {{"showStatus", true}});
  world.home().installApp(kChat, "Chat", 1);
  start(kChat, "Chat");
  world.runFor(60s);
  ASSERT_TRUE(world.statusBar().items().isShown("com.apple.AppStore"));
  world.home().setBadge(kChat, 0);  // the user opened the app
  rec.clear();
  const auto origin = world.now();
  world.runFor(5min);
  EXPECT_EQ(trace(rec, origin, {Kind::ReminderFired, Kind::Banner, Kind::StatusIconHidden, Kind::ReminderEnded}),
            "reminder-fired@60000 banner@60000 icon-hidden@60000 reminder-ended@60000");
  EXPECT_EQ(details(rec, Kind::ReminderEnded), kChat + ": badge gone");
  EXPECT_TRUE(decided(kChat, "badge 0 → cleared"));
  EXPECT_FALSE(isRunning(lib, kChat));
  EXPECT_EQ(listEntries(lib), 0u);
  EXPECT_EQ(armedTimers(), 0u);
}

TEST_F(OtherAppReminder, AnAppWithoutAHomeScreenIconAlertsOnceThenEndsWhileTheCalendarNeverEndsByBadge) {
  ASSERT_EQ(world.home().badge("com.apple.mobilecal"), 0);
  start("com.example.removed", "Removed");
  world.runFor(10s);  // so the two banners do not meet
  start("com.apple.mobilecal", "Calendar");
  world.runFor(5min);
  EXPECT_EQ(rec.count(Kind::ReminderFired, "com.example.removed"), 1u);
  EXPECT_EQ(rec.count(Kind::Banner, "com.example.removed"), 1u);
  EXPECT_EQ(details(rec, Kind::ReminderEnded), "com.example.removed: badge gone") << "the calendar never ends";
  EXPECT_EQ(rec.count(Kind::ReminderFired, "com.apple.mobilecal"), 5u);
  EXPECT_EQ(liveChains(lib, "com.apple.mobilecal"), 1u);
  EXPECT_TRUE(decided("com.apple.mobilecal", "com.apple.mobilecal never ends by badge"));
  EXPECT_EQ(armedTimers(), 1u) << "the calendar's alone";
}

TEST_F(OtherAppReminder, StartingAgainReplacesTheAppsEntryAndLeavesOneChain) {
  world.home().installApp(kChat, "Chat", 1);
  start(kChat, "Chat");
  objc::Id first = lib.otherApps.otherTimerList->front();
  world.runFor(30s);
  host::send(lib.sharedHelper, hm::LoadImTimerTest, pl::Value(pl::Dict{{"id", kChat}, {"identifier", "Chat"}}), kChat);
  ASSERT_EQ(listEntries(lib), 1u);
  EXPECT_NE(lib.otherApps.otherTimerList->front(), first);
  EXPECT_EQ(helper.otherTimer, lib.otherApps.otherTimerList->front());
  EXPECT_TRUE(host::send(first, host::msg::isValid)) << "a replaced timer is dropped from the list, not invalidated";
  world.runFor(30s);
  EXPECT_TRUE(decided(kChat, "timer no longer listed: alerts only"));
  world.runFor(5min);
  EXPECT_EQ(liveChains(lib, kChat), 1u);
  EXPECT_EQ(armedTimers(), 1u);
}

TEST_F(OtherAppReminder, OneClearHidesTheSharedItemWhichReturnsAtTheOtherAppsNextFire) {
  writeAndLoad(world, {{"showStatus", true}});
  world.home().installApp(kChat, "Chat", 1);
  world.home().installApp(kNotes, "Notes", 1);
  start(kChat, "Chat");
  world.runFor(30s);
  start(kNotes, "Notes");
  world.runFor(35s);  // Chat fired: the item is shown
  intakeClear(lib, kChat);
  EXPECT_FALSE(world.statusBar().items().isShown("com.apple.AppStore")) << "hidden although Notes still runs";
  EXPECT_EQ(helper.statusBarItemOther, nullptr);
  EXPECT_FALSE(lib.statusBar.statusBarDirty) << "the clear ran updateStatusbar";
  world.runFor(30s);  // Notes fires
  EXPECT_TRUE(world.statusBar().items().isShown("com.apple.AppStore"));
  std::string icons;
  for (const auto& e : rec.events())
    if (e.subject == "com.apple.AppStore" && (e.kind == Kind::StatusIconShown || e.kind == Kind::StatusIconHidden))
      icons += std::string(timeline::kindName(e.kind)) + " ";
  EXPECT_EQ(icons, "icon-shown icon-hidden icon-shown ");
  EXPECT_EQ(details(rec, Kind::ReminderCleared), kChat + ": ");
}

TEST_F(OtherAppReminder, AUserInfoWithoutAnAppStillMakesATimerItsClearFinds) {
  host::send(lib.sharedHelper, hm::LoadImTimerTest, pl::Value("not a dictionary"), kChat);
  ASSERT_EQ(listEntries(lib), 1u);
  EXPECT_EQ(host::send(helper.otherTimer, host::msg::userInfo), pl::Value(pl::Dict{{"id", kChat}}));
  host::send(lib.sharedHelper, hm::LoadImTimerTest, pl::Value(), "");
  EXPECT_EQ(listEntries(lib), 1u) << "no app at all: nothing started";
  host::send(lib.sharedHelper, hm::clearOtherTimer, kChat);
  EXPECT_EQ(listEntries(lib), 0u);
  EXPECT_EQ(armedTimers(), 0u);
}

TEST_F(OtherAppReminder, StaleTimerOfAClearedAppNeverStartsASecondChain) {
  // Two chains for one Other app: a stale timer's badge check re-armed the app's new reminder.
  writeAndLoad(world, {{"otherCount", 3}});
  world.home().installApp(kChat, "Chat", 1);
  world.home().installApp(kNotes, "Notes", 1);
  const auto origin = world.now();
  start(kChat, "Chat");
  world.runFor(10s);
  start(kNotes, "Notes");  // OtherTimer is now Notes's: clearing Chat leaves its timer armed
  world.runFor(10s);
  intakeClear(lib, kChat);
  world.runFor(10s);
  start(kChat, "Chat");
  world.runFor(10min);
  std::string chatFires;
  for (const auto& e : rec.ofKind(Kind::ReminderFired))
    if (e.subject == kChat) chatFires += std::to_string((e.time - origin) / 1s) + " " + e.detail + " | ";
  // The stale timer's alert was labelled "alert 1 of 3", the same as the new chain's first.
  EXPECT_EQ(chatFires,
            "60 alert of a timer no longer listed | 90 alert 1 of 3 | 150 alert 2 of 3 | 210 alert 3 of 3 | ")
      << "the stale timer alerts once, under its own label; the new chain fires three times";
  EXPECT_EQ(liveChains(lib, kChat), 0u);
  EXPECT_EQ(armedTimers(), 0u);
}

TEST_F(OtherAppReminder, IntervalOfZeroOrLessMeansSixtySeconds) {
  // Intervals of zero or less: a negative "otherInt" made the timer due at once, a fire loop.
  world.home().installApp(kChat, "Chat", 1);
  for (const pl::Value& interval : {pl::Value(-5), pl::Value(0), pl::Value(-0.5)}) {
    writeAndLoad(world, {{"otherInt", interval}});
    rec.clear();
    start(kChat, "Chat");
    world.runFor(59s);
    EXPECT_EQ(rec.count(Kind::ReminderFired), 0u) << interval.describe();
    world.runFor(1s);
    EXPECT_EQ(rec.count(Kind::ReminderFired), 1u) << interval.describe();
    intakeClear(lib, kChat);
  }
}

// Watches every timer that ever enters otherTimerList, after every event of the world: an armed
// timer must be the listed one of a running app, or one a clear dropped from the list (which
// fires once more with its alerts and ends there).
class ChainWatch {
 public:
  ChainWatch(sim::World& world, Library& lib) : world_(world), lib_(lib) {
    world.clock().afterEachEvent = [this] { check(); };
  }
  ~ChainWatch() { world_.clock().afterEachEvent = nullptr; }
  ChainWatch(const ChainWatch&) = delete;
  ChainWatch& operator=(const ChainWatch&) = delete;

  void beforeClear(const std::string& app) {
    if (!lib_.otherApps.otherTimerList) return;
    for (const objc::Id& t : *lib_.otherApps.otherTimerList)
      if (host::send(t, host::msg::loggingIdentifier) == app) droppedByClear_.insert(t);
  }
  void check() {
    const auto& list = lib_.otherApps.otherTimerList;
    if (list) seen_.insert(list->begin(), list->end());
    std::erase_if(seen_, [](const objc::Id& t) { return !host::send(t, host::msg::isValid); });
    for (const objc::Id& t : seen_) {
      const bool listed = list && std::find(list->begin(), list->end(), t) != list->end();
      if (!listed && !droppedByClear_.contains(t) && ++strays_ == 1)
        ADD_FAILURE() << "a second chain of " << host::send(t, host::msg::loggingIdentifier);
    }
  }

 private:
  sim::World& world_;
  Library& lib_;
  std::set<objc::Id> seen_;
  std::set<objc::Id> droppedByClear_;  // held, so no new timer can take a freed one's address
  std::size_t strays_ = 0;
};

TEST_F(OtherAppReminder, LongRunLeavesOneChainPerRunningAppAndNoTimerForOthers) {
  writeAndLoad(world, {{"otherCount", 6}, {"otherInt", 45}, {"showStatus", true}});
  const std::vector<std::string> apps = {kChat, kNotes, "com.example.mail", "com.example.bank", "com.apple.mobilecal"};
  for (std::size_t i = 0; i + 1 < apps.size(); ++i) world.home().installApp(apps[i], "App " + std::to_string(i), 1);
  ChainWatch watch(world, lib);
  std::mt19937 random(20261207);
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  std::map<std::string, std::size_t> intakeStarts;
  const auto end = world.now() + 6h;
  while (world.now() < end && !HasFailure()) {
    world.runFor(std::chrono::seconds(1 + pick(40)));
    const std::string& app = apps[pick(apps.size())];
    const std::size_t action = pick(20);
    if (action < 8 && !isRunning(lib, app)) {
      start(app);
      ++intakeStarts[app];
    } else if (action < 13) {
      watch.beforeClear(app);
      intakeClear(lib, app);
    } else if (action < 16 && app != "com.apple.mobilecal") {
      world.home().setBadge(app, static_cast<std::int64_t>(pick(3)));
    }
    watch.check();
    for (const std::string& a : apps) ASSERT_EQ(liveChains(lib, a), isRunning(lib, a) ? 1u : 0u) << a;
  }
  world.runFor(46s);  // longer than the interval: every timer a clear dropped has had its last fire
  std::size_t running = 0;
  for (const std::string& app : apps) {
    running += isRunning(lib, app) ? 1 : 0;
    EXPECT_EQ(liveChains(lib, app), isRunning(lib, app) ? 1u : 0u) << app;
    const std::size_t rearms = rec.count(Kind::ReminderArmed, app) - intakeStarts[app];
    EXPECT_LE(rearms, intakeStarts[app] * 5) << app << ": no chain re-arms past the limit";
  }
  EXPECT_EQ(armedTimers(), running) << "no timer armed for an app that is not running";
  EXPECT_GT(rec.count(Kind::ReminderFired), 400u) << "the run exercised the reminders";
}

// The status-bar item initialiser, watched beneath the library's own replacement.
class StatusBarItemInitialiser : public ::testing::Test {
 protected:
  StatusBarItemInitialiser() {
    hooks.on<host::msg::initWithIdentifierAlignment>(
        "LSStatusBarItem", [](const std::string& id, const std::int64_t&) { return "init " + id; });
    world.springBoard().library = assembly::load(world.springBoard().host);
  }
  sim::World world{qv::testing::withoutLibrary()};
  qv::testing::TraceHooks hooks{world.springBoard().host.runtime()};
};

TEST_F(StatusBarItemInitialiser, RunsThePreviousInitialiserOnceAndKeepsItsResult) {
  // The status-bar item initialiser ran the previous initialiser twice on one receiver.
  world.writeSettings({{"showStatus", true}});
  Library& lib = *world.springBoard().library;
  host::send(lib.sharedHelper, hm::addStatusBarForIdentifier, "SMS");
  EXPECT_EQ(hooks.trace(), "init quorvel.QVSMS");
  EXPECT_EQ(lib.otherApps.lastInitialisedItem, lib.helper().statusBarItem(Category::Sms));
  EXPECT_EQ(lib.otherApps.lastInitialisedIdentifier, "quorvel.QVSMS");
  EXPECT_TRUE(world.statusBar().items().isShown("quorvel.QVSMS"));
}

}  // namespace
}  // namespace qv::core
