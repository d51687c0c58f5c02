#include "platform/foundation/foundation_classes.h"

#include <algorithm>
#include <chrono>

#include "platform/host/messages.h"
#include "platform/objc/instance_pool.h"
#include "platform/timeline/timeline.h"

namespace qv::foundation {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

struct RunLoop final : Object {
  using Object::Object;
};

struct SimpleTimer final : Object {
  using Object::Object;
  Foundation* foundation = nullptr;
  double interval = 0;
  std::string serviceIdentifier;
  Id target;
  Sel selector;
  pl::Value userInfo;
  std::shared_ptr<dispatch::TimerHandle> handle;
  bool armed = false;
  bool valid = true;
  std::uint64_t order = 0;  // the probes' name for it

  void probe(timeline::TimerProbe::Step step) {
    host::Host& h = foundation->host();
    if (!h.timeline().watchesTimers()) return;
    h.timeline().timer(
        timeline::TimerProbe{step, h.processName(), order, selector.name(), serviceIdentifier, interval});
  }

  void disarm() {
    if (armed) {
      armed = false;
      foundation->timerDisarmed(order);
    }
  }
};

Foundation* foundationOf(void* ctx) { return static_cast<Foundation*>(ctx); }

Id initTimer(void* ctx, Object* self, Sel, double interval, std::string service, Id target, Sel selector,
             pl::Value userInfo) {
  auto* t = objc::as<SimpleTimer>(self);
  if (!t) return nullptr;
  t->foundation = foundationOf(ctx);
  t->interval = interval;
  t->serviceIdentifier = std::move(service);
  t->target = std::move(target);
  t->selector = selector;
  t->userInfo = std::move(userInfo);
  return self->self();
}

// A timer's fire date. An interval longer than the clock can count (centuries) never comes due, as
// on the device; converting it would overflow into the past and fire at once.
dispatch::Instant dueAfter(dispatch::Instant now, double interval) {
  const double farthest = std::chrono::duration<double>(dispatch::Instant::max() - now).count() / 2;
  if (!(interval < farthest)) return dispatch::Instant::max();
  return now + dispatch::seconds(std::max(0.0, interval));
}

void scheduleInRunLoop(void*, Object* self, Sel, Id) { host::send(self, msg::scheduleTimer); }

void scheduleTimerImp(void*, Object* self, Sel) {
  auto* t = objc::as<SimpleTimer>(self);
  if (!t || !t->valid || t->armed) return;
  host::Host& h = t->foundation->host();
  t->armed = true;
  t->order = t->foundation->nextTimerOrder++;
  t->foundation->timerArmed(self, t->order);
  t->probe(timeline::TimerProbe::Step::Armed);
  // The run loop keeps an armed timer alive until it fires or is invalidated, even when no one
  // else holds it any more.
  Id timer = self->self();
  const auto due = dueAfter(h.scheduler().now(), t->interval);
  t->handle = h.scheduler().at(h.mainQueue(), due, [timer] {
    // The probes bracket the whole send, so they also see what hooks on the fire do.
    auto* fired = objc::as<SimpleTimer>(timer);
    fired->probe(timeline::TimerProbe::Step::Firing);
    host::send(timer, msg::fireTimerFired);
    fired->probe(timeline::TimerProbe::Step::Fired);
  });
}

void fireTimerFiredImp(void*, Object* self, Sel) {
  auto* t = objc::as<SimpleTimer>(self);
  if (!t || !t->valid) return;
  t->disarm();
  t->valid = false;
  Id keepAlive = self->self();
  const std::string_view name = t->selector.name();
  if (!name.empty() && name.back() == ':')
    objc::send<void(Id)>(t->target, t->selector, keepAlive);
  else
    objc::send<void()>(t->target, t->selector);
}

void invalidateImp(void*, Object* self, Sel) {
  auto* t = objc::as<SimpleTimer>(self);
  if (!t) return;
  if (t->handle) t->handle->cancel();
  if (t->armed) t->probe(timeline::TimerProbe::Step::Invalidated);
  t->disarm();
  t->valid = false;
}

struct Device final : Object {
  using Object::Object;
};
struct Color final : Object {
  using Object::Object;
  std::string name;
};

// In recycled memory: a timer is made and dropped at every re-arm.
template <class T>
Id make(objc::Class* cls) {
  return objc::makeInstance<T>(cls);
}

struct SortDescriptor final : Object {
  using Object::Object;
  std::string key;
  bool ascending = true;
};

void defineSortDescriptor(objc::Runtime& rt) {
  objc::Class* cls = rt.defineClass("NSSortDescriptor", rt.rootClass(), &make<SortDescriptor>);
  rt.addClassMethod<Id(std::string, bool)>(cls, msg::sortDescriptorWithKey.sel,
                                           [](void*, Object* c, Sel, std::string key, bool ascending) {
                                             Id d = static_cast<objc::Class*>(c)->instantiate();
                                             objc::as<SortDescriptor>(d)->key = std::move(key);
                                             objc::as<SortDescriptor>(d)->ascending = ascending;
                                             return d;
                                           });
  rt.addMethod<std::string()>(cls, msg::key.sel, [](void*, Object* self, Sel) {
    auto* d = objc::as<SortDescriptor>(self);
    return d ? d->key : std::string();
  });
  rt.addMethod<bool()>(cls, msg::ascending.sel, [](void*, Object* self, Sel) {
    auto* d = objc::as<SortDescriptor>(self);
    return d && d->ascending;
  });
}

}  // namespace

Foundation::Foundation(host::Host& host, DeviceTraits device) : host_(host), device_(std::move(device)) {
  objc::Runtime& rt = host_.runtime();
  objc::Class* root = rt.rootClass();

  objc::Class* runLoop = rt.defineClass("NSRunLoop", root, &make<RunLoop>);
  mainRunLoop_ = runLoop->instantiate();
  rt.addClassMethod<Id()>(runLoop, msg::mainRunLoop.sel, [](void* ctx, Object*, Sel) -> Id {
    return foundationOf(ctx)->mainRunLoop_;
  }, this);

  objc::Class* timer = rt.defineClass("PCSimpleTimer", root, &make<SimpleTimer>);
  rt.addMethod<Id(double, std::string, Id, Sel, pl::Value)>(timer, msg::initTimer.sel, &initTimer, this);
  rt.addMethod<void(Id)>(timer, msg::scheduleInRunLoop.sel, &scheduleInRunLoop);
  rt.addMethod<void()>(timer, msg::scheduleTimer.sel, &scheduleTimerImp);
  rt.addMethod<void()>(timer, msg::fireTimerFired.sel, &fireTimerFiredImp);
  rt.addMethod<void()>(timer, msg::invalidate.sel, &invalidateImp);
  rt.addMethod<bool()>(timer, msg::isValid.sel, [](void*, Object* self, Sel) {
    auto* t = objc::as<SimpleTimer>(self);
    return t && t->valid;
  });
  rt.addMethod<pl::Value()>(timer, msg::userInfo.sel, [](void*, Object* self, Sel) {
    auto* t = objc::as<SimpleTimer>(self);
    return t ? t->userInfo : pl::Value();
  });
  rt.addMethod<std::string()>(timer, msg::loggingIdentifier.sel, [](void*, Object* self, Sel) {
    auto* t = objc::as<SimpleTimer>(self);
    return t ? t->serviceIdentifier : std::string();
  });

  objc::Class* uiDevice = rt.defineClass("UIDevice", root, &make<Device>);
  currentDevice_ = uiDevice->instantiate();
  rt.addClassMethod<Id()>(uiDevice, msg::currentDevice.sel, [](void* ctx, Object*, Sel) -> Id {
    return foundationOf(ctx)->currentDevice_;
  }, this);
  rt.addMethod<std::string()>(uiDevice, msg::systemVersion.sel, [](void* ctx, Object*, Sel) {
    return foundationOf(ctx)->device().systemVersion;
  }, this);
  if (device_.answersIdiom)
    rt.addMethod<std::int64_t()>(uiDevice, msg::userInterfaceIdiom.sel, [](void* ctx, Object*, Sel) {
      return foundationOf(ctx)->device().idiom;
    }, this);

  objc::Class* uiColor = rt.defineClass("UIColor", root, &make<Color>);
  rt.addClassMethod<Id()>(uiColor, msg::whiteColor.sel, [](void*, Object* cls, Sel) -> Id {
    Id c = static_cast<objc::Class*>(cls)->instantiate();
    objc::as<Color>(c)->name = "white";
    return c;
  });

  defineSortDescriptor(rt);

  rt.addClassMethod<void(Id, Sel, Id)>(root, msg::cancelPreviousPerformRequests.sel,
                                       [](void* ctx, Object*, Sel, Id target, Sel sel, Id) {
                                         foundationOf(ctx)->cancelPerforms(target.get(), sel);
                                       },
                                       this);
}

void Foundation::timerArmed(objc::Object* timer, std::uint64_t order) {
  armed_.emplace_back(order, timer->weak_from_this());
}

void Foundation::timerDisarmed(std::uint64_t order) {
  auto it = std::find_if(armed_.begin(), armed_.end(), [order](const auto& entry) { return entry.first == order; });
  if (it == armed_.end()) return;
  // The entries need no order (the refs are sorted when read), so the last one fills the gap.
  if (it != armed_.end() - 1) *it = std::move(armed_.back());
  armed_.pop_back();
}

void Foundation::armedTimerRefs(std::vector<ArmedTimerRef>& out) const {
  out.clear();
  for (const auto& [order, weak] : armed_) {
    objc::Id t = weak.lock();
    auto* timer = objc::as<SimpleTimer>(t);
    if (timer) out.push_back(ArmedTimerRef{t.get(), timer->selector, order});
  }
  std::sort(out.begin(), out.end(), [](const ArmedTimerRef& a, const ArmedTimerRef& b) { return a.order < b.order; });
}

void Foundation::performAfterDelay(const objc::Id& target, objc::Sel sel, dispatch::Duration delay) {
  const std::uint64_t id = nextPerformId_++;
  dispatch::Scheduler& scheduler = host_.scheduler();
  // The target is held weakly, and the timer's handle moved into its record: no count is taken
  // and dropped again at every banner.
  auto handle = scheduler.at(host_.mainQueue(), scheduler.now() + delay,
                             [this, weak = std::weak_ptr<Object>(target), sel, id] {
                               // Drop the record first, so the perform may schedule itself again.
                               std::erase_if(performs_, [id](const Perform& p) { return p.id == id; });
                               if (Id t = weak.lock()) objc::send<void()>(t, sel);
                             });
  performs_.push_back(Perform{id, target.get(), sel, std::move(handle)});
}

std::size_t Foundation::pendingPerforms(const objc::Object* target, objc::Sel sel) const {
  return static_cast<std::size_t>(std::count_if(performs_.begin(), performs_.end(), [&](const Perform& p) {
    return p.targetKey == target && p.sel == sel && !p.handle->cancelled();
  }));
}

void Foundation::cancelPerforms(const objc::Object* target, objc::Sel sel) {
  for (Perform& p : performs_)
    if (p.targetKey == target && p.sel == sel) p.handle->cancel();
  std::erase_if(performs_, [](const Perform& p) { return p.handle->cancelled(); });
}

}  // namespace qv::foundation
