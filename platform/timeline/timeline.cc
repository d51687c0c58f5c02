#include "platform/timeline/timeline.h"

#include <array>

#include "platform/dispatch/virtual_scheduler.h"

namespace qv::timeline {
namespace {

constexpr std::array<const char*, kKindCount> kKindNames = {
    "sound",          "vibration",      "torch-on",        "torch-off",       "screen-flash",
    "screen-wake",    "system-sound",   "banner",          "banner-dismissed", "lock-screen-bulletin",
    "lock-screen",    "icon-shown",     "icon-hidden",     "notification-posted", "badge",
    "lock-state",     "do-not-disturb", "front-app",       "darwin-post",     "reminder-armed",
    "reminder-fired", "reminder-ended", "reminder-cleared", "action",         "host",
    "decision",
};

// The event filled in place on a clock with threads (see Timeline::deliver), and how deep recording
// is nested on this thread.
thread_local Event reused;
thread_local int depth = 0;

}  // namespace

const char* kindName(Kind k) {
  const auto i = static_cast<std::size_t>(k);
  return i < kKindNames.size() ? kKindNames[i] : "?";
}

Timeline::Timeline(dispatch::Scheduler& clock)
    : clock_(clock),
      oneThread_(clock.singleThreaded()),
      virtual_(dynamic_cast<const dispatch::VirtualScheduler*>(&clock)) {}

void Timeline::addListener(Listener listener, KindSet kinds) {
  std::lock_guard lock(mutex_);
  listeners_.push_back(Entry{std::move(listener), kinds});
  heard_ = heard_ | kinds;
}

void Timeline::clearListeners() {
  std::lock_guard lock(mutex_);
  listeners_.clear();
  heard_ = {};
}

void Timeline::fill(Event& e, std::string_view process, Kind kind, std::string_view subject, std::string_view detail,
                    std::span<const Field> fields) {
  e.time = virtual_ ? virtual_->now() : clock_.now();
  e.process.borrow(process);
  e.kind = kind;
  e.subject.borrow(subject);
  e.detail.borrow(detail);
  e.fields.borrow(fields);
  e.trace = virtual_ ? virtual_->trace() : clock_.trace();
}

void Timeline::hand(const Event& e, int& level) {
  ++level;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{level};
  for (const Entry& entry : listeners_)
    if (entry.kinds.has(e.kind)) entry.listener(e);
}

void Timeline::deliver(std::string_view process, Kind kind, std::string_view subject, std::string_view detail,
                       std::span<const Field> fields) {
  // Listeners hear the event only while it is recorded, so one event is filled in place again
  // and again, borrowing the caller's texts and fields (they live until this call returns): the
  // timeline's own when its clock runs everything on one thread, else one per thread. A listener
  // that records meanwhile gets an event of its own.
  if (!oneThread_ || ownDepth_ != 0) return deliverApart(process, kind, subject, detail, fields);
  fill(own_, process, kind, subject, detail, fields);
  hand(own_, ownDepth_);
}

void Timeline::deliverApart(std::string_view process, Kind kind, std::string_view subject, std::string_view detail,
                            std::span<const Field> fields) {
  int& level = oneThread_ ? ownDepth_ : depth;
  std::unique_lock lock(mutex_, std::defer_lock);
  if (!oneThread_) lock.lock();
  Event fresh;
  Event& e = level != 0 ? fresh : reused;
  fill(e, process, kind, subject, detail, fields);
  hand(e, level);
}

void Timeline::record(std::string_view process, Kind kind, std::string_view subject, std::string_view detail,
                      std::initializer_list<Field> fields) {
  if (!heard_.has(kind)) return;
  deliver(process, kind, subject, detail, std::span<const Field>(fields.begin(), fields.size()));
}

void Timeline::record(std::string_view process, Kind kind, std::string_view subject, std::string_view detail,
                      std::span<const Field> fields) {
  if (!heard_.has(kind)) return;
  deliver(process, kind, subject, detail, fields);
}

std::unique_lock<std::mutex> Timeline::lockIds() const {
  return oneThread_ ? std::unique_lock<std::mutex>() : std::unique_lock<std::mutex>(idsMutex_);
}

std::uint32_t Timeline::reminderNumber(std::string_view reminderId) {
  const auto lock = lockIds();
  // Walked with an iterator: indexing a deque works out the block at every step.
  std::uint32_t number = 0;
  for (const std::string& id : reminderIds_) {
    ++number;
    if (id == reminderId) return number;
  }
  reminderIds_.emplace_back(reminderId);
  return static_cast<std::uint32_t>(reminderIds_.size());
}

std::string Timeline::reminderId(std::uint32_t number) const {
  const auto lock = lockIds();
  return number == 0 || number > reminderIds_.size() ? std::string() : reminderIds_[number - 1];
}

std::string_view Timeline::reminderIdView(std::uint32_t number) const {
  const auto lock = lockIds();
  return number == 0 || number > reminderIds_.size() ? std::string_view() : std::string_view(reminderIds_[number - 1]);
}

AlertScope::AlertScope(Timeline& timeline, std::string_view reminderId, std::uint32_t alert) {
  if (!timeline.active()) return;
  dispatch::Trace t = timeline.clock().trace();
  t.reminder = timeline.reminderNumber(reminderId);
  t.alert = alert;
  scope_.emplace(timeline.clock(), t);
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
