#include "platform/springboard/notifications.h"

#include <gtest/gtest.h>

#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::springboard {
namespace {

using timeline::Kind;
namespace msg = host::msg;

// A bulletin request built the way the system builds its lock-screen reminder bulletin.
objc::Id reminderBulletin(objc::Runtime& rt, const std::string& section) {
  objc::Id r = host::send(host::send(rt.getClass("BBBulletinRequest"), msg::alloc), msg::init);
  host::send(r, msg::setTitle, "Quorvel");
  host::send(r, msg::setMessage, "");
  host::send(r, msg::setSubtitle, "Missed Message!");
  host::send(r, msg::setSectionID, section);
  host::send(r, msg::setRecordID, section + "/banner");
  host::send(r, msg::setBulletinID, section);
  host::send(r, msg::setDefaultAction, nullptr);
  return r;
}

class DataProviderBulletins : public ::testing::Test {
 protected:
  explicit DataProviderBulletins(sim::WorldConfig config = {.release = "9.3", .startLocked = true})
      : world(std::move(config)) {}
  sim::World world;
  host::SimulatedHost& host = world.springBoard().host;
  timeline::Recorder recorder{world.timeline()};
  testing::TraceHooks trace{host.runtime()};
};

TEST_F(DataProviderBulletins, WhatIsNoBulletinShowsNothingAndABulletinWithoutSectionTakesItsProviders) {
  host.dataProviderAddBulletin(nullptr, nullptr, false);
  host.dataProviderAddBulletin(nullptr, world.home().userAgent, true);
  EXPECT_EQ(recorder.count(Kind::LockScreenBulletin), 0u);
  objc::Runtime& rt = host.runtime();
  objc::Class* provider = rt.defineClass("TestDataProvider", rt.rootClass());
  rt.addMethod<std::string()>(provider, msg::sectionIdentifier.sel,
                              [](void*, objc::Object*, objc::Sel) { return std::string("com.apple.mobilemail"); });
  objc::Id bulletin = reminderBulletin(rt, "");
  host.dataProviderAddBulletin(provider->instantiate().get(), bulletin, false);
  EXPECT_EQ(recorder.count(Kind::LockScreenBulletin, "com.apple.mobilemail"), 1u);
}

class DataProviderBulletinsIos10 : public DataProviderBulletins {
 protected:
  DataProviderBulletinsIos10() : DataProviderBulletins({.release = "10.2"}) {}
};

TEST_F(DataProviderBulletinsIos10, ToLockScreenPostsThroughTheDispatcherToTheLockScreenEvenUnlocked) {
  trace.onWithArguments<msg::publishBulletin>("BBServer", "publish");
  trace.onWithArguments<msg::postNotificationWithRequest>("NCNotificationDispatcher", "post");
  trace.onWithArguments<msg::postNotificationRequestCoalesced>("SBDashBoardNotificationDispatcher", "dashboard");
  host.dataProviderAddBulletin(nullptr, reminderBulletin(host.runtime(), "com.viber"), true);
  EXPECT_EQ(trace.trace(), "publish(11,YES) post dashboard");
  EXPECT_EQ(recorder.count(Kind::LockScreenBulletin, "com.viber"), 1u);
  EXPECT_EQ(recorder.count(Kind::Banner, "com.viber"), 1u) << "unlocked, it shows as a banner too";
}

class HomeScreenApplications : public ::testing::Test {
 protected:
  explicit HomeScreenApplications(sim::WorldConfig config = {.release = "9.3"}) : world(std::move(config)) {}
  sim::World world;
  Notifications& notes = world.notifications();
  timeline::Recorder recorder{world.timeline()};
  testing::TraceHooks trace{world.springBoard().host.runtime()};
};

TEST_F(HomeScreenApplications, InstallingAddsTheAppThenTellsInstalledAppsAndRestrictions) {
  trace.onWithArguments<msg::applicationsAdded>("SBApplicationController", "added");
  trace.onWithArguments<msg::sendInstalledAppsDidChange>("SBApplicationController", "installed");
  trace.onWithArguments<msg::noteApplicationIdentifiersDidChange>("SBApplicationRestrictionController", "restrictions");
  notes.installApp("com.example.Notes", "Notes");
  EXPECT_EQ(trace.trace(), "added installed restrictions");
  EXPECT_EQ(world.home().displayName("com.example.Notes"), "Notes");
  trace.clear();
  notes.installApp("com.example.Notes", "Notes");
  EXPECT_EQ(trace.trace(), "installed restrictions") << "an update adds nothing";
  EXPECT_EQ(host::send(notes.applications().application("com.viber"), msg::bundleIdentifier), "com.viber");
}

// The home screen remembers the icon it last looked up: an update and other apps in between
// must still give each app's current name.
TEST_F(HomeScreenApplications, ANameLookedUpAgainFollowsAnUpdateAndOtherApps) {
  HomeScreen& home = world.home();
  home.installApp("com.example.Notes", "Notes");
  home.installApp("com.example.Mail", "Mail");
  EXPECT_EQ(home.displayName("com.example.Notes"), "Notes");
  home.installApp("com.example.Notes", "Notes Pro");
  EXPECT_EQ(home.displayName("com.example.Notes"), "Notes Pro");
  EXPECT_EQ(home.displayName("com.example.Mail"), "Mail");
  EXPECT_EQ(home.displayName("com.example.Mai"), std::nullopt) << "a prefix of the last is another app";
  home.setBadge("com.example.New", 1);
  EXPECT_EQ(home.displayName("com.example.New"), "com.example.New");
  ASSERT_NE(home.displayNameOf("com.example.Notes"), nullptr);
  EXPECT_EQ(*home.displayNameOf("com.example.Notes"), "Notes Pro");
  EXPECT_EQ(home.displayNameOf("com.example.Unknown"), nullptr);
}

TEST_F(HomeScreenApplications, AFiredLocalNotificationReachesTheClientThenTheAppThenIsPublished) {
  trace.onWithArguments<msg::fireNotification>("UNLocalNotificationClient", "client");
  trace.onWithArguments<msg::fireNotification>("SBApplication", "app");
  trace.onWithArguments<msg::publishBulletin>("BBServer", "publish");
  notes.deliver({.bundleId = "net.whatsapp.WhatsApp",
                 .message = "Missed call",
                 .localPayload = pl::Dict{{"missed-call-jid", "4915112345@s.whatsapp.net"}},
                 .badge = 2,
                 .firedLocalNotification = true});
  EXPECT_EQ(trace.trace(), "client app publish(11,NO)");
  EXPECT_EQ(world.home().badge("net.whatsapp.WhatsApp"), 2);
  std::vector<std::string> order;
  for (const timeline::Event& e : recorder.events())
    if (e.kind == Kind::Badge || e.kind == Kind::NotificationPosted) order.push_back(timeline::kindName(e.kind));
  EXPECT_EQ(order, (std::vector<std::string>{"badge", "notification-posted"}))
      << "the badge is set before the notification arrives";
}

TEST_F(HomeScreenApplications, BadInputGetsAClearError) {
  EXPECT_THROW(notes.deliver({.title = "no app"}), std::invalid_argument);
  EXPECT_FALSE(notes.actOn(NotificationHandle{}));
  sim::World ios10;
  EXPECT_THROW(ios10.notifications().addCard("com.apple.Passbook"), std::logic_error);
}

TEST(NotificationClasses, EachSystemRangeHasItsOwnAndAppProcessesHaveNone) {
  struct Presence {
    const char* name;
    bool onIos9, onIos10;
  };
  // clang-format off
  const Presence classes[] = {
      {"BBBulletin", true, true}, {"BBBulletinRequest", true, true}, {"BBAction", true, true},
      {"BBServer", true, true}, {"SBBannerController", true, true}, {"SBBulletinBannerController", true, true},
      {"SBBannerContextView", true, true}, {"SBApplication", true, true}, {"SBApplicationController", true, true},
      {"SBApplicationRestrictionController", true, true},
      {"SBLockScreenNotificationListController", true, false}, {"SBAwayBulletinListItem", true, false},
      {"SBSnoozedAlarmListItem", true, false}, {"SBAwayCardListItem", true, false},
      {"UNLocalNotificationClient", true, false},
      {"NCNotificationDispatcher", false, true}, {"NCBulletinNotificationSource", false, true},
      {"NCBulletinActionRunner", false, true}, {"SBDashBoardNotificationDispatcher", false, true},
      {"NCNotificationPriorityListViewController", false, true}, {"UNSUserNotificationServer", false, true},
  };
  // clang-format on
  sim::World ios9({.release = "9.3"});
  sim::World ios10({.release = "10.0"});
  objc::Runtime& rt9 = ios9.springBoard().host.runtime();
  objc::Runtime& rt10 = ios10.springBoard().host.runtime();
  objc::Runtime& app = ios10.startProcess("net.whatsapp.WhatsApp", "WhatsApp").host.runtime();
  for (const Presence& c : classes) {
    EXPECT_EQ(rt9.getClass(c.name) != nullptr, c.onIos9) << c.name;
    EXPECT_EQ(rt10.getClass(c.name) != nullptr, c.onIos10) << c.name;
    EXPECT_EQ(app.getClass(c.name), nullptr) << c.name;
  }
}

}  // namespace
}  // namespace qv::springboard
