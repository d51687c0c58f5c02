// Viber (com.viber): ViberAppDelegate, and VIBBadgeManager (sharedInstance), whose
// updateApplicationBadge the delegate calls each time the app becomes active, after its other
// work. Main-queue use of the app's process.
#pragma once

#include "platform/apps/app.h"

namespace qv::apps {

class ViberApp final : public App {
 public:
  ViberApp(host::Host& host, AppSpec appSpec);

  // How often the badge manager has brought the app's badge up to date.
  int badgeUpdates() const { return badgeUpdates_; }
  void badgeUpdated() { ++badgeUpdates_; }

 protected:
  void ownDidBecomeActive() override;

 private:
  objc::Class* badgeManagerClass_;
  objc::Id badgeManager_;
  int badgeUpdates_ = 0;
};

}  // namespace qv::apps
