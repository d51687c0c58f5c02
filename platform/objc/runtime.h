// The class runtime of one simulated process: classes by name with a superclass chain, methods
// by selector, typed message send, run-time class creation, method addition with type strings,
// and message hooking in the way the device's hooking runtime does it.
//
// Guarantees: sends are typed; a send whose signature differs from the method's is a
// SignatureMismatch error, never undefined behaviour. Sending to null returns a zero value.
// Hooking keeps the previous implementation in a Slot; a selector the class only inherits is
// overridden for that class (and its subclasses) alone, and calling through reaches the
// superclass's implementation as it is at the time of the call.
// Threads: sends may come from any thread; classes and methods must only change while no
// other thread sends (at process start-up, as on the device).
//
//   rt.addMethod<bool()>(cls, QV_SEL("isUILocked"), [](void*, Object* self, Sel) { ... });
//   bool locked = objc::send<bool()>(manager, QV_SEL("isUILocked"));
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/objc/selector.h"
#include "platform/objc/signature.h"
#include "platform/objc/type_encoding.h"
#include "platform/string_map.h"

namespace qv::objc {

class Class;
class Runtime;
class Object;
using Id = std::shared_ptr<Object>;

template <class F>
struct ImpTraits;
template <class R, class... A>
struct ImpTraits<R(A...)> {
  using Result = R;
  using Fn = R (*)(void* ctx, Object* self, Sel sel, A... args);
};
template <class F>
using ImpFn = typename ImpTraits<F>::Fn;

// Every instance and every class is an Object; its class decides which methods answer.
class Object : public std::enable_shared_from_this<Object> {
 public:
  explicit Object(Class* isa) : isa_(isa) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Class* isa() const { return isa_; }
  // This object as a shared reference (instances only; classes are owned by their runtime).
  Id self() { return shared_from_this(); }

 private:
  Class* isa_;
};

// A class object. Class methods live in its metaclass, which is the class object's isa.
class Class final : public Object {
 public:
  using Factory = Id (*)(Class* cls);

  const std::string& name() const { return name_; }
  Class* superclass() const { return superclass_; }
  Class* metaclass() const { return isa(); }
  bool isMetaclass() const { return metaclassOf_ != nullptr; }
  Runtime& runtime() const { return *runtime_; }
  bool isSubclassOf(const Class* other) const;
  bool hasOwnMethod(Sel sel) const { return methods_.count(sel.id()) != 0; }

  // The implementation a send of `sel` to an instance of this class reaches, or null.
  const Imp* resolve(Sel sel) const {
    const std::uint32_t id = sel.id();
    if (id < table_.size()) return table_[id];
    return resolveSlow(sel);
  }
  // The method table's entry for `sel`, or null when the table has none (the selector may be
  // newer than the table, or nothing answers it): resolve() settles those.
  const Imp* tableEntry(Sel sel) const {
    const std::uint32_t id = sel.id();
    return id < table_.size() ? table_[id] : nullptr;
  }

  // A new instance made by the nearest factory up the chain.
  Id instantiate();

 private:
  friend class Runtime;
  struct Method {
    Imp imp;
    std::string types;
  };
  Class(Runtime& rt, Class* isa, std::string name, Class* superclass, Class* metaclassOf)
      : Object(isa), runtime_(&rt), name_(std::move(name)), superclass_(superclass),
        metaclassOf_(metaclassOf) {}
  const Imp* resolveSlow(Sel sel) const;
  void rebuildTables();

  Runtime* runtime_;
  std::string name_;
  Class* superclass_;
  Class* metaclassOf_;  // for a metaclass: the class it belongs to
  Factory factory_ = nullptr;
  std::unordered_map<std::uint32_t, Method> methods_;
  // The implementation each selector id reaches (null for none), pointing into the methods_ of
  // the class up the chain that has it: a hook that replaces a method in place needs no update.
  std::vector<const Imp*> table_;
  std::vector<Class*> subclasses_;
  bool registered_ = false;
};

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

[[noreturn]] void throwUnrecognized(const Object* receiver, Sel sel);
[[noreturn]] void throwMismatch(const Object* receiver, Sel sel, const Signature* have,
                                const Signature* want);

// A send that the method table does not answer at once with the right signature: resolved in
// full, and an error when nothing answers or the signature differs. Out of line, so that the
// usual send calls nothing else and keeps no registers of its own.
template <class F, class... Args>
[[gnu::noinline]] typename ImpTraits<F>::Result sendResolvingFully(Object* receiver, Sel sel, Args&&... args) {
  const Imp* imp = receiver->isa()->resolve(sel);
  if (!imp) throwUnrecognized(receiver, sel);
  if (imp->sig != &kSignature<F>) throwMismatch(receiver, sel, imp->sig, &kSignature<F>);
  return reinterpret_cast<ImpFn<F>>(imp->fn)(imp->ctx, receiver, sel, std::forward<Args>(args)...);
}

// Sends `sel` with the signature F to `receiver`; arguments convert to F's parameter types.
template <class F, class... Args>
typename ImpTraits<F>::Result send(Object* receiver, Sel sel, Args&&... args) {
  using R = typename ImpTraits<F>::Result;
  if (!receiver) return R();
  const Imp* imp = receiver->isa()->tableEntry(sel);
  if (!imp || imp->sig != &kSignature<F>) [[unlikely]]
    return sendResolvingFully<F>(receiver, sel, std::forward<Args>(args)...);
  return reinterpret_cast<ImpFn<F>>(imp->fn)(imp->ctx, receiver, sel, std::forward<Args>(args)...);
}
template <class F, class... Args>
typename ImpTraits<F>::Result send(const Id& receiver, Sel sel, Args&&... args) {
  return send<F>(receiver.get(), sel, std::forward<Args>(args)...);
}

// Whether instances of the receiver's class answer `sel` (respondsToSelector:).
bool respondsTo(const Object* receiver, Sel sel);

// The C++ object behind an instance, or null when it is of another kind.
template <class T>
T* as(Object* o) {
  // Nearly every call names the object's own type: settle that with one type comparison.
  if (o && typeid(*o) == typeid(T)) return static_cast<T*>(o);
  return dynamic_cast<T*>(o);
}
template <class T>
T* as(const Id& o) {
  return as<T>(o.get());
}

class Runtime {
 public:
  // `owner` names the process in error messages.
  explicit Runtime(std::string owner);
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  const std::string& owner() const { return owner_; }
  // The root class every host class descends from. Answers alloc, new, init,
  // respondsToSelector: and doesNotRecognizeSelector:.
  Class* rootClass() const { return root_; }

  // The registered class of that name, or null: a missing class is absent, never an error.
  Class* getClass(std::string_view name) const;
  // Creates a class that is not yet visible by name; null when a registered class has the name
  // or the superclass is itself still in construction (as the real runtime refuses both). Two
  // pairs of one name may be in construction; only the first registered gets the name.
  Class* allocateClassPair(Class* superclass, std::string_view name);
  // Makes the class visible by name; does nothing when the name was registered meanwhile.
  void registerClassPair(Class* cls);
  // Host side: allocate and register in one step; instances come from `factory`
  // (inherited when null).
  Class* defineClass(std::string_view name, Class* superclass, Class::Factory factory = nullptr);
  std::vector<std::string> classNames() const;
  // Fault injection, before the host defines its classes: defineClass still makes classes of
  // these names (the host's own objects keep working) but never registers them, so lookups by
  // name find nothing, as in a process that lacks them.
  void leaveUndefined(std::vector<std::string> names);
  bool isLeftUndefined(std::string_view name) const;

  // class_addMethod: adds an implementation the class does not have itself; false when it has.
  // Without `types`, the method gets the type string of F (typeEncoding<F>()).
  template <class F>
  bool addMethod(Class* cls, Sel sel, ImpFn<F> fn, void* ctx = nullptr, std::string_view types = {}) {
    return addImp(cls, sel, Imp{reinterpret_cast<RawFn>(fn), ctx, &kSignature<F>},
                  types.empty() ? std::string_view(typeEncoding<F>()) : types);
  }
  template <class F>
  bool addClassMethod(Class* cls, Sel sel, ImpFn<F> fn, void* ctx = nullptr) {
    return cls && addImp(cls->metaclass(), sel, Imp{reinterpret_cast<RawFn>(fn), ctx, &kSignature<F>},
                         typeEncoding<F>());
  }
  // The type string of the method a send of `sel` to an instance of `cls` reaches ("" when none).
  std::string methodTypes(Class* cls, Sel sel) const;

  // MSHookMessageEx: from now on `sel` sent to `cls` (and subclasses) runs `replacement`; the
  // previous implementation goes into `previous`. Returns false and hooks nothing when `cls`
  // is null or nothing answers `sel`. A hook on an inherited selector adds a method to `cls`
  // with the inherited method's type string.
  template <class F>
  bool hookMessage(Class* cls, Sel sel, ImpFn<F> replacement, void* ctx, Slot<F>* previous) {
    Imp prev;
    if (!hookImp(cls, sel, Imp{reinterpret_cast<RawFn>(replacement), ctx, &kSignature<F>},
                 reinterpret_cast<RawFn>(Forwarder<F>::fn), &prev))
      return false;
    if (previous) previous->imp_ = prev;
    return true;
  }

  // Opaque back-pointer for the host (the process that owns this runtime).
  void* owner_data = nullptr;

 private:
  template <class F>
  struct Forwarder;

  void publish(Class* cls);
  static void refreshEntry(Class* c, std::uint32_t id, const Imp* now);
  bool addImp(Class* cls, Sel sel, Imp imp, std::string_view types);
  bool hookImp(Class* cls, Sel sel, Imp replacement, RawFn superForwarder, Imp* previous);
  Class* newClassPair(Class* superclass, std::string_view name);

  std::string owner_;
  std::vector<std::unique_ptr<Class>> classes_;  // classes and metaclasses, owned here
  StringMap<Class*> byName_;
  // Tells this runtime apart from any earlier one at the same address, for getClass's cache.
  std::uint64_t serial_;
  std::vector<std::string> undefined_;
  Class* root_ = nullptr;
};

// Calling through from a hook on an inherited selector: the superclass's implementation as it
// is at the time of the call.
template <class R, class... A>
R forwardInheritedImpl(void* ctx, Object* self, Sel sel, A... args) {
  auto* superclass = static_cast<Class*>(ctx);
  const Imp* imp = superclass->resolve(sel);
  if (!imp) throwUnrecognized(self, sel);
  if (imp->sig != &kSignature<R(A...)>) throwMismatch(self, sel, imp->sig, &kSignature<R(A...)>);
  return reinterpret_cast<ImpFn<R(A...)>>(imp->fn)(imp->ctx, self, sel, std::forward<A>(args)...);
}

template <class R, class... A>
struct Runtime::Forwarder<R(A...)> {
  static constexpr ImpFn<R(A...)> fn = &forwardInheritedImpl<R, A...>;
};

}  // namespace qv::objc
