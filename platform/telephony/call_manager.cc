#include "platform/telephony/call_manager.h"

#include "platform/host/messages.h"

namespace qv::telephony {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

const char* kindName(CallKind kind) {
  switch (kind) {
    case CallKind::Phone:
      return "phone";
    case CallKind::FaceTimeAudio:
      return "FaceTime audio";
    case CallKind::FaceTimeVideo:
      return "FaceTime video";
  }
  return "call";
}

const char* stateName(std::int64_t state) {
  switch (state) {
    case kNoCall:
      return "no call";
    case kRinging:
      return "a call ringing";
    case kConnecting:
      return "an outgoing call connecting";
    case kConnected:
      return "a call connected";
  }
  return "an unknown state";
}

}  // namespace

const char* outcomeName(CallOutcome outcome) {
  switch (outcome) {
    case CallOutcome::Completed:
      return "completed";
    case CallOutcome::Missed:
      return "missed";
    case CallOutcome::Declined:
      return "declined";
    case CallOutcome::Cancelled:
      return "cancelled";
    case CallOutcome::Unanswered:
      return "unanswered";
  }
  return "ended";
}

CallManager::CallManager(host::Host& home) : host_(home) {
  objc::Runtime& rt = home.runtime();
  objc::Class* cls = rt.defineClass("IMAVCallManager", rt.rootClass());
  if (!cls) return;
  manager_ = cls->instantiate();
  rt.addClassMethod<Id()>(
      cls, msg::sharedInstance.sel, [](void* ctx, Object*, Sel) { return static_cast<CallManager*>(ctx)->manager_; },
      this);
  // The manager's own work at a post is telling its observers; none of them is simulated.
  rt.addMethod<void(std::string, std::int64_t, std::int64_t, bool, std::int64_t)>(
      cls, msg::postStateChange.sel,
      [](void*, Object*, Sel, std::string, std::int64_t, std::int64_t, bool, std::int64_t) {});
}

Status CallManager::incomingCall(std::string caller, CallKind kind) {
  if (state_ != kNoCall) return refuse("take an incoming call");
  current_ = CallRecord{std::move(caller), kind, true, CallOutcome::Completed, host_.scheduler().now(), {}};
  note(std::string("incoming ") + kindName(kind) + " call from " + current_->party);
  changeState(kRinging);
  return Ok{};
}

Status CallManager::answer() {
  if (state_ != kRinging) return refuse("answer");
  note("answered");
  changeState(kConnected);
  return Ok{};
}

Status CallManager::decline() {
  if (state_ != kRinging) return refuse("decline");
  end(CallOutcome::Declined, "declined");
  return Ok{};
}

Status CallManager::callerHangsUp() {
  if (state_ != kRinging) return refuse("miss a call");
  end(CallOutcome::Missed, "missed");
  return Ok{};
}

Status CallManager::outgoingCall(std::string callee, CallKind kind) {
  if (state_ != kNoCall) return refuse("place a call");
  current_ = CallRecord{std::move(callee), kind, false, CallOutcome::Completed, host_.scheduler().now(), {}};
  note(std::string("outgoing ") + kindName(kind) + " call to " + current_->party);
  changeState(kConnecting);
  return Ok{};
}

Status CallManager::otherSideAnswers() {
  if (state_ != kConnecting) return refuse("have the other side answer");
  note("answered by " + current_->party);
  changeState(kConnected);
  return Ok{};
}

Status CallManager::hangUp() {
  if (state_ == kConnected) {
    end(CallOutcome::Completed, "ended");
  } else if (state_ == kConnecting) {
    end(CallOutcome::Cancelled, "cancelled");
  } else {
    return refuse("hang up");
  }
  return Ok{};
}

Status CallManager::noAnswer() {
  if (state_ != kConnecting) return refuse("go unanswered");
  end(CallOutcome::Unanswered, "not answered");
  return Ok{};
}

void CallManager::carryOver(const Kept& before) {
  state_ = before.state;
  current_ = before.current;
  history_ = before.history;
  if (current_) note(std::string("kept through the restart: ") + stateName(state_) + " (" + current_->party + ")");
}

void CallManager::changeState(std::int64_t to) {
  const std::int64_t from = state_;
  state_ = to;
  const auto type = static_cast<std::int64_t>(current_ ? current_->kind : CallKind::Phone);
  host::send(manager_, msg::postStateChange, std::string(kStateChangeName), from, to, false, type);
  host::send(manager_, msg::postStateChange, std::string(kStateChangeName), from, to, true, type);
}

void CallManager::end(CallOutcome outcome, std::string_view what) {
  CallRecord record = *current_;
  record.outcome = outcome;
  record.ended = host_.scheduler().now();
  note(std::string(what) + " (" + record.party + ")");
  changeState(kNoCall);
  current_.reset();
  history_.push_back(record);
  if (onCallEnded) onCallEnded(record);
}

Status CallManager::refuse(std::string_view what) const {
  return Error{"cannot " + std::string(what) + " with " + stateName(state_) +
               (current_ ? " (" + current_->party + ")" : std::string())};
}

void CallManager::note(const std::string& detail) {
  host_.timeline().record(host_.processName(), timeline::Kind::Host, "call", detail);
}

}  // namespace qv::telephony
