#include "core/library.h"

#include "core/missed_helper.h"

namespace qv::core {

Library::Library(host::Host& h) : host(h) {}
Library::~Library() {
  // Timers hold their target, the helper, strongly; emptying the helper's fields breaks the cycle.
  if (!helperInstance_) return;
  MissedHelper& h = *static_cast<MissedHelper*>(helperInstance_.get());
  h.timers.fill(nullptr);
  h.statusBarItems.fill(nullptr);
  h.otherTimer = nullptr;
  h.statusBarItemOther = nullptr;
}

MissedHelper& Library::helper() {
  return *static_cast<MissedHelper*>(sharedHelper ? sharedHelper.get() : sharedInstance().get());
}

objc::Id Library::sharedInstance() {
  std::call_once(helperOnce_, [this] {
    objc::Class* cls = host.runtime().getClass("MissedHelper");
    helperInstance_ = std::make_shared<MissedHelper>(cls, *this);
  });
  return helperInstance_;
}

Library& libraryOf(objc::Object* missedHelper) {
  return static_cast<MissedHelper*>(missedHelper)->library;
}

}  // namespace qv::core
