// The fire handlers on MissedHelper: the eleven fixed ones (reloadsmsTimer, reloadPhoneTimer,
// ...), each one fire's alerts followed by the repeat bookkeeping (re-arm while the category's
// active flag is set and its counter is below the limit, otherwise end), and reloadOtherTimer:,
// a listed app's alerts (its count and re-arm follow in the timer's fire hook). Each handler is
// a thin entry into the shared code, reading its keys from its row of kCategories. Main thread.
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

}  // namespace qv::alerts
