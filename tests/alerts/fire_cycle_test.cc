#include "alerts/fire_cycle.h"

#include <gtest/gtest.h>

#include "core/registry.h"
#include "tests/alerts/alerts_test_support.h"

namespace qv::alerts {
namespace {

using testing::writeAndLoad;
using namespace std::chrono_literals;
using core::Category;
using testing::details;
using testing::startReminder;
using timeline::Kind;

class FireCycle : public testing::AlertWorld {
 protected:
  using AlertWorld::AlertWorld;
  void clear(std::string_view operation) { objc::send<void()>(lib.sharedHelper, objc::Sel::intern(operation)); }
};

TEST_F(FireCycle, CountOfThreeAlertsThreeTimesThenStopsWithTheIconLeft) {
  writeAndLoad(world, {{"smsCount", 3}});
  helper.statusBarItem(Category::Sms) = testing::untouchableItem(lib);
  startReminder(lib, Category::Sms);
  world.runFor(10min);
  EXPECT_EQ(details(rec, Kind::ReminderFired), "SMS: alert 1 of 3 | SMS: alert 2 of 3 | SMS: alert 3 of 3");
  EXPECT_EQ(rec.count(Kind::Sound), 3u);
  EXPECT_EQ(details(rec, Kind::ReminderEnded), "SMS: repeat limit 3 reached");
  EXPECT_EQ(testing::trace(rec, world.localTime({2026, 12, 7, 8, 0, 0}), {Kind::ReminderFired}),
            "reminder-fired@60000 reminder-fired@120000 reminder-fired@180000");
  EXPECT_NE(helper.statusBarItem(Category::Sms), nullptr) << "only a clear hides the icon";
  EXPECT_EQ(helper.timer(Category::Sms), nullptr);
  EXPECT_EQ(lib.reminders.counter(Category::Sms), 1);
  EXPECT_FALSE(lib.reminders.activeFlag(Category::Sms));
}

TEST_F(FireCycle, WithoutALimitTheCounterStaysAtOneAndTheReminderRearmsForever) {
  for (const pl::Value& count : {pl::Value(), pl::Value(0), pl::Value(99999999)}) {
    sim::World w;
    timeline::Recorder r{w.timeline()};
    if (!count.isNull()) w.writeSettings({{"phCount", count}});
    w.runUntilIdle();
    startReminder(w.library(), Category::Call);
    w.runFor(5min + 1s);
    EXPECT_EQ(r.ofKind(Kind::ReminderFired).back().detail, "alert 5, no limit") << count.describe();
    EXPECT_EQ(w.library().reminders.counter(Category::Call), 1);
    EXPECT_TRUE(host::send(w.library().helper().timer(Category::Call), host::msg::isValid));
    EXPECT_EQ(r.count(Kind::ReminderEnded), 0u);
    testing::finishPendingBlinks(w);
  }
}

TEST_F(FireCycle, AFreshStartCountsItsAlertsFromOneAgain) {
  startReminder(lib, Category::Call);
  world.runFor(2min + 1s);
  startReminder(lib, Category::Call);
  world.runFor(1min);
  EXPECT_EQ(details(rec, Kind::ReminderFired),
            "call: alert 1, no limit | call: alert 2, no limit | call: alert 1, no limit");
}

// Guards a fault: a limit set during a run numbered its alerts from 1 again, and -1 was told as a limit of -1.
TEST_F(FireCycle, ALimitChangedDuringARunKeepsTheRunsNumbersAndSaysWhatItCounts) {
  struct Case {
    pl::Value before, after;
    std::string fired, ended;
    std::int64_t lastAlert, limit;  // the last reminder-fired's fields
  };
  const Case cases[] = {
      {pl::Value(), 2,
       "SMS: alert 1, no limit | SMS: alert 2, no limit | SMS: alert 3, counted 1 of 2 | SMS: alert 4, counted 2 of 2",
       "SMS: repeat limit 2 reached", 4, 2},
      {5, 1, "SMS: alert 1 of 5 | SMS: alert 2 of 5 | SMS: alert 3 of 1 (the limit was lowered while it ran)",
       "SMS: repeat limit 1 reached", 3, 1},
      {pl::Value(), -1,
       "SMS: alert 1, no limit | SMS: alert 2, no limit | SMS: alert 3, counted 1 of 1 (smsCount -1 reads as 1)",
       "SMS: repeat limit 1 reached (smsCount -1 reads as 1)", 3, 1},
  };
  for (const Case& c : cases) {
    sim::World w;
    timeline::Recorder r{w.timeline()};
    if (!c.before.isNull()) writeAndLoad(w, {{"smsCount", c.before}});
    w.runUntilIdle();
    startReminder(w.library(), Category::Sms);
    w.runFor(2min + 1s);
    writeAndLoad(w, {{"smsCount", c.after}});
    w.runFor(10min);
    EXPECT_EQ(details(r, Kind::ReminderFired), c.fired) << c.after.describe();
    EXPECT_EQ(details(r, Kind::ReminderEnded), c.ended) << c.after.describe();
    const timeline::Event last = r.ofKind(Kind::ReminderFired).back();
    EXPECT_EQ(*last.field("alert"), timeline::Field::Value(c.lastAlert))
        << "numbered in the run, as the summary counts";
    EXPECT_EQ(*last.field("limit"), timeline::Field::Value(c.limit)) << "the limit it acts as";
    testing::finishPendingBlinks(w);
  }
}

TEST_F(FireCycle, ClearingOneOfAPairLetsTheOtherAlertOnceMoreThenEnd) {
  startReminder(lib, Category::WhatsAppCall);
  startReminder(lib, Category::WhatsAppMessage);
  world.runFor(30s);
  clear("clearwhatsAppMessageTimer");
  world.runFor(5min);
  EXPECT_EQ(details(rec, Kind::ReminderFired), "WhatsApp call: alert 1, no limit");
  EXPECT_EQ(details(rec, Kind::ReminderEnded),
            "WhatsApp call: not re-armed: the app's active flag is off (a clear, or the app's other reminder ended)");
  ASSERT_NE(helper.timer(Category::WhatsAppCall), nullptr) << "the spent timer stays until the next start or clear";
  EXPECT_FALSE(host::send(helper.timer(Category::WhatsAppCall), host::msg::isValid));
}

TEST_F(FireCycle, APartnerReachingItsLimitEndsTheOtherAfterOneMoreAlert) {
  writeAndLoad(world, {{"imCount", 2}});
  startReminder(lib, Category::ViberCall);
  world.runFor(70s);
  startReminder(lib, Category::ViberMessage);
  world.runFor(10min);
  EXPECT_EQ(details(rec, Kind::ReminderFired),
            "Viber call: alert 1 of 2 | Viber call: alert 2 of 2 | Viber message: alert 1 of 2");
  EXPECT_EQ(details(rec, Kind::ReminderEnded),
            "Viber call: repeat limit 2 reached | Viber message: not re-armed: the app's active flag is off (a clear, "
            "or the app's other reminder ended)");
}

// Starts are spaced wider than a banner stays on screen (5 s), so every fire's banner shows.
TEST_F(FireCycle, EveryHandlerAlertsWithItsOwnRow) {
  const dispatch::Instant start = world.now();
  for (const core::CategoryInfo& row : core::kCategories) {
    startReminder(lib, row.category);
    world.runFor(5500ms);
  }
  world.runUntil(start + 116s);
  EXPECT_EQ(rec.count(Kind::ReminderFired), core::kCategoryCount);
  EXPECT_EQ(details(rec, Kind::Banner),
            "com.apple.mobilephone: Quorvel — Missed Call! (content x 0, width 375) | "
            "com.apple.MobileSMS: Quorvel — Missed Message! (content x 0, width 375) | "
            "com.apple.mobilemail: Quorvel — Missed Mail! (content x 0, width 375) | "
            "net.whatsapp.WhatsApp: Quorvel — Missed Call! (content x 0, width 375) | "
            "net.whatsapp.WhatsApp: Quorvel — Missed Message! (content x 0, width 375) | "
            "com.facebook.Messenger: Quorvel — Missed Call! (content x 0, width 375) | "
            "com.facebook.Messenger: Quorvel — Missed Message! (content x 0, width 375) | "
            "ph.telegra.Telegraph: Quorvel — Missed Message! (content x 0, width 375) | "
            "ch.threema.iapp: Quorvel — Missed Message! (content x 0, width 375) | "
            "com.viber: Quorvel — Missed Message! (content x 0, width 375) | "
            "com.viber: Quorvel — Missed Call! (content x 0, width 375)");
  EXPECT_EQ(rec.count(Kind::ReminderArmed), 2 * core::kCategoryCount) << "each re-armed itself once";
}

class FireCycleOnAPadInGerman : public FireCycle {
 protected:
  FireCycleOnAPadInGerman() : FireCycle({.idiom = device::Idiom::Pad, .language = "de"}) {}
};

TEST_F(FireCycleOnAPadInGerman, CallBannerNamesFaceTimeAndOnlyTheSmsTextStaysEnglish) {
  const dispatch::Instant start = world.now();
  for (Category c : {Category::Call, Category::Sms, Category::Mail}) {
    startReminder(lib, c);
    world.runFor(6s);
  }
  world.runUntil(start + 73s);
  EXPECT_EQ(details(rec, Kind::Banner),
            "com.apple.facetime: Quorvel — Verpasster Anruf! (content x 15, width 738) | "
            "com.apple.MobileSMS: Quorvel — Missed Message! (content x 15, width 738) | "
            "com.apple.mobilemail: Quorvel — Verpasste E-Mail! (content x 15, width 738)");
}

}  // namespace
}  // namespace qv::alerts
