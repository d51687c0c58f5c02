#include "platform/apps/app.h"

#include "platform/host/messages.h"

namespace qv::apps {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

}  // namespace

// Reaches the app's own (virtual) implementations from the runtime's method table.
struct AppMethods {
  static App* of(void* ctx) { return static_cast<App*>(ctx); }
  static bool finishWithOptions(void* ctx, Object*, Sel, Id, pl::Value options) {
    return of(ctx)->ownFinishLaunching(options);
  }
  static void finishOldStyle(void* ctx, Object*, Sel, Id) { of(ctx)->ownFinishLaunching(pl::Value()); }
  static void willEnterForeground(void* ctx, Object*, Sel, Id) { of(ctx)->ownWillEnterForeground(); }
  static void didBecomeActive(void* ctx, Object*, Sel, Id) { of(ctx)->ownDidBecomeActive(); }
  static void willResignActive(void* ctx, Object*, Sel, Id) { of(ctx)->ownWillResignActive(); }
  static void didEnterBackground(void* ctx, Object*, Sel, Id) { of(ctx)->ownDidEnterBackground(); }
};

const char* stateName(AppState state) {
  switch (state) {
    case AppState::NotRunning:
      return "not running";
    case AppState::Active:
      return "active";
    case AppState::Inactive:
      return "inactive";
    case AppState::Background:
      return "in the background";
  }
  return "in an unknown state";
}

App::App(host::Host& host, AppSpec appSpec) : host_(host), appSpec_(std::move(appSpec)) {
  objc::Class* uiApplication = defineClass("UIApplication", runtime().rootClass());
  objc::Class* appClass =
      appSpec_.applicationClass == "UIApplication" ? uiApplication : defineClass(appSpec_.applicationClass, uiApplication);
  application_ = appClass->instantiate();
  runtime().addClassMethod<Id()>(
      uiApplication, msg::sharedApplication.sel,
      [](void* ctx, Object*, Sel) { return static_cast<App*>(ctx)->application(); }, this);
  if (appSpec_.delegateClass.empty()) {
    delegate_ = application_;
    defineLifeCycleMethods(appClass);
  } else {
    objc::Class* delegateClass = defineClass(appSpec_.delegateClass, runtime().rootClass());
    delegate_ = delegateClass->instantiate();
    defineLifeCycleMethods(delegateClass);
  }
}

App::~App() = default;

objc::Class* App::defineClass(std::string_view name, objc::Class* superclass, objc::Class::Factory factory) {
  if (objc::Class* cls = runtime().defineClass(name, superclass, factory)) return cls;
  return runtime().getClass(name);
}

void App::defineLifeCycleMethods(objc::Class* cls) {
  objc::Runtime& rt = runtime();
  if (appSpec_.oldStyleLaunch)
    rt.addMethod<void(Id)>(cls, msg::applicationDidFinishLaunching.sel, &AppMethods::finishOldStyle, this);
  else
    rt.addMethod<bool(Id, pl::Value)>(cls, msg::didFinishLaunchingWithOptions.sel, &AppMethods::finishWithOptions,
                                      this);
  rt.addMethod<void(Id)>(cls, msg::applicationWillEnterForeground.sel, &AppMethods::willEnterForeground, this);
  rt.addMethod<void(Id)>(cls, msg::applicationDidBecomeActive.sel, &AppMethods::didBecomeActive, this);
  rt.addMethod<void(Id)>(cls, msg::applicationWillResignActive.sel, &AppMethods::willResignActive, this);
  rt.addMethod<void(Id)>(cls, msg::applicationDidEnterBackground.sel, &AppMethods::didEnterBackground, this);
}

Status App::launch(pl::Value options) {
  if (state_ != AppState::NotRunning) return refuse("launch");
  note("launched");
  state_ = AppState::Inactive;
  if (appSpec_.oldStyleLaunch)
    host::send(delegate_, msg::applicationDidFinishLaunching, application_);
  else
    (void)host::send(delegate_, msg::didFinishLaunchingWithOptions, application_, std::move(options));
  sendDidBecomeActive();
  return Ok{};
}

Status App::enterForeground() {
  if (state_ != AppState::Background) return refuse("return to the foreground");
  note("returns to the foreground");
  state_ = AppState::Inactive;
  host::send(delegate_, msg::applicationWillEnterForeground, application_);
  notifyWillEnterForegroundObservers();
  sendDidBecomeActive();
  return Ok{};
}

Status App::becomeActive() {
  if (state_ != AppState::Inactive) return refuse("become active");
  note("becomes active");
  sendDidBecomeActive();
  return Ok{};
}

Status App::resignActive() {
  if (state_ != AppState::Active) return refuse("resign active");
  note("resigns active");
  state_ = AppState::Inactive;
  host::send(delegate_, msg::applicationWillResignActive, application_);
  return Ok{};
}

Status App::enterBackground() {
  if (state_ != AppState::Active && state_ != AppState::Inactive) return refuse("go to the background");
  note("goes to the background");
  if (state_ == AppState::Active) host::send(delegate_, msg::applicationWillResignActive, application_);
  state_ = AppState::Background;
  host::send(delegate_, msg::applicationDidEnterBackground, application_);
  return Ok{};
}

Status App::open() {
  switch (state_) {
    case AppState::NotRunning:
      return launch();
    case AppState::Background:
      return enterForeground();
    case AppState::Inactive:
      return becomeActive();
    case AppState::Active:
      return Ok{};
  }
  return Ok{};
}

void App::sendDidBecomeActive() {
  state_ = AppState::Active;
  host::send(delegate_, msg::applicationDidBecomeActive, application_);
}

Status App::refuse(std::string_view step) const {
  return Error{appSpec_.displayName + " cannot " + std::string(step) + " while " + stateName(state_)};
}

void App::note(std::string_view what) {
  host_.timeline().record(host_.processName(), timeline::Kind::Host, appSpec_.displayName, what);
}

}  // namespace qv::apps
