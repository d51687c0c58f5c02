// The classification rules' five entry points. Each first passes the common gate ("globalEnabled",
// and for the publish, lock-screen add and request rules `intakeReady`; the request rules also
// ignore the clock app), then walks its app blocks in its fixed order. Main thread: the request
// rules are handed to the main queue by the notification-centre hook. Decisions are explained on
// the timeline.
//   classifyPublishedBulletin(library, IntakeNotification{.sectionID = "com.viber", ...});
#pragma once

#include "core/library.h"
#include "intake/intake_notification.h"

namespace qv::intake {

// iOS 7 to 9: the bulletin server is about to publish a bulletin.
void classifyPublishedBulletin(core::Library& library, const IntakeNotification& note);
// iOS 7 to 9: the lock-screen list has added a bulletin.
void classifyLockScreenBulletin(core::Library& library, const IntakeNotification& note);
// iOS 10: the dispatcher posted a request.
void classifyNotificationRequest(core::Library& library, const IntakeNotification& note);
// Every system: a local notification fired; `userInfo` is its payload (null when it has none).
void classifyWhatsAppLocalNotification(core::Library& library, const pl::Dict* userInfo);
// One second after an unanswered call (scheduled by the call-state hook after its own checks):
// Mark Call, drop a running Call timer, LoadPhoneTimer, the "Call" item.
void startCallReminderFromCallState(core::Library& library);

}  // namespace qv::intake
