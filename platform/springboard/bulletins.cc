#include "platform/springboard/bulletins.h"

#include <typeinfo>

#include "platform/springboard/internal/classes.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

// Seconds between the Unix epoch and the property-list epoch (2001-01-01 UTC).
constexpr double kReferenceDateOffset = 978307200.0;

template <auto Member>
using FieldType = std::remove_cvref_t<decltype(std::declval<BulletinFields&>().*Member)>;

template <auto Member>
FieldType<Member> readField(void*, Object* self, Sel) {
  auto* b = internal::self<BulletinObject>(self);
  return b ? b->fields.*Member : FieldType<Member>();
}

template <auto Member>
void writeField(void*, Object* self, Sel, FieldType<Member> value) {
  if (auto* b = internal::self<BulletinObject>(self)) b->fields.*Member = std::move(value);
}

template <auto Member>
void addGetter(objc::Runtime& rt, objc::Class* cls, const host::Message<FieldType<Member>()>& m) {
  rt.addMethod<FieldType<Member>()>(cls, m.sel, &readField<Member>);
}

template <auto Member>
void addSetter(objc::Runtime& rt, objc::Class* cls, const host::Message<void(FieldType<Member>)>& m) {
  rt.addMethod<void(FieldType<Member>)>(cls, m.sel, &writeField<Member>);
}

void defineBulletinClass(objc::Runtime& rt, objc::Class* bulletin) {
  addGetter<&BulletinFields::sectionID>(rt, bulletin, msg::sectionID);
  addGetter<&BulletinFields::title>(rt, bulletin, msg::title);
  addGetter<&BulletinFields::subtitle>(rt, bulletin, msg::subtitle);
  addGetter<&BulletinFields::message>(rt, bulletin, msg::message);
  addGetter<&BulletinFields::bulletinID>(rt, bulletin, msg::bulletinID);
  addGetter<&BulletinFields::recordID>(rt, bulletin, msg::recordID);
  addGetter<&BulletinFields::publisherBulletinID>(rt, bulletin, msg::publisherBulletinID);
  addGetter<&BulletinFields::context>(rt, bulletin, msg::context);
  addGetter<&BulletinFields::actions>(rt, bulletin, msg::actions);
  addGetter<&BulletinFields::clearable>(rt, bulletin, msg::clearable);
  addGetter<&BulletinFields::showsMessagePreview>(rt, bulletin, msg::showsMessagePreview);
  addGetter<&BulletinFields::date>(rt, bulletin, msg::date);
  rt.addMethod<Id()>(bulletin, msg::defaultAction.sel, [](void*, Object* self, Sel) -> Id {
    auto* b = internal::self<BulletinObject>(self);
    if (!b) return nullptr;
    auto it = b->fields.actions.find("default");
    return it == b->fields.actions.end() ? nullptr : it->second;
  });
}

void defineRequestClass(objc::Runtime& rt, objc::Class* request) {
  addSetter<&BulletinFields::sectionID>(rt, request, msg::setSectionID);
  addSetter<&BulletinFields::title>(rt, request, msg::setTitle);
  addSetter<&BulletinFields::subtitle>(rt, request, msg::setSubtitle);
  addSetter<&BulletinFields::message>(rt, request, msg::setMessage);
  addSetter<&BulletinFields::bulletinID>(rt, request, msg::setBulletinID);
  addSetter<&BulletinFields::recordID>(rt, request, msg::setRecordID);
  addSetter<&BulletinFields::publisherBulletinID>(rt, request, msg::setPublisherBulletinID);
  addSetter<&BulletinFields::context>(rt, request, msg::setContext);
  addSetter<&BulletinFields::actions>(rt, request, msg::setActions);
  addSetter<&BulletinFields::clearable>(rt, request, msg::setClearable);
  addSetter<&BulletinFields::showsMessagePreview>(rt, request, msg::setShowsMessagePreview);
  addSetter<&BulletinFields::date>(rt, request, msg::setDate);
  addSetter<&BulletinFields::publicationDate>(rt, request, msg::setPublicationDate);
  addSetter<&BulletinFields::lastInterruptDate>(rt, request, msg::setLastInterruptDate);
  rt.addMethod<void(Id)>(request, msg::setDefaultAction.sel, [](void*, Object* self, Sel, Id action) {
    auto* b = internal::self<BulletinObject>(self);
    if (!b) return;
    // A nil default action removes the entry, as setting nil in a dictionary would.
    if (action)
      b->fields.actions["default"] = std::move(action);
    else
      b->fields.actions.erase("default");
  });
}

void defineActionClass(objc::Runtime& rt, objc::Class* action) {
  rt.addClassMethod<Id(std::string, host::Block)>(action, msg::actionWithLaunchBundleID.sel,
                                                  [](void*, Object* cls, Sel, std::string bundleId, host::Block block) {
                                                    Id made = internal::allocInit(static_cast<objc::Class*>(cls));
                                                    if (auto* a = internal::self<ActionObject>(made.get())) {
                                                      a->launchBundleID = std::move(bundleId);
                                                      a->callblock = std::move(block);
                                                    }
                                                    return made;
                                                  });
  rt.addMethod<std::string()>(action, msg::launchBundleID.sel, [](void*, Object* self, Sel) {
    auto* a = internal::self<ActionObject>(self);
    return a ? a->launchBundleID : std::string();
  });
}

}  // namespace

Bulletins::Bulletins(host::Host& host) : host_(host) {
  objc::Runtime& rt = host.runtime();
  objc::Class* bulletin = internal::defineRootClass(rt, "BBBulletin", &internal::makeObject<BulletinObject>);
  defineBulletinClass(rt, bulletin);
  requestClass_ = internal::defineClass(rt, "BBBulletinRequest", bulletin);
  defineRequestClass(rt, requestClass_);

  actionClass_ = internal::defineRootClass(rt, "BBAction", &internal::makeObject<ActionObject>);
  defineActionClass(rt, actionClass_);

  localNotificationClass_ =
      internal::defineRootClass(rt, "UILocalNotification", &internal::makeObject<LocalNotificationObject>);
  rt.addMethod<pl::Value()>(localNotificationClass_, msg::userInfo.sel, [](void*, Object* self, Sel) {
    auto* n = internal::self<LocalNotificationObject>(self);
    return n ? pl::Value(n->userInfo) : pl::Value();
  });

  // The concrete class of an immutable set; NSSet itself may come from elsewhere.
  objc::Class* nsSet = rt.getClass("NSSet");
  if (!nsSet) nsSet = internal::defineRootClass(rt, "NSSet");
  setClass_ = internal::defineClass(rt, "__NSSetI", nsSet, &internal::makeObject<ObjectSet>);
}

Id Bulletins::makeRequest(BulletinFields&& fields) {
  Id request = internal::allocInit(requestClass_);
  internal::self<BulletinObject>(request.get())->fields = std::move(fields);
  return request;
}

Id Bulletins::makeAction(const std::string& launchBundleId, host::Block callblock) {
  return host::send(actionClass_, msg::actionWithLaunchBundleID, launchBundleId, std::move(callblock));
}

Id Bulletins::makeLocalNotification(pl::Dict userInfo, std::string alertBody) {
  Id note = internal::allocInit(localNotificationClass_);
  auto* n = internal::self<LocalNotificationObject>(note.get());
  n->userInfo = std::move(userInfo);
  n->alertBody = std::move(alertBody);
  return note;
}

Id Bulletins::makeSet(std::vector<Id> objects, std::vector<std::string> strings) {
  Id set = setClass_->instantiate();
  auto* s = internal::self<ObjectSet>(set.get());
  s->objects = std::move(objects);
  s->strings = std::move(strings);
  return set;
}

void Bulletins::runAction(const Id& action) {
  auto* a = internal::self<ActionObject>(action.get());
  if (!a) return;
  // Copies: the block or the launch may drop the last reference to the action.
  host::Block block = a->callblock;
  std::string bundleId = a->launchBundleID;
  if (block) block();
  if (!bundleId.empty() && launchApp) launchApp(bundleId);
}

pl::Value Bulletins::now() const {
  const auto sinceEpoch = host_.scheduler().now().time_since_epoch();
  return pl::Date{std::chrono::duration<double>(sinceEpoch).count() - kReferenceDateOffset};
}

const BulletinFields* bulletinFields(const objc::Object* o) {
  // BulletinObject is final: its own type settles it, without a cast's walk of the hierarchy.
  if (!o || typeid(*o) != typeid(BulletinObject)) return nullptr;
  return &static_cast<const BulletinObject*>(o)->fields;
}

Id defaultActionOf(const Id& bulletin) {
  const BulletinFields* f = bulletinFields(bulletin);
  if (!f) return nullptr;
  auto it = f->actions.find("default");
  return it == f->actions.end() ? nullptr : it->second;
}

}  // namespace qv::springboard
