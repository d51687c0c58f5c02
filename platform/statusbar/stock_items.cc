#include "platform/statusbar/stock_items.h"

#include <algorithm>
#include <cstdio>

#include "platform/host/messages.h"

namespace qv::statusbar {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

constexpr std::int64_t kTimeType = 0;
constexpr std::int64_t kBatteryType = 6;
constexpr std::int64_t kBatteryPercentType = 7;
constexpr std::int64_t kNotChargingType = 8;
constexpr std::uintptr_t kFirstItemAddress = 0x1c0a2b30;

struct StockItem final : Object {
  using Object::Object;
  std::int64_t type = 0;
};

Id makeStockItem(objc::Class* cls) {
  return std::make_shared<StockItem>(cls);
}
StockStatusBar* barOf(void* ctx) {
  return static_cast<StockStatusBar*>(ctx);
}
bool validType(std::int64_t type) {
  return type >= 0 && type < static_cast<std::int64_t>(kStockItemTypes.size());
}

objc::Class* defineSingleton(objc::Runtime& rt, const char* name, Id* slot) {
  objc::Class* cls = rt.defineClass(name, rt.rootClass());
  if (!cls) return nullptr;
  *slot = cls->instantiate();
  rt.addClassMethod<Id()>(
      cls, msg::sharedInstance.sel, [](void* ctx, Object*, Sel) { return *static_cast<Id*>(ctx); }, slot);
  return cls;
}

}  // namespace

std::optional<std::int64_t> stockItemType(std::string_view name) {
  for (std::size_t i = 0; i < kStockItemTypes.size(); ++i)
    if (name == kStockItemTypes[i].name) return static_cast<std::int64_t>(i);
  return std::nullopt;
}

std::string stockItemDescription(std::int64_t type) {
  if (!validType(type)) return "<UIStatusBarItem: 0x0> [Unknown]";
  const StockItemType& t = kStockItemTypes[static_cast<std::size_t>(type)];
  char address[24];
  std::snprintf(address, sizeof address, "0x%08lx",
                static_cast<unsigned long>(kFirstItemAddress + 0x40 * static_cast<std::uintptr_t>(type)));
  return std::string("<UIStatusBarItem: ") + address + "> [" + t.name + " (" + t.alignment + ")]";
}

StockStatusBar::StockStatusBar(host::Host& host) : host_(host) {
  for (std::size_t i = 0; i < kStockItemTypes.size(); ++i) enabled_[i] = kStockItemTypes[i].enabledAtStart;
  objc::Runtime& rt = host.runtime();

  itemClass_ = rt.defineClass("UIStatusBarItem", rt.rootClass(), &makeStockItem);
  if (itemClass_) {
    rt.addClassMethod<Id(std::int64_t, std::int64_t)>(
        itemClass_, msg::itemWithTypeIdiom.sel,
        [](void* ctx, Object*, Sel, std::int64_t type, std::int64_t idiom) {
          return barOf(ctx)->itemOfType(type, idiom);
        },
        this);
    rt.addMethod<std::string()>(itemClass_, msg::description.sel, [](void*, Object* self, Sel) {
      auto* item = objc::as<StockItem>(self);
      return item ? stockItemDescription(item->type) : std::string("<UIStatusBarItem>");
    });
  }

  if (objc::Class* aggregator = defineSingleton(rt, "SBStatusBarStateAggregator", &aggregator_)) {
    rt.addMethod<bool(std::int64_t, bool)>(
        aggregator, msg::setItemEnabled.sel,
        [](void* ctx, Object*, Sel, std::int64_t type, bool enabled) { return barOf(ctx)->applyItem(type, enabled); },
        this);
    rt.addMethod<void(bool)>(
        aggregator, msg::updateBatteryItems.sel,
        [](void* ctx, Object*, Sel, bool) { barOf(ctx)->updateBatteryItems(); }, this);
  }

  if (objc::Class* provider = defineSingleton(rt, "SBStatusBarStateProvider", &provider_)) {
    rt.addMethod<void()>(
        provider, msg::beginCoalescentBlock.sel, [](void* ctx, Object*, Sel) { barOf(ctx)->beginBlock(); }, this);
    rt.addMethod<void()>(
        provider, msg::endCoalescentBlock.sel, [](void* ctx, Object*, Sel) { barOf(ctx)->endBlock(); }, this);
    rt.addMethod<void(std::int64_t)>(
        provider, msg::updateStatusBarItem.sel,
        [](void* ctx, Object*, Sel, std::int64_t type) { barOf(ctx)->pushUpdate(type); }, this);
  }
}

StockStatusBar::~StockStatusBar() {
  if (nextTick_) nextTick_->cancel();
}

void StockStatusBar::startClock() {
  if (nextTick_) nextTick_->cancel();
  dispatch::Scheduler& scheduler = host_.scheduler();
  const auto nextMinute = std::chrono::floor<std::chrono::minutes>(scheduler.now()) + std::chrono::minutes(1);
  nextTick_ = scheduler.at(host_.mainQueue(), nextMinute, [this] {
    clockMinuteChanged();
    startClock();
  });
}

bool StockStatusBar::enabled(std::int64_t type) const {
  return validType(type) && enabled_[static_cast<std::size_t>(type)];
}

std::vector<std::int64_t> StockStatusBar::enabledTypes() const {
  std::vector<std::int64_t> out;
  for (std::size_t i = 0; i < enabled_.size(); ++i)
    if (enabled_[i]) out.push_back(static_cast<std::int64_t>(i));
  return out;
}

Id StockStatusBar::itemOfType(std::int64_t type, std::int64_t idiom) {
  // Phone and pad idioms share the table; other idioms (car, TV) have no items here.
  if (!validType(type) || (idiom != 0 && idiom != 1) || !itemClass_) return nullptr;
  Id& item = items_[static_cast<std::size_t>(type)];
  if (!item) {
    item = itemClass_->instantiate();
    objc::as<StockItem>(item)->type = type;
  }
  return item;
}

bool StockStatusBar::applyItem(std::int64_t type, bool on) {
  if (!validType(type) || enabled_[static_cast<std::size_t>(type)] == on) return false;
  enabled_[static_cast<std::size_t>(type)] = on;
  host_.timeline().record(host_.processName(), timeline::Kind::Host, "status bar",
                          std::string(kStockItemTypes[static_cast<std::size_t>(type)].name) + (on ? " on" : " off"));
  host::send(provider_, msg::updateStatusBarItem, type);
  return true;
}

void StockStatusBar::updateBatteryItems() {
  host::send(aggregator_, msg::setItemEnabled, kBatteryType, true);
  host::send(aggregator_, msg::setItemEnabled, kBatteryPercentType, showPercentage_);
  host::send(aggregator_, msg::setItemEnabled, kNotChargingType, false);
  // The level itself changed even when no item was turned on or off.
  host::send(provider_, msg::updateStatusBarItem, kBatteryType);
}

void StockStatusBar::setBattery(int level, bool charging) {
  level = std::clamp(level, 0, 100);
  if (level == batteryLevel_ && charging == charging_) return;
  batteryLevel_ = level;
  charging_ = charging;
  host_.timeline().record(host_.processName(), timeline::Kind::Host, "battery",
                          std::to_string(level) + "%" + (charging ? ", charging" : ""));
  host::send(provider_, msg::beginCoalescentBlock);
  host::send(aggregator_, msg::updateBatteryItems, true);
  host::send(provider_, msg::endCoalescentBlock);
}

void StockStatusBar::showBatteryPercentage(bool on) {
  if (showPercentage_ == on) return;
  showPercentage_ = on;
  host::send(provider_, msg::beginCoalescentBlock);
  host::send(aggregator_, msg::updateBatteryItems, true);
  host::send(provider_, msg::endCoalescentBlock);
}

void StockStatusBar::clockMinuteChanged() {
  host::send(provider_, msg::beginCoalescentBlock);
  host::send(provider_, msg::updateStatusBarItem, kTimeType);
  host::send(provider_, msg::endCoalescentBlock);
}

bool StockStatusBar::setItem(std::int64_t type, bool on) {
  return host::send(aggregator_, msg::setItemEnabled, type, on);
}

void StockStatusBar::endBlock() {
  if (blockDepth_ == 0) return;
  if (--blockDepth_ > 0) return;
  pushed_.insert(pushed_.end(), pending_.begin(), pending_.end());
  pending_.clear();
}

void StockStatusBar::pushUpdate(std::int64_t type) {
  if (blockDepth_ == 0) {
    pushed_.push_back(type);
    return;
  }
  if (std::find(pending_.begin(), pending_.end(), type) == pending_.end()) pending_.push_back(type);
}

}  // namespace qv::statusbar
