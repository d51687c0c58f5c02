// The home screen's own status-bar items: the item types (UIStatusBarItem itemWithType:idiom:),
// the aggregator that enables and disables them (SBStatusBarStateAggregator) and the provider
// that pushes changes in coalesced blocks (SBStatusBarStateProvider). Main-queue use.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host.h"

namespace qv::statusbar {

struct StockItemType {
  const char* name;       // the icon name in the item's description
  const char* alignment;  // "Left", "Right" or "Center"
  bool enabledAtStart;
};

// The item types by type number. The two location types share one icon name, as on the device.
inline constexpr std::array<StockItemType, 28> kStockItemTypes = {{
    {"Time", "Center", true},
    {"DoNotDisturb", "Right", false},
    {"AirplaneMode", "Left", false},
    {"SignalStrength", "Left", true},
    {"Service", "Left", true},
    {"DataNetwork", "Left", true},
    {"Battery", "Right", true},
    {"BatteryPercent", "Right", false},
    {"NotCharging", "Right", false},
    {"BluetoothBattery", "Right", false},
    {"Bluetooth", "Right", false},
    {"TTY", "Right", false},
    {"Alarm", "Right", false},
    {"Plus", "Right", false},
    {"Play", "Right", false},
    {"Location", "Right", false},
    {"RotationLock", "Right", false},
    {"AirPlay", "Right", false},
    {"Siri", "Right", false},
    {"CarPlay", "Right", false},
    {"VPN", "Left", false},
    {"CallForward", "Left", false},
    {"Activity", "Left", false},
    {"ThermalColor", "Right", false},
    {"Lock", "Center", false},
    {"Location", "Right", false},
    {"ElectronicTollCollection", "Right", false},
    {"LiquidDetection", "Right", false},
}};

// The type number of the first type with that name, or none.
std::optional<std::int64_t> stockItemType(std::string_view name);
// The description of a type's item: "<UIStatusBarItem: 0x1c0a2b30> [Battery (Right)]".
std::string stockItemDescription(std::int64_t type);

// Battery and clock changes go through the classes in the order the home screen sends them:
// provider beginCoalescentBlock, the aggregator's work (each item through _setItem:enabled:),
// provider updateStatusBarItem:, endCoalescentBlock.
class StockStatusBar {
 public:
  // Defines UIStatusBarItem, SBStatusBarStateAggregator and SBStatusBarStateProvider.
  explicit StockStatusBar(host::Host& host);
  ~StockStatusBar();
  StockStatusBar(const StockStatusBar&) = delete;
  StockStatusBar& operator=(const StockStatusBar&) = delete;

  // --- State ---
  bool enabled(std::int64_t type) const;
  std::vector<std::int64_t> enabledTypes() const;
  int batteryLevel() const { return batteryLevel_; }
  bool charging() const { return charging_; }
  // Item types the provider pushed to the status bar, in order (a coalesced block pushes each
  // type once, when the block ends).
  const std::vector<std::int64_t>& pushedUpdates() const { return pushed_; }

  // --- What the device does, through the hookable methods ---
  // The battery level (clamped to 0-100) or charging state changes: the battery items are updated.
  void setBattery(int level, bool charging);
  // The user turns the battery percentage on or off in Settings.
  void showBatteryPercentage(bool on);
  // The clock reaches a new minute: the time item is pushed again.
  void clockMinuteChanged();
  // From now on the clock changes by itself at every whole minute. It never stops, so a world
  // run until no work is left would not end; worlds turn it on only when asked.
  void startClock();
  // Something of the device turns a stock item on or off (an alarm set, Bluetooth connected):
  // the aggregator's _setItem:enabled:, whose answer (whether anything changed) is returned.
  bool setItem(std::int64_t type, bool enabled);

  // Internal to the classes.
  bool applyItem(std::int64_t type, bool enabled);
  void updateBatteryItems();
  void beginBlock() { ++blockDepth_; }
  void endBlock();
  void pushUpdate(std::int64_t type);
  objc::Id itemOfType(std::int64_t type, std::int64_t idiom);
  objc::Id aggregator_, provider_;

 private:
  host::Host& host_;
  objc::Class* itemClass_ = nullptr;
  std::array<bool, kStockItemTypes.size()> enabled_{};
  std::array<objc::Id, kStockItemTypes.size()> items_;
  int batteryLevel_ = 100;
  bool charging_ = false;
  bool showPercentage_ = false;
  int blockDepth_ = 0;
  std::vector<std::int64_t> pending_;
  std::vector<std::int64_t> pushed_;
  std::shared_ptr<dispatch::TimerHandle> nextTick_;
};

}  // namespace qv::statusbar
