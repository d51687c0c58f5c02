// The bulletin requests of the reminder banner and of the lock-screen reminder bulletin, built
// through BBBulletinRequest's setters in one fixed order (title, context, message, subtitle,
// the four identifiers, clearable, preview, the three dates, the default action). Main thread.
#pragma once

#include <string>

#include "platform/objc/runtime.h"
#include "platform/plist/value.h"

namespace qv::core {
class Library;
}

namespace qv::alerts {

// The banner's request: `message`, a preview, and a default action that opens the section's app.
objc::Id makeBannerRequest(core::Library& library, std::string message, const std::string& sectionId);

// The lock-screen request: empty message, `text` as subtitle, no preview, the saved action and
// context of the notification that started the reminder.
objc::Id makeLockScreenRequest(core::Library& library, const std::string& text, const std::string& sectionId,
                               const objc::Id& defaultAction, const pl::Value& context);

// [NSDate date]: the current instant as a property-list date.
pl::Value currentDate(core::Library& library);

}  // namespace qv::alerts
