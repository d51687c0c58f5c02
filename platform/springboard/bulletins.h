// The home screen's bulletin objects: BBBulletin, BBBulletinRequest (with setters), BBAction,
// UILocalNotification and a set object for NSSet arguments. A default action is the actions
// entry "default". Bulletins are written before publication and only read after, from any queue.
//   Id request = bulletins.makeRequest({.sectionID = "com.viber", .title = "Anna", .message = "hi"});
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/messages.h"
#include "platform/objc/runtime.h"
#include "platform/plist/value.h"

namespace qv::springboard {

// Feeds of a published bulletin, also the destinations a publisher asks for. The reminder
// banner is delivered on feed 2.
inline constexpr std::uint64_t kFeedNotificationCentre = 1;
inline constexpr std::uint64_t kFeedBanner = 2;
inline constexpr std::uint64_t kFeedLockScreen = 8;
inline constexpr std::uint64_t kAllDestinations = kFeedNotificationCentre | kFeedBanner | kFeedLockScreen;

struct BulletinFields {
  std::string sectionID{};
  std::string title{};
  std::string subtitle{};
  std::string message{};
  std::string bulletinID{};
  std::string recordID{};
  std::string publisherBulletinID{};
  std::string categoryID{};  // the notification category of iOS 10 requests ("" for none)
  pl::Value context{};       // a dictionary, or null
  host::ObjectMap actions{};
  bool clearable = true;
  bool showsMessagePreview = true;
  pl::Value date{};  // pl::Date values, or null
  pl::Value publicationDate{};
  pl::Value lastInterruptDate{};
  bool fullscreenAlert = false;  // iOS 10: shown as a full-screen alert on the lock screen (alarms)
};

// The C++ side of a BBBulletin or BBBulletinRequest.
struct BulletinObject final : objc::Object {
  using Object::Object;
  BulletinFields fields;
};

// The C++ side of a BBAction.
struct ActionObject final : objc::Object {
  using Object::Object;
  std::string launchBundleID;
  host::Block callblock;
};

struct LocalNotificationObject final : objc::Object {
  using Object::Object;
  pl::Dict userInfo;
  std::string alertBody;
};

// An immutable set (what NSSet arguments carry here): objects, or strings such as bundle ids.
struct ObjectSet final : objc::Object {
  using Object::Object;
  std::vector<objc::Id> objects;
  std::vector<std::string> strings;
};

class Bulletins {
 public:
  // Defines BBBulletin, BBBulletinRequest, BBAction, UILocalNotification and the set class.
  explicit Bulletins(host::Host& host);
  Bulletins(const Bulletins&) = delete;
  Bulletins& operator=(const Bulletins&) = delete;

  // Where running an action sends its launch bundle id (the home screen opens that app).
  std::function<void(const std::string& bundleId)> launchApp;

  // A BBBulletinRequest with these fields (alloc and init through the runtime).
  objc::Id makeRequest(BulletinFields&& fields);
  // `BBAction actionWithLaunchBundleID:callblock:`.
  objc::Id makeAction(const std::string& launchBundleId, host::Block callblock = {});
  objc::Id makeLocalNotification(pl::Dict userInfo, std::string alertBody = {});
  objc::Id makeSet(std::vector<objc::Id> objects, std::vector<std::string> strings = {});

  // Runs an action as the user's tap does: its call block, then the launch of its app. An
  // object that is not a BBAction does nothing.
  void runAction(const objc::Id& action);

  // `now` as a property-list date.
  pl::Value now() const;

 private:
  host::Host& host_;
  objc::Class* requestClass_;
  objc::Class* actionClass_;
  objc::Class* localNotificationClass_;
  objc::Class* setClass_;
};

// The fields of a bulletin object, or null when `o` is no bulletin.
const BulletinFields* bulletinFields(const objc::Object* o);
inline const BulletinFields* bulletinFields(const objc::Id& o) {
  return bulletinFields(o.get());
}
// The bulletin's default action (its actions entry "default"), or null.
objc::Id defaultActionOf(const objc::Id& bulletin);

}  // namespace qv::springboard
