// The reminder's two bulletins. While unlocked, each fire shows a reminder banner that names
// the missed event and opens the app of its section identifier when tapped (skipped while
// another banner is on screen). At auto-lock every pending reminder is re-posted once to the
// lock screen with the default action and context of the notification that started it,
// published 0.7 s later with MissedHelper as the bulletin data provider. Every bulletin is
// titled "Quorvel" with record id <section id>"/banner", so intake can tell them apart.
// Main thread and main queue.
//   showReminderBanner(library, "Missed Call!", "com.apple.mobilephone");
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/objc/runtime.h"
#include "platform/plist/value.h"

namespace qv::core {
class Library;
struct CategoryInfo;
}

namespace qv::alerts {

inline constexpr std::string_view kBulletinTitle = "Quorvel";
inline constexpr std::string_view kRecordIdSuffix = "/banner";
inline constexpr std::uint64_t kBannerFeed = 2;
inline constexpr auto kPublishDelay = std::chrono::milliseconds(700);
// CoreFoundation versions that add the bulletin straight to the lock screen (both included).
inline constexpr double kLockScreenAddFrom = 1348.0;
inline constexpr double kLockScreenAddTo = 1348.22;

constexpr bool addsToLockScreen(double coreFoundationVersion) {
  return coreFoundationVersion >= kLockScreenAddFrom && coreFoundationVersion <= kLockScreenAddTo;
}

// The record identifier of every reminder bulletin of a section.
std::string reminderRecordId(std::string_view sectionId);
// The section a category's bulletins name: its iPad section on an iPad (FaceTime for calls).
const std::string& reminderSection(core::Library& library, const core::CategoryInfo& row);

// Shows a reminder banner with `message` for the app whose section identifier is `sectionId`.
void showReminderBanner(core::Library& library, std::string message, const std::string& sectionId);

// The lock-screen re-post: while locked, each armed category with a saved default action posts
// its lock-screen bulletin; every armed category's saved action is spent either way.
void repostToLockScreen(core::Library& library);

// Keeps the four values and publishes the lock-screen bulletin 0.7 s later on the main queue.
void postLockScreenBulletin(core::Library& library, std::string text, std::string sectionId, objc::Id defaultAction,
                            pl::Value context);

// Builds the lock-screen bulletin and adds it with MissedHelper as its data provider, whether or
// not the device is still locked (an unlocked device lists it in the notification centre).
void publishLockScreenBulletin(core::Library& library, const std::string& text, const std::string& sectionId,
                               const objc::Id& defaultAction, const pl::Value& context);

// MissedHelper's bulletin data-provider methods (sortDescriptors, bulletinsFilteredBy:…).
void registerDataProviderOperations(core::Library& library, objc::Class* missedHelper);

}  // namespace qv::alerts
