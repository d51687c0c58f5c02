// The start and clear operations of the fixed categories. A start replaces any timer the
// category holds with a new one-shot timer at the category's interval; a clear stops the
// timer, resets the counter and active flag and hides the status-bar item. Main thread.
#pragma once

#include <string_view>

#include "core/categories.h"
#include "platform/objc/runtime.h"

namespace qv::core {

class Library;

// LoadsmsTimer, LoadPhoneTimer, LoadMailTimer and LoadImTimer: for one category.
void startCategory(Library& library, Category c);
// The category's clear operation (clearsmsTimer, ...).
void clearCategory(Library& library, Category c);
// Whether the category's timer field holds a timer (armed, or fired and not re-armed).
bool timerPresent(Library& library, Category c);
// Whether the category's status-bar item is still shown (a reminder that reached its repeat limit
// keeps it until it is cleared).
bool statusItemShown(Library& library, Category c);
// Whether a clear has anything to stop: an armed or spent timer, or an icon left standing.
bool reminderPending(Library& library, Category c);
// Whether the category's timer will still fire (a fired or invalidated timer will not).
bool timerArmed(Library& library, Category c);
// Invalidates and drops the category's timer without touching counter, flag or item.
void dropTimer(Library& library, Category c);

// A category's operations as selectors, interned once per process: the fire cycle re-arms with
// the start, each start arms its timer with the fire handler, and apps' clears send the clear.
struct CategorySelectors {
  objc::Sel startOperation;
  objc::Sel fireHandler;
  objc::Sel clearOperation;
};
const CategorySelectors& selectorsOf(Category c);

// The start and clear operations of every fixed category, on MissedHelper.
void registerRegistryOperations(Library& library, objc::Class* missedHelper);

}  // namespace qv::core
