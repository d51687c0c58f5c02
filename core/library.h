// The library as loaded into one process: every piece of state that is process-wide on the
// device lives here (settings, the shared MissedHelper, counters and flags, intake state,
// Other-app lists, busy flags, exported values, hook slots), so one OS process can run a
// whole simulated device. Main-thread state unless a field says otherwise.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/categories.h"
#include "core/settings.h"
#include "platform/host/host.h"
#include "platform/objc/runtime.h"

namespace qv::core {

class MissedHelper;

// Repeat counters and active flags of the fixed categories.
struct ReminderState {
  std::array<std::int32_t, kCategoryCount> repeatCounter;
  std::array<bool, kActiveFlagCount> active{};
  ReminderState() { repeatCounter.fill(1); }
  std::int32_t& counter(Category c) { return repeatCounter[index(c)]; }
  bool& activeFlag(Category c) { return active[index(info(c).flag)]; }
};

// Reminders of listed apps. Absent lists are created on demand (or by the launch hook).
struct OtherAppsState {
  std::optional<std::vector<objc::Id>> otherTimerList;
  std::optional<std::vector<std::string>> activeOtherApps;
  std::optional<std::map<std::string, std::int64_t>> otherRepeatCounts;
  // What the status-bar item initialiser keeps (nothing reads them).
  objc::Id lastInitialisedItem;
  std::string lastInitialisedIdentifier;
};

// Alert flags. The torch flag is tested and set by blink tasks on their own queues.
struct AlertState {
  bool soundBusy = false;
  std::string soundPath;  // the reminder sound's file, rewritten at each fire in the same room
  std::atomic<bool> torchBusy{false};
  bool ipadBanner = false;
  // Each torch request's queue, held from the request until the main queue releases it.
  std::vector<dispatch::QueueRef> torchQueues;
  // Alerts of each fixed category's current run, and the timer its last re-arm made, which
  // tells a re-arm from a fresh start when no repeat limit counts the fires.
  std::array<std::uint32_t, kCategoryCount> alertsInRun{};
  std::array<std::weak_ptr<objc::Object>, kCategoryCount> rearmedTimer;
  // The same for listed apps, by bundle identifier (restarted by any start but a re-arm).
  std::map<std::string, std::uint32_t, std::less<>> otherAlertsInRun;
  // True while the fire cycle re-arms the reminder it just fired (the timeline tells a re-arm
  // from a start by it).
  bool rearming = false;
  // Whether each fixed category's run is open: started and neither ended nor cleared since, so a
  // start now is a restart (some starts drop the armed timer first).
  std::array<bool, kCategoryCount> runOpen{};
};

// What the classification rules keep between notifications.
struct IntakeState {
  bool intakeReady = false;
  bool messengerCallPending = false;
  std::int32_t smsBadgeSnapshot = 0;
  std::array<objc::Id, kCategoryCount> savedDefaultAction;  // WhatsApp message uses the call slot
  std::array<pl::Value, kCategoryCount> savedContext;       // Null when none
  // iOS 10 requests posted and not yet decided, oldest first: each request's queue hands the
  // rules to the main queue, which decides the oldest, so requests keep their arrival order.
  std::deque<objc::Id> waitingRequests;
};

struct StatusBarState {
  bool statusBarDirty = false;
  objc::Class* stockItemClass = nullptr;  // UIStatusBarItem, looked up on first use
  objc::Class* aggregatorClass = nullptr;  // SBStatusBarStateAggregator, likewise
  bool classesLookedUp = false;
};

// The library's exported symbols.
struct ExportedGlobals {
  objc::Id notificationListController;  // set whenever the lock-screen list loads its view
  bool playShutterSound = false;        // set only by other parties
};

// A hook the library installed, in installation order (for start-up checks).
struct InstalledHook {
  std::string className;
  std::string selector;
};

struct HookBindingBase {
  virtual ~HookBindingBase() = default;
};

class Library {
 public:
  explicit Library(host::Host& host);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  host::Host& host;
  Settings settings;
  ReminderState reminders;
  OtherAppsState otherApps;
  AlertState alerts;
  IntakeState intake;
  StatusBarState statusBar;
  ExportedGlobals exported;

  // The shared MissedHelper, taken by the second initialiser (null before it).
  objc::Id sharedHelper;
  MissedHelper& helper();
  // MissedHelper sharedInstance: made once, even under concurrent first calls.
  objc::Id sharedInstance();

  // Hooks and their slots (owned here; never removed).
  std::vector<std::unique_ptr<HookBindingBase>> hookBindings;
  std::vector<InstalledHook> installedHooks;

  // The process's name for timeline events.
  const std::string& process() const { return host.processName(); }
  // Records a decision for --explain; free when no one listens.
  void explain(std::string_view subject, std::string_view detail) {
    host.timeline().decision(host.processName(), subject, detail);
  }
  void record(timeline::Kind kind, std::string_view subject, std::string_view detail = {},
              std::initializer_list<timeline::Field> fields = {}) {
    host.timeline().record(host.processName(), kind, subject, detail, fields);
  }
  void record(timeline::Kind kind, std::string_view subject, std::string_view detail, timeline::Fields fields) {
    host.timeline().record(host.processName(), kind, subject, detail, std::move(fields));
  }

 private:
  std::once_flag helperOnce_;
  objc::Id helperInstance_;
};

// The library that owns a host object of its process (MissedHelper and hook bindings know it).
Library& libraryOf(objc::Object* missedHelper);

}  // namespace qv::core
