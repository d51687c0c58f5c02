// The lock-screen re-post and the publication of each lock-screen reminder bulletin.
#include <utility>

#include "alerts/banner.h"
#include "alerts/banner_request.h"
#include "alerts/home_state.h"
#include "alerts/localized_text.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "platform/host/messages.h"

namespace qv::alerts {

using core::Category;
using core::CategoryInfo;

void repostToLockScreen(core::Library& library) {
  if (!uiLocked(library)) {
    library.explain("lock screen", "no re-post: the device is not locked");
    return;
  }
  core::MissedHelper& helper = library.helper();
  for (Category c : core::kRepostOrder) {
    const CategoryInfo& row = core::info(c);
    if (!helper.timer(c)) continue;
    // Both WhatsApp categories share one saved action, so it serves whichever comes first.
    objc::Id& action = library.intake.savedDefaultAction[core::index(row.actionSlot)];
    if (action) {
      // The bulletin, when it comes, is this reminder's.
      timeline::AlertScope scope(library.host.timeline(), row.id, 0);
      pl::Value context = row.keepsContext ? library.intake.savedContext[core::index(c)] : pl::Value();
      postLockScreenBulletin(library, localizedText(library, row.message, row.message), reminderSection(library, row),
                             action, std::move(context));
    } else {
      library.explain(row.name, "no lock-screen bulletin: its notification's action was used already");
    }
    action = nullptr;
  }
}

void postLockScreenBulletin(core::Library& library, std::string text, std::string sectionId, objc::Id defaultAction,
                            pl::Value context) {
  library.host.scheduler().after(
      library.host.mainQueue(), kPublishDelay,
      [&library, text = std::move(text), sectionId = std::move(sectionId), action = std::move(defaultAction),
       context = std::move(context)] { publishLockScreenBulletin(library, text, sectionId, action, context); });
}

void publishLockScreenBulletin(core::Library& library, const std::string& text, const std::string& sectionId,
                               const objc::Id& defaultAction, const pl::Value& context) {
  // No second look at the lock: the re-post has spent the reminder's saved action already, so
  // dropping the bulletin here would lose it for good. A user who unlocked in the 0.7 s since
  // finds it in the notification centre instead.
  objc::Id request = makeLockScreenRequest(library, text, sectionId, defaultAction, context);
  host::send(library.sharedHelper, host::msg::setSectionIdentifier, sectionId);
  const bool toLockScreen = addsToLockScreen(library.host.coreFoundationVersion());
  library.explain(sectionId, toLockScreen ? "lock-screen bulletin added to the lock screen"
                                          : "lock-screen bulletin added through the data provider");
  library.host.dataProviderAddBulletin(library.sharedHelper.get(), request, toLockScreen);
}

}  // namespace qv::alerts
