// The Viber block. On iOS 7 to 9 the category is the local payload's "category" when the
// bulletin carries a local payload, else the remote APS category; on iOS 10 the request's
// category identifier. Each entry point tests the rows in its own order (the tables below).
#include <array>
#include <span>

#include "intake/app_blocks.h"

namespace qv::intake {
namespace {

using core::Category;
using core::Key;

enum class ViberRow { IncomingCall, MissedCall, Message };

constexpr std::string_view categoryOf(ViberRow row) {
  switch (row) {
    case ViberRow::IncomingCall:
      return "CAT_INCOMING_CALL";
    case ViberRow::MissedCall:
      return "CAT_MISSED_CALL";
    case ViberRow::Message:
      return "CAT_INCOMING_MESSAGE";
  }
  return "";
}

constexpr std::array kPublishLocal = {ViberRow::IncomingCall, ViberRow::MissedCall, ViberRow::Message};
// A remote incoming call means nothing on iOS 7 to 9.
constexpr std::array kPublishRemote = {ViberRow::Message, ViberRow::MissedCall};
constexpr std::array kLockScreenLocal = {ViberRow::Message, ViberRow::IncomingCall, ViberRow::MissedCall};
constexpr std::array kLockScreenRemote = {ViberRow::Message, ViberRow::MissedCall};
constexpr std::array kRequest = {ViberRow::IncomingCall, ViberRow::MissedCall, ViberRow::Message};

Category categoryFor(ViberRow row) {
  return row == ViberRow::Message ? Category::ViberMessage : Category::ViberCall;
}

bool rowGate(Evaluation& ev, ViberRow row) {
  return row == ViberRow::Message ? gate(ev, "message", {Key::ViperImMess})
                                  : gate(ev, "missed call", {Key::ViperImCall});
}

// One row's effect at one entry point; `local` says which payload the category came from.
void apply(Evaluation& ev, ViberRow row, bool local) {
  const Category c = categoryFor(row);
  if (row == ViberRow::IncomingCall) return clearIfRunning(ev, Category::ViberCall);
  switch (ev.entry) {
    case EntryPoint::Publish:
      if (!rowGate(ev, row)) return;
      if (local) {
        saveActionAndContext(ev, c);
        restart(ev, c);
      } else {
        startIfIdle(ev, c);
        saveActionAndContext(ev, c);
      }
      break;
    case EntryPoint::LockScreenAdd:
      if (!rowGate(ev, row)) return;
      startIfIdle(ev, c);
      saveContext(ev, c);
      break;
    case EntryPoint::Request:
      clearIfRunning(ev, c);
      if (!rowGate(ev, row)) return;
      saveActionAndContext(ev, c);
      markStartShow(ev, c);
      break;
    default:
      break;
  }
}

std::span<const ViberRow> rowOrder(EntryPoint entry, bool local) {
  switch (entry) {
    case EntryPoint::Publish:
      return local ? std::span<const ViberRow>(kPublishLocal) : std::span<const ViberRow>(kPublishRemote);
    case EntryPoint::LockScreenAdd:
      return local ? std::span<const ViberRow>(kLockScreenLocal) : std::span<const ViberRow>(kLockScreenRemote);
    case EntryPoint::Request:
      return kRequest;
    default:
      return {};
  }
}

}  // namespace

void viberBlock(Evaluation& ev) {
  const bool local = ev.ios7to9() && ev.payloads.local() != nullptr;
  const std::string_view category = ev.entry == EntryPoint::Request ? ev.categoryIdentifier()
                                    : local                         ? ev.payloads.localCategory()
                                                                    : ev.payloads.remoteApsCategory();
  for (ViberRow row : rowOrder(ev.entry, local)) {
    if (category != categoryOf(row)) continue;
    apply(ev, row, local);
    return;  // one category matches one row at most
  }
}

}  // namespace qv::intake
