// The timeline: everything a user of the phone would notice, each reminder's life, what the
// simulated user and network did, and (shown only on request) why the system decided what it
// did. Tests, examples and the command line all read it.
// Thread-safe: events may be recorded from any queue. Recording costs one check when no one
// listens; decision events are built only when a listener asked for them.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch/scheduler.h"

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
  LockScreenBulletin,  // subject: section id, detail: title / subtitle
  StatusIconShown,     // subject: item identifier, detail: image name
  StatusIconHidden,    // subject: item identifier
  // Traffic between processes.
  DarwinPost,          // subject: notification name
  // Each reminder's life. subject: the category (or app for listed apps).
  ReminderArmed,
  ReminderFired,
  ReminderEnded,
  ReminderCleared,
  // What the simulated user, network or device did.
  Action,
  // Host state changes worth showing: locked, unlocked, app launched, notification posted.
  Host,
  // Why something happened or did not: entry point, app block, gate, clear cause.
  Decision,
};

const char* kindName(Kind k);
// Whether a kind is something the user of the phone notices (sound, light, screen).
bool isNoticeable(Kind k);

struct Event {
  dispatch::Instant time;
  std::string process;
  Kind kind;
  std::string subject;
  std::string detail;
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

  explicit Timeline(const dispatch::Scheduler& clock) : clock_(clock) {}
  Timeline(const Timeline&) = delete;
  Timeline& operator=(const Timeline&) = delete;

  // Listeners see every event recorded after they were added; decision events only when
  // `wantsDecisions`. Add listeners before the world runs.
  void addListener(Listener listener, bool wantsDecisions);
  // Forgets every listener (a world made again starts with none).
  void clearListeners();
  bool active() const { return !listeners_.empty(); }
  bool wantsDecisions() const { return decisionListeners_ > 0; }

  // Records an event stamped with the world's current instant.
  void record(std::string_view process, Kind kind, std::string_view subject, std::string_view detail = {});
  // Records a decision; a no-op unless someone wants decisions.
  void decision(std::string_view process, std::string_view subject, std::string_view detail) {
    if (decisionListeners_ > 0) record(process, Kind::Decision, subject, detail);
  }

  // Timer probes: main-queue only (timers live on the main run loop), so no lock.
  void addTimerListener(TimerListener listener) { timerListeners_.push_back(std::move(listener)); }
  bool watchesTimers() const { return !timerListeners_.empty(); }
  void timer(const TimerProbe& probe) {
    for (const TimerListener& l : timerListeners_) l(probe);
  }

 private:
  const dispatch::Scheduler& clock_;
  std::mutex mutex_;
  struct Entry {
    Listener listener;
    bool wantsDecisions;
  };
  std::vector<Entry> listeners_;
  int decisionListeners_ = 0;
  std::vector<TimerListener> timerListeners_;
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
