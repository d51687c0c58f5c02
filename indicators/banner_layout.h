// The banner layout on an iPad: while a reminder banner is on its way or on screen (the
// iPad-banner flag), banner views widen their content to the view's width less 15 points on
// each side, through hooks on SBBannerContextView and the method the library adds to it. The
// next dismissal of any banner clears the flag. Main thread.
//   frame 768, class's own bounds {204, 10, 360, 80}  ->  {15, 10, 738, 80}
#pragma once

#include <cstdint>
#include <string>

#include "platform/host/messages.h"

namespace qv::core {
class Library;
}

namespace qv::indicators {

inline constexpr double kBannerMargin = 15.0;
inline constexpr double kBannerInset = 30.0;  // both margins

// The type string of _pad_modifiedContentFrameForFrame: (CGFloat is float on 32-bit processors).
std::string padContentFrameTypes(bool is64BitProcessor);

// Adds _pad_modifiedContentFrameForFrame: to `bannerView`; false when the class is missing or
// already has it.
bool addPadContentFrameMethod(core::Library& library, objc::Class* bannerView);

// The replacement of SBBannerContextView _centeredBoundsForRect:.
host::Rect centeredBoundsForRectHook(core::Library& library, const objc::Slot<host::Rect(host::Rect)>& previous,
                                     objc::Object* self, objc::Sel sel, host::Rect rect);

// The replacement of SBBannerContextView noteDidDismissWithReason:.
void noteDidDismissHook(core::Library& library, const objc::Slot<void(std::int64_t)>& previous, objc::Object* self,
                        objc::Sel sel, std::int64_t reason);

}  // namespace qv::indicators
