#include "platform/springboard/notification_dispatch.h"

#include <gtest/gtest.h>

#include "platform/plist/keyed_archive.h"
#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::springboard {
namespace {

using timeline::Kind;
namespace msg = host::msg;

using testing::kAnna;

class RequestDispatch : public ::testing::Test {
 protected:
  sim::World world{{.release = "10.3", .startLocked = true}};
  Notifications& notes = world.notifications();
  timeline::Recorder recorder{world.timeline()};
  testing::TraceHooks trace{world.springBoard().host.runtime()};
  std::string opened;

  RequestDispatch() {
    notes.openApp = [this](const std::string& bundleId) { opened = bundleId; };
  }

  void watchPosting() {
    trace.onWithArguments<msg::observerAddBulletinPlayLights>("NCBulletinNotificationSource", "source");
    trace.onWithArguments<msg::postNotificationWithRequest>("NCNotificationDispatcher", "post");
    trace.onWithArguments<msg::postNotificationRequestCoalesced>("SBDashBoardNotificationDispatcher", "dashboard");
    trace.onWithArguments<msg::insertNotificationRequestCoalesced>("NCNotificationPriorityListViewController",
                                                                   "insertVC");
    trace.onWithArguments<msg::modifyNotificationRequestCoalesced>("NCNotificationPriorityListViewController",
                                                                   "modifyVC");
    trace.onWithArguments<msg::insertNotificationRequest>("NCNotificationPriorityList", "insertList");
    trace.onWithArguments<msg::presentNotificationViewController>("SBNotificationBannerDestination", "banner");
    trace.onWithArguments<msg::willPresentNotificationRequest>("NCNotificationAlertQueue", "alertQueue");
    trace.onWithArguments<msg::insertNotificationRequestCoalesced>("NCNotificationListViewController", "centreVC");
    trace.onWithArguments<msg::insertNotificationRequest>("NCNotificationChronologicalList", "centreList");
  }
  void watchClearing() {
    trace.onWithArguments<msg::requestsClearingNotificationRequests>("NCBulletinNotificationSource", "clear");
    trace.onWithArguments<msg::observerRemoveBulletin>("NCBulletinNotificationSource", "removeBulletin");
    trace.onWithArguments<msg::removeNotificationRequestCoalesced>("NCNotificationPriorityListViewController",
                                                                   "removeVC");
    trace.onWithArguments<msg::destinationPerformAction>("SBDashBoardNotificationDispatcher", "perform");
    trace.onWithArguments<msg::executeAction>("NCBulletinActionRunner", "execute");
  }
  objc::Id requestOf(NotificationHandle h) { return notes.dispatch()->requestFor(notes.bulletinOf(h).get()); }
};

TEST_F(RequestDispatch, LockedPostReachesTheLockScreenThroughEachOfItsMethods) {
  watchPosting();
  notes.deliver(kAnna);
  EXPECT_EQ(trace.trace(), "source(8,YES) post dashboard insertVC insertList");
  EXPECT_EQ(recorder.count(Kind::LockScreenBulletin, "net.whatsapp.WhatsApp"), 1u);
  EXPECT_EQ(recorder.count(Kind::Banner), 0u);
  trace.clear();
  world.home().unlock();
  EXPECT_EQ(trace.trace(), "centreVC centreList") << "unlocking hands the lock screen's requests to the centre";
  EXPECT_TRUE(notes.lockScreenItems().empty());
  EXPECT_EQ(notes.notificationCentreItems().size(), 1u);
}

TEST_F(RequestDispatch, AppInFrontIsAskedFirstAndGetsNoBanner) {
  world.home().unlock();
  notes.activateApp("net.whatsapp.WhatsApp");
  trace.onWithArguments<msg::willPresentNotification>("UNSUserNotificationServer", "willPresent");
  watchPosting();
  notes.deliver(kAnna);
  EXPECT_EQ(trace.trace(), "willPresent(net.whatsapp.WhatsApp) source(1,YES) post centreVC centreList");
  EXPECT_EQ(recorder.count(Kind::Banner), 0u);
}

TEST_F(RequestDispatch, ClearingGoesBackThroughTheSourceAndTheServerToTheLockScreen) {
  watchClearing();
  NotificationHandle h = notes.deliver(kAnna);
  ASSERT_TRUE(notes.removeFromLockScreen(h));
  EXPECT_EQ(trace.trace(), "clear removeBulletin removeVC");
  EXPECT_TRUE(notes.lockScreenItems().empty());
  EXPECT_EQ(notes.server().bulletinCount(), 0u);
  EXPECT_FALSE(notes.removeFromLockScreen(h));
  EXPECT_FALSE(notes.actOn(h));
}

TEST_F(RequestDispatch, APostUnderAListedIdUpdatesTheLockScreenEntry) {
  watchPosting();
  Bulletins& b = notes.bulletins();
  notes.server().publish(
      b.makeRequest({.sectionID = "com.viber", .subtitle = "Missed Call!", .bulletinID = "com.viber"}),
      kAllDestinations, false);
  notes.server().publish(
      b.makeRequest({.sectionID = "com.viber", .subtitle = "Missed Message!", .bulletinID = "com.viber"}),
      kAllDestinations, false);
  EXPECT_EQ(trace.trace(), "source(8,YES) post dashboard insertVC insertList source(8,YES) post dashboard modifyVC");
  ASSERT_EQ(notes.lockScreenItems().size(), 1u);
  EXPECT_EQ(notes.lockScreenItems()[0].subtitle, "Missed Message!");
}

TEST_F(RequestDispatch, TheCentreKeepsTheLaterPostUnderAnIdWhenTheEarlierIsWithdrawn) {
  world.home().unlock();
  Bulletins& b = notes.bulletins();
  objc::Id first = b.makeRequest({.sectionID = "com.viber", .subtitle = "Missed Call!", .bulletinID = "com.viber"});
  objc::Id second =
      b.makeRequest({.sectionID = "com.viber", .subtitle = "Missed Message!", .bulletinID = "com.viber"});
  notes.server().publish(first, kAllDestinations, false);
  notes.server().publish(second, kAllDestinations, false);
  ASSERT_EQ(notes.notificationCentreItems().size(), 1u);
  notes.server().withdraw(first);
  ASSERT_EQ(notes.notificationCentreItems().size(), 1u) << "the entry under the id is the later post's";
  EXPECT_EQ(notes.notificationCentreItems()[0].subtitle, "Missed Message!");
  notes.server().withdraw(second);
  EXPECT_TRUE(notes.notificationCentreItems().empty());
}

TEST_F(RequestDispatch, FullScreenAlertActsOnlyThroughItsPrimaryButton) {
  trace.onWithArguments<msg::presentFullscreenBulletinAlert>("SBLockScreenViewController", "fullscreen");
  trace.onWithArguments<msg::handlePrimaryActionForView>("SBDashBoardFullscreenNotificationViewController", "primary");
  trace.onWithArguments<msg::lockButtonPressed>("SBDashBoardFullscreenNotificationViewController", "lockButton");
  trace.onWithArguments<msg::executeAction>("NCBulletinActionRunner", "execute");
  const IncomingNotification alarm{.bundleId = "com.apple.mobiletimer", .title = "Alarm", .fullscreen = true};
  notes.deliver(alarm);
  EXPECT_TRUE(notes.pressFullscreenButton(FullscreenButton::Lock));
  EXPECT_FALSE(notes.pressFullscreenButton(FullscreenButton::Primary)) << "the lock button took it away";
  notes.deliver(alarm);
  EXPECT_TRUE(notes.pressFullscreenButton(FullscreenButton::Primary));
  EXPECT_EQ(trace.trace(), "fullscreen lockButton fullscreen primary execute(BulletinDestinationLockScreen)");
  EXPECT_EQ(opened, "com.apple.mobiletimer");
  EXPECT_TRUE(notes.lockScreenItems().empty()) << "a full-screen alert is not listed";
}

TEST_F(RequestDispatch, ScrollingAndOpeningACentreSectionReachTheirMethods) {
  trace.onWithArguments<msg::notificationListViewControllerDidScroll>("SBDashBoardNotificationListViewController",
                                                                      "scrolled");
  trace.onWithArguments<msg::showRequestsForSection>("NCNotificationChronologicalList", "section");
  notes.scrollLockScreen();
  notes.showNotificationCentreSection("com.viber");
  EXPECT_EQ(trace.trace(), "scrolled section(com.viber,)");
}

}  // namespace
}  // namespace qv::springboard
