// The simulator's hand on the home screen's notifications: deliver an app's notification, remove
// it, act on it, tap a banner, open or install an app; data providers' bulletins come in through
// `addFromDataProvider`. Every step goes through the hookable methods the device uses. Main queue.
//   NotificationHandle h = notes.deliver({.bundleId = "net.whatsapp.WhatsApp", .title = "Anna"});
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/foundation/foundation_classes.h"
#include "platform/host/host.h"
#include "platform/objc/runtime.h"
#include "platform/plist/value.h"
#include "platform/springboard/applications.h"
#include "platform/springboard/banners.h"
#include "platform/springboard/bulletin_server.h"
#include "platform/springboard/bulletins.h"
#include "platform/springboard/dashboard.h"
#include "platform/springboard/home_screen.h"
#include "platform/springboard/lock_screen_list.h"
#include "platform/springboard/notification_dispatch.h"

namespace qv::springboard {

struct IncomingNotification {
  std::string bundleId{};  // the app, which is the bulletin's section id
  std::string title{};
  std::string subtitle{};
  std::string message{};
  std::string categoryIdentifier{};         // iOS 10 requests ("" for none)
  std::optional<pl::Dict> remotePayload{};  // goes to context "remoteNotification"
  std::optional<pl::Dict> localPayload{};   // a userInfo, archived into context "localNotification"
  std::optional<pl::Data> localArchive{};   // archived bytes as they are for "localNotification" (over localPayload)
  std::optional<pl::Value> context{};       // the whole context as it is, of any type (over both payloads)
  std::optional<std::int64_t> badge{};      // set on the app's icon before the notification arrives
  bool firedLocalNotification = false;      // the app's own local notification fires first
  bool fullscreen = false;                  // iOS 10 lock screen: a full-screen alert (alarms)
};

// Names one posted notification or lock-screen item; 0 names nothing.
struct NotificationHandle {
  std::uint64_t id = 0;
  explicit operator bool() const { return id != 0; }
  friend bool operator==(NotificationHandle, NotificationHandle) = default;
};

// What the lock screen or the notification centre shows, for inspection.
struct ShownNotification {
  NotificationHandle handle;
  std::string kind;  // the item's class: SBAwayBulletinListItem, NCNotificationRequest, ...
  std::string sectionID;
  std::string title;
  std::string subtitle;
  std::string message;
};

// On the timeline: Kind::Host "notification posted" ("WhatsApp — Anna: hi") and "lock screen"
// ("shows 3 notifications"); Kind::LockScreenBulletin (section id; "title / subtitle", the
// message when there is no subtitle); Kind::Banner (section id; "title — message (content x, width)").
class Notifications {
 public:
  // Defines every notification class of the home screen for the system range of `host`; call
  // before the library loads.
  Notifications(host::Host& host, HomeScreen& home, foundation::Foundation& foundation);
  ~Notifications();
  Notifications(const Notifications&) = delete;
  Notifications& operator=(const Notifications&) = delete;

  bool ios10() const { return ios10_; }

  // An app's notification arrives; throws std::invalid_argument without a bundle id.
  NotificationHandle deliver(const IncomingNotification& notification);
  // BBDataProviderAddBulletin(ToLockScreen): published like every other bulletin.
  void addFromDataProvider(objc::Object* dataProvider, const objc::Id& bulletin, bool toLockScreen);
  // The user removes a notification (iOS 7 to 9: swipes it off the lock screen; iOS 10: clears
  // it). False when it is shown nowhere any more.
  bool removeFromLockScreen(NotificationHandle handle);
  // The user acts on a notification (iOS 10: the action runner with `origin`; iOS 7 to 9: the
  // lock-screen item's default action). False when it is shown nowhere any more.
  bool actOn(NotificationHandle handle, std::string_view origin = kOriginLockScreen);
  // The user taps the banner on screen; false when there is none.
  bool tapBanner();
  // The user opens an app from its icon.
  void activateApp(const std::string& bundleId);
  void returnToHomeScreen() { apps_->returnToHomeScreen(); }
  void installApp(const std::string& bundleId, const std::string& displayName);

  // Lock-screen items of other kinds (iOS 7 to 9 only; std::logic_error on iOS 10).
  NotificationHandle addSnoozedAlarm();
  NotificationHandle addSnoozedAlarmBulletin(const std::string& title);
  NotificationHandle addCard(const std::string& identifier);
  NotificationHandle addSystemAlert();

  // iOS 10 gestures (nothing on iOS 7 to 9): scrolling the lock-screen list, opening a section
  // of the notification centre, a button of the full-screen alert (false when none is shown).
  void scrollLockScreen();
  void showNotificationCentreSection(const std::string& sectionId);
  bool pressFullscreenButton(FullscreenButton button);

  // The home screen restarts: the banner on screen goes, the lock screen's list empties (both
  // recorded). Returns the next handle, which the new home screen continues from, so that no
  // two notifications of a run share a handle or an id.
  std::uint64_t restarting();
  void continueHandlesFrom(std::uint64_t next) { nextHandle_ = std::max(nextHandle_, next); }

  std::vector<ShownNotification> lockScreenItems() const;
  std::vector<ShownNotification> notificationCentreItems() const;
  // The bulletin behind a handle (null for other items or an unknown handle).
  objc::Id bulletinOf(NotificationHandle handle) const;
  NotificationHandle handleOf(const objc::Object* bulletinOrItem) const;
  // How many notifications the home screen still knows by handle (for memory checks).
  std::size_t recordCount() const { return records_.size(); }

  // Told when the home screen opens an app for the user (a tapped banner or notification, a
  // default action), so the simulator can bring the app's process to the front. The device
  // unlocks first; the home screen then sends the app's `didAnimateActivation` itself.
  std::function<void(const std::string& bundleId)> openApp;

  Bulletins& bulletins() { return *bulletins_; }
  BulletinServer& server() { return *server_; }
  Banners& banners() { return *banners_; }
  Applications& applications() { return *apps_; }
  LockScreenList* lockScreenList() { return list_.get(); }      // iOS 7 to 9
  Dashboard* dashboard() { return dashboard_.get(); }           // iOS 10
  NotificationDispatch* dispatch() { return dispatch_.get(); }  // iOS 10

 private:
  struct Record {
    NotificationHandle handle;
    objc::Id bulletin;
    objc::Id item;  // lock-screen items of other kinds
  };

  void wire();
  void route(const objc::Id& bulletin, std::uint64_t feeds);
  void removed(const objc::Id& bulletin);
  void forgetIfGone(const objc::Id& bulletin);
  void homeChanged(HomeScreen::Change change);
  void open(const std::string& bundleId);
  void listInCentre(const objc::Id& bulletin);
  void unlistFromCentre(const objc::Object* bulletin);
  NotificationHandle remember(const objc::Id& bulletin, const objc::Id& item = nullptr);
  const Record* find(NotificationHandle handle) const;
  NotificationHandle addItem(ListItemKind kind, const objc::Id& bulletinOrCard);
  ShownNotification describe(const objc::Id& bulletin, const objc::Object* shown, const char* kind) const;

  host::Host& host_;
  HomeScreen& home_;
  bool ios10_;
  std::unique_ptr<Bulletins> bulletins_;
  std::unique_ptr<BulletinServer> server_;
  std::unique_ptr<Banners> banners_;
  std::unique_ptr<Applications> apps_;
  std::unique_ptr<LockScreenList> list_;
  std::unique_ptr<Dashboard> dashboard_;
  std::unique_ptr<NotificationDispatch> dispatch_;
  std::list<objc::Id> centre_;  // iOS 7 to 9: the notification centre's bulletins, newest first
  // Where each of those bulletins is listed (once), so that taking one off walks no list.
  std::unordered_map<const objc::Object*, std::list<objc::Id>::iterator> inCentre_;
  std::map<std::uint64_t, Record> records_;  // by handle
  std::unordered_map<const objc::Object*, std::uint64_t> handles_;  // by bulletin or item
  std::uint64_t nextHandle_ = 1;
};

}  // namespace qv::springboard
