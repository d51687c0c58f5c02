// Helpers for the home screen's notification classes: defining a class (a taken name is a
// programming error), making instances with alloc and init through the runtime, reading them
// back. Main queue; definitions at process start-up.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host.h"
#include "platform/objc/instance_pool.h"
#include "platform/objc/runtime.h"

namespace qv::springboard {
struct BulletinFields;
}

namespace qv::springboard::internal {

template <class T>
objc::Id makeObject(objc::Class* cls) {
  return objc::makeInstance<T>(cls);
}

// Defines and registers a class; throws std::logic_error when the name is already taken.
objc::Class* defineClass(objc::Runtime& rt, std::string_view name, objc::Class* superclass,
                         objc::Class::Factory factory = nullptr);
// Defines a class under the root class.
objc::Class* defineRootClass(objc::Runtime& rt, std::string_view name, objc::Class::Factory factory = nullptr);

// `[[cls alloc] init]`, both sent through the runtime so hooks on either see the instance.
objc::Id allocInit(objc::Class* cls);

// The C++ object behind an instance sent to a host method; null for an instance of another kind.
template <class T>
T* self(objc::Object* object) {
  return objc::as<T>(object);
}

// A Kind::Host event of the home screen.
void recordHost(host::Host& host, std::string_view subject, std::string_view detail);
// What the lock screen lists, top first (bulletin ids; other items by their kind).
void recordLockScreen(host::Host& host, std::vector<std::string> shown);
// A bulletin the lock screen lists from now on.
void recordLockScreenBulletin(host::Host& host, const BulletinFields& f);

}  // namespace qv::springboard::internal
