// The simulated home screen's basic state and the classes that show it: SpringBoard itself,
// lock state (SBLockScreenManager, SBBacklightController's auto-lock), screen wake
// (SBUserAgent), app icons and badges (SBIconController, its model and icons), do-not-disturb
// (SBBulletinSoundController), the camera torch (AVCaptureDevice) and the screen flash
// (SBScreenFlash). What a user would notice goes on the timeline. Main-queue use, except the
// capture device, which the torch blink drives from its own queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/objc/runtime.h"

namespace qv::springboard {

// The `how` of the lock a restarted home screen comes back with.
inline constexpr const char* kLockedByRestart = "home screen restarted";

struct AppIcon {
  std::string displayName;
  std::int64_t badge = 0;
  bool hasIcon = true;
};

struct TorchHardware {
  bool hasTorch = true;
  bool hasFlash = true;
  bool refusesConfiguration = false;  // lockForConfiguration: fails (fault injection)
};

class HomeScreen {
 public:
  // Defines the classes in the host's runtime. `flashWithSharedInstance` picks the screen-flash
  // interface of older systems (a shared instance) over the newer main-screen flasher.
  HomeScreen(host::Host& host, TorchHardware torch, bool flashWithSharedInstance);
  HomeScreen(const HomeScreen&) = delete;
  HomeScreen& operator=(const HomeScreen&) = delete;

  host::Host& host() { return host_; }

  // --- State, as the simulator sets it ---
  bool locked() const { return locked_; }
  bool quietMode() const { return quietMode_; }
  void setQuietMode(bool on);
  void installApp(const std::string& bundleId, const std::string& displayName, std::int64_t badge = 0);
  void setBadge(const std::string& bundleId, std::int64_t badge);
  std::int64_t badge(const std::string& bundleId) const;
  std::optional<std::string> displayName(std::string_view bundleId) const;
  // The installed app's name, else `bundleId` itself; borrowed, for the text being built.
  const std::string& nameOr(const std::string& bundleId) const;
  // The same without a copy: null for an app the home screen does not know. Icons are never
  // removed, so the name lives as long as the home screen (an update changes it in place).
  const std::string* displayNameOf(std::string_view bundleId) const;
  const std::map<std::string, AppIcon, std::less<>>& apps() const { return apps_; }
  TorchHardware& torch() { return torch_; }
  bool torchOn() const;
  // What a restarted home screen keeps from the one before, as the device keeps it: every app
  // icon with its name and badge, and do-not-disturb. Taken from the old one, given to the new
  // one before it launches. The new one comes back locked; `locked` is what the old one was, so
  // the lock the restart brings is recorded.
  struct Kept {
    std::map<std::string, AppIcon, std::less<>> apps;
    bool quietMode = false;
    bool locked = true;
  };
  Kept kept() const { return Kept{apps_, quietMode_, locked_}; }
  void carryOver(const Kept& before);

  // --- What the user or the system does, through the hookable methods ---
  // SpringBoard applicationDidFinishLaunching:.
  void finishLaunching();
  // The auto-lock timer fires: SBBacklightController _autoLockTimerFired:, which locks.
  void autoLock();
  // The user presses the lock button.
  void lock();
  // The user unlocks: SBLockScreenManager _finishUIUnlockFromSource:withOptions:.
  void unlock();

  // Other parts of the home screen that follow its launch and lock state; told after the change.
  enum class Change { Launched, Locked, Unlocked };
  void addObserver(std::function<void(Change)> observer) { observers_.push_back(std::move(observer)); }

  // Internal to the classes.
  void setLocked(bool locked, const char* why);
  void recordTorch(bool on);
  objc::Id springBoardApp, backlightController, lockScreenManager, userAgent, iconController, iconModel,
      soundController, captureDevice, screenFlash;

 private:
  host::Host& host_;
  TorchHardware torch_;
  bool locked_ = true;
  bool quietMode_ = false;
  // Set from the torch's own queue and read from others: one flag, so an atomic is enough.
  std::atomic<bool> torchLit_ = false;
  std::map<std::string, AppIcon, std::less<>> apps_;
  // The icon last looked up: an alert, its banner and its texts ask for one app's name again and
  // again. Icons are never erased, so the entry stays valid. Atomic: processes' queues may ask at once.
  mutable std::atomic<const std::map<std::string, AppIcon, std::less<>>::value_type*> lastLookedUp_ = nullptr;
  std::vector<std::function<void(Change)>> observers_;
};

}  // namespace qv::springboard
