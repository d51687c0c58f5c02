// The clear-signal channel's receiving end: one Darwin observer per clear notification, in the
// categories' table order (call, mail, then the messengers; none for SMS), each turning its
// notification into the category's clear operation on the shared MissedHelper. Registered once
// per process at start-up, never removed; callbacks arrive on the main queue.
//   appsignals::registerClearObservers(library);   // after the settings observer
#pragma once

#include "core/categories.h"

namespace qv::core {
class Library;
}

namespace qv::appsignals {

// Registers the ten clear observers in their order.
void registerClearObservers(core::Library& library);

// What the observer of `category`'s clear notification does when the notification arrives:
// call and mail clear at once; the others only while their reminder is pending (timer field
// set, or the status-bar item still shown after a repeat limit emptied the field).
void onClearNotification(core::Library& library, core::Category category);

}  // namespace qv::appsignals
