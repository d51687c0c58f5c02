#include "platform/springboard/internal/classes.h"

#include <stdexcept>

#include "platform/host/messages.h"
#include "platform/springboard/bulletins.h"

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

void recordLockScreen(host::Host& host, std::vector<std::string> shown) {
  const std::size_t n = shown.size();
  host.timeline().record(host.processName(), timeline::Kind::LockScreen, "lock screen",
                         "shows " + std::to_string(n) + (n == 1 ? " notification" : " notifications"),
                         {{"notifications", std::move(shown)}});
}

void recordLockScreenBulletin(host::Host& host, const BulletinFields& f) {
  if (!host.timeline().active()) return;
  host.timeline().record(host.processName(), timeline::Kind::LockScreenBulletin, f.sectionID,
                         f.title + " / " + (f.subtitle.empty() ? f.message : f.subtitle),
                         {{"id", timeline::Borrowed{f.bulletinID}},
                          {"app", timeline::Borrowed{f.sectionID}},
                          {"title", timeline::Borrowed{f.title}},
                          {"subtitle", timeline::Borrowed{f.subtitle}},
                          {"message", timeline::Borrowed{f.message}}});
}

}  // namespace qv::springboard::internal
