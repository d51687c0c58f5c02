#include "platform/springboard/lock_screen_list.h"

#include <gtest/gtest.h>

#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::springboard {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;
namespace msg = host::msg;

constexpr const char* kList = "SBLockScreenNotificationListController";
using testing::kAnna;
using testing::kBen;

class LockScreenRouting : public ::testing::Test {
 protected:
  sim::World world{{.release = "9.3", .startLocked = true}};
  Notifications& notes = world.notifications();
  timeline::Recorder recorder{world.timeline()};
  testing::TraceHooks trace{world.springBoard().host.runtime()};

  void watchRemovals() {
    trace.onWithArguments<msg::updateModelForRemovalOfItem>(kList, "model");
    trace.onWithArguments<msg::updateModelAndViewForRemovalOfItem>(kList, "view");
    trace.onWithArguments<msg::observerRemoveBulletin>(kList, "removeBulletin");
  }
  std::vector<std::string> titles(const std::vector<ShownNotification>& shown) {
    std::vector<std::string> out;
    for (const ShownNotification& s : shown) out.push_back(s.title);
    return out;
  }
};

TEST_F(LockScreenRouting, ViewLoadsWhenTheLockScreenAppearsAndUnlockHandsEachItemOverThroughTheRemovalStep) {
  ASSERT_TRUE(notes.lockScreenList()->viewLoaded()) << "the device started locked, so the list loaded at launch";
  trace.onWithArguments<msg::loadView>(kList, "load");
  trace.onWithArguments<msg::setInScreenOffMode>(kList, "screenOff");
  trace.onWithArguments<msg::removeItemsForNotificationCenterPresentation>(kList, "toCentre");
  trace.onWithArguments<msg::prepareForTeardown>(kList, "teardown");
  watchRemovals();
  notes.deliver(kAnna);
  notes.deliver(kBen);
  notes.addCard("com.apple.Passbook");
  world.home().unlock();
  EXPECT_EQ(trace.trace(), "screenOff(NO) toCentre model(NO) model(NO) model(NO) teardown")
      << "one removal per item, every kind, without a view update";
  EXPECT_TRUE(notes.lockScreenItems().empty());
  EXPECT_EQ(titles(notes.notificationCentreItems()), (std::vector<std::string>{"Ben", "Anna"}));
  trace.clear();
  world.home().lock();
  EXPECT_EQ(trace.trace(), "load screenOff(YES)");
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
  EXPECT_EQ(trace.trace(), "model(YES) view removeBulletin model(NO)") << "then the unlock hands Ben's over";
  EXPECT_EQ(opened, "net.whatsapp.WhatsApp");
  EXPECT_EQ(titles(notes.notificationCentreItems()), (std::vector<std::string>{"Ben"}));
  EXPECT_FALSE(notes.actOn(anna));
}

TEST_F(LockScreenRouting, ABulletinIdListedAlreadyReplacesOrModifiesItsItem) {
  trace.onWithArguments<msg::updateModelAndViewForAdditionOfItem>(kList, "addItem");
  trace.onWithArguments<msg::updateModelAndViewForReplacingItem>(kList, "replace");
  trace.onWithArguments<msg::updateModelAndViewForModificationOfItem>(kList, "modify");
  Bulletins& b = notes.bulletins();
  objc::Id first = b.makeRequest(
      {.sectionID = "com.viber", .title = "Quorvel", .subtitle = "Missed Call!", .bulletinID = "com.viber"});
  objc::Id second = b.makeRequest(
      {.sectionID = "com.viber", .title = "Quorvel", .subtitle = "Missed Message!", .bulletinID = "com.viber"});
  notes.server().publish(first, kAllDestinations, false);
  notes.server().publish(second, kAllDestinations, false);
  notes.server().publish(second, kAllDestinations, false);
  EXPECT_EQ(trace.trace(), "addItem replace modify");
  ASSERT_EQ(notes.lockScreenItems().size(), 1u);
  EXPECT_EQ(notes.lockScreenItems()[0].subtitle, "Missed Message!");
  EXPECT_EQ(recorder.count(Kind::LockScreenBulletin, "com.viber"), 3u);
}

}  // namespace
}  // namespace qv::springboard
