// Intake on iOS 10: the hooks on the notification dispatcher and the bulletin action runner.
// A posted request is taken into the library's waiting list on the main thread and gets a
// serial queue "com.tarnwick.qvm" of its own, which hands the request rules to the main queue;
// each hand-off decides the oldest waiting request, so requests are decided one at a time, in
// the order they were posted, on the main thread's state. Actions clear on the main queue.
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
