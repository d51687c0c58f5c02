#include "appsignals/clear_channel.h"

#include <string>

#include "core/library.h"
#include "core/registry.h"
#include "core/missed_helper.h"
#include "platform/host/messages.h"

namespace qv::appsignals {
namespace {

using core::Category;
using core::CategoryInfo;

}  // namespace

void onClearNotification(core::Library& library, Category c) {
  const CategoryInfo& row = core::info(c);
  if (!row.clearObserverAlways) {
    // A reminder whose repeat limit emptied its timer keeps its icon: that counts as pending too.
    if (!core::reminderPending(library, c)) {
      library.explain(row.name, "clear notification ignored: no reminder pending");
      return;
    }
  }
  // The decision's text is built only when someone listens: apps post their clears all day.
  if (library.host.timeline().wantsDecisions())
    library.explain(row.name, std::string("cleared by ") + std::string(row.clearNotification));
  objc::send<void()>(library.sharedHelper, core::selectorsOf(c).clearOperation);
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
