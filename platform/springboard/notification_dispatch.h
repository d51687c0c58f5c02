// How a notification travels on iOS 10: the bulletin source makes a request and hands it to the
// dispatcher's `postNotificationWithRequest:`, which posts it, each step through its own method,
// to the lock screen, the banner destination and the notification centre. Clearing goes back
// through the source to the server; actions run in NCBulletinActionRunner. Main queue.
#pragma once

#include <functional>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/host/host.h"
#include "platform/objc/runtime.h"
#include "platform/springboard/banners.h"
#include "platform/springboard/bulletins.h"
#include "platform/springboard/dashboard.h"
#include "platform/springboard/notification_requests.h"

namespace qv::springboard {

// Where an action was taken, as the action runner is told.
inline constexpr const char* kOriginLockScreen = "BulletinDestinationLockScreen";
inline constexpr const char* kOriginNotificationCentre = "BulletinDestinationNotificationCenter";
inline constexpr const char* kOriginBanner = "BulletinDestinationBanner";

// NCBulletinNotificationSource, NCNotificationDispatcher, SBNotificationBannerDestination (which
// first tells NCNotificationAlertQueue), NCNotificationListViewController over
// NCNotificationChronologicalList, UNSUserNotificationServer and NCBulletinActionRunner.
class NotificationDispatch {
 public:
  // Defines the classes of the way and makes their instances.
  NotificationDispatch(host::Host& host, Bulletins& bulletins, Banners& banners, Dashboard& dashboard);
  NotificationDispatch(const NotificationDispatch&) = delete;
  NotificationDispatch& operator=(const NotificationDispatch&) = delete;

  const objc::Id& source() const { return source_; }
  const objc::Id& dispatcher() const { return dispatcher_; }
  const objc::Id& notificationCentreViewController() const { return centreViewController_; }
  const objc::Id& chronologicalList() const { return chronologicalList_; }

  // The server published a bulletin on these feeds (`observer:addBulletin:…` of the source).
  void addBulletin(const objc::Id& server, const objc::Id& bulletin, std::uint64_t feeds);
  // The server cleared a bulletin (`observer:removeBulletin:` of the source).
  void removeBulletin(const objc::Id& server, const objc::Id& bulletin);
  // The user clears a request shown at `destination`:
  // `dispatcher:requestsClearingNotificationRequests:fromDestinations:`.
  void clear(const objc::Id& request, const objc::Id& destination);
  // The user acts on a request from an origin (see the constants): the lock screen asks its
  // dispatcher, the others the action runner directly; then the request is cleared.
  void act(const objc::Id& request, const std::string& origin);
  // Runs an action for a request in a new NCBulletinActionRunner.
  void execute(const objc::Id& request, const objc::Id& action, const std::string& origin, host::Block completion);
  // Asks the app in front how to present its notification (`willPresentNotification:…`); the
  // apps here answer at once that they show it themselves, so it gets no banner.
  void askAppInFront(const objc::Id& bulletin, const std::string& bundleId);
  // The user opens a section of the notification centre.
  void showSection(const std::string& sectionIdentifier);

  // The request made for a bulletin, or null once it is cleared.
  objc::Id requestFor(const objc::Object* bulletin) const;
  const std::list<objc::Id>& notificationCentre() const { return centre_; }
  NotificationRequests& requests() { return requests_; }

  // Clears a bulletin in the server (which then tells the source).
  std::function<void(const objc::Id& bulletin)> clearBulletin;

  // Internal to the classes.
  void posted(const objc::Id& request);
  void presentBanner(const objc::Id& request);
  void listedInCentre(const objc::Id& request);
  void withdrawn(const objc::Id& bulletin);
  void sectionShown(const std::string& sectionIdentifier);
  void appAnswered(const std::string& bundleId);

 private:
  objc::Id defaultActionFor(const objc::Id& request);

  host::Host& host_;
  Bulletins& bulletins_;
  Banners& banners_;
  Dashboard& dashboard_;
  NotificationRequests requests_;
  objc::Id source_;
  objc::Id dispatcher_;
  objc::Id bannerDestination_;
  objc::Id alertQueue_;
  objc::Id centreViewController_;
  objc::Id chronologicalList_;
  objc::Id userNotificationServer_;
  objc::Class* runnerClass_;
  // Every request not cleared yet, by the bulletin it shows (in the order they were posted): the
  // home screen keeps hundreds, and each withdrawal and look-up by bulletin finds its own at once.
  std::unordered_map<const objc::Object*, std::vector<objc::Id>> live_;
  bool isLive(const objc::Id& request) const;
  std::list<objc::Id> centre_;  // the notification centre's requests, newest first (added at the front)
  // Each of centre_'s requests by its notification identifier (the centre lists an identifier
  // once): a post under an identifier and a withdrawal find their entry without a walk.
  std::unordered_map<std::string, std::list<objc::Id>::iterator> centreEntries_;
};

}  // namespace qv::springboard
