#include "core/library.h"

#include "core/missed_helper.h"
#include "platform/host/messages.h"

namespace qv::core {

Library::Library(host::Host& h) : host(h) {}
Library::~Library() {
  // Armed timers hold MissedHelper as their target and MissedHelper holds the timers: let go of
  // them so the process's objects can be freed with it.
  if (helperInstance_) {
    MissedHelper& h = *static_cast<MissedHelper*>(helperInstance_.get());
    for (auto& t : h.timers)
      if (t) host::send(t, host::msg::invalidate);
    h.timers = {};
    h.statusBarItems = {};
    h.otherTimer = nullptr;
    h.statusBarItemOther = nullptr;
  }
  otherApps = {};
}

MissedHelper& Library::helper() { return *static_cast<MissedHelper*>(sharedHelper ? sharedHelper.get() : sharedInstance().get()); }

objc::Id Library::sharedInstance() {
  std::call_once(helperOnce_, [this] {
    objc::Class* cls = host.runtime().getClass("MissedHelper");
    helperInstance_ = std::make_shared<MissedHelper>(cls, *this);
  });
  return helperInstance_;
}

Library& libraryOf(objc::Object* missedHelper) { return static_cast<MissedHelper*>(missedHelper)->library; }

}  // namespace qv::core
