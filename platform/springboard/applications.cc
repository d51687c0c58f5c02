#include "platform/springboard/applications.h"

#include "platform/host/messages.h"
#include "platform/springboard/internal/classes.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

Applications* appsOf(void* ctx) {
  return static_cast<Applications*>(ctx);
}

struct ApplicationObject final : Object {
  using Object::Object;
  std::string bundleId;
};

void defineApplicationClass(objc::Runtime& rt, objc::Class* cls, Applications* apps) {
  rt.addMethod<std::string()>(cls, msg::bundleIdentifier.sel, [](void*, Object* self, Sel) {
    auto* a = internal::self<ApplicationObject>(self);
    return a ? a->bundleId : std::string();
  });
  // The notification goes on to the app, which shows nothing of its own here.
  rt.addMethod<void(Id)>(cls, msg::fireNotification.sel, [](void*, Object*, Sel, Id) {});
  rt.addMethod<void()>(
      cls, msg::didAnimateActivation.sel,
      [](void* ctx, Object* self, Sel) {
        if (auto* a = internal::self<ApplicationObject>(self)) appsOf(ctx)->activated(a->bundleId);
      },
      apps);
}

// Defines a class whose `sharedInstance` answers `*slot`, and makes that instance.
objc::Class* defineShared(objc::Runtime& rt, const char* name, objc::Id* slot) {
  objc::Class* cls = internal::defineRootClass(rt, name);
  *slot = internal::allocInit(cls);
  rt.addClassMethod<Id()>(
      cls, msg::sharedInstance.sel, [](void* ctx, Object*, Sel) { return *static_cast<Id*>(ctx); }, slot);
  return cls;
}

}  // namespace

Applications::Applications(host::Host& host, HomeScreen& home, Bulletins& bulletins, bool localNotificationClient)
    : host_(host), home_(home), bulletins_(bulletins) {
  objc::Runtime& rt = host.runtime();
  applicationClass_ = internal::defineRootClass(rt, "SBApplication", &internal::makeObject<ApplicationObject>);
  defineApplicationClass(rt, applicationClass_, this);

  objc::Class* controller = defineShared(rt, "SBApplicationController", &applicationController_);
  rt.addMethod<void(Id)>(controller, msg::applicationsAdded.sel, [](void*, Object*, Sel, Id) {});
  rt.addMethod<void(Id, Id, Id)>(controller, msg::sendInstalledAppsDidChange.sel,
                                 [](void*, Object*, Sel, Id, Id, Id) {});

  objc::Class* restrictions = defineShared(rt, "SBApplicationRestrictionController", &restrictionController_);
  rt.addMethod<void(Id, Id, Id)>(restrictions, msg::noteApplicationIdentifiersDidChange.sel,
                                 [](void*, Object*, Sel, Id, Id, Id) {});

  if (localNotificationClient) {
    objc::Class* client = internal::defineRootClass(rt, "UNLocalNotificationClient");
    localNotificationClient_ = internal::allocInit(client);
    rt.addMethod<void(Id)>(client, msg::fireNotification.sel, [](void*, Object*, Sel, Id) {});
  }
}

const Id& Applications::application(const std::string& bundleId) {
  auto it = applications_.find(bundleId);
  if (it != applications_.end()) return it->second;
  Id app = internal::allocInit(applicationClass_);
  internal::self<ApplicationObject>(app.get())->bundleId = bundleId;
  return applications_.emplace(bundleId, std::move(app)).first->second;
}

void Applications::install(const std::string& bundleId, const std::string& displayName) {
  const bool update = home_.displayName(bundleId).has_value();
  home_.installApp(bundleId, displayName, home_.badge(bundleId));
  const Id& app = application(bundleId);
  Id none = bulletins_.makeSet({});
  Id ids = bulletins_.makeSet({}, {bundleId});
  if (!update) host::send(applicationController_, msg::applicationsAdded, bulletins_.makeSet({app}));
  host::send(applicationController_, msg::sendInstalledAppsDidChange, update ? none : ids, none, update ? ids : none);
  host::send(restrictionController_, msg::noteApplicationIdentifiersDidChange, update ? none : ids, update ? ids : none,
             none);
  internal::recordHost(host_, bundleId, (update ? "app updated: " : "app installed: ") + displayName);
}

void Applications::activate(const std::string& bundleId) {
  host::send(application(bundleId), msg::didAnimateActivation);
}

void Applications::activated(const std::string& bundleId) {
  frontmost_ = bundleId;
  if (host_.timeline().active())
    host_.timeline().record(host_.processName(), timeline::Kind::FrontApp, bundleId, describe(bundleId, " opened"),
                            {{"app", timeline::Borrowed{bundleId}}});
}

void Applications::returnToHomeScreen() {
  if (frontmost_.empty()) return;
  if (host_.timeline().active())
    host_.timeline().record(host_.processName(), timeline::Kind::FrontApp, frontmost_,
                            describe(frontmost_, " left for the home screen"), {{"app", timeline::Field::Value()}});
  frontmost_.clear();
}

void Applications::fireLocalNotification(const std::string& bundleId, const Id& notification) {
  if (localNotificationClient_) host::send(localNotificationClient_, msg::fireNotification, notification);
  host::send(application(bundleId), msg::fireNotification, notification);
  internal::recordHost(host_, bundleId, "local notification fired for " + nameOf(bundleId));
}

const std::string& Applications::nameOf(const std::string& bundleId) const {
  return home_.nameOr(bundleId);
}

const std::string& Applications::describe(const std::string& bundleId, std::string_view what) {
  text_.assign(home_.nameOr(bundleId));
  text_ += what;
  return text_;
}

}  // namespace qv::springboard
