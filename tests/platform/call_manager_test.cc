#include "platform/telephony/call_manager.h"

#include <gtest/gtest.h>

#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::telephony {
namespace {

namespace msg = host::msg;

// Each post as "old>new" with "f" or "t" for its post type, and the call type when not 0.
class CallStatePosts : public ::testing::Test {
 protected:
  CallStatePosts() {
    hooks.on<msg::postStateChange>("IMAVCallManager", [](const std::string& name, std::int64_t from, std::int64_t to,
                                                         bool postType, std::int64_t type) {
      EXPECT_EQ(name, CallManager::kStateChangeName);
      return std::to_string(from) + ">" + std::to_string(to) + (postType ? "t" : "f") +
             (type ? "/" + std::to_string(type) : "");
    });
    calls.onCallEnded = [this](const CallRecord& r) { ended.push_back(r); };
  }

  sim::World world{testing::withoutLibrary()};
  CallManager& calls = world.calls();
  testing::TraceHooks hooks{world.springBoard().host.runtime()};
  std::vector<CallRecord> ended;
};

TEST_F(CallStatePosts, AnsweredCallPostsEachChangeLocallyThenDistributed) {
  ASSERT_TRUE(calls.incomingCall("Anna"));
  world.runFor(std::chrono::seconds(5));
  ASSERT_TRUE(calls.answer());
  world.runFor(std::chrono::minutes(3));
  ASSERT_TRUE(calls.hangUp());
  EXPECT_EQ(hooks.trace(), "0>1f 0>1t 1>3f 1>3t 3>0f 3>0t");
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].outcome, CallOutcome::Completed);
  EXPECT_EQ(ended[0].ended - ended[0].started, std::chrono::seconds(185));
  EXPECT_EQ(calls.state(), kNoCall);
}

TEST_F(CallStatePosts, UnansweredIncomingCallEndsFromRingingAsMissedOrDeclined) {
  ASSERT_TRUE(calls.incomingCall("Anna", CallKind::FaceTimeVideo));
  ASSERT_TRUE(calls.callerHangsUp());
  ASSERT_TRUE(calls.incomingCall("Bob"));
  ASSERT_TRUE(calls.decline());
  EXPECT_EQ(hooks.trace(), "0>1f/2 0>1t/2 1>0f/2 1>0t/2 0>1f 0>1t 1>0f 1>0t");
  ASSERT_EQ(ended.size(), 2u);
  EXPECT_EQ(ended[0].party, "Anna");
  EXPECT_EQ(ended[0].outcome, CallOutcome::Missed);
  EXPECT_EQ(ended[1].outcome, CallOutcome::Declined);
  EXPECT_EQ(calls.history().size(), 2u);
}

TEST_F(CallStatePosts, OutgoingCallConnectsThroughStateTwo) {
  ASSERT_TRUE(calls.outgoingCall("Carl"));
  ASSERT_TRUE(calls.otherSideAnswers());
  ASSERT_TRUE(calls.hangUp());
  ASSERT_TRUE(calls.outgoingCall("Dora"));
  ASSERT_TRUE(calls.hangUp());
  ASSERT_TRUE(calls.outgoingCall("Emil"));
  ASSERT_TRUE(calls.noAnswer());
  EXPECT_EQ(hooks.trace(), "0>2f 0>2t 2>3f 2>3t 3>0f 3>0t 0>2f 0>2t 2>0f 2>0t 0>2f 0>2t 2>0f 2>0t");
  ASSERT_EQ(ended.size(), 3u);
  EXPECT_FALSE(ended[1].incoming);
  EXPECT_EQ(ended[1].outcome, CallOutcome::Cancelled);
  EXPECT_EQ(ended[2].outcome, CallOutcome::Unanswered);
}

TEST_F(CallStatePosts, RequestThatDoesNotFitTheCallIsRefusedWithoutAPost) {
  Status answered = calls.answer();
  ASSERT_FALSE(answered);
  EXPECT_EQ(answered.error(), "cannot answer with no call");
  ASSERT_TRUE(calls.incomingCall("Anna"));
  ASSERT_TRUE(calls.answer());
  hooks.clear();
  Status second = calls.incomingCall("Bob");
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error(), "cannot take an incoming call with a call connected (Anna)");
  EXPECT_FALSE(calls.otherSideAnswers());
  EXPECT_FALSE(calls.callerHangsUp());
  EXPECT_EQ(hooks.trace(), "");
  EXPECT_EQ(calls.state(), kConnected);
}

}  // namespace
}  // namespace qv::telephony
