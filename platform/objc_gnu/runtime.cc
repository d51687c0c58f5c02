#include "platform/objc_gnu/runtime.h"

#include <objc/message.h>
#include <objc/runtime.h>

#include <atomic>
#include <cstdlib>

#include "platform/objc_gnu/instances.h"
#include "platform/objc_gnu/method_table.h"
#include "platform/objc_gnu/selectors.h"

namespace qv::objc_gnu {
namespace {

std::string describeReceiver(Object* receiver) {
  ::Class cls = object_getClass(receiver);
  if (class_isMetaClass(cls)) return "+[" + className(reinterpret_cast<::Class>(receiver));
  return "-[" + className(cls);
}

[[noreturn]] void throwUnrecognized(Object* receiver, Sel sel) {
  throw MessageError(describeReceiver(receiver) + " " + sel.name() + "]: unrecognized selector");
}

[[noreturn]] void throwMismatch(Object* receiver, Sel sel, const Signature* have, const Signature* want) {
  throw MessageError(describeReceiver(receiver) + " " + sel.name() + "]: method has signature " +
                     objc::describeSignature(have) + ", sent as " + objc::describeSignature(want));
}

[[noreturn]] void throwForeign(Object* receiver, Sel sel, Method m) {
  const char* types = m ? method_getTypeEncoding(m) : nullptr;
  throw MessageError(describeReceiver(receiver) + " " + sel.name() +
                     "]: implemented outside this binding (types \"" + (types ? types : "") +
                     "\"), so its C++ signature is unknown");
}

// The implementation the real runtime's `imp`, found from `cls`, stands for; checked.
const Imp& checked(::Class cls, IMP imp, Object* receiver, Sel sel, const Signature* want) {
  MethodEntry* e = nearestEntry(cls, sel);
  if (!e || reinterpret_cast<RawFn>(imp) != e->native) {
    if (!class_respondsToSelector(cls, realSelector(sel))) throwUnrecognized(receiver, sel);
    throwForeign(receiver, sel, class_getInstanceMethod(cls, realSelector(sel)));
  }
  if (e->imp.sig != want) throwMismatch(receiver, sel, e->imp.sig, want);
  return e->imp;
}

bool hasOwnMethod(::Class cls, SEL sel) {
  unsigned count = 0;
  Method* methods = class_copyMethodList(cls, &count);
  bool found = false;
  for (unsigned i = 0; i < count && !found; ++i) found = sel_isEqual(method_getName(methods[i]), sel);
  std::free(methods);
  return found;
}

// The root class's own methods, as every process has them.
Object* allocImp(void*, Object* self, Sel) { return instantiate(reinterpret_cast<::Class>(self)); }
Object* newImp(void*, Object* self, Sel) {
  Object* obj = instantiate(reinterpret_cast<::Class>(self));
  return send<Object*()>(obj, QV_SEL("init"));
}
Object* initImp(void*, Object* self, Sel) { return self; }
bool respondsToSelectorImp(void*, Object* self, Sel, Sel query) { return respondsTo(self, query); }
void doesNotRecognizeSelectorImp(void*, Object* self, Sel, Sel query) { throwUnrecognized(self, query); }

std::atomic<unsigned> runtimesMade{0};

}  // namespace

namespace detail {

const Imp& resolveSend(Object* receiver, Sel sel, const Signature* want) {
  IMP imp = objc_msg_lookup(receiver, realSelector(sel));
  return checked(object_getClass(receiver), imp, receiver, sel, want);
}

const Imp& resolveFrom(Class* cls, Object* self, Sel sel, const Signature* want) {
  IMP imp = class_getMethodImplementation(cls, realSelector(sel));
  return checked(cls, imp, self, sel, want);
}

Sel selOf(const objc_selector* cmd) { return ourSelector(cmd); }

bool addImp(Class* cls, Sel sel, Imp imp, RawFn native, std::string_view types) {
  if (!cls || !sel || ownEntry(cls, sel)) return false;
  const std::string typeString(types);
  if (!class_addMethod(cls, realSelector(sel), reinterpret_cast<IMP>(native), typeString.c_str())) return false;
  addEntry(cls, sel, MethodEntry{imp, native});
  return true;
}

bool hookImp(Class* cls, Sel sel, Imp replacement, RawFn native, RawFn forwarder, Imp* previous) {
  if (!cls || !sel) return false;
  SEL real = realSelector(sel);
  Method method = class_getInstanceMethod(cls, real);
  if (!method) return false;
  Object* self = asObject(cls);
  if (MethodEntry* own = ownEntry(cls, sel)) {
    if (own->imp.sig != replacement.sig) throwMismatch(self, sel, own->imp.sig, replacement.sig);
    *previous = own->imp;
    own->imp = replacement;
    return true;
  }
  if (hasOwnMethod(cls, real)) throwForeign(self, sel, method);
  // Inherited: the superclass's method must be one of ours with the same signature; the hook
  // adds a method to this class alone and calls through to the superclass at call time.
  ::Class superclass = nextInChain(cls);
  checked(superclass, class_getMethodImplementation(superclass, real), self, sel, replacement.sig);
  if (!class_addMethod(cls, real, reinterpret_cast<IMP>(native), method_getTypeEncoding(method))) return false;
  addEntry(cls, sel, MethodEntry{replacement, native});
  *previous = Imp{forwarder, superclass, replacement.sig};
  return true;
}

}  // namespace detail

bool respondsTo(Object* receiver, Sel sel) {
  return receiver && class_respondsToSelector(object_getClass(receiver), realSelector(sel));
}

std::string className(const Class* cls) {
  if (!cls) return "nil";
  std::string_view name = class_getName(const_cast<::Class>(cls));
  // Our classes are registered as "qv<number>.<name>"; libobjc's own have no dot.
  const std::size_t dot = name.find('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(dot + 1));
}

Class* superclassOf(Class* cls) { return cls ? class_getSuperclass(cls) : nullptr; }
Class* metaclassOf(Class* cls) { return cls ? object_getClass(asObject(cls)) : nullptr; }
bool isMetaclass(const Class* cls) { return cls && class_isMetaClass(const_cast<::Class>(cls)); }

Runtime::Runtime(std::string owner)
    : owner_(std::move(owner)), prefix_("qv" + std::to_string(++runtimesMade) + ".") {
  root_ = allocateClassPair(nullptr, "NSObject");
  // A root class made at run time starts with no instance variables at all, not even the class
  // pointer every object begins with: declare it, or instances are zero bytes long.
  class_addIvar(root_, "isa", sizeof(::Class), alignof(::Class) == 8 ? 3 : 2, "#");
  addClassMethod<Object*()>(root_, QV_SEL("alloc"), &allocImp);
  addClassMethod<Object*()>(root_, QV_SEL("new"), &newImp);
  addMethod<Object*()>(root_, QV_SEL("init"), &initImp);
  addMethod<bool(Sel)>(root_, QV_SEL("respondsToSelector:"), &respondsToSelectorImp);
  addMethod<void(Sel)>(root_, QV_SEL("doesNotRecognizeSelector:"), &doesNotRecognizeSelectorImp);
  registerClassPair(root_);
  markRoot(root_);
}

Class* Runtime::getClass(std::string_view name) const {
  if (name.empty()) return nullptr;
  if (::Class cls = objc_lookUpClass(registeredName(name).c_str())) return cls;
  // The process's own classes (libobjc's); never a name private to another runtime.
  if (name.find('.') != std::string_view::npos) return nullptr;
  return objc_lookUpClass(std::string(name).c_str());
}

Runtime::~Runtime() {
  for (Class* cls : inConstruction_) {
    forgetEntries(cls);
    forgetEntries(metaclassOf(cls));
    forgetFactory(cls);
    objc_disposeClassPair(cls);
  }
}

Class* Runtime::allocateClassPair(Class* superclass, std::string_view name) {
  if (name.empty() || name.find('.') != std::string_view::npos) return nullptr;
  Class* cls = objc_allocateClassPair(superclass, registeredName(name).c_str(), 0);
  if (cls) inConstruction_.push_back(cls);
  return cls;
}

void Runtime::registerClassPair(Class* cls) {
  if (!cls) return;
  objc_registerClassPair(cls);
  // Registered only when the name is now this class's; a twin stays in construction.
  if (objc_lookUpClass(class_getName(cls)) == cls) std::erase(inConstruction_, cls);
}

Class* Runtime::defineClass(std::string_view name, Class* superclass, Factory factory) {
  Class* cls = allocateClassPair(superclass, name);
  if (!cls) return nullptr;
  if (factory) setFactory(cls, factory);
  registerClassPair(cls);
  return objc_lookUpClass(registeredName(name).c_str()) == cls ? cls : nullptr;  // else a twin, disposed later
}

std::string Runtime::methodTypes(Class* cls, Sel sel) const {
  Method m = cls && sel ? class_getInstanceMethod(cls, realSelector(sel)) : nullptr;
  const char* types = m ? method_getTypeEncoding(m) : nullptr;
  return types ? types : "";
}

}  // namespace qv::objc_gnu
