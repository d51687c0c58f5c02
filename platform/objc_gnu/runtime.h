// The class-runtime operations the system asks of platform/objc, done by a real Objective-C
// runtime: the GNU runtime of gcc (libobjc), through its C API only. Classes, metaclasses,
// method lists, dispatch and the selector table are the real runtime's; this binding adds what
// the system needs on top: typed sends, context pointers, and hooks that keep the previous
// implementation in a Slot.
//
// Guarantees: the same as platform/objc/runtime.h. A send whose signature differs from the
// method's is a MessageError, never undefined behaviour; a send to null returns a zero value.
// A hook on a selector the class only inherits adds a method to that class alone (its
// subclasses inherit it), and calling through reaches the superclass's implementation as it
// is at the time of the call; chained hooks call through in order. A method added outside
// this binding (libobjc's own classes) is found by name, but typed sends and hooks refuse it
// with a MessageError: its C++ signature is unknown.
// One Runtime per simulated process: its classes are registered in the one real runtime of the
// OS process under names private to it, so processes (and tests) never meet each other's
// classes; getClass also finds the classes libobjc itself defines (Object, Protocol).
// Threads: sends may come from any thread; classes and methods change only while no other
// thread sends (at start-up, as on the device).
//
//   objc_gnu::Runtime rt("SpringBoard");
//   objc_gnu::Class* cls = rt.defineClass("SBLockScreenManager", rt.rootClass());
//   rt.addMethod<bool()>(cls, QV_SEL("isUILocked"), [](void*, objc_gnu::Object*, objc::Sel) { return true; });
//   objc_gnu::Owned manager(objc_gnu::send<objc_gnu::Object*()>(cls, QV_SEL("new")));
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>
#include <vector>

#include "platform/objc/selector.h"
#include "platform/objc/signature.h"
#include "platform/objc/type_encoding.h"

// The real runtime's own types (libobjc's objc.h), left opaque here so that no header of ours
// drags in its macros (nil, YES, Class).
struct objc_object;
struct objc_class;
struct objc_selector;

namespace qv::objc_gnu {

using objc::Imp;
using objc::kSignature;
using objc::MessageError;
using objc::RawFn;
using objc::Sel;
using objc::Signature;

// `Object*` is the real runtime's id; `Class*` its Class (a class is an object too).
using Object = ::objc_object;
using Class = ::objc_class;
using Id = Object*;

template <class F>
struct ImpTraits;
template <class R, class... A>
struct ImpTraits<R(A...)> {
  using Result = R;
  using Fn = R (*)(void* ctx, Object* self, Sel sel, A... args);
  // The function the real runtime holds as the method's IMP (called by its own dispatch).
  using Native = R (*)(Object* self, const objc_selector* cmd, A... args);
};
template <class F>
using ImpFn = typename ImpTraits<F>::Fn;

inline Object* asObject(Class* cls) { return reinterpret_cast<Object*>(cls); }

// The internals the templates below call; not for direct use.
namespace detail {
// The implementation a send reaches, checked against `want`; throws MessageError when nothing
// answers, the signature differs, or the method was added outside this binding.
const Imp& resolveSend(Object* receiver, Sel sel, const Signature* want);
// The implementation `cls` (and not a subclass) answers `sel` with at this moment, checked
// likewise; `self` names the receiver in errors.
const Imp& resolveFrom(Class* cls, Object* self, Sel sel, const Signature* want);
// Our Sel for the real runtime's selector (for a call that arrives through the real dispatch).
Sel selOf(const objc_selector* cmd);
bool addImp(Class* cls, Sel sel, Imp imp, RawFn native, std::string_view types);
bool hookImp(Class* cls, Sel sel, Imp replacement, RawFn native, RawFn forwarder, Imp* previous);

// The IMP the real runtime holds for every method of signature R(A...) this binding adds: it
// finds the method's implementation and context in the binding's table and runs it.
template <class R, class... A>
R native(Object* self, const objc_selector* cmd, A... args) {
  const Sel sel = selOf(cmd);
  const Imp& imp = resolveSend(self, sel, &kSignature<R(A...)>);
  return reinterpret_cast<ImpFn<R(A...)>>(imp.fn)(imp.ctx, self, sel, std::forward<A>(args)...);
}

// Calling through from a hook on an inherited selector: the superclass's implementation as it
// is at the time of the call (the context is the superclass).
template <class R, class... A>
R forwardInherited(void* ctx, Object* self, Sel sel, A... args) {
  const Imp& imp = resolveFrom(static_cast<Class*>(ctx), self, sel, &kSignature<R(A...)>);
  return reinterpret_cast<ImpFn<R(A...)>>(imp.fn)(imp.ctx, self, sel, std::forward<A>(args)...);
}

template <class F>
struct Natives;
template <class R, class... A>
struct Natives<R(A...)> {
  static RawFn native() { return reinterpret_cast<RawFn>(&detail::native<R, A...>); }
  static RawFn forwarder() { return reinterpret_cast<RawFn>(&forwardInherited<R, A...>); }
};

// What sits in front of an instance's C++ object (see makeInstance).
struct InstanceHeader {
  const std::type_info* type = nullptr;
  void (*destroy)(void*) = nullptr;
  void* object = nullptr;
};
// The header of an instance this binding made, or null (classes, foreign instances).
InstanceHeader* headerOf(Object* o);
Object* createInstance(Class* cls, std::size_t extraBytes);
}  // namespace detail

// The previous implementation kept by a hook; calling it is calling through.
template <class F>
class Slot;
template <class R, class... A>
class Slot<R(A...)> {
 public:
  R operator()(Object* self, Sel sel, A... args) const {
    return reinterpret_cast<ImpFn<R(A...)>>(imp_.fn)(imp_.ctx, self, sel, std::forward<A>(args)...);
  }
  explicit operator bool() const { return static_cast<bool>(imp_); }
  const Imp& imp() const { return imp_; }

 private:
  friend class Runtime;
  Imp imp_;
};

// Sends `sel` with the signature F to `receiver`, through the real runtime's dispatch.
template <class F, class... Args>
typename ImpTraits<F>::Result send(Object* receiver, Sel sel, Args&&... args) {
  using R = typename ImpTraits<F>::Result;
  if (!receiver) return R();
  const Imp& imp = detail::resolveSend(receiver, sel, &kSignature<F>);
  return reinterpret_cast<ImpFn<F>>(imp.fn)(imp.ctx, receiver, sel, std::forward<Args>(args)...);
}
template <class F, class... Args>
typename ImpTraits<F>::Result send(Class* receiver, Sel sel, Args&&... args) {
  return send<F>(asObject(receiver), sel, std::forward<Args>(args)...);
}

// Whether instances of the receiver's class answer `sel` (respondsToSelector:).
bool respondsTo(Object* receiver, Sel sel);

// The class's name as its Runtime knows it (without the private prefix).
std::string className(const Class* cls);
Class* superclassOf(Class* cls);
Class* metaclassOf(Class* cls);
bool isMetaclass(const Class* cls);

// Instances: a plain one from the root class's alloc, or one with a C++ object behind it. The
// caller owns what alloc, new and makeInstance return (as on the device before ARC) and gives
// it back with dispose (or holds it in an Owned).
void dispose(Object* instance);
struct Disposer {
  void operator()(Object* instance) const { dispose(instance); }
};
using Owned = std::unique_ptr<Object, Disposer>;

// A new instance of `cls` with a T built from `args` behind it; as<T> finds it again.
template <class T, class... Args>
Object* makeInstance(Class* cls, Args&&... args) {
  constexpr std::size_t kExtra = sizeof(detail::InstanceHeader) + alignof(T) - 1 + sizeof(T);
  Object* o = detail::createInstance(cls, kExtra);
  detail::InstanceHeader* h = detail::headerOf(o);
  void* place = h + 1;
  std::size_t space = kExtra - sizeof(detail::InstanceHeader);
  place = std::align(alignof(T), sizeof(T), place, space);
  try {
    h->object = new (place) T(std::forward<Args>(args)...);
  } catch (...) {
    dispose(o);
    throw;
  }
  h->type = &typeid(T);
  h->destroy = [](void* p) { static_cast<T*>(p)->~T(); };
  return o;
}

// The C++ object behind an instance when it is exactly a T, or null.
template <class T>
T* as(Object* o) {
  detail::InstanceHeader* h = o ? detail::headerOf(o) : nullptr;
  return h && h->type && *h->type == typeid(T) ? static_cast<T*>(h->object) : nullptr;
}

class Runtime {
 public:
  using Factory = Object* (*)(Class* cls);

  // `owner` names the process in listings; the class names it registers are private to it.
  explicit Runtime(std::string owner);
  // Disposes of the class pairs it allocated that never got registered; registered classes stay
  // (the real runtime never unloads one).
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  const std::string& owner() const { return owner_; }
  // This process's root class, named NSObject. Answers alloc, new (class methods), init,
  // respondsToSelector: and doesNotRecognizeSelector:.
  Class* rootClass() const { return root_; }

  // The registered class of that name, or null: a missing class is absent, never an error.
  Class* getClass(std::string_view name) const;
  // objc_allocateClassPair: null when a registered class has the name or the superclass is
  // still in construction.
  Class* allocateClassPair(Class* superclass, std::string_view name);
  // objc_registerClassPair: does nothing when the name was registered meanwhile.
  void registerClassPair(Class* cls);
  // Allocate and register in one step; instances come from `factory` (inherited when null).
  Class* defineClass(std::string_view name, Class* superclass, Factory factory = nullptr);

  // class_addMethod: adds an implementation the class does not have itself; false when it has.
  // Without `types`, the method gets the type string of F.
  template <class F>
  bool addMethod(Class* cls, Sel sel, ImpFn<F> fn, void* ctx = nullptr, std::string_view types = {}) {
    return detail::addImp(cls, sel, Imp{reinterpret_cast<RawFn>(fn), ctx, &kSignature<F>},
                          detail::Natives<F>::native(),
                          types.empty() ? std::string_view(objc::typeEncoding<F>()) : types);
  }
  template <class F>
  bool addClassMethod(Class* cls, Sel sel, ImpFn<F> fn, void* ctx = nullptr) {
    return cls && addMethod<F>(metaclassOf(cls), sel, fn, ctx);
  }
  // The type string of the method a send of `sel` to an instance of `cls` reaches ("" when none).
  std::string methodTypes(Class* cls, Sel sel) const;

  // From now on `sel` sent to `cls` (and subclasses) runs `replacement`; the previous
  // implementation goes into `previous`. Returns false and hooks nothing when `cls` is null or
  // nothing answers `sel`.
  template <class F>
  bool hookMessage(Class* cls, Sel sel, ImpFn<F> replacement, void* ctx, Slot<F>* previous) {
    Imp prev;
    if (!detail::hookImp(cls, sel, Imp{reinterpret_cast<RawFn>(replacement), ctx, &kSignature<F>},
                         detail::Natives<F>::native(), detail::Natives<F>::forwarder(), &prev))
      return false;
    if (previous) previous->imp_ = prev;
    return true;
  }

 private:
  std::string registeredName(std::string_view name) const { return prefix_ + std::string(name); }

  std::string owner_;
  std::string prefix_;  // private to this runtime: "qv<number>."
  Class* root_ = nullptr;
  std::vector<Class*> inConstruction_;
};

}  // namespace qv::objc_gnu
