#include "platform/timeline/timeline.h"

namespace qv::timeline {

const char* kindName(Kind k) {
  switch (k) {
    case Kind::Sound: return "sound";
    case Kind::Vibration: return "vibration";
    case Kind::TorchOn: return "torch-on";
    case Kind::TorchOff: return "torch-off";
    case Kind::ScreenFlash: return "screen-flash";
    case Kind::ScreenWake: return "screen-wake";
    case Kind::SystemSound: return "system-sound";
    case Kind::Banner: return "banner";
    case Kind::LockScreenBulletin: return "lock-screen-bulletin";
    case Kind::StatusIconShown: return "icon-shown";
    case Kind::StatusIconHidden: return "icon-hidden";
    case Kind::DarwinPost: return "darwin-post";
    case Kind::ReminderArmed: return "reminder-armed";
    case Kind::ReminderFired: return "reminder-fired";
    case Kind::ReminderEnded: return "reminder-ended";
    case Kind::ReminderCleared: return "reminder-cleared";
    case Kind::Action: return "action";
    case Kind::Host: return "host";
    case Kind::Decision: return "decision";
  }
  return "?";
}

bool isNoticeable(Kind k) {
  switch (k) {
    case Kind::Sound:
    case Kind::Vibration:
    case Kind::TorchOn:
    case Kind::TorchOff:
    case Kind::ScreenFlash:
    case Kind::ScreenWake:
    case Kind::SystemSound:
    case Kind::Banner:
    case Kind::LockScreenBulletin:
    case Kind::StatusIconShown:
    case Kind::StatusIconHidden: return true;
    default: return false;
  }
}

void Timeline::addListener(Listener listener, bool wantsDecisions) {
  std::lock_guard lock(mutex_);
  listeners_.push_back(Entry{std::move(listener), wantsDecisions});
  if (wantsDecisions) ++decisionListeners_;
}

void Timeline::clearListeners() {
  std::lock_guard lock(mutex_);
  listeners_.clear();
  decisionListeners_ = 0;
}

void Timeline::record(std::string_view process, Kind kind, std::string_view subject, std::string_view detail) {
  if (listeners_.empty()) return;
  // Listeners see the event only while it is recorded, so one event per thread is filled in place
  // again and again (its strings keep their room: no allocation per event). A listener that records
  // into another timeline meanwhile gets an event of its own.
  thread_local Event reused;
  thread_local int depth = 0;
  Event fresh;
  Event& e = depth == 0 ? reused : fresh;
  e.time = clock_.now();
  e.process.assign(process);
  e.kind = kind;
  e.subject.assign(subject);
  e.detail.assign(detail);
  std::lock_guard lock(mutex_);
  ++depth;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{depth};
  for (const Entry& entry : listeners_)
    if (kind != Kind::Decision || entry.wantsDecisions) entry.listener(e);
}

Recorder::Recorder(Timeline& t, bool wantsDecisions) {
  t.addListener([this](const Event& e) { events_.push_back(e); }, wantsDecisions);
}

std::vector<Event> Recorder::ofKind(Kind k) const {
  std::vector<Event> out;
  for (const Event& e : events_)
    if (e.kind == k) out.push_back(e);
  return out;
}

std::size_t Recorder::count(Kind k, std::string_view subject) const {
  std::size_t n = 0;
  for (const Event& e : events_)
    if (e.kind == k && (subject.empty() || e.subject == subject)) ++n;
  return n;
}

}  // namespace qv::timeline
