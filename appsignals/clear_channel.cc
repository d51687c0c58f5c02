#include "appsignals/clear_channel.h"

#include <string>

#include "core/library.h"
#include "core/missed_helper.h"
#include "platform/host/messages.h"

namespace qv::appsignals {
namespace {

using core::Category;
using core::CategoryInfo;

// A reminder whose repeat limit emptied its timer field keeps its icon until a clear hides
// it, so a shown item counts as pending too.
bool itemStillShown(core::Library& library, Category c) {
  const objc::Id& item = library.helper().statusBarItem(c);
  return item && objc::respondsTo(item.get(), host::msg::isVisible.sel) && host::send(item, host::msg::isVisible);
}

}  // namespace

void onClearNotification(core::Library& library, Category c) {
  const CategoryInfo& row = core::info(c);
  if (!row.clearObserverAlways) {
    const bool timerSet = library.helper().timer(c) != nullptr;
    if (!timerSet && !itemStillShown(library, c)) {
      library.explain(row.name, "clear notification ignored: no reminder pending");
      return;
    }
  }
  library.explain(row.name, std::string("cleared by ") + std::string(row.clearNotification));
  objc::send<void()>(library.sharedHelper, objc::Sel::intern(row.clearOperation));
}

void registerClearObservers(core::Library& library) {
  for (const CategoryInfo& row : core::kCategories) {
    if (row.clearNotification.empty()) continue;
    const Category c = row.category;
    library.host.addDarwinObserver(std::string(row.clearNotification),
                                   [&library, c] { onClearNotification(library, c); });
  }
}

}  // namespace qv::appsignals
