#include "appsignals/call_state.h"

#include <gtest/gtest.h>

#include "tests/alerts/alerts_test_support.h"

namespace qv::appsignals {
namespace {

using alerts::testing::writeAndLoad;
using namespace std::chrono_literals;
using alerts::testing::startReminder;
using core::Category;
using timeline::Kind;

class CallState : public alerts::testing::AlertWorld {
 protected:
  CallState() : AlertWorld({.start = {2026, 12, 7, 12, 0, 0}}) {}
  // The call manager announcing one change of state (process-local post unless `distributed`).
  void post(std::int64_t from, std::int64_t to, bool distributed = false) {
    objc::Id manager =
        host::send(world.springBoard().host.runtime().getClass("IMAVCallManager"), host::msg::sharedInstance);
    host::send(manager, host::msg::postStateChange, std::string("IMAVChatStateChangedNotification"), from, to,
               distributed, std::int64_t{0});
  }
};

TEST_F(CallState, AnUnansweredCallStartsTheReminderOneSecondLaterWithItsIconAndANewCallStopsItButLeavesTheIcon) {
  writeAndLoad(world, {{"showStatus", true}});
  const dispatch::Instant start = world.now();
  ASSERT_TRUE(world.calls().incomingCall("Anna"));
  ASSERT_TRUE(world.calls().callerHangsUp());
  world.runFor(999ms);
  EXPECT_EQ(helper.timer(Category::Call), nullptr);
  world.runFor(2ms);
  ASSERT_NE(helper.timer(Category::Call), nullptr);
  EXPECT_EQ(alerts::testing::trace(rec, start, {Kind::ReminderArmed, Kind::StatusIconShown}),
            "reminder-armed@1000 icon-shown@1000");
  EXPECT_EQ(lib.reminders.counter(Category::Call), 1);
  EXPECT_TRUE(lib.reminders.activeFlag(Category::Call));
  world.runFor(60s);
  EXPECT_EQ(rec.count(Kind::ReminderFired, "call"), 1u);
  lib.reminders.counter(Category::Call) = 3;
  ASSERT_TRUE(world.calls().outgoingCall("Ben"));
  EXPECT_EQ(helper.timer(Category::Call), nullptr);
  EXPECT_EQ(lib.reminders.counter(Category::Call), 1);
  EXPECT_FALSE(lib.reminders.activeFlag(Category::Call));
  EXPECT_TRUE(world.statusBar().items().isShown("quorvel.QVCALL")) << "the icon stays";
  EXPECT_NE(helper.statusBarItem(Category::Call), nullptr);
  world.runFor(5min);
  EXPECT_EQ(rec.count(Kind::ReminderFired), 1u) << "none after the first";
}

TEST_F(CallState, OtherChangesOnlyCallThroughAndTwoMissedCallsWithinASecondLeaveOneTimer) {
  startReminder(lib, Category::Call);
  const objc::Id running = helper.timer(Category::Call);
  post(0, 3);        // connected straight away
  post(0, 1, true);  // the distributed post of a ring
  post(1, 0, true);  // the distributed post of a missed call
  post(2, 0);        // an outgoing call given up
  world.runFor(2s);
  EXPECT_EQ(helper.timer(Category::Call), running);
  EXPECT_EQ(rec.count(Kind::ReminderArmed, "call"), 1u) << "only the start above";
  post(1, 0);
  world.runFor(500ms);
  post(1, 0);
  world.runFor(2s);
  EXPECT_EQ(rec.count(Kind::ReminderArmed, "call"), 3u);
  EXPECT_EQ(world.springBoard().foundation->armedTimers(), 1u);
}

TEST_F(CallState, SwitchesAndQuietHoursKeepTheReminderFromStarting) {
  for (const pl::Dict& values : {pl::Dict{{"globalCall", false}}, pl::Dict{{"globalEnabled", false}},
                                 pl::Dict{{"fromHour", 13}, {"toHour", 22}}}) {
    writeAndLoad(world, values);
    post(1, 0);
    world.runFor(2s);
    EXPECT_EQ(helper.timer(Category::Call), nullptr) << pl::Value(values).describe();
    writeAndLoad(world, {}, {"globalCall", "globalEnabled", "fromHour", "toHour"});
  }
  post(1, 0);
  world.runFor(2s);
  EXPECT_NE(helper.timer(Category::Call), nullptr) << "with the defaults back it starts";
}

}  // namespace
}  // namespace qv::appsignals
