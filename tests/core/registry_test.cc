#include "core/registry.h"

#include <gtest/gtest.h>

#include "core/helper_messages.h"
#include "core/missed_helper.h"
#include "sim/world.h"

namespace qv::core {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;

class ReminderRegistry : public ::testing::Test {
 protected:
  sim::World world;
  timeline::Recorder recorder{world.timeline()};
  Library& lib = world.library();
  MissedHelper& helper = lib.helper();
};

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
  EXPECT_EQ(recorder.count(Kind::ReminderCleared), 0u) << "nothing was pending for the message category";
}

}  // namespace
}  // namespace qv::core
