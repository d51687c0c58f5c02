#include "platform/springboard/notifications.h"

#include <algorithm>
#include <stdexcept>

#include "platform/host/messages.h"
#include "platform/plist/keyed_archive.h"
#include "platform/springboard/internal/classes.h"

namespace qv::springboard {
namespace {

using objc::Id;
namespace msg = host::msg;

constexpr double kFirstCoreFoundationOfIos8 = 1140.0;
constexpr double kFirstCoreFoundationOfIos9 = 1240.0;
constexpr double kFirstCoreFoundationOfIos10 = 1348.0;

BannerScreen bannerScreenOf(const host::Host& host, const foundation::Foundation& foundation) {
  const double cf = host.coreFoundationVersion();
  const bool pad = foundation.device().idiom == 1;
  return BannerScreen{pad                               ? 768.0
                      : cf < kFirstCoreFoundationOfIos8 ? 320.0
                                                        : 375.0,
                      pad, cf < kFirstCoreFoundationOfIos9};
}

pl::Value contextOf(const IncomingNotification& n) {
  if (n.context) return *n.context;
  pl::Dict context;
  if (n.remotePayload) context["remoteNotification"] = *n.remotePayload;
  if (n.localArchive) {
    context["localNotification"] = *n.localArchive;
  } else if (n.localPayload) {
    pl::LocalNotificationFields fields;
    fields.alertBody = n.message;
    context["localNotification"] = pl::Data(pl::archiveLocalNotification(*n.localPayload, fields));
  }
  return context;
}

}  // namespace

Notifications::Notifications(host::Host& host, HomeScreen& home, foundation::Foundation& foundation)
    : host_(host), home_(home), ios10_(host.coreFoundationVersion() >= kFirstCoreFoundationOfIos10) {
  bulletins_ = std::make_unique<Bulletins>(host);
  server_ = std::make_unique<BulletinServer>(host, home);
  banners_ = std::make_unique<Banners>(host, foundation, bannerScreenOf(host, foundation));
  apps_ = std::make_unique<Applications>(host, home, *bulletins_, !ios10_);
  if (ios10_) {
    dashboard_ = std::make_unique<Dashboard>(host);
    dispatch_ = std::make_unique<NotificationDispatch>(host, *bulletins_, *banners_, *dashboard_);
  } else {
    list_ = std::make_unique<LockScreenList>(host);
  }
  wire();
}

Notifications::~Notifications() = default;

void Notifications::wire() {
  bulletins_->launchApp = [this](const std::string& bundleId) { open(bundleId); };
  server_->deliver = [this](const Id& bulletin, std::uint64_t feeds) { route(bulletin, feeds); };
  server_->removed = [this](const Id& bulletin) { removed(bulletin); };
  server_->appInFront = [this](const std::string& bundleId) { return apps_->frontmost() == bundleId; };
  banners_->screenLocked = [this] { return home_.locked(); };
  if (list_) list_->toNotificationCentre = [this](const Id& bulletin) { listInCentre(bulletin); };
  if (dispatch_) dispatch_->clearBulletin = [this](const Id& bulletin) { server_->withdraw(bulletin); };
  home_.addObserver([this](HomeScreen::Change change) { homeChanged(change); });
}

NotificationHandle Notifications::deliver(const IncomingNotification& n) {
  if (n.bundleId.empty()) throw std::invalid_argument("a notification needs the bundle id of its app");
  if (n.badge) home_.setBadge(n.bundleId, *n.badge);
  const std::string id = "notification-" + std::to_string(nextHandle_);
  BulletinFields fields;
  fields.sectionID = n.bundleId;
  fields.title = n.title;
  fields.subtitle = n.subtitle;
  fields.message = n.message;
  fields.categoryID = n.categoryIdentifier;
  fields.context = contextOf(n);
  fields.bulletinID = fields.recordID = fields.publisherBulletinID = id;
  fields.date = fields.publicationDate = fields.lastInterruptDate = bulletins_->now();
  fields.actions["default"] = bulletins_->makeAction(n.bundleId);
  fields.fullscreenAlert = n.fullscreen;
  Id bulletin = bulletins_->makeRequest(std::move(fields));
  const NotificationHandle handle = remember(bulletin);

  if (n.firedLocalNotification)
    apps_->fireLocalNotification(n.bundleId,
                                 bulletins_->makeLocalNotification(n.localPayload.value_or(pl::Dict{}), n.message));
  if (ios10_ && !home_.locked() && apps_->frontmost() == n.bundleId) dispatch_->askAppInFront(bulletin, n.bundleId);
  server_->publish(bulletin, kAllDestinations, false);
  return handle;
}

void Notifications::addFromDataProvider(objc::Object* dataProvider, const Id& bulletin, bool toLockScreen) {
  auto* b = dynamic_cast<BulletinObject*>(bulletin.get());
  if (!b) {
    internal::recordHost(host_, "data provider", "added something that is not a bulletin; nothing shown");
    return;
  }
  // A bulletin without a section takes its provider's.
  if (b->fields.sectionID.empty() && objc::respondsTo(dataProvider, msg::sectionIdentifier.sel))
    b->fields.sectionID = host::send(dataProvider, msg::sectionIdentifier);
  remember(bulletin);
  server_->publish(bulletin, kAllDestinations, toLockScreen);
}

void Notifications::route(const Id& bulletin, std::uint64_t feeds) {
  remember(bulletin);
  if (dispatch_) return dispatch_->addBulletin(server_->instance(), bulletin, feeds);
  if (feeds & kFeedLockScreen) {
    if (!list_->viewLoaded() && home_.locked()) list_->appear();
    list_->addBulletin(server_->instance(), bulletin);
  }
  if (feeds & kFeedBanner) {
    const Id& controller = banners_->bulletinBannerController();
    if (banners_->screen().legacyAddBulletin)
      host::send(controller, msg::observerAddBulletin, server_->instance(), bulletin, kFeedBanner);
    else
      host::send(controller, msg::observerAddBulletinPlayLights, server_->instance(), bulletin, kFeedBanner, true,
                 host::Block{});
  }
  if (feeds & kFeedNotificationCentre) listInCentre(bulletin);
}

void Notifications::removed(const Id& bulletin) {
  if (dispatch_) {
    dispatch_->removeBulletin(server_->instance(), bulletin);
  } else {
    list_->removeBulletin(server_->instance(), bulletin);
    unlistFromCentre(bulletin.get());
  }
  forgetIfGone(bulletin);
}

// A notification shown nowhere any more is forgotten, as the device forgets it; a handle to it
// then names nothing, which is what acting on it would find anyway.
void Notifications::forgetIfGone(const Id& bulletin) {
  if (dispatch_ ? dispatch_->requestFor(bulletin.get()) != nullptr : list_->itemFor(bulletin.get()) != nullptr) return;
  auto known = handles_.find(bulletin.get());
  if (known == handles_.end()) return;
  auto rec = records_.find(known->second);
  if (rec != records_.end() && rec->second.item) return;
  if (rec != records_.end()) records_.erase(rec);
  handles_.erase(known);
}

void Notifications::listInCentre(const Id& bulletin) {
  unlistFromCentre(bulletin.get());
  centre_.push_front(bulletin);
  inCentre_.emplace(bulletin.get(), centre_.begin());
}

void Notifications::unlistFromCentre(const objc::Object* bulletin) {
  auto listed = inCentre_.find(bulletin);
  if (listed == inCentre_.end()) return;
  centre_.erase(listed->second);
  inCentre_.erase(listed);
}

void Notifications::homeChanged(HomeScreen::Change change) {
  switch (change) {
    case HomeScreen::Change::Launched:
      server_->instance();
      if (list_ && home_.locked()) list_->appear();
      break;
    case HomeScreen::Change::Locked:
      banners_->dismiss(BannerDismissal::Locked);
      if (list_) list_->appear();
      break;
    case HomeScreen::Change::Unlocked:
      if (list_) list_->unlock();
      if (dashboard_) dashboard_->unlock();
      break;
  }
}

void Notifications::open(const std::string& bundleId) {
  if (home_.locked()) home_.unlock();
  // The home screen activates the app before the app's own process launches, as when the user
  // taps its icon.
  apps_->activate(bundleId);
  if (openApp) openApp(bundleId);
}

bool Notifications::removeFromLockScreen(NotificationHandle handle) {
  const Record* rec = find(handle);
  if (!rec) return false;
  if (rec->item) return list_->userRemoves(rec->item);
  const Id bulletin = rec->bulletin;
  if (dispatch_) {
    Id request = dispatch_->requestFor(bulletin.get());
    if (!request) return false;
    dispatch_->clear(request, dashboard_->lists(request.get()) ? dashboard_->dispatcher()
                                                               : dispatch_->notificationCentreViewController());
    return true;
  }
  if (Id item = list_->itemFor(bulletin.get())) list_->userRemoves(item);
  if (!server_->holds(bulletin.get())) return false;
  server_->withdraw(bulletin);
  return true;
}

bool Notifications::actOn(NotificationHandle handle, std::string_view origin) {
  const Record* rec = find(handle);
  if (!rec || !rec->bulletin) return false;
  const Id bulletin = rec->bulletin;
  if (dispatch_) {
    Id request = dispatch_->requestFor(bulletin.get());
    if (!request) return false;
    dispatch_->act(request, std::string(origin));
    return true;
  }
  const bool listed = list_->itemFor(bulletin.get()) != nullptr;
  if (!listed && !server_->holds(bulletin.get())) return false;
  if (listed) list_->userRemoves(list_->itemFor(bulletin.get()));
  server_->withdraw(bulletin);
  Id action = defaultActionOf(bulletin);
  if (!action) action = bulletins_->makeAction(bulletinFields(bulletin)->sectionID);
  bulletins_->runAction(action);
  return true;
}

bool Notifications::tapBanner() {
  std::optional<Banners::Banner> tapped = banners_->dismiss(BannerDismissal::Tapped);
  if (!tapped) return false;
  if (dispatch_ && tapped->request) {
    dispatch_->act(tapped->request, kOriginBanner);
    return true;
  }
  if (server_->holds(tapped->bulletin.get())) server_->withdraw(tapped->bulletin);
  Id action = defaultActionOf(tapped->bulletin);
  if (action)
    bulletins_->runAction(action);
  else
    open(tapped->sectionID());
  return true;
}

void Notifications::activateApp(const std::string& bundleId) {
  apps_->activate(bundleId);
}

void Notifications::installApp(const std::string& bundleId, const std::string& displayName) {
  apps_->install(bundleId, displayName);
}

NotificationHandle Notifications::addItem(ListItemKind kind, const Id& bulletinOrCard) {
  if (!list_) throw std::logic_error("lock-screen items of this kind exist on iOS 7 to 9 only");
  if (!list_->viewLoaded() && home_.locked()) list_->appear();
  Id item = list_->addItem(kind, bulletinOrCard);
  return remember(kind == ListItemKind::SnoozedAlarmBulletin ? bulletinOrCard : nullptr, item);
}

NotificationHandle Notifications::addSnoozedAlarm() {
  return addItem(ListItemKind::SnoozedAlarm, nullptr);
}

NotificationHandle Notifications::addSnoozedAlarmBulletin(const std::string& title) {
  if (!list_) return addItem(ListItemKind::SnoozedAlarmBulletin, nullptr);
  BulletinFields fields;
  fields.sectionID = "com.apple.mobiletimer";
  fields.title = title;
  fields.message = "Snoozed";
  fields.bulletinID = fields.recordID = fields.publisherBulletinID = "alarm-" + std::to_string(nextHandle_);
  fields.date = fields.publicationDate = fields.lastInterruptDate = bulletins_->now();
  return addItem(ListItemKind::SnoozedAlarmBulletin, bulletins_->makeRequest(std::move(fields)));
}

NotificationHandle Notifications::addCard(const std::string& identifier) {
  return addItem(ListItemKind::Card, list_ ? list_->makeCard(identifier) : nullptr);
}

NotificationHandle Notifications::addSystemAlert() {
  return addItem(ListItemKind::SystemAlert, nullptr);
}

void Notifications::scrollLockScreen() {
  if (dashboard_) dashboard_->scroll();
}

void Notifications::showNotificationCentreSection(const std::string& sectionId) {
  if (dispatch_) dispatch_->showSection(sectionId);
}

bool Notifications::pressFullscreenButton(FullscreenButton button) {
  return dashboard_ && dashboard_->pressFullscreen(button);
}

std::uint64_t Notifications::restarting() {
  banners_->goneWithTheHomeScreen();
  if (host_.timeline().active() && !lockScreenItems().empty()) internal::recordLockScreen(host_, {});
  return nextHandle_;
}

std::vector<ShownNotification> Notifications::lockScreenItems() const {
  std::vector<ShownNotification> out;
  if (list_) {
    for (const Id& item : list_->items())
      out.push_back(
          describe(internal::self<ListItemObject>(item.get())->bulletin, item.get(), item->isa()->name().c_str()));
  } else {
    for (const Id& request : dashboard_->requests())
      out.push_back(
          describe(requestOf(request)->bulletin, requestOf(request)->bulletin.get(), "NCNotificationRequest"));
  }
  return out;
}

std::vector<ShownNotification> Notifications::notificationCentreItems() const {
  std::vector<ShownNotification> out;
  for (const Id& b : centre_) out.push_back(describe(b, b.get(), "BBBulletinRequest"));
  if (dispatch_)
    for (const Id& request : dispatch_->notificationCentre())
      out.push_back(
          describe(requestOf(request)->bulletin, requestOf(request)->bulletin.get(), "NCNotificationRequest"));
  return out;
}

ShownNotification Notifications::describe(const Id& bulletin, const objc::Object* shown, const char* kind) const {
  ShownNotification s;
  s.handle = handleOf(shown);
  if (!s.handle) s.handle = handleOf(bulletin.get());
  s.kind = kind;
  if (const BulletinFields* f = bulletinFields(bulletin)) {
    s.sectionID = f->sectionID;
    s.title = f->title;
    s.subtitle = f->subtitle;
    s.message = f->message;
  }
  return s;
}

Id Notifications::bulletinOf(NotificationHandle handle) const {
  const Record* rec = find(handle);
  return rec ? rec->bulletin : nullptr;
}

NotificationHandle Notifications::handleOf(const objc::Object* bulletinOrItem) const {
  auto it = bulletinOrItem ? handles_.find(bulletinOrItem) : handles_.end();
  return it == handles_.end() ? NotificationHandle{} : NotificationHandle{it->second};
}

NotificationHandle Notifications::remember(const Id& bulletin, const Id& item) {
  if (!item)
    if (NotificationHandle known = handleOf(bulletin.get())) return known;
  const NotificationHandle handle{nextHandle_++};
  records_.emplace(handle.id, Record{handle, bulletin, item});
  if (item) handles_.emplace(item.get(), handle.id);
  if (bulletin) handles_.emplace(bulletin.get(), handle.id);
  return handle;
}

const Notifications::Record* Notifications::find(NotificationHandle handle) const {
  auto it = records_.find(handle.id);
  return it == records_.end() ? nullptr : &it->second;
}

}  // namespace qv::springboard
