// Intake on iOS 10: hooks on the notification dispatcher and the action runner. A posted request
// joins the library's waiting list and gets a serial queue "com.tarnwick.qvm", which hands the
// rules to the main queue; each hand-off decides the oldest waiting request, so requests are
// decided one at a time, in posting order, on main-thread state. Actions clear on the main queue.
#pragma once

#include <string>

#include "core/hooks.h"

namespace qv::intake {

inline constexpr const char* kRequestQueueLabel = "com.tarnwick.qvm";

// Decides the oldest waiting request (main queue); nothing when none waits.
void decideOldestWaitingRequest(core::Library& library);
// The action clearing for an action run from `origin` by `runner` (main queue).
void clearOnNotificationAction(core::Library& library, const std::string& origin, const objc::Id& runner);

// NCNotificationDispatcher postNotificationWithRequest:.
void postRequestHook(core::Library& library, const objc::Slot<void(objc::Id)>& previous, objc::Object* self,
                     objc::Sel sel, objc::Id request);
// NCBulletinActionRunner executeAction:fromOrigin:withParameters:completion:.
void executeActionHook(core::Library& library,
                       const objc::Slot<void(objc::Id, std::string, pl::Value, host::Block)>& previous,
                       objc::Object* self, objc::Sel sel, objc::Id action, std::string origin, pl::Value parameters,
                       host::Block completion);

}  // namespace qv::intake
