// UIStatusBarCustomItemView: the base class of views that draw a status-bar item themselves;
// the library binds one to each shown item that names a subclass. The base class draws the
// item's image by name with a padding of 6 points. Main-queue use.
//   Id view = makeCustomItemView(viewClass, item);  send(view, msg::contentsImage);
#pragma once

#include "platform/host/host.h"

namespace qv::statusbar {

inline constexpr double kDefaultCustomViewPadding = 6.0;

// Defines UIStatusBarCustomItemView (before the library loads, which subclasses it) and returns
// it; `imageClass` makes the default contents image.
objc::Class* defineCustomItemView(objc::Runtime& rt, objc::Class* imageClass);

// A new view of `viewClass` (a subclass of the base class) bound to `item`: alloc, init, bind.
objc::Id makeCustomItemView(objc::Class* viewClass, const objc::Id& item);

}  // namespace qv::statusbar
