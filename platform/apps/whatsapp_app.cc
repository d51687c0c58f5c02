#include "platform/apps/whatsapp_app.h"

#include "platform/host/messages.h"

namespace qv::apps {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;
using host::Block;

struct LocalNotification final : Object {
  using Object::Object;
  pl::Value userInfo;
};

Id makeLocalNotificationObject(objc::Class* cls) {
  return std::make_shared<LocalNotification>(cls);
}

void defineNotificationMethods(objc::Runtime& rt, objc::Class* delegate) {
  rt.addMethod<void(Id, pl::Value, Block)>(delegate, msg::didReceiveRemoteNotificationFetch.sel,
                                           [](void*, Object* self, Sel, Id app, pl::Value payload, Block done) {
                                             host::send(self, msg::reallyDidReceiveRemoteNotificationFetch, app,
                                                        payload, done);
                                           });
  rt.addMethod<void(Id, pl::Value, Block)>(delegate, msg::reallyDidReceiveRemoteNotificationFetch.sel,
                                           [](void*, Object* self, Sel, Id app, pl::Value payload, Block done) {
                                             host::send(self, msg::reallyDidReceiveRemoteNotification, app, payload);
                                             if (done) done();
                                           });
  rt.addMethod<void(Id, pl::Value)>(delegate, msg::reallyDidReceiveRemoteNotification.sel,
                                    [](void*, Object*, Sel, Id, pl::Value) {});
  rt.addMethod<void(Id, Id)>(delegate, msg::didReceiveLocalNotification.sel,
                             [](void*, Object* self, Sel, Id app, Id note) {
                               host::send(self, msg::reallyDidReceiveLocalNotification, app, note);
                             });
  rt.addMethod<void(Id, Id)>(delegate, msg::reallyDidReceiveLocalNotification.sel, [](void*, Object*, Sel, Id, Id) {});
  rt.addMethod<void(Id, std::string, pl::Value, pl::Value, Block)>(
      delegate, msg::handleActionForRemoteNotification.sel,
      [](void*, Object*, Sel, Id, std::string, pl::Value, pl::Value, Block done) {
        if (done) done();
      });
  rt.addMethod<void(Id, std::string, Id, pl::Value, Block)>(
      delegate, msg::handleActionForLocalNotification.sel,
      [](void*, Object*, Sel, Id, std::string, Id, pl::Value, Block done) {
        if (done) done();
      });
}

}  // namespace

WhatsAppApp::WhatsAppApp(host::Host& host, AppSpec appSpec) : App(host, std::move(appSpec)) {
  objc::Runtime& rt = runtime();
  objc::Class* delegateClass = delegate()->isa();
  rt.addMethod<void(Id)>(delegateClass, msg::applicationReallyWillEnterForeground.sel, [](void*, Object*, Sel, Id) {});
  rt.addMethod<void(Id)>(delegateClass, msg::applicationReallyDidBecomeActive.sel, [](void*, Object*, Sel, Id) {});
  defineNotificationMethods(rt, delegateClass);

  tabBarClass_ = defineClass("WATabBarController", rt.rootClass());
  rt.addMethod<void(Id)>(tabBarClass_, msg::applicationWillEnterForeground.sel, [](void*, Object*, Sel, Id) {});
  viewControllerClass_ = defineClass("WAViewController", rt.rootClass());
  rt.addMethod<void()>(viewControllerClass_, msg::waApplicationWillEnterForeground.sel, [](void*, Object*, Sel) {});
  chatClass_ = defineClass("ChatViewController", viewControllerClass_);

  localNotificationClass_ = defineClass("UILocalNotification", rt.rootClass(), &makeLocalNotificationObject);
  rt.addMethod<pl::Value()>(localNotificationClass_, msg::userInfo.sel, [](void*, Object* self, Sel) {
    auto* n = objc::as<LocalNotification>(self);
    return n ? n->userInfo : pl::Value();
  });
}

bool WhatsAppApp::ownFinishLaunching(const pl::Value&) {
  if (!tabBar_) {
    tabBar_ = tabBarClass_->instantiate();
    viewControllers_.push_back(viewControllerClass_->instantiate());
  }
  return true;
}

void WhatsAppApp::ownWillEnterForeground() {
  host::send(delegate(), msg::applicationReallyWillEnterForeground, application());
}

void WhatsAppApp::ownDidBecomeActive() {
  host::send(delegate(), msg::applicationReallyDidBecomeActive, application());
}

void WhatsAppApp::notifyWillEnterForegroundObservers() {
  host::send(tabBar_, msg::applicationWillEnterForeground, nullptr);
  for (const Id& controller : viewControllers_) host::send(controller, msg::waApplicationWillEnterForeground);
}

Status WhatsAppApp::receiveRemoteNotification(pl::Value payload) {
  if (Status refused = refuseUnlessRunning("receive a push"); !refused) return refused;
  note("receives a push");
  host::send(delegate(), msg::didReceiveRemoteNotificationFetch, application(), std::move(payload), completion());
  return Ok{};
}

Status WhatsAppApp::receiveLocalNotification(pl::Value userInfo) {
  if (Status refused = refuseUnlessRunning("receive a local notification"); !refused) return refused;
  note("receives a local notification");
  host::send(delegate(), msg::didReceiveLocalNotification, application(), makeLocalNotification(std::move(userInfo)));
  return Ok{};
}

Status WhatsAppApp::handleRemoteAction(std::string identifier, pl::Value payload, pl::Value responseInfo) {
  if (Status refused = refuseUnlessRunning("handle a notification action"); !refused) return refused;
  note("handles the action " + identifier + " of a push");
  host::send(delegate(), msg::handleActionForRemoteNotification, application(), std::move(identifier),
             std::move(payload), std::move(responseInfo), completion());
  return Ok{};
}

Status WhatsAppApp::handleLocalAction(std::string identifier, pl::Value userInfo, pl::Value responseInfo) {
  if (Status refused = refuseUnlessRunning("handle a notification action"); !refused) return refused;
  note("handles the action " + identifier + " of a local notification");
  host::send(delegate(), msg::handleActionForLocalNotification, application(), std::move(identifier),
             makeLocalNotification(std::move(userInfo)), std::move(responseInfo), completion());
  return Ok{};
}

Status WhatsAppApp::openChat(std::string name) {
  if (state() != AppState::Active) return refuse("open a chat");
  closeChat();
  note("opens the chat " + name);
  chatName_ = std::move(name);
  viewControllers_.push_back(chatClass_->instantiate());
  return Ok{};
}

void WhatsAppApp::closeChat() {
  if (chatName_.empty()) return;
  chatName_.clear();
  viewControllers_.resize(1);
}

host::Block WhatsAppApp::completion() {
  return [this] { ++completions_; };
}

Status WhatsAppApp::refuseUnlessRunning(std::string_view what) const {
  if (state() == AppState::NotRunning) return refuse(what);
  return Ok{};
}

Id WhatsAppApp::makeLocalNotification(pl::Value userInfo) {
  Id notification = localNotificationClass_->instantiate();
  if (auto* n = objc::as<LocalNotification>(notification)) n->userInfo = std::move(userInfo);
  return notification;
}

}  // namespace qv::apps
