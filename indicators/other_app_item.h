// The one status-bar item shared by every listed app's reminder: identifier and image
// "com.apple.AppStore", drawn by the app-icon view. Shown by the badge check after a fire and by
// intake when a listed app's reminder starts; hidden by any listed app's clear. Main thread.
//   showOtherAppItem(lib, OtherItemCheck::Intake);
#pragma once

#include <string_view>

namespace qv::core {
class Library;
}

namespace qv::indicators {

inline constexpr std::string_view kOtherAppItemIdentifier = "com.apple.AppStore";
inline constexpr std::string_view kOtherAppItemImage = "com.apple.AppStore";

// When the shared item counts as missing.
enum class OtherItemCheck {
  FireHook,  // no item held
  Intake,    // no item held, or the one held is not visible
};

// With "showStatus" on (as last loaded) and the item missing by `check`: makes a new item with the
// app-icon view and shows it, after addStatusBarForIdentifier: "com.apple.AppStore" (which reloads
// the settings and marks the status bar dirty). Otherwise does nothing.
void showOtherAppItem(core::Library& library, OtherItemCheck check);

}  // namespace qv::indicators
