// The two class runtimes side by side for tests and benchmarks: ours (platform/objc) and the
// real Objective-C runtime through its binding (platform/objc_gnu), behind one set of names so
// one typed suite or benchmark runs on both. Where the two differ on purpose, a constant here
// says how (docs/device.md says why).
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/objc/runtime.h"
#include "platform/objc_gnu/runtime.h"

namespace qv::testing_runtimes {

struct Simulated {
  static constexpr const char* kName = "Simulated";
  using Runtime = objc::Runtime;
  using Class = objc::Class;
  using Object = objc::Object;
  template <class F>
  using Slot = objc::Slot<F>;
  // What alloc and new return, and what holds an instance alive.
  using Id = objc::Id;
  using Instance = objc::Id;
  // A class object answers the root's instance methods, also those added after it was made.
  static constexpr bool kClassObjectsSeeRootMethodsAddedLater = true;

  static Instance make(Class* cls) { return objc::send<Id()>(cls, QV_SEL("new")); }
  static Object* get(const Instance& o) { return o.get(); }
  static Object* object(Class* cls) { return cls; }
  template <class F, class... Args>
  static typename objc::ImpTraits<F>::Result send(Object* receiver, objc::Sel sel, Args&&... args) {
    return objc::send<F>(receiver, sel, std::forward<Args>(args)...);
  }
  static bool respondsTo(Object* o, objc::Sel sel) { return objc::respondsTo(o, sel); }
  static Class* metaclass(Class* cls) { return cls->metaclass(); }
};

struct RealObjC {
  static constexpr const char* kName = "GnuObjC";
  using Runtime = objc_gnu::Runtime;
  using Class = objc_gnu::Class;
  using Object = objc_gnu::Object;
  template <class F>
  using Slot = objc_gnu::Slot<F>;
  using Id = objc_gnu::Id;
  using Instance = objc_gnu::Owned;
  // The GNU runtime links a root metaclass made at run time to its own root class (Object):
  // class objects answer the new root's instance methods present when it was registered only.
  static constexpr bool kClassObjectsSeeRootMethodsAddedLater = false;

  static Instance make(Class* cls) { return Instance(objc_gnu::send<Id()>(cls, QV_SEL("new"))); }
  static Object* get(const Instance& o) { return o.get(); }
  static Object* object(Class* cls) { return objc_gnu::asObject(cls); }
  template <class F, class... Args>
  static typename objc_gnu::ImpTraits<F>::Result send(Object* receiver, objc::Sel sel, Args&&... args) {
    return objc_gnu::send<F>(receiver, sel, std::forward<Args>(args)...);
  }
  static bool respondsTo(Object* o, objc::Sel sel) { return objc_gnu::respondsTo(o, sel); }
  static Class* metaclass(Class* cls) { return objc_gnu::metaclassOf(cls); }
};

}  // namespace qv::testing_runtimes
