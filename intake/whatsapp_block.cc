// The WhatsApp block, and the rules for WhatsApp's local notifications fired in the home screen.
#include "intake/app_blocks.h"

namespace qv::intake {
namespace {

using core::Category;
using core::Key;

constexpr std::string_view kIncomingCallJid = "incoming-call-jid";
constexpr std::string_view kMissedCallJid = "missed-call-jid";
constexpr std::string_view kJid = "jid";
constexpr std::string_view kMissedCall = "missed-call";
constexpr std::string_view kMessage = "message";

bool callGate(Evaluation& ev) {
  return gate(ev, "missed call", {Key::globalIm, Key::imCalWats});
}
bool messageGate(Evaluation& ev) {
  return gate(ev, "message", {Key::globalIm, Key::imSMSWats});
}

// The local payload's rows are read only when there is no remote payload; "incoming-call-jid"
// is tested first.
void lockScreenAdd(Evaluation& ev) {
  if (ev.payloads.remote()) {
    if (ev.payloads.remoteApsCategory() == kMissedCall && callGate(ev)) {
      saveContext(ev, Category::WhatsAppCall);
      restart(ev, Category::WhatsAppCall);
    }
    return;
  }
  if (ev.payloads.localHas(kIncomingCallJid)) clearIfRunning(ev, Category::WhatsAppCall);
  if (ev.payloads.localHas(kMissedCallJid) && callGate(ev)) {
    saveContext(ev, Category::WhatsAppCall);
    restart(ev, Category::WhatsAppCall);
  }
  if (ev.payloads.localHas(kJid) && messageGate(ev)) {
    saveContext(ev, Category::WhatsAppMessage);
    restart(ev, Category::WhatsAppMessage);
  }
}

void request(Evaluation& ev) {
  const std::string_view category = ev.categoryIdentifier();
  if (category == kMissedCall) {
    clearIfRunning(ev, Category::WhatsAppCall);
    if (callGate(ev)) {
      saveContext(ev, Category::WhatsAppCall);
      markStartShow(ev, Category::WhatsAppCall);
    }
  } else if (category == kMessage) {
    saveContext(ev, Category::WhatsAppMessage);
    clearIfRunning(ev, Category::WhatsAppMessage);
    if (messageGate(ev)) markStartShow(ev, Category::WhatsAppMessage);
  }
  saveAction(ev, Category::WhatsAppCall);
}

}  // namespace

void whatsAppBlock(Evaluation& ev) {
  switch (ev.entry) {
    case EntryPoint::Publish:
      // Nothing starts here: the lock-screen add rules decide; this keeps what the re-post needs.
      saveAction(ev, Category::WhatsAppCall);
      if (ev.payloads.localHas(kMissedCallJid)) saveContext(ev, Category::WhatsAppCall);
      if (ev.payloads.localHas(kJid)) saveContext(ev, Category::WhatsAppMessage);
      ev.explain("saved for the lock screen; the lock-screen list decides");
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

void whatsAppLocalRules(Evaluation& ev, const pl::Dict* userInfo) {
  if (hasKey(userInfo, kIncomingCallJid)) clearIfRunning(ev, Category::WhatsAppCall);
  if (hasKey(userInfo, kMissedCallJid) && callGate(ev)) restart(ev, Category::WhatsAppCall);
  if (hasKey(userInfo, kJid) && messageGate(ev)) restart(ev, Category::WhatsAppMessage);
}

}  // namespace qv::intake
