#include "platform/objc_gnu/instances.h"

#include <objc/runtime.h>

#include <new>
#include <unordered_map>
#include <unordered_set>

namespace qv::objc_gnu {
namespace {

struct Registry {
  std::unordered_map<::Class, Runtime::Factory> factories;
  std::unordered_set<::Class> roots;
};

Registry& registry() {
  static Registry* r = new Registry;  // lives as long as the classes it describes
  return *r;
}

bool isOurInstance(Object* o) {
  ::Class cls = object_getClass(o);
  if (!cls || class_isMetaClass(cls)) return false;
  while (::Class super = class_getSuperclass(cls)) cls = super;
  return registry().roots.count(cls) != 0;
}

}  // namespace

void setFactory(Class* cls, Runtime::Factory factory) { registry().factories[cls] = factory; }

void forgetFactory(Class* cls) { registry().factories.erase(cls); }

void markRoot(Class* root) { registry().roots.insert(root); }

Object* instantiate(Class* cls) {
  for (::Class c = cls; c; c = class_getSuperclass(c)) {
    auto it = registry().factories.find(c);
    if (it != registry().factories.end()) return it->second(cls);
  }
  return detail::createInstance(cls, sizeof(detail::InstanceHeader));
}

namespace detail {

Object* createInstance(Class* cls, std::size_t extraBytes) {
  Object* o = class_createInstance(cls, extraBytes);
  if (!o) throw std::bad_alloc();
  new (object_getIndexedIvars(o)) InstanceHeader{};
  return o;
}

InstanceHeader* headerOf(Object* o) {
  return isOurInstance(o) ? static_cast<InstanceHeader*>(object_getIndexedIvars(o)) : nullptr;
}

}  // namespace detail

void dispose(Object* instance) {
  if (!instance) return;
  detail::InstanceHeader* h = detail::headerOf(instance);
  if (!h) return;  // a class, or an instance this binding did not make: not ours to free
  if (h->destroy) h->destroy(h->object);
  object_dispose(instance);
}

}  // namespace qv::objc_gnu
