// WhatsApp (net.whatsapp.WhatsApp): its delegate with "really" variants of the life-cycle and
// notification methods, and the view controllers that observe the return to the foreground.
// Main-queue use of the app's process.
#pragma once

#include <vector>

#include "platform/apps/app.h"
#include "platform/host/messages.h"

namespace qv::apps {

// WhatsAppAppDelegate does its real work in "really" variants: applicationWillEnterForeground:
// calls applicationReallyWillEnterForeground:, applicationDidBecomeActive: calls
// applicationReallyDidBecomeActive:, each notification method its really… counterpart. At a
// return to the foreground the observers follow the delegate, in the order they were made:
// WATabBarController (applicationWillEnterForeground:), the chat list (a WAViewController) and,
// while a chat is open, a ChatViewController (a WAViewController subclass), each through
// wa_applicationWillEnterForeground. The controllers exist from the first launch on.
class WhatsAppApp final : public App {
 public:
  WhatsAppApp(host::Host& host, AppSpec appSpec);

  // --- Notifications delivered to the running app (refused when it is not running) ---
  // A push: application:didReceiveRemoteNotification:fetchCompletionHandler:.
  Status receiveRemoteNotification(pl::Value payload);
  // A local notification while the app runs: application:didReceiveLocalNotification:.
  Status receiveLocalNotification(pl::Value userInfo);
  // The user picks an action of a notification (handleActionWithIdentifier:…).
  Status handleRemoteAction(std::string identifier, pl::Value payload, pl::Value responseInfo = {});
  Status handleLocalAction(std::string identifier, pl::Value userInfo, pl::Value responseInfo = {});
  // Completion handlers the app has called so far.
  int completionsCalled() const { return completions_; }

  // --- Screens ---
  // The user opens a chat (a ChatViewController joins the observers) or goes back to the list.
  Status openChat(std::string name);
  void closeChat();
  const std::string& openChatName() const { return chatName_; }

  // Internal to the classes.
  host::Block completion();

 protected:
  bool ownFinishLaunching(const pl::Value& options) override;
  void ownWillEnterForeground() override;
  void ownDidBecomeActive() override;
  void notifyWillEnterForegroundObservers() override;

 private:
  Status refuseUnlessRunning(std::string_view what) const;
  objc::Id makeLocalNotification(pl::Value userInfo);

  objc::Class* tabBarClass_;
  objc::Class* viewControllerClass_;
  objc::Class* chatClass_;
  objc::Class* localNotificationClass_;
  objc::Id tabBar_;
  std::vector<objc::Id> viewControllers_;  // the chat list, then the open chat
  std::string chatName_;
  int completions_ = 0;
};

}  // namespace qv::apps
