// Apps in the home screen: SBApplication per app (`_fireNotification:`, `didAnimateActivation`),
// SBApplicationController and SBApplicationRestrictionController (installs), and on iOS 7 to 9
// UNLocalNotificationClient. Also which app is in front of the user. Main queue.
#pragma once

#include <map>
#include <string>

#include "platform/host/host.h"
#include "platform/objc/runtime.h"
#include "platform/springboard/bulletins.h"
#include "platform/springboard/home_screen.h"

namespace qv::springboard {

class Applications {
 public:
  // Defines the classes; `localNotificationClient` adds UNLocalNotificationClient (iOS 7 to 9).
  Applications(host::Host& host, HomeScreen& home, Bulletins& bulletins, bool localNotificationClient);
  Applications(const Applications&) = delete;
  Applications& operator=(const Applications&) = delete;

  // The SBApplication of an app, made on first use (for any bundle id the home screen is asked about).
  const objc::Id& application(const std::string& bundleId);
  // Installs an app, or updates it when installed already: the icon, then `applicationsAdded:`,
  // `_sendInstalledAppsDidChangeNotification:removed:modified:` and the restriction
  // controller's `noteApplicationIdentifiersDidChangeWithAdded:modified:removed:`.
  void install(const std::string& bundleId, const std::string& displayName);
  // The user opens an app: `didAnimateActivation`, and the app is in front.
  void activate(const std::string& bundleId);
  // The user goes back to the home screen: no app is in front.
  void returnToHomeScreen();
  // An app's local notification fires: UNLocalNotificationClient `_fireNotification:` (iOS 7
  // to 9), then the app's `_fireNotification:`.
  void fireLocalNotification(const std::string& bundleId, const objc::Id& notification);

  // The app in front of the user ("" on the home screen).
  const std::string& frontmost() const { return frontmost_; }
  const std::string& nameOf(const std::string& bundleId) const;

  // Internal to the classes.
  void activated(const std::string& bundleId);

 private:
  host::Host& host_;
  HomeScreen& home_;
  Bulletins& bulletins_;
  objc::Class* applicationClass_;
  objc::Id applicationController_;
  objc::Id restrictionController_;
  objc::Id localNotificationClient_;
  std::map<std::string, objc::Id, std::less<>> applications_;
  std::string frontmost_;
  std::string text_;  // the front-app event's text, written into the same room each time
  // "WhatsApp opened": the app's name and `what`, into text_.
  const std::string& describe(const std::string& bundleId, std::string_view what);
};

}  // namespace qv::springboard
