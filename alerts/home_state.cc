#include "alerts/home_state.h"

#include "core/library.h"
#include "platform/host/messages.h"

namespace qv::alerts {
namespace msg = host::msg;

namespace {
objc::Class* hostClass(core::Library& library, std::string_view name) {
  return library.host.runtime().getClass(name);
}
}  // namespace

bool quietModeEnabled(core::Library& library) {
  objc::Id controller = host::send(hostClass(library, "SBBulletinSoundController"), msg::sharedInstance);
  return host::send(controller, msg::quietModeEnabled);
}

bool uiLocked(core::Library& library) {
  objc::Id manager = host::send(hostClass(library, "SBLockScreenManager"), msg::sharedInstance);
  return host::send(manager, msg::isUILocked);
}

bool isPad(core::Library& library) {
  objc::Id device = host::send(hostClass(library, "UIDevice"), msg::currentDevice);
  if (!objc::respondsTo(device.get(), msg::userInterfaceIdiom.sel)) return false;
  return host::send(device, msg::userInterfaceIdiom) == 1;
}

void undimScreen(core::Library& library) {
  host::send(host::send(hostClass(library, "SBUserAgent"), msg::sharedUserAgent), msg::undimScreen);
}

}  // namespace qv::alerts
