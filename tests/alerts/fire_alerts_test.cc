#include "alerts/fire_alerts.h"

#include <gtest/gtest.h>

#include "tests/alerts/alerts_test_support.h"

namespace qv::alerts {
namespace {

using testing::writeAndLoad;
using namespace std::chrono_literals;
using core::Category;
using testing::startReminder;
using testing::trace;
using timeline::Kind;

class FireAlerts : public testing::AlertWorld {
 protected:
  dispatch::Instant at(int minute, int second = 0) { return world.localTime({2026, 12, 7, 8, minute, second}); }
};

TEST_F(FireAlerts, QuietModeMutesSoundAndVibrationButNotWakeTorchBannerOrRearm) {
  writeAndLoad(world, {{"unCaLL", true}});
  world.home().setQuietMode(true);
  world.home().lock();
  startReminder(lib, Category::Call);
  world.runFor(61s);
  world.home().unlock();
  world.runFor(64s);
  EXPECT_EQ(rec.count(Kind::Sound), 0u);
  EXPECT_EQ(rec.count(Kind::Vibration), 0u);
  EXPECT_EQ(rec.count(Kind::ScreenWake), 1u) << "the locked fire wakes the screen";
  EXPECT_EQ(rec.count(Kind::TorchOn), 10u);
  EXPECT_EQ(rec.count(Kind::Banner), 1u) << "the unlocked fire shows a banner";
  EXPECT_EQ(rec.count(Kind::ReminderArmed), 3u);
}

TEST_F(FireAlerts, LockedFiresWakeTheScreenWhenAskedAndBlinkALockOnlyTorchButShowNoBanner) {
  writeAndLoad(world, {{"unSmS", true}, {"torchSmS", true}, {"locktorchSmS", true}});
  startReminder(lib, Category::Sms);
  world.runFor(61s);
  EXPECT_EQ(trace(rec, at(0), {Kind::ScreenWake, Kind::Banner}), "banner@60000") << "unlocked: a banner, and no wake";
  EXPECT_EQ(rec.count(Kind::TorchOn), 0u);
  world.home().lock();
  world.runFor(64s);
  EXPECT_EQ(trace(rec, at(0), {Kind::ScreenWake, Kind::Banner}), "banner@60000 screen-wake@120000");
  EXPECT_EQ(rec.count(Kind::TorchOn), 5u);
}

TEST_F(FireAlerts, MissingKeysTakeEachRowsDefaults) {
  startReminder(lib, Category::Call);
  world.runFor(10s);
  startReminder(lib, Category::Sms);
  world.runFor(10s);
  startReminder(lib, Category::Mail);
  world.runFor(65s);
  // Call: sound, vibration and torch; SMS: sound and vibration; mail: nothing but its banner.
  EXPECT_EQ(trace(rec, at(0), {Kind::Sound, Kind::Vibration, Kind::Banner}),
            "sound@60000 banner@60000 vibration@60300 "
            "sound@70000 banner@70000 vibration@70300 "
            "banner@80000");
  EXPECT_EQ(rec.count(Kind::TorchOn), 5u);
}

}  // namespace
}  // namespace qv::alerts
