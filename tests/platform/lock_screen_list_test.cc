#include "platform/springboard/lock_screen_list.h"

#include <gtest/gtest.h>

#include "sim/world.h"
#include "tests/platform/call_trace.h"

namespace qv::springboard {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;
namespace msg = host::msg;

constexpr const char* kList = "SBLockScreenNotificationListController";
const IncomingNotification kAnna{.bundleId = "net.whatsapp.WhatsApp", .title = "Anna", .message = "hi"};
const IncomingNotification kBen{.bundleId = "ph.telegra.Telegraph", .title = "Ben", .message = "yo"};

class LockScreenRouting : public ::testing::Test {
 protected:
  sim::World world{{.release = "9.3", .startLocked = true}};
  Notifications& notes = world.notifications();
  timeline::Recorder recorder{world.timeline()};
  test_support::CallTrace trace{world.springBoard().host.runtime()};

  void watchRemovals() {
    trace.watch(kList, msg::updateModelForRemovalOfItem, "model");
    trace.watch(kList, msg::updateModelAndViewForRemovalOfItem, "view");
    trace.watch(kList, msg::observerRemoveBulletin, "removeBulletin");
  }
  std::vector<std::string> titles(const std::vector<ShownNotification>& shown) {
    std::vector<std::string> out;
    for (const ShownNotification& s : shown) out.push_back(s.title);
    return out;
  }
};

TEST_F(LockScreenRouting, ViewLoadsWhenTheLockScreenAppearsAndUnlockHandsEachItemOverThroughTheRemovalStep) {
  ASSERT_TRUE(notes.lockScreenList()->viewLoaded()) << "the device started locked, so the list loaded at launch";
  trace.watch(kList, msg::loadView, "load");
  trace.watch(kList, msg::setInScreenOffMode, "screenOff");
  trace.watch(kList, msg::removeItemsForNotificationCenterPresentation, "toCentre");
  trace.watch(kList, msg::prepareForTeardown, "teardown");
  watchRemovals();
  notes.deliver(kAnna);
  notes.deliver(kBen);
  notes.addCard("com.apple.Passbook");
  world.home().unlock();
  EXPECT_EQ(trace.str(), "screenOff(NO) toCentre model(NO) model(NO) model(NO) teardown")
      << "one removal per item, every kind, without a view update";
  EXPECT_TRUE(notes.lockScreenItems().empty());
  EXPECT_EQ(titles(notes.notificationCentreItems()), (std::vector<std::string>{"Ben", "Anna"}));
  trace.clear();
  world.home().lock();
  EXPECT_EQ(trace.str(), "load screenOff(YES)");
}

TEST_F(LockScreenRouting, ActingOnAnItemRemovesItUnlocksAndOpensTheApp) {
  watchRemovals();
  std::string opened;
  notes.openApp = [&](const std::string& bundleId) {
    EXPECT_FALSE(world.home().locked()) << "the app opens only once the device is unlocked";
    opened = bundleId;
  };
  NotificationHandle anna = notes.deliver(kAnna);
  notes.deliver(kBen);
  ASSERT_TRUE(notes.actOn(anna));
  EXPECT_EQ(trace.str(), "model(YES) view removeBulletin model(NO)") << "then the unlock hands Ben's over";
  EXPECT_EQ(opened, "net.whatsapp.WhatsApp");
  EXPECT_EQ(titles(notes.notificationCentreItems()), (std::vector<std::string>{"Ben"}));
  EXPECT_FALSE(notes.actOn(anna));
}

TEST_F(LockScreenRouting, ABulletinIdListedAlreadyReplacesOrModifiesItsItem) {
  trace.watch(kList, msg::updateModelAndViewForAdditionOfItem, "addItem");
  trace.watch(kList, msg::updateModelAndViewForReplacingItem, "replace");
  trace.watch(kList, msg::updateModelAndViewForModificationOfItem, "modify");
  Bulletins& b = notes.bulletins();
  objc::Id first = b.makeRequest(
      {.sectionID = "com.viber", .title = "Quorvel", .subtitle = "Missed Call!", .bulletinID = "com.viber"});
  objc::Id second = b.makeRequest(
      {.sectionID = "com.viber", .title = "Quorvel", .subtitle = "Missed Message!", .bulletinID = "com.viber"});
  notes.server().publish(first, kAllDestinations, false);
  notes.server().publish(second, kAllDestinations, false);
  notes.server().publish(second, kAllDestinations, false);
  EXPECT_EQ(trace.str(), "addItem replace modify");
  ASSERT_EQ(notes.lockScreenItems().size(), 1u);
  EXPECT_EQ(notes.lockScreenItems()[0].subtitle, "Missed Message!");
  EXPECT_EQ(recorder.count(Kind::LockScreenBulletin, "com.viber"), 3u);
}

}  // namespace
}  // namespace qv::springboard
