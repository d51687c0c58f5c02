#include "sim/summary.h"

#include <nlohmann/json.hpp>

namespace qv::sim {
namespace {

using timeline::Event;
using timeline::Kind;
using namespace std::chrono_literals;

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string hhmmss(const LocalClock& clock, dispatch::Instant t) {
  return clockStamp(clock, t).substr(0, 8);
}

// "User" / "opens Phone" as a reason: "when the user opens Phone".
std::string actionCause(const Event& e) {
  if (e.process == "User") return "when the user " + e.subject;
  if (e.process == "Note") return {};
  return "after: " + e.subject;
}

}  // namespace

Summary::Summary(AppNames names) : names_(std::move(names)) {}

Summary::Reminder& Summary::of(const std::string& subject) {
  auto [it, added] = index_.try_emplace(subject, reminders_.size());
  if (added) {
    reminders_.emplace_back();
    reminders_.back().subject = subject;
  }
  return reminders_[it->second];
}

std::string Summary::causeAt(dispatch::Instant t) const {
  if (lastAction_.time == t && !lastAction_.text.empty()) return lastAction_.text;
  if (lastClearDecision_.time == t) return "(" + lastClearDecision_.text + ")";
  return {};
}

void Summary::observe(const Event& e) {
  ++counts_[e.kind];
  switch (e.kind) {
    case Kind::ReminderArmed: {
      Reminder& r = of(e.subject);
      if (!r.running) {
        ++r.starts;
        r.running = true;
        r.endings.clear();
      }
      break;
    }
    case Kind::ReminderFired: {
      Reminder& r = of(e.subject);
      if (r.alerts == 0) r.first = e.time;
      ++r.alerts;
      r.last = e.time;
      break;
    }
    case Kind::ReminderEnded: {
      Reminder& r = of(e.subject);
      r.running = false;
      r.endings.push_back({e.time, "stopped", e.detail.empty() ? causeAt(e.time) : e.detail});
      break;
    }
    case Kind::ReminderCleared: {
      Reminder& r = of(e.subject);
      r.endings.push_back({e.time, r.running ? "cleared" : "its icon cleared", causeAt(e.time)});
      r.running = false;
      break;
    }
    case Kind::Action:
      lastAction_ = {e.time, actionCause(e)};
      break;
    case Kind::Host:
      // The restarted home screen starts with nothing pending: whatever ran is gone for good.
      if (e.subject == "home screen" && e.detail == "restarts")
        for (Reminder& r : reminders_)
          if (r.running) {
            r.running = false;
            r.endings.push_back({e.time, "lost", "when the home screen restarted"});
          }
      break;
    case Kind::Decision:
      if (startsWith(e.detail, "clear") || e.detail.find("cleared") != std::string::npos)
        lastClearDecision_ = {e.time, e.detail};
      break;
    // Reminder banners and re-posted bulletins carry the title "Quorvel"; the rest are the apps' own.
    case Kind::Banner:
      if (startsWith(e.detail, "Quorvel")) ++reminderBanners_;
      break;
    case Kind::LockScreenBulletin:
      if (startsWith(e.detail, "Quorvel")) ++reminderBulletins_;
      break;
    case Kind::TorchOn:
      if (e.time >= torchSequenceStart_ + 3500ms) {
        torchSequenceStart_ = e.time;
        ++torchBlinks_;
      }
      break;
    default:
      break;
  }
}

std::size_t Summary::count(Kind k) const {
  auto it = counts_.find(k);
  return it == counts_.end() ? 0 : it->second;
}

std::string Summary::title(const Reminder& r) const {
  if (names_)
    if (auto n = names_(r.subject)) return *n + " (listed app)";
  return r.subject;
}

std::string Summary::endingText(const Reminder& r, const LocalClock& clock) const {
  if (r.endings.empty()) return r.running ? "still running at the end" : "never armed";
  std::string out;
  for (const Ending& e : r.endings) {
    if (!out.empty()) out += "; ";
    out += e.how + " at " + hhmmss(clock, e.time);
    if (!e.why.empty()) out += (e.how == "stopped" ? ": " : ", ") + e.why;
  }
  return out;
}

void Summary::print(std::FILE* out, const LocalClock& clock, bool json) const {
  if (json) {
    nlohmann::ordered_json j;
    j["kind"] = "summary";
    j["reminders"] = nlohmann::ordered_json::object();
    for (const Reminder& r : reminders_) {
      nlohmann::ordered_json c;
      c["starts"] = r.starts;
      c["alerts"] = r.alerts;
      if (r.alerts > 0) {
        c["first"] = hhmmss(clock, r.first);
        c["last"] = hhmmss(clock, r.last);
      }
      c["ending"] = endingText(r, clock);
      j["reminders"][r.subject] = c;
    }
    j["sounds"] = count(Kind::Sound);
    j["vibrations"] = count(Kind::Vibration);
    j["torchBlinks"] = torchBlinks_;
    j["reminderBanners"] = reminderBanners_;
    j["reminderBulletins"] = reminderBulletins_;
    std::fprintf(out, "%s\n", j.dump().c_str());
    return;
  }
  std::fprintf(out, "\nSummary\n");
  if (reminders_.empty()) std::fprintf(out, "  no reminder was started\n");
  for (const Reminder& r : reminders_) {
    std::string alerts = r.alerts == 0   ? "no alert"
                         : r.alerts == 1 ? "1 alert at " + hhmmss(clock, r.first)
                                         : std::to_string(r.alerts) + " alerts, " + hhmmss(clock, r.first) + " to " +
                                               hhmmss(clock, r.last);
    if (r.starts > 1) alerts += " (started " + std::to_string(r.starts) + " times)";
    std::fprintf(out, "  %-24s %s\n  %-24s %s\n", title(r).c_str(), alerts.c_str(), "", endingText(r, clock).c_str());
  }
  std::fprintf(
      out, "  sounds %zu, vibrations %zu, torch blinks %zu, reminder banners %zu, re-posted to the lock screen %zu\n",
      count(Kind::Sound), count(Kind::Vibration), torchBlinks_, reminderBanners_, reminderBulletins_);
}

}  // namespace qv::sim
