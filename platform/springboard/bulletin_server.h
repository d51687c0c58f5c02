// BBServer: every bulletin, an app's or a data provider's, is published here and reaches its
// feeds: the lock screen while locked; the notification centre and (unless its app is in front)
// a banner while unlocked; "always to lock screen" adds the lock screen. An app keeps its
// kBulletinsKeptPerApp most recent bulletins: publishing one more withdraws its oldest, so
// nothing grows with the number of notifications a device has seen. Main queue.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "platform/host/host.h"
#include "platform/objc/runtime.h"
#include "platform/springboard/home_screen.h"

namespace qv::springboard {

inline constexpr std::size_t kBulletinsKeptPerApp = 50;

class BulletinServer {
 public:
  // Defines BBServer in the host's runtime.
  BulletinServer(host::Host& host, HomeScreen& home);
  BulletinServer(const BulletinServer&) = delete;
  BulletinServer& operator=(const BulletinServer&) = delete;

  // The server instance, made with `[[BBServer alloc] init]` on first use.
  const objc::Id& instance();
  // Publishes through `publishBulletin:destinations:alwaysToLockScreen:`. A bulletin without
  // a bulletin id gets one.
  void publish(const objc::Id& bulletin, std::uint64_t destinations, bool alwaysToLockScreen);
  // The bulletin is cleared (the user or its app removed it): its observers hear of it once.
  void withdraw(const objc::Id& bulletin);
  bool holds(const objc::Object* bulletin) const;
  std::size_t bulletinCount() const { return bulletins_.size(); }

  // Where a published bulletin goes, with the feeds it reached (see bulletins.h).
  std::function<void(const objc::Id& bulletin, std::uint64_t feeds)> deliver;
  // Told once for each withdrawn bulletin.
  std::function<void(const objc::Id& bulletin)> removed;
  // Whether an app is in front of the user (its notifications then show no banner).
  std::function<bool(const std::string& bundleId)> appInFront;

  // Internal to the class.
  void published(const objc::Id& bulletin, std::uint64_t destinations, bool alwaysToLockScreen);

 private:
  void forgetOldest(const std::string& sectionID);
  // Lets go of a held bulletin (already off its section's list) and tells its observers.
  void forget(std::map<const objc::Object*, objc::Id>::iterator held);

  host::Host& host_;
  HomeScreen& home_;
  objc::Class* class_;
  objc::Id instance_;
  std::map<const objc::Object*, objc::Id> bulletins_;
  std::map<std::string, std::deque<const objc::Object*>, std::less<>> bySection_;  // oldest first
  std::uint64_t nextBulletinNumber_ = 1;
  std::string text_;  // an event's detail, built here so that its room is reused
};

}  // namespace qv::springboard
