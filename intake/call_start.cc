#include "intake/call_start.h"

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/registry.h"

namespace qv::intake {

void startCallReminderFromCallState(core::Library& library) {
  using core::Category;
  library.explain("call", "call reminder started from call state (a call ended unanswered)");
  library.reminders.counter(Category::Call) = 1;
  library.reminders.activeFlag(Category::Call) = true;
  core::dropTimer(library, Category::Call);
  host::send(library.sharedHelper, core::hm::LoadPhoneTimer);
  host::send(library.sharedHelper, core::hm::addStatusBarForIdentifier, std::string("Call"));
}

}  // namespace qv::intake
