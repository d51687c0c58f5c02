// MissedHelper, the reminder registry: one instance per process (sharedInstance), holding the
// armed timer and status-bar item of each fixed category, the latest Other-app timer and the
// shared Other-app item, and the section identifier it reports as a bulletin data provider.
// Its fields are plain references with a getter and setter of the same name; its operations
// (start, clear, fire, status bar, data provider) are registered by their subsystems.
#pragma once

#include <array>
#include <string>

#include "core/categories.h"
#include "platform/objc/runtime.h"

namespace qv::core {

class Library;

class MissedHelper final : public objc::Object {
 public:
  MissedHelper(objc::Class* cls, Library& library) : objc::Object(cls), library(library) {}

  Library& library;
  std::array<objc::Id, kCategoryCount> timers;          // smstimer, phoneTimer, ...
  std::array<objc::Id, kCategoryCount> statusBarItems;  // statusBarItemSMS, statusBarItemCall, ...
  objc::Id otherTimer;                                   // OtherTimer
  objc::Id statusBarItemOther;
  std::string sectionIdentifier;

  objc::Id& timer(Category c) { return timers[index(c)]; }
  objc::Id& statusBarItem(Category c) { return statusBarItems[index(c)]; }
};

// Defines the MissedHelper class in the library's runtime with its field accessors; the class,
// or null when the runtime has one of that name already. Each subsystem then adds its operations
// to it (assembly/operations.h). Called once at load.
objc::Class* defineMissedHelperClass(Library& library);

// "phoneTimer" -> "setPhoneTimer:".
std::string setterName(std::string_view field);

}  // namespace qv::core
