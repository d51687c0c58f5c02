// The timeline: everything a user of the phone would notice, each reminder's life, what the
// simulated user and network did, and (shown only on request) why the system decided what it
// did. Tests, examples and the command line all read it.
// Thread-safe: events may be recorded from any queue (on a single-threaded clock without a
// lock). Recording costs one check when no one listens; decision events are built only when a listener asked for them.
// Each event carries the trace of the work that recorded it (the scenario action and the
// reminder alert it descends from), and may carry named fields for tools (see Field).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch/scheduler.h"
#include "platform/timeline/event_text.h"

namespace qv::dispatch {
class VirtualScheduler;
}

namespace qv::timeline {

enum class Kind : std::uint8_t {
  // What the user notices.
  Sound,               // subject: sound file name
  Vibration,           // subject: pattern
  TorchOn,
  TorchOff,
  ScreenFlash,
  ScreenWake,
  SystemSound,         // subject: system sound id (e.g. the shutter sound)
  Banner,              // subject: section id, detail: title / message
  BannerDismissed,     // subject: "banner", detail: "dismissed, <why>: <section id>"
  LockScreenBulletin,  // subject: section id, detail: title / subtitle
  LockScreen,          // subject: "lock screen", detail: "shows 3 notifications"
  StatusIconShown,     // subject: item identifier, detail: image name
  StatusIconHidden,    // subject: item identifier
  // The state of the device a user sees, beside what the system does.
  NotificationPosted,  // subject: "notification posted", detail: "WhatsApp — Anna: hi"
  Badge,               // subject: bundle identifier, detail: "badge 3"
  LockState,           // subject: "locked" or "unlocked", detail: how
  DoNotDisturb,        // subject: "do not disturb", detail: "on" or "off"
  FrontApp,            // subject: bundle identifier, detail: "Mail opened" / "... left for the home screen"
  // Traffic between processes.
  DarwinPost,          // subject: notification name
  // Each reminder's life. subject: the category's name (or the bundle identifier of a listed app).
  ReminderArmed,
  ReminderFired,
  ReminderEnded,
  ReminderCleared,
  // What the simulated user, network or device did.
  Action,
  // Other host steps worth showing: an app launched, a call, the home screen restarting.
  Host,
  // Why something happened or did not: entry point, app block, gate, clear cause.
  Decision,
};
inline constexpr std::size_t kKindCount = static_cast<std::size_t>(Kind::Decision) + 1;

// The kind's stable name in JSON and in test traces: "reminder-fired".
const char* kindName(Kind k);

// The kinds a listener hears: an event of a kind no listener hears is not delivered at all.
class KindSet {
 public:
  constexpr KindSet() = default;
  constexpr KindSet(std::initializer_list<Kind> kinds) {
    for (Kind k : kinds) bits_ |= bit(k);
  }
  static constexpr KindSet all() { return KindSet(~std::uint32_t{0}); }
  constexpr bool has(Kind k) const { return (bits_ & bit(k)) != 0; }
  constexpr KindSet without(Kind k) const { return KindSet(bits_ & ~bit(k)); }
  constexpr KindSet operator|(KindSet o) const { return KindSet(bits_ | o.bits_); }

 private:
  constexpr explicit KindSet(std::uint32_t bits) : bits_(bits) {}
  static constexpr std::uint32_t bit(Kind k) { return std::uint32_t{1} << static_cast<unsigned>(k); }
  std::uint32_t bits_ = 0;
};
static_assert(kKindCount <= 32, "KindSet holds one bit a kind");

// One event. A listener hears it only for the call: its texts and fields may refer to what the
// recorder passed (valid until the listener returns), so a listener that keeps anything of it
// keeps a copy (a copied Event, Text or FieldList owns its characters); views into the event
// (string_view, const char*, pointers to fields) must not outlive the call.
struct Event {
  dispatch::Instant time;
  Text process;
  Kind kind;
  Text subject;
  Text detail;
  FieldList fields = {};
  dispatch::Trace trace = {};

  // The field of that name, or null.
  const Field::Value* field(std::string_view name) const {
    // Names are literals, usually the very same one the reader passes: its address settles most.
    for (const Field& f : fields)
      if (f.name.size() == name.size() && (f.name.data() == name.data() || f.name == name)) return &f.value;
    return nullptr;
  }
};

// What the host's run loop sees of a timer, for checkers that judge the system from outside:
// armed (scheduled), firing (its fire begins: everything up to `Fired` happens inside it,
// the fire handler and every hook on the fire), fired (the fire is over), invalidated (an armed
// timer stopped before it fired). No user notices these, so they never reach the printers.
struct TimerProbe {
  enum class Step : std::uint8_t { Armed, Firing, Fired, Invalidated };
  Step step;
  std::string_view process;
  std::uint64_t timer;        // unique within its process's life
  std::string_view selector;  // what the timer sends when it fires
  std::string_view service;   // its service identifier (a listed app's bundle identifier)
  double interval;            // seconds, as armed
};

class Timeline {
 public:
  using Listener = std::function<void(const Event&)>;
  using TimerListener = std::function<void(const TimerProbe&)>;

  explicit Timeline(dispatch::Scheduler& clock);
  Timeline(const Timeline&) = delete;
  Timeline& operator=(const Timeline&) = delete;

  // Listeners see every event recorded after they were added; decision events only when
  // `wantsDecisions`. Add listeners before the world runs. Each hears the event for the call only
  // (see Event: it copies what it keeps).
  void addListener(Listener listener, bool wantsDecisions) {
    addListener(std::move(listener), wantsDecisions ? KindSet::all() : KindSet::all().without(Kind::Decision));
  }
  // A listener that hears only events of `kinds` (decisions too when it names them).
  void addListener(Listener listener, KindSet kinds);
  // Forgets every listener (a world made again starts with none).
  void clearListeners();
  bool active() const { return !listeners_.empty(); }
  bool wantsDecisions() const { return heard_.has(Kind::Decision); }

  // Records an event stamped with the world's current instant and the current trace.
  void record(std::string_view process, Kind kind, std::string_view subject, std::string_view detail = {},
              std::initializer_list<Field> fields = {});
  // Fields the caller keeps (a vector, or an array on its stack) until the call returns.
  void record(std::string_view process, Kind kind, std::string_view subject, std::string_view detail,
              std::span<const Field> fields);
  // Records a decision; a no-op unless someone wants decisions.
  void decision(std::string_view process, std::string_view subject, std::string_view detail) {
    if (wantsDecisions()) record(process, Kind::Decision, subject, detail);
  }

  // Timer probes: main-queue only (timers live on the main run loop), so no lock.
  void addTimerListener(TimerListener listener) { timerListeners_.push_back(std::move(listener)); }
  bool watchesTimers() const { return !timerListeners_.empty(); }
  void timer(const TimerProbe& probe) {
    for (const TimerListener& l : timerListeners_) l(probe);
  }

  dispatch::Scheduler& clock() { return clock_; }
  // A reminder's id ("sms", "listed:com.example.Chat") as the number traces carry, and back.
  std::uint32_t reminderNumber(std::string_view reminderId);
  std::string reminderId(std::uint32_t number) const;
  // The same without a copy: ids are kept for the timeline's life, so the view stays valid.
  std::string_view reminderIdView(std::uint32_t number) const;

 private:
  dispatch::Scheduler& clock_;
  const bool oneThread_;  // the clock runs every queue on one thread: no locks, the timeline's own event
  // The clock when it is the virtual one, read directly (its time and trace are plain fields).
  const dispatch::VirtualScheduler* const virtual_;
  std::mutex mutex_;
  struct Entry {
    Listener listener;
    KindSet kinds;
  };
  std::vector<Entry> listeners_;
  KindSet heard_;  // what any listener hears
  std::vector<TimerListener> timerListeners_;
  // The event filled in place for listeners and how deep recording is nested, when the clock
  // runs every queue on one thread (otherwise one event per thread, one depth per thread, and
  // the lock).
  Event own_;
  int ownDepth_ = 0;
  void deliver(std::string_view process, Kind kind, std::string_view subject, std::string_view detail,
               std::span<const Field> fields);
  // A listener recording meanwhile, or a clock with threads: an event of the thread's own, or a fresh one.
  [[gnu::cold]] void deliverApart(std::string_view process, Kind kind, std::string_view subject,
                                  std::string_view detail, std::span<const Field> fields);
  void fill(Event& e, std::string_view process, Kind kind, std::string_view subject, std::string_view detail,
            std::span<const Field> fields);
  // Hands `e` to the listeners of its kind, a level deeper meanwhile.
  void hand(const Event& e, int& level);
  mutable std::mutex idsMutex_;  // apart, so listeners may look ids up
  std::unique_lock<std::mutex> lockIds() const;  // none on a single-threaded clock
  std::deque<std::string> reminderIds_;  // number n is reminderIds_[n - 1]
};

// While it lives, what the calling work records and schedules belongs to alert `alert` of the
// reminder `reminderId`: a vibration 0.3 s later, every torch step, the banner's dismissal.
// Free when no one listens.
class AlertScope {
 public:
  AlertScope(Timeline& timeline, std::string_view reminderId, std::uint32_t alert);
  AlertScope(const AlertScope&) = delete;
  AlertScope& operator=(const AlertScope&) = delete;

 private:
  std::optional<dispatch::TraceScope> scope_;
};

// Keeps every event it hears, for tests and the summary.
class Recorder {
 public:
  Recorder(Timeline& t, bool wantsDecisions = true);
  const std::vector<Event>& events() const { return events_; }
  std::vector<Event> ofKind(Kind k) const;
  std::size_t count(Kind k, std::string_view subject = {}) const;
  void clear() { events_.clear(); }

 private:
  std::vector<Event> events_;
};

}  // namespace qv::timeline
