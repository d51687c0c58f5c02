// The call reminder started from call state: one second after a call ended unanswered, the
// call-state hook schedules this on the main queue. It marks the call category, arms a fresh
// call reminder and shows the "Call" status-bar item. Main thread.
#pragma once

namespace qv::core {
class Library;
}

namespace qv::intake {

// Counter 1 and flag set, any held call timer dropped, LoadPhoneTimer, then the "Call" item.
void startCallReminderFromCallState(core::Library& library);

}  // namespace qv::intake
