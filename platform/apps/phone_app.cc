#include "platform/apps/phone_app.h"

#include "platform/host/messages.h"

namespace qv::apps {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

PhoneApp* phoneOf(void* ctx) {
  return static_cast<PhoneApp*>(ctx);
}

}  // namespace

PhoneApp::PhoneApp(host::Host& host, AppSpec appSpec) : App(host, std::move(appSpec)) {
  objc::Runtime& rt = runtime();
  objc::Class* tabBarClass = defineClass("PhoneTabBarController", rt.rootClass());
  auto updateTabBar = [](void* ctx, Object*, Sel, Id) { phoneOf(ctx)->tabBarUpdated(); };
  rt.addMethod<void(Id)>(tabBarClass, msg::badgeChanged.sel, updateTabBar, this);
  rt.addMethod<void(Id)>(tabBarClass, msg::updateAllBadges.sel, updateTabBar, this);
  tabBar_ = tabBarClass->instantiate();

  starkClass_ = defineClass("PHStarkGenericTableViewController", rt.rootClass());
  rt.addMethod<void(Id)>(starkClass_, msg::applicationBadgeChangedNotification.sel,
                         [](void*, Object* self, Sel, Id) { host::send(self, msg::updateBadgeString); });
  rt.addMethod<void()>(
      starkClass_, msg::updateBadgeString.sel,
      [](void* ctx, Object* self, Sel) { phoneOf(ctx)->carPlayRedrawn(host::send(self, msg::badgeString)); }, this);
  rt.addMethod<std::string()>(
      starkClass_, msg::badgeString.sel,
      [](void* ctx, Object*, Sel) {
        const std::int64_t badge = phoneOf(ctx)->badge();
        return badge > 0 ? std::to_string(badge) : std::string();
      },
      this);
}

bool PhoneApp::ownFinishLaunching(const pl::Value&) {
  host::send(tabBar_, msg::updateAllBadges, nullptr);
  return true;
}

void PhoneApp::ownWillEnterForeground() {
  host::send(tabBar_, msg::updateAllBadges, nullptr);
}

void PhoneApp::setBadge(std::int64_t badge) {
  if (badge == badge_) return;
  badge_ = badge;
  // Only a running app hears of the change; a launch reads the badge afresh.
  if (state() == AppState::NotRunning) return;
  host::send(tabBar_, msg::badgeChanged, nullptr);
  if (stark_) host::send(stark_, msg::applicationBadgeChangedNotification, nullptr);
}

void PhoneApp::connectCarPlay(bool connected) {
  if (connected == static_cast<bool>(stark_)) return;
  note(connected ? "shows its CarPlay screen" : "leaves its CarPlay screen");
  if (!connected) {
    stark_ = nullptr;
    carPlayBadgeText_.clear();
    return;
  }
  stark_ = starkClass_->instantiate();
  host::send(stark_, msg::updateBadgeString);
}

}  // namespace qv::apps
