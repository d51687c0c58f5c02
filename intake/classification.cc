#include "intake/classification.h"

#include "core/registry.h"
#include "intake/app_blocks.h"

namespace qv::intake {
namespace {

using core::Category;

// The common gate of the three notification entry points.
bool commonGate(Evaluation& ev) {
  core::Library& lib = ev.library;
  if (!lib.settings.flag(core::Key::globalEnabled)) {
    ev.explain("nothing done: global switch off");
    return false;
  }
  if (!lib.intake.intakeReady) {
    ev.explain("nothing done: intake not ready yet (opens 10 s after launch)");
    return false;
  }
  if (ev.entry == EntryPoint::Request && ev.sectionID() == kClockSection) {
    ev.explain("ignored: clock notifications never start reminders");
    return false;
  }
  // The lock-screen reminder bulletins we post come back through the same steps as the apps'.
  if (isOwnReminderBulletin(ev.note)) {
    ev.explain("ignored: our own lock-screen reminder, not a new event");
    return false;
  }
  return true;
}

void walkBlocks(core::Library& library, EntryPoint entry, const IntakeNotification& note) {
  assertOnMainThread(library);
  Evaluation ev(library, entry, note);
  if (!commonGate(ev)) return;
  bool matched = false;
  for (const AppBlock& block : blockOrder(entry)) {
    if (!block.matches(ev)) continue;
    matched = true;
    ev.block = block.name;
    ev.explain("taken by this block");
    block.run(ev);
  }
  ev.block = {};
  if (!matched) ev.explain("no app block matches; nothing done");
}

}  // namespace

std::span<const AppBlock> blockOrder(EntryPoint entry) {
  switch (entry) {
    case EntryPoint::Publish:
      return kPublishOrder;
    case EntryPoint::LockScreenAdd:
      return kLockScreenAddOrder;
    case EntryPoint::Request:
      return kRequestOrder;
    default:
      return {};
  }
}

void classifyPublishedBulletin(core::Library& library, const IntakeNotification& note) {
  walkBlocks(library, EntryPoint::Publish, note);
}

void classifyLockScreenBulletin(core::Library& library, const IntakeNotification& note) {
  walkBlocks(library, EntryPoint::LockScreenAdd, note);
}

void classifyNotificationRequest(core::Library& library, const IntakeNotification& note) {
  walkBlocks(library, EntryPoint::Request, note);
}

void classifyWhatsAppLocalNotification(core::Library& library, const pl::Dict* userInfo) {
  const IntakeNotification note{.sectionID = std::string(kWhatsAppSection)};
  Evaluation ev(library, EntryPoint::WhatsAppLocal, note);
  if (!library.settings.flag(core::Key::globalEnabled)) {
    ev.explain("nothing done: global switch off");
    return;
  }
  ev.block = "WhatsApp";
  whatsAppLocalRules(ev, userInfo);
}

void startCallReminderFromCallState(core::Library& library) {
  const IntakeNotification note{.sectionID = std::string(kPhoneSection)};
  Evaluation ev(library, EntryPoint::CallState, note);
  if (!library.settings.flag(core::Key::globalEnabled)) {
    ev.explain("nothing done: global switch off");
    return;
  }
  ev.explain("started call after an unanswered call");
  mark(library, Category::Call);
  core::dropTimer(library, Category::Call);
  start(library, Category::Call);
  showItem(library, Category::Call);
}

}  // namespace qv::intake
