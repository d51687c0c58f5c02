#include "platform/springboard/home_screen.h"

#include "platform/host/messages.h"
#include "platform/objc/instance_pool.h"
#include "platform/stack_text.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

HomeScreen* homeOf(void* ctx) { return static_cast<HomeScreen*>(ctx); }

struct AppIconObject final : Object {
  using Object::Object;
  HomeScreen* home = nullptr;
  std::string bundleId;
};

struct CaptureDevice final : Object {
  using Object::Object;
  HomeScreen* home = nullptr;
  // Whether the configuration lock is held. The blink takes it from its own queue; the flag alone
  // is shared, so an atomic does what a mutex around it did.
  std::atomic<bool> configuring = false;
};

template <class T>
Id make(objc::Class* cls) {
  return objc::makeInstance<T>(cls);
}

// Defines a class whose `sharedInstance`-style class method returns the object kept in `slot`.
objc::Class* defineSingleton(objc::Runtime& rt, const char* name, const host::Message<Id()>& accessor, Id* slot,
                             objc::Class::Factory factory = nullptr) {
  objc::Class* cls = rt.defineClass(name, rt.rootClass(), factory);
  *slot = cls->instantiate();
  rt.addClassMethod<Id()>(cls, accessor.sel, [](void* ctx, Object*, Sel) -> Id { return *static_cast<Id*>(ctx); }, slot);
  return cls;
}

}  // namespace

HomeScreen::HomeScreen(host::Host& host, TorchHardware torch, bool flashWithSharedInstance)
    : host_(host), torch_(torch) {
  objc::Runtime& rt = host_.runtime();
  objc::Class* root = rt.rootClass();

  objc::Class* uiApplication = rt.defineClass("UIApplication", root);
  objc::Class* springBoard = rt.defineClass("SpringBoard", uiApplication);
  springBoardApp = springBoard->instantiate();
  rt.addClassMethod<Id()>(uiApplication, Sel::intern("sharedApplication"), [](void* ctx, Object*, Sel) -> Id {
    return homeOf(ctx)->springBoardApp;
  }, this);
  rt.addMethod<void(Id)>(springBoard, msg::applicationDidFinishLaunching.sel, [](void* ctx, Object*, Sel, Id) {
    HomeScreen* h = homeOf(ctx);
    h->host().timeline().record(h->host().processName(), timeline::Kind::Host, "home screen", "finished launching");
  }, this);

  objc::Class* backlight = defineSingleton(rt, "SBBacklightController", msg::sharedInstance, &backlightController);
  rt.addMethod<void(Id)>(backlight, msg::autoLockTimerFired.sel, [](void* ctx, Object*, Sel, Id) {
    homeOf(ctx)->setLocked(true, "auto-lock");
  }, this);

  objc::Class* lockManager = defineSingleton(rt, "SBLockScreenManager", msg::sharedInstance, &lockScreenManager);
  rt.addMethod<bool()>(lockManager, msg::isUILocked.sel, [](void* ctx, Object*, Sel) {
    return homeOf(ctx)->locked();
  }, this);
  rt.addMethod<void(std::int64_t, Id)>(lockManager, msg::finishUIUnlock.sel, [](void* ctx, Object*, Sel, std::int64_t, Id) {
    homeOf(ctx)->setLocked(false, "unlocked by the user");
  }, this);

  objc::Class* userAgentClass = defineSingleton(rt, "SBUserAgent", msg::sharedUserAgent, &userAgent);
  rt.addMethod<void()>(userAgentClass, msg::undimScreen.sel, [](void* ctx, Object*, Sel) {
    HomeScreen* h = homeOf(ctx);
    h->host().timeline().record(h->host().processName(), timeline::Kind::ScreenWake, "screen");
  }, this);

  objc::Class* icons = defineSingleton(rt, "SBIconController", msg::sharedInstance, &iconController);
  objc::Class* modelClass = rt.defineClass("SBIconModel", root);
  iconModel = modelClass->instantiate();
  rt.addMethod<Id()>(icons, msg::model.sel, [](void* ctx, Object*, Sel) { return homeOf(ctx)->iconModel; }, this);
  objc::Class* iconClass = rt.defineClass("SBApplicationIcon", root, &make<AppIconObject>);
  rt.addMethod<Id(std::string)>(modelClass, msg::applicationIconForBundleIdentifier.sel,
                                [](void* ctx, Object* self, Sel, std::string bundleId) -> Id {
                                  HomeScreen* h = homeOf(ctx);
                                  auto it = h->apps_.find(bundleId);
                                  if (it == h->apps_.end() || !it->second.hasIcon) return nullptr;
                                  // A home screen built without the icon class has no icons to hand out.
                                  objc::Class* iconClass = self->isa()->runtime().getClass("SBApplicationIcon");
                                  if (!iconClass) return nullptr;
                                  Id icon = iconClass->instantiate();
                                  auto* o = objc::as<AppIconObject>(icon);
                                  o->home = h;
                                  o->bundleId = bundleId;
                                  return icon;
                                }, this);
  rt.addMethod<std::int64_t()>(iconClass, msg::badgeValue.sel, [](void*, Object* self, Sel) -> std::int64_t {
    auto* o = objc::as<AppIconObject>(self);
    return o ? o->home->badge(o->bundleId) : 0;
  });

  objc::Class* sounds = defineSingleton(rt, "SBBulletinSoundController", msg::sharedInstance, &soundController);
  rt.addMethod<bool()>(sounds, msg::quietModeEnabled.sel, [](void* ctx, Object*, Sel) {
    return homeOf(ctx)->quietMode();
  }, this);

  objc::Class* capture = rt.defineClass("AVCaptureDevice", root, &make<CaptureDevice>);
  captureDevice = capture->instantiate();
  objc::as<CaptureDevice>(captureDevice)->home = this;
  rt.addClassMethod<Id(std::string)>(capture, msg::defaultDeviceWithMediaType.sel,
                                     [](void* ctx, Object*, Sel, std::string mediaType) -> Id {
                                       return mediaType == "vide" ? homeOf(ctx)->captureDevice : nullptr;
                                     }, this);
  rt.addMethod<bool()>(capture, msg::hasTorch.sel, [](void* ctx, Object*, Sel) { return homeOf(ctx)->torch().hasTorch; }, this);
  rt.addMethod<bool()>(capture, msg::hasFlash.sel, [](void* ctx, Object*, Sel) { return homeOf(ctx)->torch().hasFlash; }, this);
  rt.addMethod<bool(Id)>(capture, msg::lockForConfiguration.sel, [](void* ctx, Object* self, Sel, Id) {
    auto* d = objc::as<CaptureDevice>(self);
    if (homeOf(ctx)->torch().refusesConfiguration) return false;
    d->configuring = true;
    return true;
  }, this);
  rt.addMethod<void()>(capture, msg::unlockForConfiguration.sel, [](void*, Object* self, Sel) {
    auto* d = objc::as<CaptureDevice>(self);
    d->configuring = false;
  });
  rt.addMethod<void(std::int64_t)>(capture, msg::setTorchMode.sel, [](void* ctx, Object* self, Sel, std::int64_t mode) {
    auto* d = objc::as<CaptureDevice>(self);
    // Like the device, the torch changes only under a configuration lock.
    if (!d->configuring) return;
    homeOf(ctx)->recordTorch(mode == 1);
  }, this);
  rt.addMethod<void(std::int64_t)>(capture, msg::setFlashMode.sel, [](void*, Object*, Sel, std::int64_t) {}, this);

  objc::Class* flash = rt.defineClass("SBScreenFlash", root);
  if (flashWithSharedInstance) {
    screenFlash = flash->instantiate();
    rt.addClassMethod<Id()>(flash, msg::sharedInstance.sel, [](void* ctx, Object*, Sel) { return homeOf(ctx)->screenFlash; }, this);
    rt.addMethod<void()>(flash, msg::flash.sel, [](void* ctx, Object*, Sel) {
      HomeScreen* h = homeOf(ctx);
      h->host().timeline().record(h->host().processName(), timeline::Kind::ScreenFlash, "white", {},
                                {{"color", std::string("white")}});
    }, this);
  } else {
    screenFlash = flash->instantiate();
    rt.addClassMethod<Id()>(flash, msg::mainScreenFlasher.sel, [](void* ctx, Object*, Sel) { return homeOf(ctx)->screenFlash; }, this);
    rt.addMethod<void(Id, host::Block)>(flash, msg::flashColorWithCompletion.sel, [](void* ctx, Object*, Sel, Id, host::Block done) {
      HomeScreen* h = homeOf(ctx);
      h->host().timeline().record(h->host().processName(), timeline::Kind::ScreenFlash, "white", {},
                                  {{"color", std::string("white")}});
      if (done) done();
    }, this);
  }
}

void HomeScreen::setQuietMode(bool on) {
  if (quietMode_ == on) return;
  quietMode_ = on;
  host_.timeline().record(host_.processName(), timeline::Kind::DoNotDisturb, "do not disturb", on ? "on" : "off",
                          {{"on", on}});
}

void HomeScreen::carryOver(const Kept& before) {
  for (const auto& [bundleId, icon] : before.apps) apps_[bundleId] = icon;
  quietMode_ = before.quietMode;
  // A new home screen starts locked, so setLocked() would see no change; the device does.
  if (!before.locked)
    host_.timeline().record(host_.processName(), timeline::Kind::LockState, "locked", kLockedByRestart,
                            {{"locked", true}, {"how", std::string(kLockedByRestart)}});
}

void HomeScreen::installApp(const std::string& bundleId, const std::string& displayName, std::int64_t badge) {
  apps_[bundleId] = AppIcon{displayName, badge, true};
}

void HomeScreen::setBadge(const std::string& bundleId, std::int64_t badge) {
  auto it = apps_.find(bundleId);
  if (it == apps_.end()) it = apps_.emplace(bundleId, AppIcon{bundleId, 0, true}).first;
  if (it->second.badge == badge) return;
  it->second.badge = badge;
  if (host_.timeline().active()) {
    StackText<32> text;  // "badge 3", no string made
    text << "badge " << badge;
    host_.timeline().record(host_.processName(), timeline::Kind::Badge, bundleId, text.view(),
                            {{"app", timeline::Borrowed{bundleId}}, {"badge", badge}});
  }
}

std::int64_t HomeScreen::badge(const std::string& bundleId) const {
  auto it = apps_.find(bundleId);
  return it == apps_.end() ? 0 : it->second.badge;
}

std::optional<std::string> HomeScreen::displayName(std::string_view bundleId) const {
  const std::string* name = displayNameOf(bundleId);
  if (!name) return std::nullopt;
  return *name;
}

const std::string* HomeScreen::displayNameOf(std::string_view bundleId) const {
  const auto* last = lastLookedUp_.load(std::memory_order_relaxed);
  if (last && last->first == bundleId) return &last->second.displayName;
  auto it = apps_.find(bundleId);
  if (it == apps_.end()) return nullptr;
  lastLookedUp_.store(&*it, std::memory_order_relaxed);
  return &it->second.displayName;
}

const std::string& HomeScreen::nameOr(const std::string& bundleId) const {
  const std::string* name = displayNameOf(bundleId);
  return name ? *name : bundleId;
}

bool HomeScreen::torchOn() const { return torchLit_; }

void HomeScreen::recordTorch(bool on) {
  if (torchLit_.exchange(on) == on) return;
  host_.timeline().record(host_.processName(), on ? timeline::Kind::TorchOn : timeline::Kind::TorchOff, "torch");
}

void HomeScreen::setLocked(bool locked, const char* why) {
  if (locked_ == locked) return;
  locked_ = locked;
  host_.timeline().record(host_.processName(), timeline::Kind::LockState, locked ? "locked" : "unlocked", why,
                          {{"locked", locked}, {"how", std::string(why)}});
  for (const auto& observer : observers_) observer(locked ? Change::Locked : Change::Unlocked);
}

void HomeScreen::finishLaunching() {
  host::send(springBoardApp, msg::applicationDidFinishLaunching, springBoardApp);
  for (const auto& observer : observers_) observer(Change::Launched);
}
void HomeScreen::autoLock() { host::send(backlightController, msg::autoLockTimerFired, nullptr); }
void HomeScreen::lock() { setLocked(true, "lock button"); }
void HomeScreen::unlock() { host::send(lockScreenManager, msg::finishUIUnlock, 0, nullptr); }

}  // namespace qv::springboard
