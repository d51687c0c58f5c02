#include "platform/springboard/notification_dispatch.h"

#include <gtest/gtest.h>

#include "platform/plist/keyed_archive.h"
#include "sim/world.h"
#include "tests/platform/call_trace.h"

namespace qv::springboard {
namespace {

using timeline::Kind;
namespace msg = host::msg;

const IncomingNotification kAnna{.bundleId = "net.whatsapp.WhatsApp", .title = "Anna", .message = "hi"};

class RequestDispatch : public ::testing::Test {
 protected:
  sim::World world{{.release = "10.3", .startLocked = true}};
  Notifications& notes = world.notifications();
  timeline::Recorder recorder{world.timeline()};
  test_support::CallTrace trace{world.springBoard().host.runtime()};
  std::string opened;

  RequestDispatch() {
    notes.openApp = [this](const std::string& bundleId) { opened = bundleId; };
  }

  void watchPosting() {
    trace.watch("NCBulletinNotificationSource", msg::observerAddBulletinPlayLights, "source");
    trace.watch("NCNotificationDispatcher", msg::postNotificationWithRequest, "post");
    trace.watch("SBDashBoardNotificationDispatcher", msg::postNotificationRequestCoalesced, "dashboard");
    trace.watch("NCNotificationPriorityListViewController", msg::insertNotificationRequestCoalesced, "insertVC");
    trace.watch("NCNotificationPriorityListViewController", msg::modifyNotificationRequestCoalesced, "modifyVC");
    trace.watch("NCNotificationPriorityList", msg::insertNotificationRequest, "insertList");
    trace.watch("SBNotificationBannerDestination", msg::presentNotificationViewController, "banner");
    trace.watch("NCNotificationAlertQueue", msg::willPresentNotificationRequest, "alertQueue");
    trace.watch("NCNotificationListViewController", msg::insertNotificationRequestCoalesced, "centreVC");
    trace.watch("NCNotificationChronologicalList", msg::insertNotificationRequest, "centreList");
  }
  void watchClearing() {
    trace.watch("NCBulletinNotificationSource", msg::requestsClearingNotificationRequests, "clear");
    trace.watch("NCBulletinNotificationSource", msg::observerRemoveBulletin, "removeBulletin");
    trace.watch("NCNotificationPriorityListViewController", msg::removeNotificationRequestCoalesced, "removeVC");
    trace.watch("SBDashBoardNotificationDispatcher", msg::destinationPerformAction, "perform");
    trace.watch("NCBulletinActionRunner", msg::executeAction, "execute");
  }
  objc::Id requestOf(NotificationHandle h) { return notes.dispatch()->requestFor(notes.bulletinOf(h).get()); }
};

TEST_F(RequestDispatch, LockedPostReachesTheLockScreenThroughEachOfItsMethods) {
  watchPosting();
  notes.deliver(kAnna);
  EXPECT_EQ(trace.str(), "source(8,YES) post dashboard insertVC insertList");
  EXPECT_EQ(recorder.count(Kind::LockScreenBulletin, "net.whatsapp.WhatsApp"), 1u);
  EXPECT_EQ(recorder.count(Kind::Banner), 0u);
  trace.clear();
  world.home().unlock();
  EXPECT_EQ(trace.str(), "centreVC centreList") << "unlocking hands the lock screen's requests to the centre";
  EXPECT_TRUE(notes.lockScreenItems().empty());
  EXPECT_EQ(notes.notificationCentreItems().size(), 1u);
}

TEST_F(RequestDispatch, AppInFrontIsAskedFirstAndGetsNoBanner) {
  world.home().unlock();
  notes.activateApp("net.whatsapp.WhatsApp");
  trace.watch("UNSUserNotificationServer", msg::willPresentNotification, "willPresent");
  watchPosting();
  notes.deliver(kAnna);
  EXPECT_EQ(trace.str(), "willPresent(net.whatsapp.WhatsApp) source(1,YES) post centreVC centreList");
  EXPECT_EQ(recorder.count(Kind::Banner), 0u);
}

TEST_F(RequestDispatch, ClearingGoesBackThroughTheSourceAndTheServerToTheLockScreen) {
  watchClearing();
  NotificationHandle h = notes.deliver(kAnna);
  ASSERT_TRUE(notes.removeFromLockScreen(h));
  EXPECT_EQ(trace.str(), "clear removeBulletin removeVC");
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
  EXPECT_EQ(trace.str(), "source(8,YES) post dashboard insertVC insertList source(8,YES) post dashboard modifyVC");
  ASSERT_EQ(notes.lockScreenItems().size(), 1u);
  EXPECT_EQ(notes.lockScreenItems()[0].subtitle, "Missed Message!");
}

TEST_F(RequestDispatch, FullScreenAlertActsOnlyThroughItsPrimaryButton) {
  trace.watch("SBLockScreenViewController", msg::presentFullscreenBulletinAlert, "fullscreen");
  trace.watch("SBDashBoardFullscreenNotificationViewController", msg::handlePrimaryActionForView, "primary");
  trace.watch("SBDashBoardFullscreenNotificationViewController", msg::lockButtonPressed, "lockButton");
  trace.watch("NCBulletinActionRunner", msg::executeAction, "execute");
  const IncomingNotification alarm{.bundleId = "com.apple.mobiletimer", .title = "Alarm", .fullscreen = true};
  notes.deliver(alarm);
  EXPECT_TRUE(notes.pressFullscreenButton(FullscreenButton::Lock));
  EXPECT_FALSE(notes.pressFullscreenButton(FullscreenButton::Primary)) << "the lock button took it away";
  notes.deliver(alarm);
  EXPECT_TRUE(notes.pressFullscreenButton(FullscreenButton::Primary));
  EXPECT_EQ(trace.str(), "fullscreen lockButton fullscreen primary execute(BulletinDestinationLockScreen)");
  EXPECT_EQ(opened, "com.apple.mobiletimer");
  EXPECT_TRUE(notes.lockScreenItems().empty()) << "a full-screen alert is not listed";
}

TEST_F(RequestDispatch, ScrollingAndOpeningACentreSectionReachTheirMethods) {
  trace.watch("SBDashBoardNotificationListViewController", msg::notificationListViewControllerDidScroll, "scrolled");
  trace.watch("NCNotificationChronologicalList", msg::showRequestsForSection, "section");
  notes.scrollLockScreen();
  notes.showNotificationCentreSection("com.viber");
  EXPECT_EQ(trace.str(), "scrolled section(com.viber,)");
}

}  // namespace
}  // namespace qv::springboard
