// One app process as iOS runs it: its application object and delegate classes in the
// process's runtime, and the life cycle the simulator drives, each step sending the app's own
// methods through the runtime in UIKit's order. Main-queue use of the app's process.
//   world.app("com.apple.mobilemail").launch();   // Kind::Host "Mail" "launched", then the sends
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/host/host.h"
#include "platform/result.h"

namespace qv::apps {

enum class AppState { NotRunning, Active, Inactive, Background };
const char* stateName(AppState state);

enum class AppFlavour { Generic, Phone, Mail, Messages, WhatsApp, Messenger, Telegram, Threema, Viber };

struct AppSpec {
  std::string bundleId;
  std::string displayName;
  std::string processName;
  AppFlavour flavour = AppFlavour::Generic;
  // The application object's class; the app object is its own delegate when `delegateClass`
  // is empty.
  std::string applicationClass = "UIApplication";
  std::string delegateClass;
  // Launched with applicationDidFinishLaunching: rather than application:didFinishLaunchingWithOptions:.
  bool oldStyleLaunch = false;
  // Has the messaging framework (IMChatRegistry, IMChat).
  bool messaging = false;
};

// The steps and what each sends to the delegate (or to the app object that is its own delegate):
//   launch:          didFinishLaunching (…WithOptions: or the older applicationDidFinishLaunching:),
//                    then applicationDidBecomeActive:
//   enterForeground: applicationWillEnterForeground:, the will-enter-foreground observers,
//                    then applicationDidBecomeActive:
//   becomeActive:    applicationDidBecomeActive: (after resignActive, e.g. a banner pulled down)
//   resignActive:    applicationWillResignActive:
//   enterBackground: applicationWillResignActive: (when active), applicationDidEnterBackground:
// A step that does not fit the app's state is refused with a message. Each step is a timeline
// event Kind::Host (subject: the app's name, detail: "launched", "returns to the foreground"…).
class App {
 public:
  // Defines the application and delegate classes in the process's runtime (before the library
  // loads) and makes the two objects.
  App(host::Host& host, AppSpec appSpec);
  virtual ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  const AppSpec& appSpec() const { return appSpec_; }
  AppState state() const { return state_; }
  host::Host& host() { return host_; }
  objc::Id application() const { return application_; }
  // The object that receives the life-cycle messages (the delegate, or the app object itself).
  objc::Id delegate() const { return delegate_; }

  // --- The life cycle ---
  Status launch(pl::Value options = {});
  Status enterForeground();
  Status becomeActive();
  Status resignActive();
  Status enterBackground();
  // Whatever brings the app to the front from where it is: launch, return or activation.
  Status open();

 protected:
  friend struct AppMethods;
  // The app's own implementations of the delegate methods; each runs inside the method the
  // runtime dispatched (so after any hook's "first" work and before its "after" work).
  virtual bool ownFinishLaunching(const pl::Value&) { return true; }
  virtual void ownWillEnterForeground() {}
  virtual void ownDidBecomeActive() {}
  virtual void ownWillResignActive() {}
  virtual void ownDidEnterBackground() {}
  // UIKit's will-enter-foreground notification, after the delegate heard of it.
  virtual void notifyWillEnterForegroundObservers() {}

  // A class of the app: defined here, or the one already there.
  objc::Class* defineClass(std::string_view name, objc::Class* superclass, objc::Class::Factory factory = nullptr);
  objc::Runtime& runtime() { return host_.runtime(); }
  Status refuse(std::string_view step) const;
  void note(std::string_view what);

  host::Host& host_;

 private:
  void defineLifeCycleMethods(objc::Class* cls);
  void sendDidBecomeActive();

  AppSpec appSpec_;
  AppState state_ = AppState::NotRunning;
  objc::Id application_;
  objc::Id delegate_;
};

}  // namespace qv::apps
