#include "platform/springboard/notification_dispatch.h"

#include <algorithm>
#include <iterator>

#include "platform/host/messages.h"
#include "platform/springboard/internal/classes.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

NotificationDispatch* dispatchOf(void* ctx) {
  return static_cast<NotificationDispatch*>(ctx);
}

struct RunnerObject final : Object {
  using Object::Object;
  Id bulletin;
};

void defineSource(objc::Runtime& rt, objc::Class* cls, NotificationDispatch* d) {
  rt.addMethod<void(Id, Id, std::uint64_t, bool, host::Block)>(
      cls, msg::observerAddBulletinPlayLights.sel,
      [](void* ctx, Object*, Sel, Id, Id bulletin, std::uint64_t feeds, bool, host::Block reply) {
        NotificationDispatch* dispatch = dispatchOf(ctx);
        const BulletinFields* f = bulletinFields(bulletin);
        if (Id request = f ? dispatch->requests().makeRequest(bulletin, feeds, f->fullscreenAlert) : nullptr)
          host::send(dispatch->dispatcher(), msg::postNotificationWithRequest, request);
        if (reply) reply();
      },
      d);
  rt.addMethod<void(Id, Id)>(
      cls, msg::observerRemoveBulletin.sel,
      [](void* ctx, Object*, Sel, Id, Id bulletin) { dispatchOf(ctx)->withdrawn(bulletin); }, d);
  rt.addMethod<void(Id, Id, Id)>(
      cls, msg::requestsClearingNotificationRequests.sel,
      [](void* ctx, Object*, Sel, Id, Id requests, Id) {
        NotificationDispatch* dispatch = dispatchOf(ctx);
        auto* set = internal::self<ObjectSet>(requests.get());
        if (!set || !dispatch->clearBulletin) return;
        for (const Id& request : std::vector<Id>(set->objects))
          if (const RequestObject* r = requestOf(request)) dispatch->clearBulletin(r->bulletin);
      },
      d);
}

void defineDestinations(objc::Runtime& rt, NotificationDispatch* d) {
  rt.addMethod<void(Id)>(
      rt.getClass("NCNotificationDispatcher"), msg::postNotificationWithRequest.sel,
      [](void* ctx, Object*, Sel, Id request) { dispatchOf(ctx)->posted(request); }, d);
  rt.addMethod<void(Id, bool, host::Block)>(
      rt.getClass("SBNotificationBannerDestination"), msg::presentNotificationViewController.sel,
      [](void* ctx, Object*, Sel, Id request, bool, host::Block completion) {
        dispatchOf(ctx)->presentBanner(request);
        if (completion) completion();
      },
      d);
  // The queue would play the notification's own alert; the simulated home screen plays none.
  rt.addMethod<void(Id, Id, bool)>(rt.getClass("NCNotificationAlertQueue"), msg::willPresentNotificationRequest.sel,
                                   [](void*, Object*, Sel, Id, Id, bool) {});
  rt.addMethod<void(Id, std::string, host::Block)>(
      rt.getClass("UNSUserNotificationServer"), msg::willPresentNotification.sel,
      [](void* ctx, Object*, Sel, Id, std::string bundleId, host::Block completion) {
        dispatchOf(ctx)->appAnswered(bundleId);
        if (completion) completion();
      },
      d);
}

void defineCentre(objc::Runtime& rt, NotificationDispatch* d) {
  rt.addMethod<void(Id, Id)>(
      rt.getClass("NCNotificationListViewController"), msg::insertNotificationRequestCoalesced.sel,
      [](void* ctx, Object*, Sel, Id request, Id) {
        host::send(dispatchOf(ctx)->chronologicalList(), msg::insertNotificationRequest, request);
      },
      d);
  objc::Class* chronological = rt.getClass("NCNotificationChronologicalList");
  rt.addMethod<void(Id)>(
      chronological, msg::insertNotificationRequest.sel,
      [](void* ctx, Object*, Sel, Id request) { dispatchOf(ctx)->listedInCentre(request); }, d);
  rt.addMethod<void(std::string, std::string)>(
      chronological, msg::showRequestsForSection.sel,
      [](void* ctx, Object*, Sel, std::string section, std::string) { dispatchOf(ctx)->sectionShown(section); }, d);
}

void defineRunner(objc::Runtime& rt, objc::Class* runner, Bulletins* bulletins) {
  rt.addMethod<Id()>(runner, msg::bulletin.sel, [](void*, Object* self, Sel) {
    auto* r = internal::self<RunnerObject>(self);
    return r ? r->bulletin : nullptr;
  });
  rt.addMethod<void(Id, std::string, pl::Value, host::Block)>(
      runner, msg::executeAction.sel,
      [](void* ctx, Object*, Sel, Id action, std::string, pl::Value, host::Block completion) {
        static_cast<Bulletins*>(ctx)->runAction(action);
        if (completion) completion();
      },
      bulletins);
}

}  // namespace

NotificationDispatch::NotificationDispatch(host::Host& host, Bulletins& bulletins, Banners& banners,
                                           Dashboard& dashboard)
    : host_(host), bulletins_(bulletins), banners_(banners), dashboard_(dashboard), requests_(host) {
  objc::Runtime& rt = host.runtime();
  objc::Class* source = internal::defineRootClass(rt, "NCBulletinNotificationSource");
  defineSource(rt, source, this);
  source_ = internal::allocInit(source);
  for (const char* name :
       {"NCNotificationDispatcher", "SBNotificationBannerDestination", "NCNotificationAlertQueue",
        "UNSUserNotificationServer", "NCNotificationListViewController", "NCNotificationChronologicalList"})
    internal::defineRootClass(rt, name);
  defineDestinations(rt, this);
  defineCentre(rt, this);
  dispatcher_ = internal::allocInit(rt.getClass("NCNotificationDispatcher"));
  bannerDestination_ = internal::allocInit(rt.getClass("SBNotificationBannerDestination"));
  alertQueue_ = internal::allocInit(rt.getClass("NCNotificationAlertQueue"));
  userNotificationServer_ = internal::allocInit(rt.getClass("UNSUserNotificationServer"));
  centreViewController_ = internal::allocInit(rt.getClass("NCNotificationListViewController"));
  chronologicalList_ = internal::allocInit(rt.getClass("NCNotificationChronologicalList"));
  runnerClass_ = internal::defineRootClass(rt, "NCBulletinActionRunner", &internal::makeObject<RunnerObject>);
  defineRunner(rt, runnerClass_, &bulletins_);

  dashboard_.runAction = [this](const Id& request, const Id& action, host::Block completion) {
    execute(request, action, kOriginLockScreen, std::move(completion));
  };
  dashboard_.toNotificationCentre = [this](const Id& request) {
    host::send(centreViewController_, msg::insertNotificationRequestCoalesced, request, *requestOf(request)->group);
  };
  dashboard_.actOnFullscreen = [this](const Id& request) {
    execute(request, defaultActionFor(request), kOriginLockScreen, {});
  };
}

void NotificationDispatch::addBulletin(const Id& server, const Id& bulletin, std::uint64_t feeds) {
  host::send(source_, msg::observerAddBulletinPlayLights, server, bulletin, feeds, true, host::Block{});
}

void NotificationDispatch::removeBulletin(const Id& server, const Id& bulletin) {
  host::send(source_, msg::observerRemoveBulletin, server, bulletin);
}

void NotificationDispatch::posted(const Id& request) {
  RequestObject* r = requestOf(request);
  if (!r) return;
  std::vector<Id>& sameBulletin = live_[r->bulletin.get()];
  if (std::find(sameBulletin.begin(), sameBulletin.end(), request) == sameBulletin.end())
    sameBulletin.push_back(request);
  const Id& coalesced = *r->group;
  if (r->feeds & kFeedLockScreen) {
    if (r->fullscreen)
      dashboard_.presentFullscreen(request);
    else
      dashboard_.post(request, coalesced);
  }
  if (r->feeds & kFeedBanner)
    host::send(bannerDestination_, msg::presentNotificationViewController, request, false, host::Block{});
  if (r->feeds & kFeedNotificationCentre)
    host::send(centreViewController_, msg::insertNotificationRequestCoalesced, request, coalesced);
}

void NotificationDispatch::presentBanner(const Id& request) {
  const RequestObject* r = requestOf(request);
  const BulletinFields* f = r ? bulletinFields(r->bulletin) : nullptr;
  if (!f) return;
  host::send(alertQueue_, msg::willPresentNotificationRequest, bannerDestination_, request, false);
  banners_.present(Banners::Banner{r->bulletin, request, nullptr, nullptr, {}, {}});
}

void NotificationDispatch::listedInCentre(const Id& request) {
  const RequestObject* r = requestOf(request);
  if (!r) return;
  // A notification posted again under its id updates its entry.
  auto [entry, isNew] = centreEntries_.try_emplace(r->notificationIdentifier());
  if (!isNew) centre_.erase(entry->second);
  centre_.push_front(request);
  entry->second = centre_.begin();
}

void NotificationDispatch::withdrawn(const Id& bulletin) {
  auto same = live_.find(bulletin.get());
  if (same == live_.end()) return;
  Id request = std::move(same->second.front());
  same->second.erase(same->second.begin());
  if (same->second.empty()) live_.erase(same);
  dashboard_.withdraw(request, *requestOf(request)->group);
  // The centre's entry under the request's id may be a later request posted with it.
  auto entry = centreEntries_.find(requestOf(request)->notificationIdentifier());
  if (entry != centreEntries_.end() && *entry->second == request) {
    centre_.erase(entry->second);
    centreEntries_.erase(entry);
  }
  requests_.uncoalesce(request);
}

void NotificationDispatch::clear(const Id& request, const Id& destination) {
  if (!requestOf(request)) return;
  host::send(source_, msg::requestsClearingNotificationRequests, dispatcher_, bulletins_.makeSet({request}),
             bulletins_.makeSet({destination}));
}

void NotificationDispatch::act(const Id& request, const std::string& origin) {
  const RequestObject* r = requestOf(request);
  if (!r) return;
  Id action = defaultActionFor(request);
  Id destination = centreViewController_;
  if (origin.find("LockScreen") != std::string::npos) {
    destination = dashboard_.dispatcher();
    dashboard_.performAction(action, request, {});
  } else {
    if (origin.find("Banner") != std::string::npos) destination = bannerDestination_;
    execute(request, action, origin, {});
  }
  // Acting on a notification takes it away wherever it was shown.
  if (isLive(request)) clear(request, destination);
}

void NotificationDispatch::execute(const Id& request, const Id& action, const std::string& origin,
                                   host::Block completion) {
  const RequestObject* r = requestOf(request);
  Id runner = internal::allocInit(runnerClass_);
  internal::self<RunnerObject>(runner.get())->bulletin = r ? r->bulletin : nullptr;
  host::send(runner, msg::executeAction, action, origin, pl::Value(pl::Dict{}), std::move(completion));
}

void NotificationDispatch::askAppInFront(const Id& bulletin, const std::string& bundleId) {
  host::send(userNotificationServer_, msg::willPresentNotification, bulletin, bundleId, host::Block{});
}

void NotificationDispatch::appAnswered(const std::string& bundleId) {
  internal::recordHost(host_, bundleId, "the app in front shows its notification itself");
}

void NotificationDispatch::showSection(const std::string& sectionIdentifier) {
  host::send(chronologicalList_, msg::showRequestsForSection, sectionIdentifier, std::string());
}

void NotificationDispatch::sectionShown(const std::string& sectionIdentifier) {
  const auto n = std::count_if(centre_.begin(), centre_.end(),
                               [&](const Id& r) { return requestOf(r)->sectionIdentifier() == sectionIdentifier; });
  internal::recordHost(host_, "notification centre", "shows " + std::to_string(n) + " of " + sectionIdentifier);
}

Id NotificationDispatch::requestFor(const Object* bulletin) const {
  auto same = live_.find(bulletin);
  return same == live_.end() ? nullptr : same->second.front();
}

bool NotificationDispatch::isLive(const Id& request) const {
  const RequestObject* r = requestOf(request);
  auto same = r ? live_.find(r->bulletin.get()) : live_.end();
  return same != live_.end() && std::find(same->second.begin(), same->second.end(), request) != same->second.end();
}

Id NotificationDispatch::defaultActionFor(const Id& request) {
  const RequestObject* r = requestOf(request);
  if (!r) return nullptr;
  if (Id action = defaultActionOf(r->bulletin)) return action;
  return bulletins_.makeAction(r->sectionIdentifier());
}

}  // namespace qv::springboard
