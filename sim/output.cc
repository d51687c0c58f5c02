#include "sim/output.h"

#include <nlohmann/json.hpp>

namespace qv::sim {
namespace {

using timeline::Kind;

const char* label(Kind k) {
  switch (k) {
    case Kind::Sound: return "sound";
    case Kind::Vibration: return "vibration";
    case Kind::TorchOn: return "torch on";
    case Kind::TorchOff: return "torch off";
    case Kind::ScreenFlash: return "screen flash";
    case Kind::ScreenWake: return "screen wakes";
    case Kind::SystemSound: return "system sound";
    case Kind::Banner: return "banner";
    case Kind::LockScreenBulletin: return "lock screen";
    case Kind::StatusIconShown: return "icon shown";
    case Kind::StatusIconHidden: return "icon hidden";
    case Kind::DarwinPost: return "darwin post";
    case Kind::ReminderArmed: return "armed";
    case Kind::ReminderFired: return "alert";
    case Kind::ReminderEnded: return "ended";
    case Kind::ReminderCleared: return "cleared";
    case Kind::Action: return ">>";
    case Kind::Host: return "device";
    case Kind::Decision: return "why";
  }
  return "?";
}

const char* weekday(int y, int m, int d) {
  static const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  // Sakamoto's method.
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return names[(y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7];
}

int millisOf(dispatch::Instant t) {
  auto ns = t.time_since_epoch().count() % 1'000'000'000;
  if (ns < 0) ns += 1'000'000'000;
  return static_cast<int>(ns / 1'000'000);
}

}  // namespace

TimelinePrinter::TimelinePrinter(std::FILE* out, OutputOptions options, LocalClock clock, dispatch::Instant start)
    : out_(out), options_(options), clock_(std::move(clock)), start_(start) {}

std::string TimelinePrinter::stamp(dispatch::Instant t) const {
  host::CalendarDate d = clock_(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", d.hour, d.minute, d.second, millisOf(t));
  return buf;
}

void TimelinePrinter::print(const timeline::Event& e) {
  if (e.kind == Kind::Decision && !options_.explain) return;
  if (options_.json)
    printJson(e);
  else
    printText(e);
}

void TimelinePrinter::printText(const timeline::Event& e) {
  if (!options_.verbose) {
    // A blink is five on/off cycles in 3.5 s; one line says it.
    if (e.kind == Kind::TorchOn || e.kind == Kind::TorchOff) {
      if (e.time < torchSequenceUntil_) return;
      if (e.kind == Kind::TorchOff) return;
      torchSequenceUntil_ = e.time + std::chrono::milliseconds(3600);
      std::fprintf(out_, "%s  %-12s  %-13s %s\n", stamp(e.time).c_str(), e.process.c_str(), "torch", "blinks");
      return;
    }
    if (e.kind == Kind::DarwinPost) return;
  }
  host::CalendarDate d = clock_(e.time);
  const int day = d.year * 10000 + d.month * 100 + d.day;
  if (day != lastDay_) {
    std::fprintf(out_, "--- %s %04d-%02d-%02d ---\n", weekday(d.year, d.month, d.day), d.year, d.month, d.day);
    lastDay_ = day;
  }
  std::string text = e.subject;
  if (!e.detail.empty()) text += text.empty() ? e.detail : " - " + e.detail;
  std::fprintf(out_, "%s  %-12s  %-13s %s\n", stamp(e.time).c_str(), e.process.c_str(), label(e.kind), text.c_str());
}

void TimelinePrinter::printJson(const timeline::Event& e) {
  host::CalendarDate d = clock_(e.time);
  char local[40];
  std::snprintf(local, sizeof local, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", d.year, d.month, d.day, d.hour, d.minute,
                d.second, millisOf(e.time));
  nlohmann::ordered_json j;
  j["time"] = local;
  j["offset_ms"] = std::chrono::duration_cast<std::chrono::milliseconds>(e.time - start_).count();
  j["process"] = e.process;
  j["kind"] = timeline::kindName(e.kind);
  j["subject"] = e.subject;
  if (!e.detail.empty()) j["detail"] = e.detail;
  std::fprintf(out_, "%s\n", j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

void Summary::observe(const timeline::Event& e) {
  ++counts_[e.kind];
  switch (e.kind) {
    case Kind::ReminderArmed: {
      Reminder& r = reminders_[e.subject];
      ++r.armed;
      r.ending = "still running at the end";
      break;
    }
    case Kind::ReminderFired: {
      Reminder& r = reminders_[e.subject];
      if (r.alerts == 0) r.first = e.time;
      ++r.alerts;
      r.last = e.time;
      break;
    }
    case Kind::ReminderEnded: reminders_[e.subject].ending = e.detail.empty() ? "ended" : e.detail; break;
    case Kind::ReminderCleared:
      reminders_[e.subject].ending = e.detail.empty() ? "cleared" : "cleared: " + e.detail;
      break;
    default: break;
  }
}

std::size_t Summary::count(timeline::Kind k) const {
  auto it = counts_.find(k);
  return it == counts_.end() ? 0 : it->second;
}

void Summary::print(std::FILE* out, const LocalClock& clock, bool json) const {
  auto hhmmss = [&](dispatch::Instant t) {
    host::CalendarDate d = clock(t);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", d.hour, d.minute, d.second);
    return std::string(buf);
  };
  if (json) {
    nlohmann::ordered_json j;
    j["kind"] = "summary";
    for (const auto& [name, r] : reminders_) {
      nlohmann::ordered_json c;
      c["alerts"] = r.alerts;
      if (r.alerts > 0) {
        c["first"] = hhmmss(r.first);
        c["last"] = hhmmss(r.last);
      }
      c["ending"] = r.ending;
      j["reminders"][name] = c;
    }
    j["sounds"] = count(Kind::Sound);
    j["vibrations"] = count(Kind::Vibration);
    j["banners"] = count(Kind::Banner);
    j["lockScreenBulletins"] = count(Kind::LockScreenBulletin);
    std::fprintf(out, "%s\n", j.dump().c_str());
    return;
  }
  std::fprintf(out, "\nSummary\n");
  if (reminders_.empty()) std::fprintf(out, "  no reminder was started\n");
  for (const auto& [name, r] : reminders_) {
    if (r.alerts == 0)
      std::fprintf(out, "  %-20s no alert; %s\n", name.c_str(), r.ending.c_str());
    else
      std::fprintf(out, "  %-20s %3d alert%s  %s .. %s  %s\n", name.c_str(), r.alerts, r.alerts == 1 ? " " : "s",
                   hhmmss(r.first).c_str(), hhmmss(r.last).c_str(), r.ending.c_str());
  }
  std::fprintf(out, "  sounds %zu, vibrations %zu, banners %zu, lock-screen bulletins %zu\n", count(Kind::Sound),
               count(Kind::Vibration), count(Kind::Banner), count(Kind::LockScreenBulletin));
}

}  // namespace qv::sim
