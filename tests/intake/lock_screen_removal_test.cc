// The removal rules: taking a notification off the lock-screen list of iOS 7 to 9 clears its
// reminder, most rows only while the device is locked.
#include <gtest/gtest.h>

#include "intake/lock_screen_intake.h"
#include "tests/intake/intake_test_support.h"

namespace qv::intake::testing {
namespace {

class LockScreenRemoval : public ::testing::Test {
 protected:
  LockScreenRemoval() { w.world.runUntilIdle(); }
  // Delivers a notification while locked and returns its handle with the recorder cleared.
  springboard::NotificationHandle listed(const IncomingNotification& n) {
    auto h = w.deliver(n);
    w.rec.clear();
    return h;
  }
  objc::Id itemOf(springboard::NotificationHandle h) {
    springboard::Notifications& n = w.world.notifications();
    return n.lockScreenList()->itemFor(n.bulletinOf(h).get());
  }
  bool remove(springboard::NotificationHandle h) {
    const bool removed = w.world.notifications().removeFromLockScreen(h);
    w.world.runUntilIdle();
    return removed;
  }
  IntakeWorld w{{.release = "9.3", .startLocked = true}};
};

TEST_F(LockScreenRemoval, AWhatsAppMissedCallClearsOnlyWhileLocked) {
  const IncomingNotification missedCall{.bundleId = "net.whatsapp.WhatsApp", .remotePayload = aps("missed-call")};
  objc::Id unlockedItem = itemOf(listed(missedCall));
  w.world.home().unlock();
  clearOnLockScreenRemoval(w.lib, unlockedItem);
  EXPECT_TRUE(w.running(Category::WhatsAppCall));
  w.world.home().lock();
  remove(listed(missedCall));
  EXPECT_FALSE(w.running(Category::WhatsAppCall));
  EXPECT_FALSE(w.world.statusBar().items().isShown("quorvel.WHCall"));
}

TEST_F(LockScreenRemoval, MailClearsLockedOrNotAndOtherItemKindsClearNothing) {
  w.startAsIntakeDoes(Category::Mail);
  w.startAsIntakeDoes(Category::Sms);
  springboard::Notifications& n = w.world.notifications();
  for (auto item :
       {n.addSnoozedAlarm(), n.addSnoozedAlarmBulletin("Wake"), n.addCard("com.apple.MobileSMS"), n.addSystemAlert()})
    remove(item);
  EXPECT_EQ(w.rec.count(Kind::ReminderCleared), 0u);
  objc::Id mail = itemOf(listed({.bundleId = "com.apple.mobilemail"}));
  w.world.home().unlock();
  clearOnLockScreenRemoval(w.lib, mail);
  EXPECT_FALSE(w.running(Category::Mail));
  EXPECT_TRUE(w.running(Category::Sms));
}

TEST_F(LockScreenRemoval, TheListControllerIsExportedOnceItLoadedItsView) {
  EXPECT_EQ(w.lib.exported.notificationListController, w.world.notifications().lockScreenList()->controller());
}

TEST_F(LockScreenRemoval, APhoneNotificationClearsThroughTheClearNotification) {
  auto call = listed({.bundleId = "com.apple.mobilephone"});
  remove(call);
  EXPECT_EQ(w.rec.count(Kind::DarwinPost, "com.tarnwick.missed.clearphoneTimer"), 1u);
}

TEST_F(LockScreenRemoval, GlobalSwitchOffClearsNothingAndTheListStillRemoves) {
  auto sms = listed({.bundleId = "com.apple.MobileSMS", .badge = 2});
  w.settings({{"globalEnabled", false}});
  EXPECT_TRUE(remove(sms));
  EXPECT_TRUE(w.running(Category::Sms));
  EXPECT_TRUE(w.world.notifications().lockScreenItems().empty());
}

TEST_F(LockScreenRemoval, AReminderThatReachedItsLimitLosesItsIconWithItsNotification) {
  // Icons left for good after a repeat limit.
  w.world.writeSettings({{"imCount", 1}});
  auto telegram = w.deliver({.bundleId = "ph.telegra.Telegraph"});
  w.world.runFor(61s);
  ASSERT_FALSE(w.running(Category::TelegramMessage));
  ASSERT_TRUE(w.world.statusBar().items().isShown("quorvel.TGMess"));
  remove(telegram);
  EXPECT_FALSE(w.world.statusBar().items().isShown("quorvel.TGMess"));
}

TEST_F(LockScreenRemoval, UnlockingHandsEachNotificationOverThroughTheRemovalRulesWhichClearOnlyMail) {
  // The unlock emptied the list without its removal step, so the Mail rule never saw it.
  listed({.bundleId = "com.apple.mobilemail", .badge = 1});
  listed({.bundleId = "com.apple.MobileSMS", .badge = 1});
  listed({.bundleId = "ph.telegra.Telegraph"});
  listed({.bundleId = "net.whatsapp.WhatsApp", .localPayload = pl::Dict{{"jid", "49"}}});
  ASSERT_TRUE(w.running(Category::Mail));
  w.world.home().unlock();
  w.world.runUntilIdle();
  EXPECT_EQ(
      w.effects(),
      "cleared:mail | A:SMS C:SMS A:mail A:WhatsApp call C:WhatsApp message A:Telegram message C:Telegram message");
  EXPECT_FALSE(w.world.statusBar().items().isShown("quorvel.QVMAIL"));
  EXPECT_EQ(w.world.notifications().notificationCentreItems().size(), 4u) << "every notification moved on";
}

}  // namespace
}  // namespace qv::intake::testing
