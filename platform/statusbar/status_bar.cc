#include "platform/statusbar/status_bar.h"

#include "platform/statusbar/custom_item_view.h"
#include "platform/statusbar/images.h"

namespace qv::statusbar {

StatusBar::StatusBar(host::Host& host, const springboard::HomeScreen& home)
    : imageClass_(defineImageClasses(host.runtime())),
      customViewBase_(defineCustomItemView(host.runtime(), imageClass_)),
      items_(host, customViewBase_),
      applications_(host, home, imageClass_),
      stock_(host) {}

}  // namespace qv::statusbar
