// Clearing in the home screen, on every system: opening a listed app clears its reminder and
// hides the shared Other item; every local notification the home screen fires for an app (and,
// on iOS 7 to 9, the local-notification client's) goes to the WhatsApp local-notification
// rules after the system fired it. Main thread.
#pragma once

#include "core/hooks.h"

namespace qv::intake {

// For an app the user opened: clear its Other reminder, hide and drop the shared Other item.
void clearOnAppActivation(core::Library& library, const objc::Object* application);

// SBApplication didAnimateActivation: the clearing first, then the system's own.
void didAnimateActivationHook(core::Library& library, const objc::Slot<void()>& previous, objc::Object* self,
                              objc::Sel sel);
// SBApplication and UNLocalNotificationClient _fireNotification:.
void fireNotificationHook(core::Library& library, const objc::Slot<void(objc::Id)>& previous, objc::Object* self,
                          objc::Sel sel, objc::Id notification);

}  // namespace qv::intake
