// The Telegram and Threema blocks.
#include "intake/app_blocks.h"

namespace qv::intake {
namespace {

using core::Category;
using core::Key;

bool telegramGate(Evaluation& ev) {
  return gate(ev, "message", {Key::imSMSTeleg});
}
bool threemaGate(Evaluation& ev) {
  return gate(ev, "message", {Key::thremaIm});
}

// A Threema new message: the payload's "threema" dictionary has "cmd" "newmsg".
bool isNewMessage(const pl::Dict* payload) {
  return stringEntry(payload ? pl::findDict(*payload, "threema") : nullptr, "cmd") == "newmsg";
}

}  // namespace

void telegramBlock(Evaluation& ev) {
  switch (ev.entry) {
    case EntryPoint::Publish:
      saveActionAndContext(ev, Category::TelegramMessage);
      if (telegramGate(ev)) restart(ev, Category::TelegramMessage);
      break;
    case EntryPoint::Request:
      clearIfRunning(ev, Category::TelegramMessage);
      if (telegramGate(ev)) {
        saveActionAndContext(ev, Category::TelegramMessage);
        markStartShow(ev, Category::TelegramMessage);
      }
      break;
    default:
      break;
  }
}

// On iOS 7 to 9 the payload is the local one when the bulletin carries one, else the remote one;
// the lock-screen list leaves a running reminder alone for a remote new message.
void threemaBlock(Evaluation& ev) {
  switch (ev.entry) {
    case EntryPoint::Publish:
    case EntryPoint::LockScreenAdd: {
      if (!threemaGate(ev)) return;
      saveAction(ev, Category::ThreemaMessage);
      const pl::Dict* local = ev.payloads.local();
      if (!isNewMessage(local ? local : ev.payloads.remote())) {
        ev.explain("not a new message");
      } else if (ev.entry == EntryPoint::Publish || local) {
        restart(ev, Category::ThreemaMessage);
      } else {
        startIfIdle(ev, Category::ThreemaMessage);
      }
      break;
    }
    case EntryPoint::Request:
      clearIfRunning(ev, Category::ThreemaMessage);
      if (threemaGate(ev)) {
        saveAction(ev, Category::ThreemaMessage);
        markStartShow(ev, Category::ThreemaMessage);
      }
      break;
    default:
      break;
  }
}

}  // namespace qv::intake
