#include "indicators/banner_layout.h"

#include "alerts/home_state.h"
#include "core/library.h"

namespace qv::indicators {
namespace {

namespace msg = host::msg;

// The content keeps its own height and top; only the horizontal extent follows the view.
host::Rect padModifiedContentFrame(void*, objc::Object* self, objc::Sel, host::Rect frame) {
  const host::Rect view = host::send(self, msg::frame);
  return host::Rect{kBannerMargin, frame.y, view.width - kBannerInset, frame.height};
}

}  // namespace

std::string padContentFrameTypes(bool is64BitProcessor) {
  const std::string rect = is64BitProcessor ? "{CGRect={CGPoint=dd}{CGSize=dd}}" : "{CGRect={CGPoint=ff}{CGSize=ff}}";
  return rect + "@:" + rect;
}

bool addPadContentFrameMethod(core::Library& library, objc::Class* bannerView) {
  if (!bannerView) return false;
  return library.host.runtime().addMethod<host::Rect(host::Rect)>(
      bannerView, msg::padModifiedContentFrameForFrame.sel, &padModifiedContentFrame, nullptr,
      padContentFrameTypes(library.host.is64BitProcessor()));
}

host::Rect centeredBoundsForRectHook(core::Library& library, const objc::Slot<host::Rect(host::Rect)>& previous,
                                     objc::Object* self, objc::Sel sel, host::Rect rect) {
  // The settings in memory decide; nothing is reloaded while a banner lays itself out.
  const bool widen =
      alerts::isPad(library) && library.alerts.ipadBanner && library.settings.flag(core::Key::globalEnabled);
  if (!widen) return previous(self, sel, rect);
  const host::Rect own = previous(self, sel, rect);
  return host::send(self, msg::padModifiedContentFrameForFrame, own);
}

void noteDidDismissHook(core::Library& library, const objc::Slot<void(std::int64_t)>& previous, objc::Object* self,
                        objc::Sel sel, std::int64_t reason) {
  if (library.alerts.ipadBanner) library.alerts.ipadBanner = false;
  previous(self, sel, reason);
}

}  // namespace qv::indicators
