// Until the banner controller's delivery is built, a reminder banner is recorded as a request
// on the timeline (subject: section identifier), so that fires can be followed and tested.
#include "alerts/banner.h"

#include "core/library.h"

namespace qv::alerts {

void showReminderBanner(core::Library& library, const std::string& message, const std::string& sectionId) {
  if (!library.host.timeline().active()) return;
  library.record(timeline::Kind::Banner, sectionId, "requested: " + message);
}

}  // namespace qv::alerts
