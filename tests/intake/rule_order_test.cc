// Rows whose outcome depends on the order of the tests in a block, on notifications that came
// before, or on the state a reminder was left in.
#include <gtest/gtest.h>

#include <limits>

#include "intake/classification.h"
#include "tests/intake/intake_test_support.h"

namespace qv::intake::testing {
namespace {

class RuleOrder : public ::testing::Test {
 protected:
  IntakeWorld w{{.release = "9.3"}};
};

TEST_F(RuleOrder, MessengerCallBackStartsOnlyAfterAnIncomingCall) {
  const IncomingNotification callBack{.bundleId = "com.facebook.Messenger", .remotePayload = aps("callback_message")};
  w.deliver({.bundleId = "com.facebook.Messenger", .localPayload = pl::Dict{{"type", "webrtc_incoming"}}});
  EXPECT_TRUE(w.lib.intake.messengerCallPending);
  w.deliver(callBack);
  EXPECT_EQ(w.effects(), "armed:Messenger call shown:quorvel.FBMCall | A:Messenger call C:Messenger call");
  w.rec.clear();
  w.deliver(callBack);
  EXPECT_FALSE(w.running(Category::MessengerCall) && w.rec.count(Kind::ReminderArmed) > 0)
      << "a second call-back has no incoming call before it";
}

TEST_F(RuleOrder, LocalNotificationRulesClearTheIncomingCallFirstAndMayStartBoth) {
  IntakeWorld ios10({.release = "10.3"});
  ios10.startAsIntakeDoes(Category::WhatsAppCall);
  ios10.rec.clear();
  const pl::Dict userInfo{{"incoming-call-jid", "1"}, {"missed-call-jid", "1"}, {"jid", "1"}};
  ios10.world.notifications().applications().fireLocalNotification(
      "com.example.other", ios10.world.notifications().bulletins().makeLocalNotification(userInfo));
  EXPECT_EQ(ios10.effects(),
            "cleared:WhatsApp call armed:WhatsApp call shown:quorvel.WHCall armed:WhatsApp message "
            "shown:quorvel.WHMess")
      << "any app's local notification; nothing is saved";
}

TEST_F(RuleOrder, ThreemaRemoteNewMessageOnTheLockScreenListLeavesARunningReminder) {
  w.startAsIntakeDoes(Category::ThreemaMessage);
  w.lib.reminders.counter(Category::ThreemaMessage) = 4;
  classifyLockScreenBulletin(
      w.lib, {.sectionID = "ch.threema.iapp",
              .context = pl::Dict{{"remoteNotification", pl::Dict{{"threema", pl::Dict{{"cmd", "newmsg"}}}}}}});
  EXPECT_EQ(w.lib.reminders.counter(Category::ThreemaMessage), 4);
}

TEST_F(RuleOrder, StartIfIdleStartsAgainOverASpentTimer) {
  // Start-if-idle and a spent timer.
  const IncomingNotification message{.bundleId = "com.viber", .remotePayload = aps("CAT_INCOMING_MESSAGE")};
  w.deliver(message);
  objc::send<void()>(w.lib.sharedHelper, objc::Sel::intern("clearViperCallTimer"));  // the pair's shared flag
  w.world.runFor(61s);
  ASSERT_EQ(w.rec.count(Kind::ReminderEnded, "Viber message"), 1u);
  ASSERT_TRUE(w.running(Category::ViberMessage)) << "the spent timer stays in its field";
  w.rec.clear();
  w.deliver(message);
  EXPECT_EQ(w.effects(), "armed:Viber message | A:Viber message C:Viber message") << "its icon never went";
}

TEST_F(RuleOrder, SmsBadgeIsKeptWithinZeroAndInt32Max) {
  // Badge values outside 32 bits.
  const std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();
  for (auto [badge, kept] : std::initializer_list<std::pair<std::int64_t, std::int64_t>>{
           {3, 3}, {-5, 0}, {int32Max + 1, int32Max}, {(std::int64_t{1} << 32) + 3, int32Max}}) {
    w.deliver({.bundleId = "com.apple.MobileSMS", .badge = badge});
    EXPECT_EQ(w.lib.intake.smsBadgeSnapshot, kept) << badge;
  }
}

}  // namespace
}  // namespace qv::intake::testing
