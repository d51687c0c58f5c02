#include "alerts/screen_flash.h"

#include "core/library.h"
#include "platform/host/messages.h"

namespace qv::alerts {
namespace msg = host::msg;

void flashScreen(core::Library& library) {
  objc::Runtime& rt = library.host.runtime();
  objc::Class* flashClass = rt.getClass("SBScreenFlash");
  if (!flashClass) {
    library.explain("screen flash", "none: this process has no screen-flash class");
  } else if (objc::respondsTo(flashClass, msg::sharedInstance.sel)) {
    host::send(host::send(flashClass, msg::sharedInstance), msg::flash);
  } else if (objc::respondsTo(flashClass, msg::mainScreenFlasher.sel)) {
    objc::Id white = host::send(rt.getClass("UIColor"), msg::whiteColor);
    host::send(host::send(flashClass, msg::mainScreenFlasher), msg::flashColorWithCompletion, white, host::Block());
  }
  if (library.exported.playShutterSound) library.host.playSystemSound(kShutterSound);
}

}  // namespace qv::alerts
