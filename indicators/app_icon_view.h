// QuorvelAppIconStatusBarIconView: the run-time view class that draws the shared Other-app item as
// an application's icon (the app named by the item's image name, at 15 points, padding 4). Made
// at start-up in every process that loads the library; where the status-bar library is missing it
// descends from the root class, its two methods stay unhooked and no view of it is ever made.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/hooks.h"

namespace qv::indicators {

inline constexpr std::string_view kAppIconViewClass = "QuorvelAppIconStatusBarIconView";
inline constexpr std::uint64_t kAppIconSize = 15;
inline constexpr double kAppIconPadding = 4.0;

// Creates and registers the class (no extra bytes) under UIStatusBarCustomItemView, or under the
// root class where that is missing; false when the name is taken. The hook table's creation row.
bool defineAppIconViewClass(core::Library& library);

// contentsImage: the bound item's app icon at 15 points, as image and shadow of a legibility
// image set; an absent icon is passed on as it is.
objc::Id contentsImageHook(core::Library& library, const objc::Slot<objc::Id()>& previous, objc::Object* self,
                           objc::Sel sel);
// standardPadding: 4.0 on every device.
double standardPaddingHook(core::Library& library, const objc::Slot<double()>& previous, objc::Object* self,
                           objc::Sel sel);

}  // namespace qv::indicators
