#include "core/registry.h"

#include <gtest/gtest.h>

#include "tests/alerts/alerts_test_support.h"
#include "tests/core/other_apps_test_support.h"

namespace qv::core {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;

class ReminderRegistry : public alerts::testing::AlertWorld {};

TEST_F(ReminderRegistry, StartingTwiceLeavesOneTimerCountedFromTheSecondStart) {
  host::send(lib.sharedHelper, hm::LoadsmsTimer);
  objc::Id first = helper.timer(Category::Sms);
  world.runFor(30s);
  host::send(lib.sharedHelper, hm::LoadsmsTimer);
  ASSERT_NE(helper.timer(Category::Sms), first);
  EXPECT_FALSE(host::send(first, host::msg::isValid));
  EXPECT_EQ(world.springBoard().foundation->armedTimers(), 1u);
  world.runFor(59s);
  EXPECT_TRUE(host::send(helper.timer(Category::Sms), host::msg::isValid));
}

TEST_F(ReminderRegistry, LoadImTimerMatchesItsArgumentExactly) {
  host::send(lib.sharedHelper, hm::LoadImTimer, "THreema");
  EXPECT_EQ(helper.timer(Category::ThreemaMessage), nullptr);
  host::send(lib.sharedHelper, hm::LoadImTimer, "Threema");
  ASSERT_NE(helper.timer(Category::ThreemaMessage), nullptr);
  EXPECT_EQ(host::send(helper.timer(Category::ThreemaMessage), host::msg::userInfo), pl::Value("Threema"));
  EXPECT_EQ(host::send(helper.timer(Category::ThreemaMessage), host::msg::loggingIdentifier), "com.tarnwick.missed");
}

TEST_F(ReminderRegistry, ClearResetsCounterAndSharedFlagOfThePair) {
  host::send(lib.sharedHelper, hm::LoadImTimer, "WhatsAppPhone");
  lib.reminders.counter(Category::WhatsAppMessage) = 4;
  lib.reminders.activeFlag(Category::WhatsAppCall) = true;
  objc::send<void()>(lib.sharedHelper, objc::Sel::intern("clearwhatsAppMessageTimer"));
  EXPECT_EQ(lib.reminders.counter(Category::WhatsAppMessage), 1);
  EXPECT_FALSE(lib.reminders.activeFlag(Category::WhatsAppCall));
  EXPECT_NE(helper.timer(Category::WhatsAppCall), nullptr) << "the partner's timer stays armed";
  EXPECT_EQ(rec.count(Kind::ReminderCleared), 0u) << "nothing was pending for the message category";
}

TEST_F(ReminderRegistry, ClearHidesTheItemAndUpdatesTheStatusBarOnlyWhenDirty) {
  objc::Runtime& rt = world.springBoard().host.runtime();
  objc::Class* itemClass = rt.defineClass("RecordingStatusItem", rt.rootClass());
  static std::string shown;
  shown.clear();
  rt.addMethod<void(bool)>(itemClass, host::msg::setVisible.sel, [](void*, objc::Object*, objc::Sel, bool visible) {
    shown += visible ? "shown " : "hidden ";
  });
  helper.statusBarItem(Category::Mail) = itemClass->instantiate();
  objc::send<void()>(lib.sharedHelper, objc::Sel::intern("clearMailTimer"));
  EXPECT_EQ(shown, "hidden ");
  EXPECT_EQ(helper.statusBarItem(Category::Mail), nullptr);
  EXPECT_EQ(rec.count(Kind::ReminderCleared, "mail"), 1u);
  lib.statusBar.statusBarDirty = true;
  objc::send<void()>(lib.sharedHelper, objc::Sel::intern("clearMailTimer"));
  EXPECT_FALSE(lib.statusBar.statusBarDirty) << "updateStatusbar ran";
  EXPECT_EQ(shown, "hidden ") << "no item, nothing hidden";
}

TEST_F(ReminderRegistry, MessengerIntervalArmsAllEightMessengerReminders) {
  world.writeSettings({{"imInt", 30}});
  world.runUntilIdle();
  for (const CategoryInfo& row : kCategories)
    if (!row.startArgument.empty()) host::send(lib.sharedHelper, hm::LoadImTimer, std::string(row.startArgument));
  EXPECT_EQ(rec.count(Kind::ReminderArmed), 8u);
  for (const auto& e : rec.ofKind(Kind::ReminderArmed)) EXPECT_EQ(e.detail, "next alert in 30 s") << e.subject;
  world.runFor(30s);
  EXPECT_EQ(rec.count(Kind::ReminderFired), 8u);
}

TEST_F(ReminderRegistry, AnIntervalOfCenturiesNeverComesDueInsteadOfFiringAtOnce) {
  world.writeSettings({{"smsInt", std::int64_t{99'999'999'999}},
                       {"phInt", std::int64_t{9'000'000'000'000'000'000}},
                       {"otherInt", std::int64_t{99'999'999'999}}});
  world.runUntilIdle();
  world.home().installApp("com.example.chat", "Chat", 1);
  lib.reminders.activeFlag(Category::Sms) = true;
  lib.reminders.activeFlag(Category::Call) = true;
  host::send(lib.sharedHelper, hm::LoadsmsTimer);
  host::send(lib.sharedHelper, hm::LoadPhoneTimer);
  testing::intakeStart(lib, "com.example.chat", "Chat");
  world.runFor(1h);
  EXPECT_EQ(rec.count(Kind::ReminderFired), 0u);
  EXPECT_TRUE(host::send(helper.timer(Category::Sms), host::msg::isValid));
  EXPECT_TRUE(host::send(helper.timer(Category::Call), host::msg::isValid));
  EXPECT_EQ(testing::liveChains(lib, "com.example.chat"), 1u) << "a listed app's timer too";
}

}  // namespace
}  // namespace qv::core
