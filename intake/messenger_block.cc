// The Messenger block. An incoming call ("webrtc_incoming" locally, "accept_decline" on iOS 10)
// sets messengerCallPending; the call-back notification that follows it starts the call reminder.
#include "intake/app_blocks.h"

namespace qv::intake {
namespace {

using core::Category;
using core::Key;

constexpr std::string_view kIncomingCallType = "webrtc_incoming";
constexpr std::string_view kAcceptDecline = "accept_decline";

bool callGate(Evaluation& ev) {
  return gate(ev, "call-back", {Key::imCalFBMess});
}
bool messageGate(Evaluation& ev) {
  return gate(ev, "message", {Key::imSMSFBMess});
}

void incomingCall(Evaluation& ev) {
  ev.explain("incoming call seen; waiting for its call-back notification");
  ev.library.intake.messengerCallPending = true;
  clearIfRunning(ev, Category::MessengerCall);
}

// Publish: a call-back counts only after an incoming call.
void publishCallBack(Evaluation& ev) {
  if (!ev.library.intake.messengerCallPending) {
    ev.explain("call-back ignored: no incoming call came before it");
    return;
  }
  saveActionAndContext(ev, Category::MessengerCall);
  ev.library.intake.messengerCallPending = false;
  if (callGate(ev)) restart(ev, Category::MessengerCall);
}

void publishMessage(Evaluation& ev) {
  saveActionAndContext(ev, Category::MessengerMessage);
  if (messageGate(ev)) restart(ev, Category::MessengerMessage);
}

// Remote: call-back before message. Local: "type" first, then message, then call-back.
void publish(Evaluation& ev) {
  if (ev.payloads.remote()) {
    const std::string_view category = ev.payloads.remoteApsCategory();
    if (category == kMessengerCallBack) publishCallBack(ev);
    if (category == kMessengerReplyMute) publishMessage(ev);
    return;
  }
  if (stringEntry(ev.payloads.local(), "type") == kIncomingCallType) incomingCall(ev);
  const std::string_view category = ev.payloads.localApsCategory();
  if (category == kMessengerReplyMute) publishMessage(ev);
  if (category == kMessengerCallBack) publishCallBack(ev);
}

void lockScreenCallBack(Evaluation& ev) {
  if (!callGate(ev)) return;
  saveContext(ev, Category::MessengerCall);
  restart(ev, Category::MessengerCall);
}

void lockScreenAdd(Evaluation& ev) {
  if (ev.payloads.remote()) {
    const std::string_view category = ev.payloads.remoteApsCategory();
    if (category == kMessengerCallBack) lockScreenCallBack(ev);
    if (category == kMessengerReplyMute && messageGate(ev)) {
      saveContext(ev, Category::MessengerMessage);
      restart(ev, Category::MessengerMessage);
    }
    return;
  }
  if (stringEntry(ev.payloads.local(), "type") == kIncomingCallType) clearIfRunning(ev, Category::MessengerCall);
  const std::string_view category = ev.payloads.localApsCategory();
  if (category == kMessengerReplyMute) {
    saveContext(ev, Category::MessengerMessage);
    if (messageGate(ev)) restart(ev, Category::MessengerMessage);
  }
  if (category == kMessengerCallBack) lockScreenCallBack(ev);
}

// "accept_decline" first, then call-back, then message. The call-back shows its item before it
// starts the timer.
void request(Evaluation& ev) {
  const std::string_view category = ev.categoryIdentifier();
  if (category == kAcceptDecline) {
    incomingCall(ev);
  } else if (category == kMessengerCallBack) {
    clearIfRunning(ev, Category::MessengerCall);
    saveActionAndContext(ev, Category::MessengerCall);
    ev.library.intake.messengerCallPending = false;
    if (callGate(ev)) {
      ev.explain("started ", core::info(Category::MessengerCall).name);
      mark(ev.library, Category::MessengerCall);
      showItem(ev.library, Category::MessengerCall);
      start(ev.library, Category::MessengerCall);
    }
  } else if (category == kMessengerReplyMute) {
    clearIfRunning(ev, Category::MessengerMessage);
    if (messageGate(ev)) {
      saveActionAndContext(ev, Category::MessengerMessage);
      markStartShow(ev, Category::MessengerMessage);
    }
  }
}

}  // namespace

void messengerBlock(Evaluation& ev) {
  switch (ev.entry) {
    case EntryPoint::Publish:
      publish(ev);
      break;
    case EntryPoint::LockScreenAdd:
      lockScreenAdd(ev);
      break;
    case EntryPoint::Request:
      request(ev);
      break;
    default:
      break;
  }
}

}  // namespace qv::intake
