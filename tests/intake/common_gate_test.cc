// The gate every entry point passes first, our own lock-screen reminders, and the explanations a
// tester reads to learn why a reminder did or did not start.
#include <gtest/gtest.h>

#include "intake/classification.h"
#include "tests/intake/intake_test_support.h"

namespace qv::intake::testing {
namespace {

class IntakeGate : public ::testing::Test {
 protected:
  IntakeWorld w{{.release = "10.3"}};
};

TEST_F(IntakeGate, BeforeIntakeOpensOnlyLocalNotificationsAndCallStateStart) {
  w.lib.intake.intakeReady = false;
  w.deliver({.bundleId = "ph.telegra.Telegraph", .categoryIdentifier = "message"});
  EXPECT_EQ(w.effects(), "");
  EXPECT_EQ(w.decisions("ph.telegra.Telegraph"),
            "request rules: nothing done: intake not ready yet (opens 10 s after launch)");
  w.world.notifications().applications().fireLocalNotification(
      "com.example.any", w.world.notifications().bulletins().makeLocalNotification({{"missed-call-jid", "49"}}));
  startCallReminderFromCallState(w.lib);
  EXPECT_EQ(w.effects(), "armed:WhatsApp call shown:quorvel.WHCall armed:call shown:quorvel.QVCALL");
}

TEST_F(IntakeGate, GlobalSwitchOffStartsNothingAnywhereButActingOnANotificationStillClears) {
  w.settings({{"globalEnabled", false}});
  w.world.notifications().openApp = {};  // the home screen's clear alone, not the opened app's
  w.deliver({.bundleId = "ph.telegra.Telegraph", .firedLocalNotification = true});
  w.deliver(
      {.bundleId = "net.whatsapp.WhatsApp", .localPayload = pl::Dict{{"jid", "49"}}, .firedLocalNotification = true});
  auto call = w.deliver({.bundleId = "com.apple.mobilephone"});
  startCallReminderFromCallState(w.lib);
  EXPECT_EQ(w.effects(), "");
  EXPECT_EQ(w.decisions("ph.telegra.Telegraph"), "request rules: nothing done: global switch off");
  w.startAsIntakeDoes(Category::Call);
  w.world.notifications().actOn(call, springboard::kOriginNotificationCentre);
  w.world.runUntilIdle();
  EXPECT_EQ(w.rec.count(Kind::DarwinPost, "com.tarnwick.missed.clearphoneTimer"), 1u);
}

TEST_F(IntakeGate, ClockNotificationsAreIgnoredEvenWhenListed) {
  w.settings({{"otherApplications", pl::Array{"com.apple.mobiletimer"}}});
  w.deliver({.bundleId = "com.apple.mobiletimer", .badge = 1});
  EXPECT_FALSE(w.lib.otherApps.activeOtherApps && !w.lib.otherApps.activeOtherApps->empty());
  EXPECT_EQ(w.decisions("com.apple.mobiletimer"), "request rules: ignored: clock notifications never start reminders");
}

TEST_F(IntakeGate, AFixedAppExplainsEachGateInOneLine) {
  w.settings({{"imSMSWats", false}});
  w.deliver({.bundleId = "net.whatsapp.WhatsApp", .categoryIdentifier = "message"});
  EXPECT_EQ(w.decisions("net.whatsapp.WhatsApp"),
            "request rules, WhatsApp: taken by this block / "
            "request rules, WhatsApp: message refused: \"imSMSWats\" is off");
  w.settings({{"imSMSWats", true}, {"fromHour", 8}, {"fromMin", 30}, {"toHour", 22}, {"toMin", 15}});
  w.rec.clear();
  w.deliver({.bundleId = "net.whatsapp.WhatsApp", .categoryIdentifier = "message"});
  EXPECT_EQ(w.decisions("net.whatsapp.WhatsApp"),
            "request rules, WhatsApp: taken by this block / "
            "request rules, WhatsApp: message refused: quiet hours: start window 08:30\u201322:15");
  IntakeWorld old({.release = "9.3"});
  old.startAsIntakeDoes(Category::ViberMessage);
  old.deliver({.bundleId = "com.viber", .remotePayload = aps("CAT_INCOMING_MESSAGE")});
  EXPECT_NE(old.decisions("com.viber").find("publish rules, Viber: Viber message already running: left as it is"),
            std::string::npos);
}

TEST_F(IntakeGate, OurOwnLockScreenReminderIsNoNewEvent) {
  // Our own lock-screen bulletins coming back as new events.
  for (const char* release : {"9.3", "10.3"}) {
    IntakeWorld locked({.release = release, .startLocked = true});
    locked.world.home().setBadge("com.apple.MobileSMS", 2);
    locked.startAsIntakeDoes(Category::Sms);
    locked.lib.reminders.counter(Category::Sms) = 3;
    springboard::Bulletins& b = locked.world.notifications().bulletins();
    objc::Id own = b.makeRequest({.sectionID = "com.apple.MobileSMS",
                                  .title = "Quorvel",
                                  .subtitle = "Missed Message!",
                                  .bulletinID = "com.apple.MobileSMS",
                                  .recordID = "com.apple.MobileSMS/banner",
                                  .actions = {{"default", b.makeAction("com.apple.MobileSMS")}}});
    locked.world.springBoard().host.dataProviderAddBulletin(locked.lib.sharedHelper.get(), own, false);
    locked.world.runUntilIdle();
    EXPECT_EQ(locked.lib.reminders.counter(Category::Sms), 3) << release;
    EXPECT_EQ(locked.lib.intake.savedDefaultAction[core::index(Category::Sms)], nullptr) << release;
    EXPECT_EQ(locked.world.notifications().lockScreenItems().size(), 1u) << "shown as the device shows it";
  }
}

}  // namespace
}  // namespace qv::intake::testing
