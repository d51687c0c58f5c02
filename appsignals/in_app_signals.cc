#include "appsignals/in_app_signals.h"

#include <string>

#include "core/library.h"

namespace qv::appsignals {

void postClearSignal(core::Library& library, const ClearSignal& signal) {
  if (!signal.processCheck.empty() && library.host.mainBundleIdentifier() != signal.processCheck) {
    library.explain(library.host.mainBundleIdentifier(),
                    "no clear signal: this is not " + std::string(signal.processCheck));
    return;
  }
  for (std::size_t i = 0; i < signal.postCount; ++i)
    library.host.notifyPost(core::info(signal.posts[i]).clearNotification);
}

void unreadCountChangedHook(core::Library& library, const objc::Slot<void(std::int64_t)>& previous, objc::Object* self,
                            objc::Sel sel, std::int64_t count) {
  // The count is taken as the 32-bit value the messaging framework hands over.
  const auto unread = static_cast<std::int32_t>(count);
  if (unread < library.intake.smsBadgeSnapshot) {
    library.explain("SMS", "unread count " + std::to_string(unread) + " fell below " +
                               std::to_string(library.intake.smsBadgeSnapshot) + ": messages read");
    objc::send<void()>(library.sharedHelper, objc::Sel::intern(core::info(Category::Sms).clearOperation));
    library.intake.smsBadgeSnapshot = 0;
  }
  previous(self, sel, count);
}

}  // namespace qv::appsignals
