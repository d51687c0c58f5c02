#include "alerts/quiet_hours.h"

#include <gtest/gtest.h>

#include "tests/alerts/alerts_test_support.h"

namespace qv::alerts {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;

class QuietHours : public testing::AlertWorld {
 protected:
  using AlertWorld::AlertWorld;

  // Replaces the four window keys without telling anyone: the gate reads the domain itself.
  void window(const pl::Dict& values) {
    std::vector<std::string> removals;
    for (const char* key : {"fromHour", "fromMin", "toHour", "toMin"})
      if (!values.contains(key)) removals.push_back(key);
    world.writeSettings(values, removals, /*notify=*/false);
  }
  bool gateAt(int day, int hour, int minute, int second) {
    world.runUntil(world.localTime({2026, 12, day, hour, minute, second}));
    return alertGate(lib);
  }
};

TEST_F(QuietHours, EdgesAreExcludedToTheSecondAndMissingOrZeroClosingFieldsTakeTheirDefaults) {
  window({{"fromHour", 8}, {"fromMin", 30}, {"toHour", 22}, {"toMin", 15}});
  EXPECT_FALSE(gateAt(7, 8, 29, 59));
  EXPECT_FALSE(gateAt(7, 8, 30, 0));
  EXPECT_TRUE(gateAt(7, 8, 30, 1));
  EXPECT_TRUE(gateAt(7, 22, 14, 59));
  EXPECT_FALSE(gateAt(7, 22, 15, 0));
  EXPECT_EQ(rec.ofKind(Kind::Decision).back().detail, "start window 08:30\u201322:15, now 22:15:00: closed, no reminder starts");
  window({{"fromHour", 9}, {"toHour", 22}, {"toMin", 0}});
  EXPECT_TRUE(gateAt(7, 22, 58, 59)) << "toMin 0 counts as 59";
  EXPECT_FALSE(gateAt(7, 22, 59, 0));
  window({{"toHour", 0}, {"toMin", 30}});
  EXPECT_TRUE(gateAt(7, 23, 29, 59)) << "toHour 0 counts as 23";
  EXPECT_FALSE(gateAt(7, 23, 30, 0));
  window({});
  EXPECT_TRUE(gateAt(7, 23, 58, 59)) << "without settings only the last minute and midnight are quiet";
  EXPECT_FALSE(gateAt(7, 23, 59, 0));
  EXPECT_FALSE(gateAt(7, 23, 59, 59));
  EXPECT_FALSE(gateAt(8, 0, 0, 0));
  EXPECT_TRUE(gateAt(8, 0, 0, 1));
}

TEST_F(QuietHours, OpeningAfterClosingLetsNothingStart) {
  window({{"fromHour", 22}, {"toHour", 7}});
  for (int hour : {8, 12, 21, 22, 23}) EXPECT_FALSE(gateAt(7, hour, 30, 0)) << hour;
  for (int hour : {0, 3, 6, 7}) EXPECT_FALSE(gateAt(8, hour, 30, 0)) << hour;
}

TEST_F(QuietHours, ValuesOfTheWrongTypeOrOutOfRangeTakeTheirDefaults) {
  // Values of the wrong type: a window value that is no number reads as absent.
  window({{"fromHour", "9"}, {"fromMin", 75}, {"toHour", 25}, {"toMin", -5}});
  EXPECT_TRUE(gateAt(7, 8, 30, 0));
  const ActiveWindow w = activeWindow(lib.settings);
  EXPECT_EQ((std::array{w.fromHour, w.fromMinute, w.toHour, w.toMinute}), (std::array{0, 0, 23, 59}));
}

TEST_F(QuietHours, ARunningReminderFiresOnAfterTheWindowClosesWhileNewOnesWait) {
  world.writeSettings({{"imSMSTeleg", true}, {"toHour", 8}, {"toMin", 2}});
  world.runUntil(world.localTime({2026, 12, 7, 8, 0, 30}));
  const springboard::IncomingNotification telegram{.bundleId = "ph.telegra.Telegraph", .categoryIdentifier = "message"};
  world.notifications().deliver(telegram);
  world.runUntil(world.localTime({2026, 12, 7, 8, 5, 0}));
  EXPECT_EQ(rec.count(Kind::ReminderFired, "Telegram message"), 4u) << "fires at 08:01:30 and on after 08:02";
  objc::send<void()>(lib.sharedHelper, objc::Sel::intern("clearTGMessTimer"));
  world.notifications().deliver(telegram);
  world.runFor(3min);
  EXPECT_EQ(rec.count(Kind::ReminderArmed, "Telegram message"), 5u) << "the start and four re-arms; nothing starts after 08:02";
  EXPECT_EQ(rec.count(Kind::ReminderFired, "Telegram message"), 4u);
}

// Europe/Berlin: on 2026-03-29 the clock jumps from 02:00 to 03:00; on 2026-10-25 it goes back
// from 03:00 to 02:00, so 02:00-02:59 occurs twice.
class QuietHoursOnClockJumps : public QuietHours {
 protected:
  QuietHoursOnClockJumps() : QuietHours({.timeZone = "Europe/Berlin", .start = {2026, 3, 29, 1, 0, 0}}) {}
  bool gateAtLocal(const host::CalendarDate& d, dispatch::Duration later = {}) {
    world.runUntil(world.localTime(d) + later);
    return alertGate(lib);
  }
};

TEST_F(QuietHoursOnClockJumps, AnEdgeInTheSkippedHourMovesForwardByTheJump) {
  window({{"toHour", 2}, {"toMin", 30}});
  EXPECT_TRUE(gateAtLocal({2026, 3, 29, 1, 59, 59}));
  EXPECT_TRUE(gateAtLocal({2026, 3, 29, 3, 29, 59})) << "02:30 does not exist; the window closes at 03:30";
  EXPECT_FALSE(gateAtLocal({2026, 3, 29, 3, 30, 0}));
  window({{"fromHour", 2}, {"fromMin", 30}});
  EXPECT_FALSE(gateAtLocal({2026, 3, 29, 3, 30, 0}));
  EXPECT_TRUE(gateAtLocal({2026, 3, 29, 3, 30, 1}));
  EXPECT_TRUE(gateAtLocal({2026, 3, 30, 2, 30, 1})) << "the next day is an ordinary day";
}

TEST_F(QuietHoursOnClockJumps, AnEdgeInTheRepeatedHourIsItsFirstOccurrence) {
  window({{"toHour", 2}, {"toMin", 30}});
  EXPECT_TRUE(gateAtLocal({2026, 10, 25, 2, 29, 59}));
  EXPECT_FALSE(gateAtLocal({2026, 10, 25, 2, 30, 0}));
  EXPECT_FALSE(gateAtLocal({2026, 10, 25, 2, 15, 0}, 1h)) << "02:15 the second time: the window has closed";
  window({{"fromHour", 2}, {"fromMin", 30}});
  EXPECT_TRUE(gateAtLocal({2026, 10, 25, 2, 15, 0}, 1h + 1s)) << "02:15 the second time: it opened at the first 02:30";
}

// Guards a fixed fault: on these days the gate's line named the wall-clock window alone, so an
// open gate at 03:20 read "start window 00:00–02:30, now 03:20:00: open".
TEST_F(QuietHoursOnClockJumps, TheGateAndItsRefusalsSayWhereAMovedEdgeFallsThatDay) {
  auto lastLine = [&] { return rec.ofKind(Kind::Decision).back().detail; };
  window({{"toHour", 2}, {"toMin", 30}});
  EXPECT_TRUE(gateAtLocal({2026, 3, 29, 3, 20, 0}));
  EXPECT_EQ(lastLine(),
            "start window 00:00\u201302:30 (02:30 does not exist today: it closes at 03:30), now 03:20:00: open");
  window({{"fromHour", 2}, {"fromMin", 10}, {"toHour", 2}, {"toMin", 40}});
  EXPECT_FALSE(gateAtLocal({2026, 3, 29, 3, 40, 0}));
  EXPECT_EQ(windowTextToday(lib.host, activeWindow(lib.settings)),
            "start window 02:10\u201302:40 (02:10 does not exist today: it opens at 03:10; 02:40 does not exist "
            "today: it closes at 03:40)");
  EXPECT_FALSE(gateAtLocal({2026, 3, 30, 2, 10, 0}));
  EXPECT_EQ(lastLine(), "start window 02:10\u201302:40, now 02:10:00: closed, no reminder starts") << "an ordinary day";
  window({{"toHour", 2}, {"toMin", 30}});
  EXPECT_TRUE(gateAtLocal({2026, 10, 25, 2, 15, 0}));
  EXPECT_EQ(lastLine(), "start window 00:00\u201302:30, now 02:15:00: open") << "the first 02:15 reads as any other";
  EXPECT_FALSE(gateAtLocal({2026, 10, 25, 2, 15, 0}, 1h));
  EXPECT_EQ(lastLine(),
            "start window 00:00\u201302:30 (02:30 happens twice today: it closes at the first), now 02:15:00 for the "
            "second time: closed, no reminder starts");
}

}  // namespace
}  // namespace qv::alerts
