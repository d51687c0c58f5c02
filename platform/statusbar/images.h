// UIKit's images as far as the status bar needs them: UIImage (by name, or an app's icon at a
// size) and _UILegibilityImageSet (an image with its shadow). Images carry no pixels; each says
// what it would show, which the timeline records. Main-queue use.
//   describeImage(icon) gives "icon of App Store (com.apple.AppStore) at 15 pt".
#pragma once

#include <cstdint>
#include <string>

#include "platform/host/host.h"

namespace qv::statusbar {

// Defines UIImage and _UILegibilityImageSet in the process (once; before the library loads) and
// returns the UIImage class.
objc::Class* defineImageClasses(objc::Runtime& rt);

// A new UIImage that shows `what` (a file name, or an app icon description).
objc::Id makeImage(objc::Class* imageClass, std::string what);

// What an image object shows, for the timeline: its description, or "no image" for null.
std::string describeImage(objc::Object* image);

}  // namespace qv::statusbar
