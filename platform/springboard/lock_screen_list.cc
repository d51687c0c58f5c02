#include "platform/springboard/lock_screen_list.h"

#include <algorithm>

#include "platform/host/messages.h"
#include "platform/springboard/internal/classes.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

LockScreenList* listOf(void* ctx) {
  return static_cast<LockScreenList*>(ctx);
}

struct CardObject final : Object {
  using Object::Object;
  std::string identifier;
};

const char* className(ListItemKind kind) {
  switch (kind) {
    case ListItemKind::Bulletin:
      return "SBAwayBulletinListItem";
    case ListItemKind::SnoozedAlarmBulletin:
      return "SBSnoozedAlarmBulletinListItem";
    case ListItemKind::SnoozedAlarm:
      return "SBSnoozedAlarmListItem";
    case ListItemKind::Card:
      return "SBAwayCardListItem";
    case ListItemKind::SystemAlert:
      return "SBAwaySystemAlertItem";
  }
  return "SBAwayListItem";
}

Id activeBulletin(void*, Object* self, Sel) {
  auto* item = internal::self<ListItemObject>(self);
  return item ? item->bulletin : nullptr;
}

void defineItemClasses(objc::Runtime& rt) {
  objc::Class* base = internal::defineRootClass(rt, "SBAwayListItem", &internal::makeObject<ListItemObject>);
  for (ListItemKind kind : {ListItemKind::Bulletin, ListItemKind::SnoozedAlarmBulletin, ListItemKind::SnoozedAlarm,
                            ListItemKind::Card, ListItemKind::SystemAlert})
    internal::defineClass(rt, className(kind), base);
  rt.addMethod<Id()>(rt.getClass(className(ListItemKind::Bulletin)), msg::activeBulletin.sel, &activeBulletin);
  rt.addMethod<Id()>(rt.getClass(className(ListItemKind::SnoozedAlarmBulletin)), msg::activeBulletin.sel,
                     &activeBulletin);
  rt.addMethod<Id()>(rt.getClass(className(ListItemKind::Card)), msg::cardItem.sel, [](void*, Object* self, Sel) {
    auto* item = internal::self<ListItemObject>(self);
    return item ? item->card : nullptr;
  });
}

void defineAdditions(objc::Runtime& rt, objc::Class* cls, LockScreenList* list) {
  rt.addMethod<void(Id, Id, std::uint64_t, bool, host::Block)>(
      cls, msg::observerAddBulletinPlayLights.sel,
      [](void* ctx, Object*, Sel, Id, Id bulletin, std::uint64_t, bool, host::Block reply) {
        listOf(ctx)->bulletinArrived(bulletin);
        if (reply) reply();
      },
      list);
  rt.addMethod<void(std::string)>(cls, msg::removeCachedBannerForBulletinID.sel,
                                  [](void*, Object*, Sel, std::string) {});
  rt.addMethod<void(Id)>(
      cls, msg::updateModelAndViewForAdditionOfItem.sel,
      [](void* ctx, Object*, Sel, Id item) { listOf(ctx)->added(item); }, list);
  rt.addMethod<void(Id)>(
      cls, msg::updateModelAndViewForModificationOfItem.sel,
      [](void* ctx, Object*, Sel, Id item) { listOf(ctx)->modified(item); }, list);
  rt.addMethod<void(Id, Id)>(
      cls, msg::updateModelAndViewForReplacingItem.sel,
      [](void* ctx, Object*, Sel, Id old, Id replacement) { listOf(ctx)->replaced(old, replacement); }, list);
}

void defineRemovals(objc::Runtime& rt, objc::Class* cls, LockScreenList* list) {
  rt.addMethod<void(Id, Id)>(
      cls, msg::observerRemoveBulletin.sel,
      [](void* ctx, Object* self, Sel, Id, Id bulletin) {
        if (Id item = listOf(ctx)->itemFor(bulletin.get()))
          host::send(self, msg::updateModelAndViewForRemovalOfItem, item);
      },
      list);
  rt.addMethod<void(Id, bool)>(
      cls, msg::updateModelForRemovalOfItem.sel,
      [](void* ctx, Object* self, Sel, Id item, bool updateView) {
        listOf(ctx)->dropFromModel(item.get());
        if (updateView) host::send(self, msg::updateModelAndViewForRemovalOfItem, item);
      },
      list);
  rt.addMethod<void(Id)>(
      cls, msg::updateModelAndViewForRemovalOfItem.sel,
      [](void* ctx, Object*, Sel, Id item) {
        listOf(ctx)->dropFromModel(item.get());
        listOf(ctx)->viewChanged();
      },
      list);
  rt.addMethod<void()>(
      cls, msg::removeItemsForNotificationCenterPresentation.sel,
      [](void* ctx, Object*, Sel) { listOf(ctx)->presentForNotificationCentre(); }, list);
}

void defineLifeCycle(objc::Runtime& rt, objc::Class* cls, LockScreenList* list) {
  rt.addMethod<void()>(
      cls, msg::loadView.sel, [](void* ctx, Object*, Sel) { listOf(ctx)->setLoaded(true); }, list);
  rt.addMethod<void()>(
      cls, msg::prepareForTeardown.sel, [](void* ctx, Object*, Sel) { listOf(ctx)->setLoaded(false); }, list);
  rt.addMethod<void(bool)>(
      cls, msg::setInScreenOffMode.sel, [](void* ctx, Object*, Sel, bool off) { listOf(ctx)->setScreenOff(off); },
      list);
}

}  // namespace

LockScreenList::LockScreenList(host::Host& host) : host_(host), rt_(host.runtime()) {
  defineItemClasses(rt_);
  cardClass_ = internal::defineRootClass(rt_, "SBAwayCardItem", &internal::makeObject<CardObject>);
  rt_.addMethod<std::string()>(cardClass_, msg::identifier.sel, [](void*, Object* self, Sel) {
    auto* card = internal::self<CardObject>(self);
    return card ? card->identifier : std::string();
  });
  objc::Class* cls = internal::defineRootClass(rt_, "SBLockScreenNotificationListController");
  defineAdditions(rt_, cls, this);
  defineRemovals(rt_, cls, this);
  defineLifeCycle(rt_, cls, this);
  controller_ = internal::allocInit(cls);
}

void LockScreenList::appear() {
  if (!viewLoaded_) host::send(controller_, msg::loadView);
  host::send(controller_, msg::setInScreenOffMode, true);
}

void LockScreenList::unlock() {
  if (!viewLoaded_) return;
  host::send(controller_, msg::setInScreenOffMode, false);
  host::send(controller_, msg::removeItemsForNotificationCenterPresentation);
  host::send(controller_, msg::prepareForTeardown);
}

void LockScreenList::addBulletin(const Id& server, const Id& bulletin) {
  host::send(controller_, msg::observerAddBulletinPlayLights, server, bulletin, kFeedLockScreen, true, host::Block{});
}

void LockScreenList::removeBulletin(const Id& server, const Id& bulletin) {
  host::send(controller_, msg::observerRemoveBulletin, server, bulletin);
}

Id LockScreenList::addItem(ListItemKind kind, const Id& bulletinOrCard) {
  Id item = makeItem(kind, bulletinOrCard);
  host::send(controller_, msg::updateModelAndViewForAdditionOfItem, item);
  return item;
}

bool LockScreenList::userRemoves(const Id& item) {
  if (std::find(items_.begin(), items_.end(), item) == items_.end()) return false;
  host::send(controller_, msg::updateModelForRemovalOfItem, item, true);
  return true;
}

Id LockScreenList::itemFor(const Object* bulletin) const {
  for (const Id& item : items_)
    if (internal::self<ListItemObject>(item.get())->bulletin.get() == bulletin && bulletin) return item;
  return nullptr;
}

Id LockScreenList::makeCard(const std::string& identifier) {
  Id card = internal::allocInit(cardClass_);
  internal::self<CardObject>(card.get())->identifier = identifier;
  return card;
}

Id LockScreenList::makeItem(ListItemKind kind, const Id& bulletinOrCard) {
  Id item = internal::allocInit(rt_.getClass(className(kind)));
  auto* o = internal::self<ListItemObject>(item.get());
  o->kind = kind;
  (kind == ListItemKind::Card ? o->card : o->bulletin) = bulletinOrCard;
  return item;
}

void LockScreenList::bulletinArrived(const Id& bulletin) {
  const BulletinFields* f = bulletinFields(bulletin);
  if (!f) return;
  host::send(controller_, msg::removeCachedBannerForBulletinID, f->bulletinID);
  // A bulletin id already listed is the same notification again: it takes the old one's place.
  for (const Id& item : items_) {
    const BulletinFields* listed = bulletinFields(internal::self<ListItemObject>(item.get())->bulletin);
    if (!listed || listed->bulletinID != f->bulletinID) continue;
    if (internal::self<ListItemObject>(item.get())->bulletin == bulletin)
      return host::send(controller_, msg::updateModelAndViewForModificationOfItem, item);
    Id keep = item;
    return host::send(controller_, msg::updateModelAndViewForReplacingItem, keep,
                      makeItem(ListItemKind::Bulletin, bulletin));
  }
  host::send(controller_, msg::updateModelAndViewForAdditionOfItem, makeItem(ListItemKind::Bulletin, bulletin));
}

void LockScreenList::added(const Id& item) {
  if (!internal::self<ListItemObject>(item.get())) return;
  items_.insert(items_.begin(), item);
  recordBulletin(item);
  viewChanged();
}

void LockScreenList::replaced(const Id& old, const Id& replacement) {
  if (!internal::self<ListItemObject>(replacement.get())) return;
  auto it = std::find(items_.begin(), items_.end(), old);
  if (it == items_.end())
    items_.insert(items_.begin(), replacement);
  else
    *it = replacement;
  recordBulletin(replacement);
  viewChanged();
}

void LockScreenList::modified(const Id& item) {
  if (std::find(items_.begin(), items_.end(), item) == items_.end()) return;
  recordBulletin(item);
  viewChanged();
}

bool LockScreenList::dropFromModel(const Object* item) {
  auto it = std::find_if(items_.begin(), items_.end(), [item](const Id& i) { return i.get() == item; });
  if (it == items_.end()) return false;
  items_.erase(it);
  return true;
}

// Each item leaves through the list's own removal step, as a swipe does but without a view
// update, so whatever hooks that step sees the hand-over (the lock state already reads unlocked).
// Oldest first, so the notification centre lists them newest first.
void LockScreenList::presentForNotificationCentre() {
  const std::vector<Id> handed = items_;
  for (auto it = handed.rbegin(); it != handed.rend(); ++it) {
    host::send(controller_, msg::updateModelForRemovalOfItem, *it, false);
    auto* item = internal::self<ListItemObject>(it->get());
    if (item->kind == ListItemKind::Bulletin && toNotificationCentre) toNotificationCentre(item->bulletin);
  }
  items_.clear();
  if (!handed.empty()) viewChanged();
}

void LockScreenList::viewChanged() {
  if (!host_.timeline().active()) return;
  std::vector<std::string> shown;
  for (const Id& item : items_) {
    const auto* o = internal::self<ListItemObject>(item.get());
    const BulletinFields* f = o ? bulletinFields(o->bulletin) : nullptr;
    shown.push_back(f                                  ? f->bulletinID
                    : o && o->kind == ListItemKind::Card ? "card:" + internal::self<CardObject>(o->card.get())->identifier
                                                         : className(o ? o->kind : ListItemKind::Bulletin));
  }
  internal::recordLockScreen(host_, std::move(shown));
}

void LockScreenList::recordBulletin(const Id& item) {
  const BulletinFields* f = bulletinFields(internal::self<ListItemObject>(item.get())->bulletin);
  if (f) internal::recordLockScreenBulletin(host_, *f);
}

}  // namespace qv::springboard
