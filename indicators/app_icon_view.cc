#include "indicators/app_icon_view.h"

#include <string>

#include "core/library.h"

namespace qv::indicators {

namespace msg = host::msg;

bool defineAppIconViewClass(core::Library& library) {
  objc::Runtime& rt = library.host.runtime();
  objc::Class* superclass = rt.getClass("UIStatusBarCustomItemView");
  objc::Class* cls = rt.allocateClassPair(superclass ? superclass : rt.rootClass(), kAppIconViewClass);
  if (!cls) return false;
  rt.registerClassPair(cls);
  return true;
}

objc::Id contentsImageHook(core::Library& library, const objc::Slot<objc::Id()>&, objc::Object* self, objc::Sel) {
  objc::Runtime& rt = library.host.runtime();
  objc::Id list = host::send(rt.getClass("ALApplicationList"), msg::sharedApplicationList);
  const std::string app = host::send(host::send(self, msg::item), msg::indicatorName);
  objc::Id icon = host::send(list, msg::iconOfSize, kAppIconSize, app);
  return host::send(rt.getClass("_UILegibilityImageSet"), msg::imageFromImageWithShadow, icon, icon);
}

double standardPaddingHook(core::Library&, const objc::Slot<double()>&, objc::Object*, objc::Sel) {
  return kAppIconPadding;
}

}  // namespace qv::indicators
