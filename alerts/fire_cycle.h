// The fire handlers on MissedHelper, thin entries into shared code that reads its keys from the
// category's row: the eleven fixed ones (reloadsmsTimer, ...) alert, then re-arm while the active
// flag is set and the counter is below the limit, else end; reloadOtherTimer: only alerts (a
// listed app's count and re-arm follow in the timer's fire hook). Main thread.
#pragma once

#include "core/categories.h"
#include "platform/objc/runtime.h"

namespace qv::core {
class Library;
}

namespace qv::alerts {

// One fire of a fixed category's reminder.
void fireFixedCategory(core::Library& library, core::Category category);
// One fire of a listed app's reminder; `timer` is the OtherTimerTest that fired.
void fireOtherApp(core::Library& library, const objc::Id& timer);

// The fixed fire handlers and reloadOtherTimer:, on MissedHelper.
void registerFireHandlers(core::Library& library, objc::Class* missedHelper);

}  // namespace qv::alerts
