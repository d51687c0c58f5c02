// iOS 10 notification requests (NCNotificationRequest, made from a published bulletin) and
// NCCoalescedNotification (one section's requests). A request is settled before it is posted
// and only read afterwards, from any queue.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/objc/runtime.h"
#include "platform/plist/value.h"

namespace qv::springboard {

struct RequestObject final : objc::Object {
  using Object::Object;
  std::string sectionIdentifier;
  std::string categoryIdentifier;
  std::string notificationIdentifier;  // the bulletin id: a request posted again with it is an update
  pl::Value context;
  objc::Id bulletin;
  std::uint64_t feeds = 0;  // where the dispatcher sends it (see bulletins.h)
  bool fullscreen = false;  // a full-screen alert on the lock screen (alarms, calls)
};

struct CoalescedObject final : objc::Object {
  using Object::Object;
  std::string sectionIdentifier;
  std::deque<objc::Id> requests;  // oldest first: what is withdrawn is mostly the oldest
};

class NotificationRequests {
 public:
  // Defines NCNotificationRequest and NCCoalescedNotification.
  explicit NotificationRequests(host::Host& host);
  NotificationRequests(const NotificationRequests&) = delete;
  NotificationRequests& operator=(const NotificationRequests&) = delete;

  // A request for a published bulletin; null when `bulletin` is no bulletin.
  objc::Id makeRequest(const objc::Id& bulletin, std::uint64_t feeds, bool fullscreen);
  // The group of a section's requests, made on first use.
  const objc::Id& coalescedFor(const std::string& sectionIdentifier);
  // Forgets a request in its group.
  void uncoalesce(const objc::Id& request);

 private:
  objc::Class* requestClass_;
  objc::Class* coalescedClass_;
  std::vector<objc::Id> groups_;
};

// The C++ side of a request, or null.
RequestObject* requestOf(const objc::Id& o);

}  // namespace qv::springboard
