#include "platform/springboard/notification_requests.h"

#include <algorithm>

#include "platform/host/messages.h"
#include "platform/springboard/bulletins.h"
#include "platform/springboard/internal/classes.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

template <auto Member>
using RequestField = std::remove_cvref_t<decltype((std::declval<RequestObject&>().*Member)())>;

template <auto Member>
RequestField<Member> readRequest(void*, Object* self, Sel) {
  auto* r = internal::self<RequestObject>(self);
  return r ? (r->*Member)() : RequestField<Member>();
}

Id readBulletin(void*, Object* self, Sel) {
  auto* r = internal::self<RequestObject>(self);
  return r ? r->bulletin : nullptr;
}

}  // namespace

NotificationRequests::NotificationRequests(host::Host& host) {
  objc::Runtime& rt = host.runtime();
  requestClass_ = internal::defineRootClass(rt, "NCNotificationRequest", &internal::makeObject<RequestObject>);
  rt.addMethod<std::string()>(requestClass_, msg::requestSectionIdentifier.sel,
                              &readRequest<&RequestObject::sectionIdentifier>);
  rt.addMethod<std::string()>(requestClass_, msg::categoryIdentifier.sel,
                              &readRequest<&RequestObject::categoryIdentifier>);
  rt.addMethod<pl::Value()>(requestClass_, msg::context.sel, &readRequest<&RequestObject::context>);
  rt.addMethod<Id()>(requestClass_, msg::bulletin.sel, &readBulletin);
  coalescedClass_ = internal::defineRootClass(rt, "NCCoalescedNotification", &internal::makeObject<CoalescedObject>);
  rt.addMethod<std::string()>(coalescedClass_, msg::requestSectionIdentifier.sel, [](void*, Object* self, Sel) {
    auto* c = internal::self<CoalescedObject>(self);
    return c ? c->sectionIdentifier : std::string();
  });
}

Id NotificationRequests::makeRequest(const Id& bulletin, std::uint64_t feeds, bool fullscreen) {
  const BulletinFields* f = bulletinFields(bulletin);
  if (!f) return nullptr;
  Id request = internal::allocInit(requestClass_);
  auto* r = internal::self<RequestObject>(request.get());
  r->bulletin = bulletin;
  r->feeds = feeds;
  r->fullscreen = fullscreen;
  r->group = &coalescedFor(f->sectionID);
  internal::self<CoalescedObject>(r->group->get())->requests.push_back(request);
  return request;
}

const Id& NotificationRequests::coalescedFor(const std::string& sectionIdentifier) {
  for (const Id& g : groups_)
    if (internal::self<CoalescedObject>(g.get())->sectionIdentifier == sectionIdentifier) return g;
  Id group = internal::allocInit(coalescedClass_);
  internal::self<CoalescedObject>(group.get())->sectionIdentifier = sectionIdentifier;
  groups_.push_back(std::move(group));
  return groups_.back();
}

void NotificationRequests::uncoalesce(const Id& request) {
  const RequestObject* r = requestOf(request);
  if (!r) return;
  auto* group = internal::self<CoalescedObject>(r->group->get());
  // A request is in its group once.
  auto listed = std::find(group->requests.begin(), group->requests.end(), request);
  if (listed != group->requests.end()) group->requests.erase(listed);
}

RequestObject* requestOf(const Id& o) {
  return internal::self<RequestObject>(o.get());
}

}  // namespace qv::springboard
