#include "indicators/other_app_item.h"

#include <string>

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "indicators/app_icon_view.h"
#include "indicators/status_bar.h"

namespace qv::indicators {

namespace msg = host::msg;

void showOtherAppItem(core::Library& library, OtherItemCheck check) {
  if (!library.settings.showStatusEnabled()) return;
  core::MissedHelper& helper = library.helper();
  const objc::Id& held = helper.statusBarItemOther;
  const bool missing = !held || (check == OtherItemCheck::Intake && !host::send(held, msg::isVisible));
  if (!missing) return;
  // Creates nothing (no row has this key), but reloads the settings and marks the bar dirty; the
  // item is made whatever that reload says.
  host::send(library.sharedHelper, core::hm::addStatusBarForIdentifier, std::string(kOtherAppItemIdentifier));
  objc::Id item = makeStatusBarItem(library, std::string(kOtherAppItemIdentifier));
  helper.statusBarItemOther = item;
  if (host::send(item, msg::customViewClass).empty())
    host::send(item, msg::setCustomViewClass, std::string(kAppIconViewClass));
  host::send(item, msg::setImageName, std::string(kOtherAppItemImage));
  host::send(item, msg::setVisible, true);
}

}  // namespace qv::indicators
