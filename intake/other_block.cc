// The Other block (apps listed in "otherApplications") and the Twitter block that follows it.
#include "indicators/other_app_item.h"
#include "intake/app_blocks.h"
#include "intake/other_apps_intake.h"

namespace qv::intake {
namespace {

using core::Key;

// iOS 7 to 9 starts by badge (a listed calendar starts without one); iOS 10 starts for every
// notification. Twitter always waits for its own block.
bool decidesToStart(Evaluation& ev) {
  if (ev.sectionID() == kTwitterSection) {
    ev.explain("no start for every Twitter notification; its own block decides");
    return false;
  }
  if (!ev.ios7to9()) return true;
  const bool badged = appBadge(ev.library, ev.sectionID()) != 0;
  if (badged || ev.sectionID() == kCalendarSection) return true;
  ev.explain("refused: badge not set");
  return false;
}

bool containsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
  for (std::string_view p : parts)
    if (text.find(p) != std::string_view::npos) return true;
  return false;
}

// A mention, a direct message or a new follower.
bool isTwitterInteraction(Evaluation& ev) {
  if (!ev.ios7to9()) return containsAny(ev.categoryIdentifier(), {"mention", "message.1", "followed"});
  const std::string_view s = stringEntry(ev.payloads.remote(), "S");
  return s == "mention" || containsAny(s, {"direct_message", "followed"});
}

void startAndShow(Evaluation& ev) {
  startListedAppReminder(ev);
  // Shown again whether or not the app was running, when it is missing or hidden.
  indicators::showOtherAppItem(ev.library, indicators::OtherItemCheck::Intake);
}

}  // namespace

bool isListedApp(const Evaluation& ev) {
  return ev.library.settings.listsApp(ev.sectionID());
}

void otherBlock(Evaluation& ev) {
  if (!gateWindowFirst(ev, "listed app", {Key::otherEnabled})) return;
  ev.otherGatesPassed = true;
  if (decidesToStart(ev)) startAndShow(ev);
}

bool isTwitterAfterOther(const Evaluation& ev) {
  return ev.otherGatesPassed && ev.sectionID() == kTwitterSection;
}

void twitterBlock(Evaluation& ev) {
  if (!isTwitterInteraction(ev)) {
    ev.explain("not a mention, direct message or follow");
    return;
  }
  startAndShow(ev);
}

}  // namespace qv::intake
