// Listed ("Other") apps: their start at intake, the Twitter block, and the ways the user clears
// them (opening the app, removing or acting on the notification).
#include <gtest/gtest.h>

#include "core/other_apps.h"
#include "tests/core/other_apps_test_support.h"
#include "tests/intake/intake_test_support.h"

namespace qv::intake::testing {
namespace {

const char* const kChat = "com.example.chat";
const char* const kSocial = "com.example.social";

class ListedApps : public ::testing::Test {
 protected:
  explicit ListedApps(sim::WorldConfig config = {.release = "10.3"}) : w(std::move(config), listing()) {
    for (const char* app : {kChat, kSocial}) w.world.notifications().installApp(app, "App");
  }
  static pl::Dict listing() {
    pl::Dict d = allSwitchesOn();
    d["otherApplications"] =
        pl::Array{kChat, kSocial, "com.atebits.Tweetie2", "com.apple.mobilecal", "net.whatsapp.WhatsApp"};
    return d;
  }
  bool active(const std::string& app) const { return core::testing::isRunning(w.lib, app); }
  bool reminding(const std::string& app) const { return core::hasListEntry(w.lib, app); }
  bool sharedItemShown() { return w.world.statusBar().items().isShown("com.apple.AppStore"); }

  IntakeWorld w;
};

TEST_F(ListedApps, StartOnceWhileRunningAndShowTheSharedItemAgain) {
  w.deliver({.bundleId = kChat});
  ASSERT_TRUE(active(kChat) && reminding(kChat));
  EXPECT_EQ((*w.lib.otherApps.otherRepeatCounts)[kChat], 1);
  EXPECT_TRUE(sharedItemShown());
  const objc::Id timer = w.lib.helper().otherTimer;
  host::send(w.lib.helper().statusBarItemOther, host::msg::setVisible, false);
  w.deliver({.bundleId = kChat});
  EXPECT_EQ(w.lib.helper().otherTimer, timer) << "not restarted";
  EXPECT_TRUE(sharedItemShown());
}

TEST_F(ListedApps, TwitterStartsOnlyForAnInteractionAndAListedFixedAppRunsBothBlocks) {
  w.deliver({.bundleId = "com.atebits.Tweetie2", .categoryIdentifier = "com.twitter.like"});
  EXPECT_FALSE(active("com.atebits.Tweetie2"));
  w.deliver({.bundleId = "com.atebits.Tweetie2", .categoryIdentifier = "com.twitter.mention"});
  EXPECT_TRUE(active("com.atebits.Tweetie2"));
  w.deliver({.bundleId = "net.whatsapp.WhatsApp", .categoryIdentifier = "missed-call"});
  EXPECT_TRUE(w.running(Category::WhatsAppCall));
  EXPECT_TRUE(active("net.whatsapp.WhatsApp"));
}

TEST_F(ListedApps, OpeningAListedAppHidesTheSharedItemWhileAnotherKeepsReminding) {
  w.deliver({.bundleId = kChat});
  w.deliver({.bundleId = kSocial});
  w.world.notifications().activateApp(kChat);
  EXPECT_FALSE(active(kChat) || reminding(kChat));
  EXPECT_TRUE(reminding(kSocial));
  EXPECT_FALSE(sharedItemShown());
  w.deliver({.bundleId = kSocial});
  EXPECT_TRUE(sharedItemShown()) << "the next notification brings it back";
  w.world.notifications().activateApp("com.apple.mobilecal");
  EXPECT_FALSE(sharedItemShown()) << "a listed app without a reminder hides it too";
}

TEST_F(ListedApps, AnAppIsClearedAfterAnotherAppsClearEmptiedTheLatestTimer) {
  // Other-app clears that depend on OtherTimer.
  w.deliver({.bundleId = kChat});
  auto social = w.deliver({.bundleId = kSocial});
  w.world.notifications().actOn(social, springboard::kOriginLockScreen);
  w.world.runUntilIdle();
  ASSERT_EQ(w.lib.helper().otherTimer, nullptr);
  ASSERT_TRUE(reminding(kChat));
  w.world.notifications().activateApp(kChat);
  EXPECT_FALSE(reminding(kChat) || active(kChat));
  w.deliver({.bundleId = kChat});
  EXPECT_TRUE(reminding(kChat)) << "its next notification starts a new reminder";
}

TEST_F(ListedApps, ActingOnItsNotificationClearsAfterAnotherAppsClearEmptiedTheLatestTimer) {
  // Other-app clears that depend on OtherTimer.
  w.world.notifications().openApp = {};  // the action alone, not the app it would open
  auto chat = w.deliver({.bundleId = kChat});
  w.deliver({.bundleId = kSocial});
  w.world.notifications().activateApp(kSocial);
  ASSERT_EQ(w.lib.helper().otherTimer, nullptr);
  w.world.notifications().actOn(chat, springboard::kOriginLockScreen);
  w.world.runUntilIdle();
  EXPECT_FALSE(reminding(kChat) || active(kChat));
}

TEST_F(ListedApps, OtherEnabledIsReadAfterTheAlertGateReloadedTheSettings) {
  // The pane's change notification has not arrived yet: the alert gate's reload brings the switch.
  w.settings({{"otherEnabled", false}});
  w.world.writeSettings({{"otherEnabled", true}}, {}, /*notify=*/false);
  w.deliver({.bundleId = kChat});
  EXPECT_TRUE(active(kChat));
  w.world.writeSettings({{"otherEnabled", false}}, {}, /*notify=*/false);
  w.deliver({.bundleId = kSocial});
  EXPECT_FALSE(active(kSocial));
}

class ListedAppsOnIos9 : public ListedApps {
 protected:
  ListedAppsOnIos9() : ListedApps({.release = "9.3", .startLocked = true}) {}
};

TEST_F(ListedAppsOnIos9, StartByBadgeExceptTheCalendarAndTwitter) {
  w.deliver({.bundleId = kChat});
  EXPECT_FALSE(active(kChat));
  w.deliver({.bundleId = kChat, .badge = 1});
  w.deliver({.bundleId = "com.apple.mobilecal"});
  w.deliver({.bundleId = "com.atebits.Tweetie2", .remotePayload = pl::Dict{{"S", "favorite"}}, .badge = 2});
  EXPECT_TRUE(active(kChat) && active("com.apple.mobilecal"));
  EXPECT_FALSE(active("com.atebits.Tweetie2"));
  w.deliver({.bundleId = "com.atebits.Tweetie2", .remotePayload = pl::Dict{{"S", "new_direct_message"}}});
  EXPECT_TRUE(active("com.atebits.Tweetie2"));
}

TEST_F(ListedAppsOnIos9, RemovingItsNotificationWhileLockedForgetsTheApp) {
  // Other-app clears that depend on OtherTimer.
  auto chat = w.deliver({.bundleId = kChat, .badge = 1});
  w.deliver({.bundleId = kSocial, .badge = 1});
  w.world.notifications().activateApp(kSocial);  // empties OtherTimer
  w.world.home().lock();
  w.world.notifications().removeFromLockScreen(chat);
  w.world.runUntilIdle();
  EXPECT_FALSE(reminding(kChat) || active(kChat));
}

}  // namespace
}  // namespace qv::intake::testing
