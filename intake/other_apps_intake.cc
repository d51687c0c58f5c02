#include "intake/other_apps_intake.h"

#include <algorithm>

#include "core/helper_messages.h"
#include "core/missed_helper.h"
#include "platform/host/messages.h"

namespace qv::intake {
namespace {

namespace msg = host::msg;

bool isActive(const core::Library& library, std::string_view bundleId) {
  const auto& active = library.otherApps.activeOtherApps;
  return active && std::find(active->begin(), active->end(), bundleId) != active->end();
}

std::string displayName(core::Library& library, const std::string& bundleId) {
  std::optional<std::string> name = library.host.localizedApplicationName(bundleId);
  return name && !name->empty() ? *name : bundleId;
}

}  // namespace

void startListedAppReminder(Evaluation& ev) {
  core::Library& lib = ev.library;
  const std::string& id = ev.sectionID();
  if (isActive(lib, id)) {
    ev.explain("already running: left as it is");
    return;
  }
  ev.explain("started the listed app's reminder");
  if (!lib.otherApps.activeOtherApps) lib.otherApps.activeOtherApps.emplace();
  lib.otherApps.activeOtherApps->push_back(id);
  if (!lib.otherApps.otherRepeatCounts) lib.otherApps.otherRepeatCounts.emplace();
  (*lib.otherApps.otherRepeatCounts)[id] = 1;
  pl::Value userInfo = pl::Dict{{"id", id}, {"identifier", displayName(lib, id)}};
  host::send(lib.sharedHelper, core::hm::LoadImTimerTest, std::move(userInfo), id);
}

bool listedAppClearable(core::Library& library, std::string_view bundleId) {
  return library.helper().otherTimer != nullptr || isActive(library, bundleId);
}

void clearListedAppReminder(core::Library& library, std::string_view bundleId, std::string_view cause) {
  if (library.host.timeline().wantsDecisions())
    library.explain(bundleId, "cleared the listed app's reminder: " + std::string(cause));
  host::send(library.sharedHelper, core::hm::clearOtherTimer, std::string(bundleId));
  if (auto& active = library.otherApps.activeOtherApps) std::erase(*active, bundleId);
}

}  // namespace qv::intake
