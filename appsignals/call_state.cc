#include "appsignals/call_state.h"

#include <chrono>

#include "alerts/quiet_hours.h"
#include "core/library.h"
#include "core/registry.h"
#include "intake/classification.h"

namespace qv::appsignals {
namespace {

using core::Category;
constexpr auto kRestartDelay = std::chrono::seconds(1);

// The reminder stops but its "Call" icon stays until clearphoneTimer or a new start.
void stopCallReminderForNewCall(core::Library& library) {
  if (!core::timerPresent(library, Category::Call)) return;
  core::dropTimer(library, Category::Call);
  library.reminders.counter(Category::Call) = 1;
  library.reminders.activeFlag(Category::Call) = false;
  library.alerts.runOpen[core::index(Category::Call)] = false;
  library.record(timeline::Kind::ReminderEnded, core::info(Category::Call).name, "a new call began (icon stays)",
                 {{"category", std::string(core::info(Category::Call).id)}, {"reason", std::string("call-began")}});
}

void scheduleRestartAfterUnansweredCall(core::Library& library) {
  if (!alerts::alertGate(library)) {
    if (library.host.timeline().wantsDecisions())
      library.explain("call", "unanswered call refused: quiet hours: " +
                                  alerts::windowTextToday(library.host, alerts::activeWindow(library.settings)));
    return;
  }
  library.explain("call", "unanswered call: call reminder starts in 1 s");
  library.host.scheduler().after(library.host.mainQueue(), kRestartDelay,
                                 [&library] { intake::startCallReminderFromCallState(library); });
}

}  // namespace

void callStateChangedHook(core::Library& library,
                          const objc::Slot<void(std::string, std::int64_t, std::int64_t, bool, std::int64_t)>& previous,
                          objc::Object* self, objc::Sel sel, std::string name, std::int64_t fromState,
                          std::int64_t toState, bool postType, std::int64_t type) {
  previous(self, sel, std::move(name), fromState, toState, postType, type);
  if (postType) return;
  const bool enabled = library.settings.flag(core::Key::globalEnabled);
  const bool calls = library.settings.flag(core::Key::globalCall);
  if (!enabled || !calls) {
    library.explain("call", !enabled && !calls ? "call state ignored: \"globalEnabled\" and \"globalCall\" are off"
                            : !enabled         ? "call state ignored: \"globalEnabled\" is off"
                                               : "call state ignored: \"globalCall\" is off");
    return;
  }
  if (callStateHookQuiet(library.host.coreFoundationVersion())) {
    library.explain("call", "call state ignored on iOS 10.0 to 10.2");
    return;
  }
  if (fromState == 0 && (toState == 1 || toState == 2))
    stopCallReminderForNewCall(library);
  else if (fromState == 1 && toState == 0)
    scheduleRestartAfterUnansweredCall(library);
}

}  // namespace qv::appsignals
