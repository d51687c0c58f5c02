#include "alerts/banner.h"

#include <array>
#include <utility>

#include "alerts/banner_request.h"
#include "alerts/home_state.h"
#include "core/categories.h"
#include "core/library.h"
#include "platform/host/messages.h"
#include "platform/joined.h"

namespace qv::alerts {
namespace {

namespace msg = host::msg;
using objc::Id;

Id sharedInstanceOf(core::Library& library, std::string_view className) {
  return host::send(library.host.runtime().getClass(className), msg::sharedInstance);
}

// Both intervals of the banner on screen run out now, so a new banner is not kept waiting.
void endBannerIntervals(core::Library& library, const Id& bannerController) {
  objc::Class* nsObject = library.host.runtime().getClass("NSObject");
  host::send(nsObject, msg::cancelPreviousPerformRequests, bannerController, msg::replaceIntervalElapsed.sel, nullptr);
  host::send(nsObject, msg::cancelPreviousPerformRequests, bannerController, msg::dismissIntervalElapsed.sel, nullptr);
  host::send(bannerController, msg::replaceIntervalElapsed);
  host::send(bannerController, msg::dismissIntervalElapsed);
}

// The older controllers take observer:addBulletin:forFeed:, the newer ones the lights-and-sirens
// form; a controller with neither shows nothing.
bool deliverBanner(core::Library& library, const Id& request) {
  Id controller = sharedInstanceOf(library, "SBBulletinBannerController");
  if (objc::respondsTo(controller.get(), msg::observerAddBulletin.sel)) {
    host::send(controller, msg::observerAddBulletin, nullptr, request, kBannerFeed);
    return true;
  }
  if (objc::respondsTo(controller.get(), msg::observerAddBulletinPlayLights.sel)) {
    host::send(controller, msg::observerAddBulletinPlayLights, nullptr, request, kBannerFeed, true, host::Block{});
    return true;
  }
  return false;
}

}  // namespace

std::string reminderRecordId(std::string_view sectionId) {
  // In one allocation: a section's name alone is past a string's inline room.
  return joined(sectionId, kRecordIdSuffix);
}

const std::string& reminderSection(core::Library& library, const core::CategoryInfo& row) {
  // Each section's name made a string once: every fire hands it to setters that take a string,
  // and a name is past the inline room, so a copy per fire would allocate.
  static const auto names = [] {
    std::array<std::array<std::string, 2>, core::kCategories.size()> n;
    for (const core::CategoryInfo& c : core::kCategories)
      n[core::index(c.category)] = {std::string(c.sectionId), std::string(c.padSectionId)};
    return n;
  }();
  const auto& both = names[core::index(row.category)];
  return row.padSectionId != row.sectionId && isPad(library) ? both[1] : both[0];
}

void showReminderBanner(core::Library& library, std::string message, const std::string& sectionId) {
  if (isPad(library)) library.alerts.ipadBanner = true;
  Id bannerController = sharedInstanceOf(library, "SBBannerController");
  if (host::send(bannerController, msg::bannerContext)) {
    library.explain(sectionId, "no reminder banner: another banner is on screen");
    return;
  }
  endBannerIntervals(library, bannerController);
  Id request = makeBannerRequest(library, std::move(message), sectionId);
  if (!deliverBanner(library, request)) library.explain(sectionId, "no reminder banner: no way to deliver it");
}

}  // namespace qv::alerts
