// The Phone app (com.apple.mobilephone): PhoneApplication, its tab bar and its CarPlay screen,
// with the badge updates each of them runs. Main-queue use of the app's process.
#pragma once

#include "platform/apps/app.h"

namespace qv::apps {

// PhoneApplication is its own delegate, launched the older way (applicationDidFinishLaunching:).
// PhoneTabBarController's badges are brought up to date at launch and at each return
// (_updateAllBadges:) and on each badge change (_badgeChanged:). While CarPlay is connected,
// PHStarkGenericTableViewController hears of badge changes (applicationBadgeChangedNotification:)
// and redraws its badge text (updateBadgeString, which asks badgeString).
class PhoneApp final : public App {
 public:
  PhoneApp(host::Host& host, AppSpec appSpec);

  // The Phone app's badge changes (a missed call, a voicemail).
  void setBadge(std::int64_t badge);
  std::int64_t badge() const { return badge_; }
  // What the recents tab shows as its badge, as of the tab bar's last update.
  std::int64_t tabBadge() const { return tabBadge_; }
  // A car connects or disconnects: the CarPlay screen's controller is made or dropped.
  void connectCarPlay(bool connected);
  // The badge text on the CarPlay screen, as of its last redraw ("" when none or no car).
  const std::string& carPlayBadgeText() const { return carPlayBadgeText_; }

  // Internal to the classes.
  void tabBarUpdated() { tabBadge_ = badge_; }
  void carPlayRedrawn(std::string text) { carPlayBadgeText_ = std::move(text); }

 protected:
  bool ownFinishLaunching(const pl::Value& options) override;
  void ownWillEnterForeground() override;

 private:
  objc::Class* starkClass_;
  objc::Id tabBar_;
  objc::Id stark_;
  std::int64_t badge_ = 0;
  std::int64_t tabBadge_ = 0;
  std::string carPlayBadgeText_;
};

}  // namespace qv::apps
