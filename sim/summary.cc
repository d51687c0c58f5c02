#include "sim/summary.h"

#include <algorithm>

#include "sim/json_lines.h"
#include "sim/local_time.h"
#include "sim/terminal.h"

namespace qv::sim {
namespace {

using timeline::Event;
using timeline::Kind;
using namespace std::chrono_literals;

// "User" / "opens Phone" as a reason: "when the user opens Phone".
std::string actionCause(const Event& e) {
  if (e.process == "User") return "when the user " + e.subject;
  if (e.process == "Note") return {};
  return "after: " + e.subject;
}

// A fire numbered 0 is a listed app's timer that is no longer listed: it alerts, but in no run.
bool outsideAnyRun(const Event& e) {
  const timeline::Field::Value* v = e.field("alert");
  const std::int64_t* n = v ? std::get_if<std::int64_t>(v) : nullptr;
  return n && *n == 0;
}

// "3 alerts, 08:01:00 to 08:03:00", "1 alert at 08:01:00", with `what` after the number.
std::string alertSpan(int alerts, const std::string& what, const std::string& first, const std::string& last) {
  if (alerts == 1) return "1 " + what + " at " + first;
  return std::to_string(alerts) + " " + what + ", " + first + " to " + last;
}

}  // namespace

// "08:01:20", "2026-12-08 00:01:20" with its date, "01:15:00 EST" with its zone.
std::string summaryTime(const LocalClock& clock, dispatch::Instant t, const TimeForm& form) {
  std::string out = clockStamp(clock, t).substr(0, 8);
  if (form.withDates) {
    const host::CalendarDate d = clock(t);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d ", d.year, d.month, d.day);
    out = date + out;
  }
  if (form.zone)
    out += " " + form.zone->abbreviationAt(std::chrono::floor<std::chrono::seconds>(t));
  return out;
}

Summary::Summary(AppNames names) : names_(std::move(names)) {}

Summary::Reminder& Summary::of(const Event& e) {
  std::string_view category = textFieldView(e, "category");
  if (category.empty()) category = e.subject;
  if (last_ < reminders_.size() && reminders_[last_].category == category) return reminders_[last_];
  // A day's few reminders take turns: a look down the short list beats the map's string compares.
  constexpr std::size_t kScanned = 16;
  if (reminders_.size() <= kScanned) {
    for (std::size_t i = 0; i < reminders_.size(); ++i)
      if (reminders_[i].category == category) return reminders_[last_ = i];
  } else if (auto known = index_.find(category); known != index_.end()) {
    return reminders_[last_ = known->second];
  }
  auto [it, added] = index_.try_emplace(std::string(category), reminders_.size());
  if (added) {
    reminders_.emplace_back();
    reminders_.back().category = std::string(category);
    reminders_.back().subject = e.subject;
    if (names_) reminders_.back().appName = names_(e.subject);
  }
  return reminders_[last_ = it->second];
}

std::string Summary::causeAt(dispatch::Instant t) const {
  if (lastAction_.time == t && !lastAction_.text.empty()) return lastAction_.text;
  if (lastClearDecision_.time == t) return "(" + lastClearDecision_.text + ")";
  return {};
}

Summary::Ending Summary::ending(const Event& e, const EventFacts& facts, std::string reason, std::string how,
                                std::string why) const {
  Ending end{e.time, std::move(reason), 0, std::nullopt, std::move(how), std::move(why)};
  end.alert = facts.alert(e, textField(e, "category"));
  if (const ActionRef* a = facts.cause(e)) end.cause = *a;
  return end;
}

// A start from outside the reminder's own alerts: a new run, which replaces a running one.
void Summary::start(Reminder& r, const Event& e, const EventFacts& facts) {
  if (r.running && !r.runs.empty() && !r.runs.back().ended)
    r.runs.back().ended = ending(e, facts, "restarted", "", "");
  Run run;
  run.started = e.time;
  run.restart = r.running;
  if (const ActionRef* a = facts.cause(e)) run.cause = *a;
  r.runs.push_back(std::move(run));
  if (!r.running) {
    r.earlier.insert(r.earlier.end(), r.endings.begin(), r.endings.end());
    r.endings.clear();
  }
  r.running = true;
}

void Summary::observe(const Event& e, const EventFacts& facts) {
  ++counts_[static_cast<std::size_t>(e.kind)];
  switch (e.kind) {
    case Kind::ReminderArmed: {
      Reminder& r = of(e);
      if (textFieldView(e, "start") != "rearm") start(r, e, facts);
      break;
    }
    case Kind::ReminderFired: {
      Reminder& r = of(e);
      if (outsideAnyRun(e)) {
        if (r.unlistedAlerts++ == 0) r.firstUnlisted = e.time;
        r.lastUnlisted = e.time;
        break;
      }
      if (r.runs.empty()) r.runs.emplace_back().started = e.time;
      Run& run = r.runs.back();
      if (run.alerts == 0) run.first = e.time;
      ++run.alerts;
      run.last = e.time;
      break;
    }
    case Kind::ReminderEnded: {
      Reminder& r = of(e);
      r.running = false;
      const std::string reason = textField(e, "reason");
      // The restarted home screen starts with nothing pending: whatever ran is gone for good.
      Ending end = reason == "lost-at-respring"
                       ? ending(e, facts, reason, "lost", "when the home screen restarted")
                       : ending(e, facts, reason, "stopped", e.detail.empty() ? causeAt(e.time) : e.detail.str());
      r.endings.push_back(end);
      if (!r.runs.empty() && !r.runs.back().ended) r.runs.back().ended = std::move(end);
      break;
    }
    case Kind::ReminderCleared: {
      Reminder& r = of(e);
      Ending end = ending(e, facts, "cleared", r.running ? "cleared" : "its icon cleared", causeAt(e.time));
      r.endings.push_back(end);
      if (!r.runs.empty()) {
        Run& run = r.runs.back();
        if (!run.ended)
          run.ended = std::move(end);
        else if (!run.iconCleared)
          run.iconCleared = std::move(end);
      }
      r.running = false;
      break;
    }
    case Kind::Action:
      lastAction_ = {e.time, actionCause(e)};
      break;
    case Kind::Decision:
      if (e.detail.starts_with("clear") || e.detail.find("cleared") != std::string::npos)
        lastClearDecision_ = {e.time, e.detail};
      break;
    // A reminder's banners and re-posted bulletins belong to it; the rest are the apps' own.
    case Kind::Banner:
      if (!facts.categoryView(e).empty()) ++reminderBanners_;
      break;
    case Kind::LockScreenBulletin:
      if (!facts.categoryView(e).empty()) ++reminderBulletins_;
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
  const auto i = static_cast<std::size_t>(k);
  return i < counts_.size() ? counts_[i] : 0;
}

std::string Summary::title(const Reminder& r) const {
  return r.appName ? *r.appName + " (listed app)" : r.subject;
}

std::string Summary::endingText(const std::vector<Ending>& endings, const LocalClock& clock,
                                const TimeForm& form) const {
  std::string out;
  for (const Ending& e : endings) {
    if (!out.empty()) out += "; ";
    out += e.how + " at " + summaryTime(clock, e.time, form);
    if (!e.why.empty()) out += (e.how == "stopped" ? ": " : ", ") + e.why;
  }
  return out;
}

std::string Summary::alertsText(const Reminder& r, const LocalClock& clock, const TimeForm& form) const {
  int alerts = 0, starts = 0;
  dispatch::Instant first{}, last{};
  // Every run is a start, a restart over a running run too: as the JSON runs and the matrix count.
  for (const Run& run : r.runs) {
    ++starts;
    if (run.alerts == 0) continue;
    if (alerts == 0) first = run.first;
    alerts += run.alerts;
    last = run.last;
  }
  std::string text;
  if (alerts > 0)
    text = alertSpan(alerts, alerts == 1 ? "alert" : "alerts", summaryTime(clock, first, form),
                     summaryTime(clock, last, form));
  if (starts > 1) text += (text.empty() ? "no alert" : "") + std::string(" (started ") + std::to_string(starts) + " times)";
  if (r.unlistedAlerts > 0)
    text += (text.empty() ? "" : "; ") + alertSpan(r.unlistedAlerts,
                                                   r.unlistedAlerts == 1 ? "alert of a timer no longer listed"
                                                                         : "alerts of timers no longer listed",
                                                   summaryTime(clock, r.firstUnlisted, form),
                                                   summaryTime(clock, r.lastUnlisted, form));
  return text.empty() ? "no alert" : text;
}

// How the starts before the last ended: each in full while they are few, else counted by how.
std::string Summary::earlierText(const Reminder& r, const LocalClock& clock, const TimeForm& form) const {
  constexpr std::size_t kTold = 3;
  if (r.earlier.size() <= kTold) return endingText(r.earlier, clock, form);
  std::vector<std::pair<std::string, int>> tally;
  for (const Ending& e : r.earlier) {
    auto it = std::find_if(tally.begin(), tally.end(), [&](const auto& t) { return t.first == e.how; });
    if (it == tally.end()) it = tally.insert(tally.end(), {e.how, 0});
    ++it->second;
  }
  std::string out;
  for (const auto& [how, times] : tally)
    out += (out.empty() ? "" : ", ") + how + (times == 1 ? " once" : " " + std::to_string(times) + " times");
  return out + " (--json gives each run)";
}

void Summary::print(std::FILE* out, const LocalClock& clock, const TimeForm& form) const {
  std::fprintf(out, "\nSummary\n");
  if (reminders_.empty()) std::fprintf(out, "  no reminder was started\n");
  for (const Reminder& r : reminders_) {
    std::fprintf(out, "  %-24s %s\n", visibleText(title(r)).c_str(), visibleText(alertsText(r, clock, form)).c_str());
    if (!r.earlier.empty())
      std::fprintf(out, "  %-24s earlier runs: %s\n", "", visibleText(earlierText(r, clock, form)).c_str());
    const std::string last = r.endings.empty() ? (r.running ? "still running at the end" : "never armed")
                                               : endingText(r.endings, clock, form);
    std::fprintf(out, "  %-24s %s\n", "", visibleText(last).c_str());
  }
  std::fprintf(
      out, "  sounds %zu, vibrations %zu, torch blinks %zu, reminder banners %zu, re-posted to the lock screen %zu\n",
      count(Kind::Sound), count(Kind::Vibration), torchBlinks_, reminderBanners_, reminderBulletins_);
}

void Summary::printJson(std::FILE* out, const tz::TimeZone& zone, dispatch::Instant from, dispatch::Instant to,
                        const Device& device, const std::optional<CheckResult>& check) const {
  JsonText j;
  auto endingJson = [&](const char* key, const Ending& end, bool withReason) {
    j.key(key).open();
    j.key("time").string(rfc3339(end.time, zone));
    if (withReason) j.key("reason").string(end.reason);
    if (withReason && end.alert != 0) j.key("alert").integer(end.alert);
    if (end.cause) writeCause(j, *end.cause);
    j.close();
  };
  j.open();
  j.key("kind").string("summary");
  j.key("from").string(rfc3339(from, zone));
  j.key("to").string(rfc3339(to, zone));
  j.key("ios").string(device.ios);
  j.key("device").string(device.kind);
  j.key("timeZone").string(device.timeZone);
  j.key("seed").unsignedInteger(device.seed);
  j.key("reminders").openList();
  for (const Reminder& r : reminders_) {
    j.open();
    j.key("category").string(r.category);
    j.key("name").string(r.appName.value_or(r.subject));
    j.key("runs").openList();
    for (const Run& run : r.runs) {
      j.open();
      j.key("started").string(rfc3339(run.started, zone));
      j.key("start").string(run.restart ? "restart" : "new");
      if (run.cause) writeCause(j, *run.cause);
      j.key("alerts").integer(run.alerts);
      if (run.alerts > 0) {
        j.key("first").string(rfc3339(run.first, zone));
        j.key("last").string(rfc3339(run.last, zone));
      }
      if (run.ended) endingJson("ended", *run.ended, true);
      if (run.iconCleared) endingJson("iconCleared", *run.iconCleared, false);
      j.close();
    }
    j.closeList();
    if (r.unlistedAlerts > 0) j.key("unlistedAlerts").integer(r.unlistedAlerts);
    j.close();
  }
  j.closeList();
  j.key("counts").open();
  j.key("sounds").integer(static_cast<std::int64_t>(count(Kind::Sound)));
  j.key("vibrations").integer(static_cast<std::int64_t>(count(Kind::Vibration)));
  j.key("torchBlinks").integer(static_cast<std::int64_t>(torchBlinks_));
  j.key("reminderBanners").integer(static_cast<std::int64_t>(reminderBanners_));
  j.key("lockScreenReposts").integer(static_cast<std::int64_t>(reminderBulletins_));
  j.close();
  if (check) {
    j.key("check").open();
    j.key("result").string(check->held ? "held" : "broken");
    j.key("checks").integer(static_cast<std::int64_t>(check->checks));
    j.key("runs").integer(static_cast<std::int64_t>(check->runs));
    j.key("fires").integer(static_cast<std::int64_t>(check->fires));
    j.key("clears").integer(static_cast<std::int64_t>(check->clears));
    j.key("mustStart").integer(static_cast<std::int64_t>(check->mustStart));
    if (!check->violation.empty()) j.key("violation").string(check->violation);
    if (!check->replay.empty()) j.key("replay").string(check->replay);
    j.close();
  }
  j.close().endLine();
  std::fwrite(j.text().data(), 1, j.text().size(), out);
}

}  // namespace qv::sim
