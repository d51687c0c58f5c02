// The reminder banner a fire shows while the device is unlocked: a small banner that names the
// missed event and opens the app named by the section identifier when tapped. The fire cycle
// decides whether to show one; this only shows it. Main thread.
//   showReminderBanner(library, "Missed Call!", "com.apple.mobilephone");
#pragma once

#include <string>

namespace qv::core {
class Library;
}

namespace qv::alerts {

// Shows a reminder banner with `message` for the app whose section identifier is `sectionId`.
void showReminderBanner(core::Library& library, const std::string& message, const std::string& sectionId);

}  // namespace qv::alerts
