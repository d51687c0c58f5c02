// The home screen's call manager (IMAVCallManager) and the calls the simulated user makes and
// receives, each change of call state announced through the runtime. Main-queue use.
//   calls.incomingCall("Anna");  calls.callerHangsUp();   // posts 0→1 (false, true), 1→0 (…)
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/result.h"

namespace qv::telephony {

enum CallState : std::int64_t { kNoCall = 0, kRinging = 1, kConnecting = 2, kConnected = 3 };

// The `type` argument of the posts.
enum class CallKind : std::int64_t { Phone = 0, FaceTimeAudio = 1, FaceTimeVideo = 2 };

enum class CallOutcome { Completed, Missed, Declined, Cancelled, Unanswered };

struct CallRecord {
  std::string party;  // who called, or whom the user called
  CallKind kind = CallKind::Phone;
  bool incoming = true;
  CallOutcome outcome = CallOutcome::Completed;
  dispatch::Instant started{};
  dispatch::Instant ended{};
};

const char* outcomeName(CallOutcome outcome);

// Every change of call state is announced by two sends of
// _postStateChangeNamed:fromState:toState:postType:type:, first the process-local post (post
// type false), then the distributed one (post type true), so a hook sees both:
//   incoming: 0→1, answered: 1→3, hung up: 3→0, missed or declined: 1→0,
//   outgoing: 0→2, the other side answers: 2→3, cancelled or unanswered: 2→0.
// One call at a time; a request that does not fit the current call is refused with a message.
// What happened is told to `onCallEnded` (the simulator posts the Phone app's missed-call
// notification from there).
class CallManager {
 public:
  // Defines IMAVCallManager (sharedInstance) in the home screen's runtime.
  explicit CallManager(host::Host& home);
  CallManager(const CallManager&) = delete;
  CallManager& operator=(const CallManager&) = delete;

  // --- What happens, each announced through the call manager ---
  // A call comes in and rings (0→1).
  Status incomingCall(std::string caller, CallKind kind = CallKind::Phone);
  // The user answers the ringing call (1→3).
  Status answer();
  // The user declines the ringing call (1→0).
  Status decline();
  // The caller gives up before the user answers: a missed call (1→0).
  Status callerHangsUp();
  // The user calls someone (0→2).
  Status outgoingCall(std::string callee, CallKind kind = CallKind::Phone);
  // The other side answers the user's call (2→3).
  Status otherSideAnswers();
  // The connected call ends, from either side (3→0), or the user cancels an unanswered
  // outgoing call (2→0).
  Status hangUp();
  // The other side does not answer the user's call (2→0).
  Status noAnswer();

  // --- State ---
  std::int64_t state() const { return state_; }
  const std::optional<CallRecord>& currentCall() const { return current_; }
  const std::vector<CallRecord>& history() const { return history_; }
  // The name given to every post.
  static constexpr const char* kStateChangeName = "IMAVChatStateChangedNotification";

  std::function<void(const CallRecord&)> onCallEnded;

  // What outlives a restart of the home screen: the telephony service keeps the call and its
  // history, so a new manager takes them up as they were, posting nothing (no state changed).
  struct Kept {
    std::int64_t state = kNoCall;
    std::optional<CallRecord> current;
    std::vector<CallRecord> history;
  };
  Kept kept() const { return Kept{state_, current_, history_}; }
  // Given to a new manager before anything can call it; a call in progress is noted.
  void carryOver(const Kept& before);

 private:
  void changeState(std::int64_t to);
  void end(CallOutcome outcome, std::string_view what);
  Status refuse(std::string_view what) const;
  void note(const std::string& detail);

  host::Host& host_;
  objc::Id manager_;
  std::int64_t state_ = kNoCall;
  std::optional<CallRecord> current_;
  std::vector<CallRecord> history_;
};

}  // namespace qv::telephony
