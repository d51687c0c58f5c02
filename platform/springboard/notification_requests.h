// iOS 10 notification requests (NCNotificationRequest, made from a published bulletin) and
// NCCoalescedNotification (one section's requests). A request is settled before it is posted
// and only read afterwards, from any queue.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "platform/host/host.h"
#include "platform/objc/runtime.h"
#include "platform/plist/value.h"
#include "platform/springboard/bulletins.h"

namespace qv::springboard {

// A request reads its section, category, identifier and context from its bulletin, which is
// settled before it is published.
struct RequestObject final : objc::Object {
  using Object::Object;
  objc::Id bulletin;  // a BBBulletin
  // Its section's NCCoalescedNotification, as NotificationRequests keeps it (not a reference of its
  // own: the group holds its requests).
  const objc::Id* group = nullptr;
  std::uint64_t feeds = 0;  // where the dispatcher sends it (see bulletins.h)
  bool fullscreen = false;  // a full-screen alert on the lock screen (alarms, calls)

  const std::string& sectionIdentifier() const { return fields().sectionID; }
  const std::string& categoryIdentifier() const { return fields().categoryID; }
  // The bulletin id: a request posted again with it is an update.
  const std::string& notificationIdentifier() const { return fields().bulletinID; }
  const pl::Value& context() const { return fields().context; }

 private:
  const BulletinFields& fields() const { return static_cast<const BulletinObject&>(*bulletin).fields; }
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
  // Forgets a request in its group (the one it was made in).
  void uncoalesce(const objc::Id& request);

 private:
  objc::Class* requestClass_;
  objc::Class* coalescedClass_;
  std::deque<objc::Id> groups_;  // a deque: a request points to its group's entry
};

// The C++ side of a request, or null.
RequestObject* requestOf(const objc::Id& o);

}  // namespace qv::springboard
