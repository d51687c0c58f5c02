// The blocks of the system's own apps: Call (phone and FaceTime), SMS and Mail.
#include "intake/app_blocks.h"

namespace qv::intake {
namespace {

using core::Category;
using core::Key;

bool badgeSet(Evaluation& ev) {
  if (appBadge(ev.library, ev.sectionID()) != 0) return true;
  ev.explain("refused: badge not set");
  return false;
}

}  // namespace

bool isCallSection(const Evaluation& ev) {
  return ev.sectionID() == kPhoneSection || ev.sectionID() == kFaceTimeSection;
}

// Calls start from call state on iOS 7 to 9; the publish rules only keep the notification for
// the lock-screen re-post.
void callBlock(Evaluation& ev) {
  switch (ev.entry) {
    case EntryPoint::Publish:
      saveActionAndContext(ev, Category::Call);
      ev.explain("saved for the lock screen; missed calls start from call state");
      break;
    case EntryPoint::Request:
      saveActionAndContext(ev, Category::Call);
      if (gate(ev, "call", {Key::globalCall})) replace(ev, Category::Call);
      break;
    default:
      break;
  }
}

// The same on both system ranges; the lock-screen add rules have no SMS block.
void smsBlock(Evaluation& ev) {
  if (ev.entry != EntryPoint::Publish && ev.entry != EntryPoint::Request) return;
  if (!gate(ev, "SMS", {Key::globalSMS})) return;
  const std::int64_t badge = appBadge(ev.library, ev.sectionID());
  if (badge == 0) {
    ev.explain("refused: badge not set");
    return;
  }
  ev.library.intake.smsBadgeSnapshot = clampedBadge(badge);
  if (ev.library.host.timeline().wantsDecisions())
    ev.explain("Messages badge ", std::to_string(ev.library.intake.smsBadgeSnapshot), " kept");
  saveActionAndContext(ev, Category::Sms);
  replace(ev, Category::Sms);
}

void mailBlock(Evaluation& ev) {
  // A new mail notification on iOS 10 first ends the running reminder, whatever the settings.
  if (ev.entry == EntryPoint::Request) clearIfRunning(ev, Category::Mail);
  if (!gate(ev, "mail", {Key::globalMail})) return;
  saveAction(ev, Category::Mail);
  if (ev.entry == EntryPoint::LockScreenAdd && running(ev.library, Category::Mail)) {
    ev.explain("mail already running: left as it is");
    return;
  }
  if (badgeSet(ev)) load(ev, Category::Mail);
}

}  // namespace qv::intake
