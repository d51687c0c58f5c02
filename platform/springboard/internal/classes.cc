#include "platform/springboard/internal/classes.h"

#include <stdexcept>

#include "platform/host/messages.h"

namespace qv::springboard::internal {

objc::Class* defineClass(objc::Runtime& rt, std::string_view name, objc::Class* superclass,
                         objc::Class::Factory factory) {
  objc::Class* cls = rt.defineClass(name, superclass, factory);
  if (!cls)
    throw std::logic_error("the home screen cannot define class " + std::string(name) + " in " + rt.owner() +
                           ": the name is already taken");
  return cls;
}

objc::Class* defineRootClass(objc::Runtime& rt, std::string_view name, objc::Class::Factory factory) {
  return defineClass(rt, name, rt.rootClass(), factory);
}

objc::Id allocInit(objc::Class* cls) {
  return host::send(host::send(cls, host::msg::alloc), host::msg::init);
}

void recordHost(host::Host& host, std::string_view subject, std::string_view detail) {
  host.timeline().record(host.processName(), timeline::Kind::Host, subject, detail);
}

}  // namespace qv::springboard::internal
