#include "platform/apps/viber_app.h"

#include "platform/host/messages.h"

namespace qv::apps {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

ViberApp::ViberApp(host::Host& host, AppSpec appSpec) : App(host, std::move(appSpec)) {
  objc::Runtime& rt = runtime();
  badgeManagerClass_ = defineClass("VIBBadgeManager", rt.rootClass());
  badgeManager_ = badgeManagerClass_->instantiate();
  rt.addClassMethod<Id()>(
      badgeManagerClass_, msg::sharedInstance.sel, [](void* ctx, Object*, Sel) { return *static_cast<Id*>(ctx); },
      &badgeManager_);
  rt.addMethod<void()>(
      badgeManagerClass_, msg::updateApplicationBadge.sel,
      [](void* ctx, Object*, Sel) { static_cast<ViberApp*>(ctx)->badgeUpdated(); }, this);
}

void ViberApp::ownDidBecomeActive() {
  host::send(host::send(badgeManagerClass_, msg::sharedInstance), msg::updateApplicationBadge);
}

}  // namespace qv::apps
