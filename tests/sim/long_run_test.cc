// A device that has seen many notifications keeps only what it still shows: an app's most recent
// bulletins, and handles to those alone.
#include <gtest/gtest.h>

#include "core/library.h"
#include "core/missed_helper.h"
#include "sim/world.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

class LongRun : public ::testing::TestWithParam<const char*> {
 protected:
  World world{WorldConfig{.release = GetParam()}};
  springboard::Notifications& notes = world.notifications();

  springboard::NotificationHandle deliver(const std::string& app, int n) {
    springboard::NotificationHandle h = notes.deliver({.bundleId = app, .title = "Anna", .message = std::to_string(n)});
    world.runFor(1s);
    return h;
  }
  std::size_t shownFrom(const std::string& app) {
    std::size_t n = 0;
    for (const auto& items : {notes.lockScreenItems(), notes.notificationCentreItems()})
      for (const springboard::ShownNotification& s : items) n += s.sectionID == app;
    return n;
  }
};

TEST_P(LongRun, AnAppKeepsItsMostRecentNotificationsAndTheOldestAreForgotten) {
  const springboard::NotificationHandle other = deliver("com.example.Shop", 0);
  std::vector<springboard::NotificationHandle> chat;
  for (int i = 0; i < 60; ++i) chat.push_back(deliver("com.example.Chat", i));

  EXPECT_EQ(shownFrom("com.example.Chat"), springboard::kBulletinsKeptPerApp);
  EXPECT_EQ(shownFrom("com.example.Shop"), 1u);
  EXPECT_EQ(notes.server().bulletinCount(), springboard::kBulletinsKeptPerApp + 1);
  EXPECT_EQ(notes.recordCount(), springboard::kBulletinsKeptPerApp + 1);
  // The ten oldest are gone: acting on one finds nothing; the eleventh and the other app's remain.
  EXPECT_FALSE(notes.bulletinOf(chat[9]));
  EXPECT_FALSE(notes.actOn(chat[9]));
  EXPECT_TRUE(notes.bulletinOf(chat[10]));
  EXPECT_TRUE(notes.removeFromLockScreen(other));
  EXPECT_EQ(notes.recordCount(), springboard::kBulletinsKeptPerApp);
}

TEST_P(LongRun, ARemovedNotificationIsForgottenAndItsHandleNamesNothing) {
  world.home().lock();
  const springboard::NotificationHandle h = deliver("com.example.Chat", 1);
  ASSERT_EQ(notes.recordCount(), 1u);
  EXPECT_TRUE(notes.removeFromLockScreen(h));
  world.runFor(1s);
  EXPECT_EQ(notes.recordCount(), 0u);
  EXPECT_FALSE(notes.removeFromLockScreen(h));
  EXPECT_EQ(notes.server().bulletinCount(), 0u);
}

TEST_P(LongRun, AnOldNotificationLeavingTheLockScreenIsNoUserRemovalAndClearsNoReminder) {
  world.writeSettings({{"showStatus", true}});
  world.runFor(15s);  // intake opens 10 s after launch
  world.home().lock();
  for (std::size_t i = 0; i <= springboard::kBulletinsKeptPerApp; ++i) {
    (void)world.messages().arrive("Anna");
    deliver("com.apple.MobileSMS", static_cast<int>(i));
  }
  ASSERT_EQ(shownFrom("com.apple.MobileSMS"), springboard::kBulletinsKeptPerApp);
  EXPECT_NE(world.library().helper().timer(core::Category::Sms), nullptr);
}

INSTANTIATE_TEST_SUITE_P(SystemRanges, LongRun, ::testing::Values("9.3", "10.3"));

// Fixed fault: a restart of the home screen turned do-not-disturb off, unlocked the device and
// set every badge (and the names of the scenario's own apps) back.
TEST(HomeScreenRestart, KeepsWhatTheDeviceKeepsAndComesBackLocked) {
  World world;
  world.home().installApp("com.example.Chat", "Chat", 2);
  world.home().setBadge("com.apple.mobilemail", 4);
  world.home().setQuietMode(true);
  ASSERT_FALSE(world.home().locked());
  world.respring();
  EXPECT_TRUE(world.home().quietMode());
  EXPECT_TRUE(world.home().locked());
  EXPECT_EQ(world.home().badge("com.apple.mobilemail"), 4);
  EXPECT_EQ(world.home().badge("com.example.Chat"), 2);
  EXPECT_EQ(world.home().displayName("com.example.Chat"), "Chat");
}

}  // namespace
}  // namespace qv::sim
