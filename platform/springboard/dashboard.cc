#include "platform/springboard/dashboard.h"

#include <algorithm>

#include "platform/host/messages.h"
#include "platform/springboard/bulletins.h"
#include "platform/springboard/internal/classes.h"
#include "platform/springboard/notification_requests.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

Dashboard* dashboardOf(void* ctx) {
  return static_cast<Dashboard*>(ctx);
}

// The listed request that `request` updates (same notification id), or null.
Id listedWithSameId(const std::vector<Id>& listed, const Id& request) {
  const RequestObject* r = requestOf(request);
  if (!r) return nullptr;
  for (const Id& l : listed)
    if (requestOf(l)->notificationIdentifier() == r->notificationIdentifier()) return l;
  return nullptr;
}

void defineDispatcher(objc::Runtime& rt, objc::Class* cls, Dashboard* d) {
  rt.addMethod<void(Id, Id)>(
      cls, msg::postNotificationRequestCoalesced.sel,
      [](void* ctx, Object*, Sel, Id request, Id coalesced) {
        Dashboard* dash = dashboardOf(ctx);
        const bool update = listedWithSameId(dash->requests(), request) != nullptr;
        host::send(dash->listViewController(),
                   update ? msg::modifyNotificationRequestCoalesced : msg::insertNotificationRequestCoalesced, request,
                   coalesced);
      },
      d);
  rt.addMethod<void(Id, Id, Id, pl::Value, host::Block)>(
      cls, msg::destinationPerformAction.sel,
      [](void* ctx, Object*, Sel, Id, Id action, Id request, pl::Value, host::Block completion) {
        Dashboard* dash = dashboardOf(ctx);
        if (dash->runAction)
          dash->runAction(request, action, std::move(completion));
        else if (completion)
          completion();
      },
      d);
}

void defineListViewController(objc::Runtime& rt, objc::Class* cls, Dashboard* d, const Id* priorityList) {
  rt.addMethod<void(Id, Id)>(
      cls, msg::insertNotificationRequestCoalesced.sel,
      [](void* ctx, Object*, Sel, Id request, Id) {
        auto* list = static_cast<const Id*>(ctx);
        host::send(*list, msg::insertNotificationRequest, request);
      },
      const_cast<Id*>(priorityList));
  rt.addMethod<void(Id, Id)>(
      cls, msg::modifyNotificationRequestCoalesced.sel,
      [](void* ctx, Object*, Sel, Id request, Id) { dashboardOf(ctx)->inserted(request, true); }, d);
  rt.addMethod<void(Id, Id)>(
      cls, msg::removeNotificationRequestCoalesced.sel,
      [](void* ctx, Object*, Sel, Id request, Id) { dashboardOf(ctx)->removed(request.get()); }, d);
}

void defineFullscreen(objc::Runtime& rt, objc::Class* lockScreenVC, objc::Class* fullscreenVC, Dashboard* d) {
  rt.addMethod<void(Id)>(
      lockScreenVC, msg::presentFullscreenBulletinAlert.sel,
      [](void* ctx, Object*, Sel, Id item) { dashboardOf(ctx)->fullscreenShown(item); }, d);
  rt.addMethod<void(Id)>(
      fullscreenVC, msg::handlePrimaryActionForView.sel,
      [](void* ctx, Object*, Sel, Id) { dashboardOf(ctx)->fullscreenDismissed("primary action", true); }, d);
  rt.addMethod<void(Id)>(
      fullscreenVC, msg::handleSecondaryActionForView.sel,
      [](void* ctx, Object*, Sel, Id) { dashboardOf(ctx)->fullscreenDismissed("secondary action", false); }, d);
  rt.addMethod<void(Id)>(
      fullscreenVC, msg::lockButtonPressed.sel,
      [](void* ctx, Object*, Sel, Id) { dashboardOf(ctx)->fullscreenDismissed("lock button", false); }, d);
}

}  // namespace

Dashboard::Dashboard(host::Host& host) : host_(host) {
  objc::Runtime& rt = host.runtime();
  objc::Class* dispatcher = internal::defineRootClass(rt, "SBDashBoardNotificationDispatcher");
  defineDispatcher(rt, dispatcher, this);
  dispatcher_ = internal::allocInit(dispatcher);

  objc::Class* list = internal::defineRootClass(rt, "NCNotificationPriorityList");
  rt.addMethod<void(Id)>(
      list, msg::insertNotificationRequest.sel,
      [](void* ctx, Object*, Sel, Id request) { dashboardOf(ctx)->inserted(request, false); }, this);
  priorityList_ = internal::allocInit(list);

  objc::Class* listVC = internal::defineRootClass(rt, "NCNotificationPriorityListViewController");
  defineListViewController(rt, listVC, this, &priorityList_);
  listViewController_ = internal::allocInit(listVC);

  objc::Class* dashList = internal::defineRootClass(rt, "SBDashBoardNotificationListViewController");
  rt.addMethod<void(Id)>(dashList, msg::notificationListViewControllerDidScroll.sel, [](void*, Object*, Sel, Id) {});
  dashBoardListViewController_ = internal::allocInit(dashList);

  objc::Class* lockScreenVC = internal::defineRootClass(rt, "SBLockScreenViewController");
  lockScreenViewController_ = internal::allocInit(lockScreenVC);
  fullscreenClass_ = internal::defineRootClass(rt, "SBDashBoardFullscreenNotificationViewController");
  defineFullscreen(rt, lockScreenVC, fullscreenClass_, this);
}

void Dashboard::post(const Id& request, const Id& coalesced) {
  host::send(dispatcher_, msg::postNotificationRequestCoalesced, request, coalesced);
}

void Dashboard::withdraw(const Id& request, const Id& coalesced) {
  if (lists(request.get()))
    host::send(listViewController_, msg::removeNotificationRequestCoalesced, request, coalesced);
}

void Dashboard::performAction(const Id& action, const Id& request, host::Block completion) {
  host::send(dispatcher_, msg::destinationPerformAction, listViewController_, action, request, pl::Value(pl::Dict{}),
             std::move(completion));
}

void Dashboard::scroll() {
  host::send(dashBoardListViewController_, msg::notificationListViewControllerDidScroll, listViewController_);
}

void Dashboard::presentFullscreen(const Id& request) {
  host::send(lockScreenViewController_, msg::presentFullscreenBulletinAlert, request);
}

bool Dashboard::pressFullscreen(FullscreenButton button) {
  if (!fullscreenController_) return false;
  Id controller = fullscreenController_;
  switch (button) {
    case FullscreenButton::Primary:
      host::send(controller, msg::handlePrimaryActionForView, nullptr);
      break;
    case FullscreenButton::Secondary:
      host::send(controller, msg::handleSecondaryActionForView, nullptr);
      break;
    case FullscreenButton::Lock:
      host::send(controller, msg::lockButtonPressed, nullptr);
      break;
  }
  return true;
}

void Dashboard::unlock() {
  if (requests_.empty()) return;
  std::vector<Id> handed = std::move(requests_);
  requests_.clear();
  viewChanged();
  for (auto it = handed.rbegin(); it != handed.rend(); ++it)
    if (toNotificationCentre) toNotificationCentre(*it);
}

bool Dashboard::lists(const Object* request) const {
  return std::any_of(requests_.begin(), requests_.end(), [request](const Id& r) { return r.get() == request; });
}

void Dashboard::inserted(const Id& request, bool update) {
  const RequestObject* r = requestOf(request);
  if (!r) return;
  if (Id old = update ? listedWithSameId(requests_, request) : nullptr)
    *std::find(requests_.begin(), requests_.end(), old) = request;
  else
    requests_.insert(requests_.begin(), request);
  if (const BulletinFields* f = bulletinFields(r->bulletin)) internal::recordLockScreenBulletin(host_, *f);
  viewChanged();
}

void Dashboard::removed(const Object* request) {
  if (std::erase_if(requests_, [request](const Id& r) { return r.get() == request; })) viewChanged();
}

void Dashboard::fullscreenShown(const Id& request) {
  fullscreenController_ = internal::allocInit(fullscreenClass_);
  fullscreenRequest_ = request;
  const RequestObject* r = requestOf(request);
  const BulletinFields* f = r ? bulletinFields(r->bulletin) : nullptr;
  internal::recordHost(host_, "full-screen alert", f ? f->title + " — " + f->message : std::string("shown"));
}

void Dashboard::fullscreenDismissed(const char* why, bool act) {
  if (!fullscreenController_) return;
  Id request = std::move(fullscreenRequest_);
  fullscreenRequest_ = nullptr;
  fullscreenController_ = nullptr;
  internal::recordHost(host_, "full-screen alert", std::string("dismissed: ") + why);
  if (act && actOnFullscreen) actOnFullscreen(request);
}

void Dashboard::viewChanged() {
  if (!host_.timeline().active()) return;
  std::vector<std::string> shown;
  for (const Id& request : requests_)
    if (const RequestObject* r = requestOf(request)) shown.push_back(r->notificationIdentifier());
  internal::recordLockScreen(host_, std::move(shown));
}

}  // namespace qv::springboard
