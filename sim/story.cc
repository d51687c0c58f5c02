#include "sim/story.h"

#include <algorithm>
#include <set>

#include "core/categories.h"
#include "sim/terminal.h"

namespace qv::sim {
namespace {

using timeline::Event;
using timeline::Fields;
using timeline::Kind;
using namespace std::chrono_literals;

// The vibration task runs this long after its fire; a blink sequence lasts this long.
constexpr dispatch::Duration kVibrationDelay = 300ms;
constexpr dispatch::Duration kBlinkSequence = 3500ms;
constexpr std::string_view kSharedItem = "com.apple.AppStore";

const char* label(Kind k) {
  switch (k) {
    case Kind::Sound:
      return "sound";
    case Kind::Vibration:
      return "vibration";
    case Kind::TorchOn:
      return "torch on";
    case Kind::TorchOff:
      return "torch off";
    case Kind::ScreenFlash:
      return "screen flash";
    case Kind::ScreenWake:
      return "screen wake";
    case Kind::SystemSound:
      return "system sound";
    case Kind::Banner:
      return "banner";
    case Kind::LockScreenBulletin:
      return "lock screen";
    case Kind::StatusIconShown:
      return "icon shown";
    case Kind::StatusIconHidden:
      return "icon hidden";
    case Kind::DarwinPost:
      return "darwin post";
    case Kind::ReminderArmed:
      return "armed";
    case Kind::ReminderFired:
      return "alert";
    case Kind::ReminderEnded:
      return "ended";
    case Kind::ReminderCleared:
      return "cleared";
    case Kind::Action:
      return ">>";
    case Kind::Host:
    case Kind::BannerDismissed:
    case Kind::LockScreen:
    case Kind::NotificationPosted:
    case Kind::Badge:
    case Kind::LockState:
    case Kind::DoNotDisturb:
    case Kind::FrontApp:
      return "device";
    case Kind::Decision:
      return "why";
  }
  return "?";
}

// What the phone itself did (its own banners, lock screen, badges, front app), as against what the
// library did: told under one label, in the app's own words. The label's list is the one list.
bool isDeviceEvent(Kind k) {
  return std::string_view(label(k)) == "device";
}

// What a fire handler records while it runs, besides its own re-arm, end or clear.
bool effectOfFire(const Event& e) {
  switch (e.kind) {
    case Kind::Sound:
    case Kind::ScreenWake:
    case Kind::ScreenFlash:
    case Kind::SystemSound:
    case Kind::Banner:
    case Kind::StatusIconShown:
    case Kind::StatusIconHidden:
    case Kind::Decision:
      return true;
    case Kind::Host:
      return e.subject == "banner";
    case Kind::BannerDismissed:
      return true;
    default:
      return false;
  }
}

bool isTorchRefusal(const Event& e) {
  return e.kind == Kind::Decision && e.subject == "torch" && e.detail.starts_with("no blink");
}

const char* weekday(int y, int m, int d) {
  static const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  // Sakamoto's method.
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return names[(y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7];
}

// "Quorvel — Missed Call! (content x 0, width 375)": the content column matters only where it
// is not the whole banner (an iPad).
std::string bannerText(const std::string& detail) {
  const auto at = detail.rfind(" (content x 0, ");
  return at == std::string::npos ? detail : detail.substr(0, at);
}

std::string iconName(const std::string& identifier) {
  if (identifier == kSharedItem) return "listed apps";
  for (const core::CategoryInfo& row : core::kCategories)
    if (row.itemIdentifier == identifier) return std::string(row.name);
  return identifier;
}

// An observer's answer to a clear notification ("cleared by ...", "... ignored: ...").
bool answersClearNotification(const Event& e) {
  return e.kind == Kind::Decision &&
         (e.detail.starts_with("cleared by ") || e.detail.starts_with("clear notification ignored"));
}

// The phone's own line for a call that ended unanswered ("missed (Mum)").
bool isMissedCall(const Event& e) {
  return e.kind == Kind::Host && e.subject == "call" && e.detail.starts_with("missed");
}

// What one run of the request rules records: its decisions and what they did to reminders.
bool partOfRequestRules(const Event& e) {
  switch (e.kind) {
    case Kind::Decision:
    case Kind::ReminderArmed:
    case Kind::ReminderCleared:
    case Kind::ReminderEnded:
    case Kind::StatusIconShown:
    case Kind::StatusIconHidden:
    case Kind::DarwinPost:
      return true;
    default:
      return false;
  }
}

}  // namespace

StoryWriter::StoryWriter(std::FILE* out, OutputOptions options, LocalClock clock, AppNames names)
    : out_(out), options_(options), clock_(std::move(clock)), names_(std::move(names)) {}

void StoryWriter::add(const Event& e) {
  if (!instant_.empty() && instant_.front().time != e.time) flush();
  // The story reads the fields of actions only (what was done): copying them for every event
  // held back is cost for nothing.
  instant_.push_back(
      Event{e.time, e.process, e.kind, e.subject, e.detail, e.kind == Kind::Action ? e.fields : Fields{}, e.trace});
}

void StoryWriter::flush() {
  if (instant_.empty()) return;
  moveRequestDecisions();
  // A clear notification posted several times is heard by every process each time; its
  // decision reads once per process and instant (JSON keeps every one).
  std::set<std::string> told;
  std::vector<Line> lines = arrange();
  if (options_.explain) addVerdicts(lines);
  for (const Line& line : lines) {
    if (answersClearNotification(*line.event) && !told.insert(line.event->process + '\n' + line.text).second) continue;
    write(line);
  }
  instant_.clear();
  verdicts_.clear();
}

// A notification's trail runs from its action to the next action of the instant; its verdict
// closes it, so "why did this start nothing?" has its answer in one line.
void StoryWriter::addVerdicts(std::vector<Line>& lines) {
  auto isNotification = [](const Line& line) {
    if (line.event->kind != Kind::Action) return false;
    const timeline::Field::Value* what = line.event->field("do");
    return what && std::holds_alternative<timeline::Text>(*what) && std::get<timeline::Text>(*what) == "notification";
  };
  // A call that ends unanswered brings the Phone app's missed-call notification with it.
  auto bringsMissedCall = [&lines](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (isMissedCall(*lines[i].event)) return true;
    return false;
  };
  for (std::size_t start = 0; start < lines.size(); ++start) {
    if (lines[start].event->kind != Kind::Action) continue;
    std::size_t end = start + 1;
    while (end < lines.size() && lines[end].event->kind != Kind::Action) ++end;
    if (!isNotification(lines[start]) && !bringsMissedCall(start + 1, end)) {
      start = end - 1;
      continue;
    }
    const Event& action = *lines[start].event;
    verdicts_.push_back(Event{action.time, "SpringBoard", Kind::Decision, {}, verdict(lines, start + 1, end)});
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), Line{&verdicts_.back(), "verdict", verdicts_.back().detail});
    start = end;
  }
}

// "started SMS", "restarted SMS", or "no reminder: " and the last refusal of the trail.
std::string StoryWriter::verdict(const std::vector<Line>& lines, std::size_t from, std::size_t to) const {
  std::vector<std::string> started;  // reminders armed in the trail, in order
  std::set<std::string> stopped;     // reminders the trail ended or cleared
  std::string text;
  const Line* lastWhy = nullptr;
  const Line* callState = nullptr;  // what the call-state hook made of a call that ended unanswered
  bool savedForLockScreen = false, reachedLockScreen = false, callStateDecides = false;
  for (std::size_t i = from; i < to; ++i) {
    const Line& line = lines[i];
    const Event& e = *line.event;
    if (line.indented) continue;  // what an alert of the same instant did
    if (e.kind == Kind::ReminderEnded || e.kind == Kind::ReminderCleared) stopped.insert(e.subject);
    if (e.kind == Kind::ReminderArmed) {
      const bool again = std::find(started.begin(), started.end(), e.subject) != started.end();
      const bool restart = line.text.find(" - restarted, ") != std::string::npos || stopped.count(e.subject);
      if (!text.empty()) text += ", ";
      text += again ? "then restarted " + name(e.subject) : (restart ? "restarted " : "started ") + name(e.subject);
      started.push_back(e.subject);
    }
    if (e.kind == Kind::LockScreenBulletin) reachedLockScreen = true;
    if (e.kind != Kind::Decision) continue;
    if (line.text.find("saved for the lock screen") != std::string::npos) savedForLockScreen = true;
    if (line.text.find("lock-screen add rules") != std::string::npos) reachedLockScreen = true;
    if (line.text.find("missed calls start from call state") != std::string::npos) callStateDecides = true;
    if (e.subject == "call" && (e.detail.starts_with("call state") || e.detail.starts_with("unanswered call")))
      callState = &line;
    if (e.subject == "alert gate") continue;
    // An entry point with no block for the app decides nothing: an earlier refusal stands.
    if (lastWhy && e.detail.ends_with("no app block matches; nothing done")) continue;
    lastWhy = &line;
  }
  // The call state starts the call reminder a second after the call, outside this trail.
  const bool callStateStarts = callState && callState->event->detail.ends_with("starts in 1 s");
  if (!text.empty()) return callStateStarts ? text + "; call state restarts it in 1 s" : text;
  if (callStateStarts) return "starts call in 1 s, from call state";
  // iOS 7 to 9 leave missed calls to the call state; its line holds the refusal.
  if (callStateDecides && callState) return "no reminder: " + callState->event->detail;
  // iOS 7 to 9 start these reminders from the lock-screen list, which an unlocked device skips.
  if (savedForLockScreen && !reachedLockScreen)
    return "no reminder: saved for the lock screen, which it never reaches while the device is unlocked";
  if (!lastWhy) return "no reminder: no rule took it";
  // "Messages - request rules, SMS: SMS refused: ..." reads "SMS refused: ...".
  const std::string& why = lastWhy->text;
  const std::size_t rules = why.find(" rules");
  const std::size_t at = rules == std::string::npos ? why.find(" - ") : why.find(": ", rules);
  if (at == std::string::npos) return "no reminder: " + why;
  const std::string reason = why.substr(at + (why[at] == ' ' ? 3 : 2));
  if (reason == "taken by this block" && rules != std::string::npos && why.compare(rules, 8, " rules, ") == 0)
    return "no reminder: the " + why.substr(rules + 8, at - rules - 8) + " block took it and starts none for it";
  return "no reminder: " + reason;
}

// On iOS 10 the request rules run on their own queue after the home screen has shown the
// notification; what they decided and did reads best right after the notification itself.
void StoryWriter::moveRequestDecisions() {
  for (std::size_t i = 0; i < instant_.size();) {
    const Event& first = instant_[i];
    if (first.kind != Kind::Decision || !first.detail.starts_with("request rules")) {
      ++i;
      continue;
    }
    // The run ends where the rules of the next request begin.
    std::size_t end = i + 1;
    while (end < instant_.size() && partOfRequestRules(instant_[end]) &&
           !(instant_[end].detail.starts_with("request rules") && instant_[end].subject != first.subject))
      ++end;
    const std::string posted = name(first.subject) + " — ";
    for (std::size_t k = i; k-- > 0;) {
      const Event& e = instant_[k];
      if (e.kind != Kind::NotificationPosted || !e.detail.starts_with(posted)) continue;
      std::rotate(instant_.begin() + static_cast<std::ptrdiff_t>(k + 1),
                  instant_.begin() + static_cast<std::ptrdiff_t>(i),
                  instant_.begin() + static_cast<std::ptrdiff_t>(end));
      break;
    }
    i = end;
  }
}

std::vector<StoryWriter::Line> StoryWriter::arrange() {
  std::vector<Line> lines;
  std::vector<std::size_t> fireEnds;  // where each alert's lines end
  std::vector<TorchOutcome> torch;    // what each blink request came to, in request order
  std::string group;                  // the reminder whose alert is being told
  for (const Event& e : instant_) {
    if (e.kind == Kind::ReminderFired) {
      noteArmed(e);
      group = e.subject;
      lines.push_back({&e, label(e.kind), describe(e)});
      fireEnds.push_back(lines.size());
      vibrations_.push_back({e.time + kVibrationDelay, e.process, e.subject});
      continue;
    }
    const bool ownLife = e.subject == group && (e.kind == Kind::ReminderArmed || e.kind == Kind::ReminderEnded ||
                                                e.kind == Kind::ReminderCleared);
    if (!group.empty() && (effectOfFire(e) || ownLife)) {
      if (e.kind == Kind::Decision && e.subject == group && e.detail.starts_with("quiet mode")) vibrations_.pop_back();
      if (ownLife) group.clear();
      noteArmed(e);
      if (e.kind == Kind::ReminderArmed || hidden(e)) continue;  // the re-arm after its own alert
      lines.push_back({&e, label(e.kind), describe(e), true});
      fireEnds.back() = lines.size();
      continue;
    }
    group.clear();
    if (startsTorchSequence(e) || isTorchRefusal(e)) {
      torch.push_back(
          {lines.size(), {&e, options_.verbose || e.kind == Kind::Decision ? label(e.kind) : "torch", describe(e)}});
      continue;
    }
    const bool restart = e.kind == Kind::ReminderArmed && armed_.count(e.subject);
    noteArmed(e);
    if (hidden(e)) continue;
    Line line{&e, label(e.kind), describe(e)};
    if (restart) line.text = name(e.subject) + " - restarted, " + e.detail;
    if (e.kind == Kind::Vibration || (e.kind == Kind::Decision && e.subject == "vibration")) {
      const std::string owner = vibrationOwner(e);
      if (!owner.empty())
        line.text = e.kind == Kind::Vibration ? "for the " + name(owner) + " alert"
                                              : line.text + " (" + name(owner) + " alert)";
    }
    lines.push_back(std::move(line));
  }
  placeTorchLines(lines, fireEnds, torch);
  return lines;
}

// Blink requests run in the order their alerts asked; when every alert of the instant asked
// for one, each outcome is told under its alert. Otherwise it stays where it happened.
void StoryWriter::placeTorchLines(std::vector<Line>& lines, const std::vector<std::size_t>& fireEnds,
                                  std::vector<TorchOutcome>& torch) const {
  const bool attributed = !torch.empty() && torch.size() == fireEnds.size();
  for (std::size_t k = 0; k < torch.size(); ++k) {
    if (!attributed) continue;
    torch[k].at = fireEnds[k];
    torch[k].line.indented = true;
  }
  // From the back, so earlier positions stay valid; equal positions keep their order.
  for (auto it = torch.rbegin(); it != torch.rend(); ++it)
    if (!hidden(*it->line.event)) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(it->at), it->line);
}

// Which reminders hold an armed timer, so a start over a running one reads as a restart.
void StoryWriter::noteArmed(const Event& e) {
  switch (e.kind) {
    case Kind::ReminderArmed:
      armed_.insert(e.subject);
      break;
    case Kind::ReminderFired:
    case Kind::ReminderEnded:
    case Kind::ReminderCleared:
      armed_.erase(e.subject);
      break;
    default:
      break;
  }
}

// A blink is five on/off cycles in 3.5 s: its first "on" tells it, the rest is detail.
bool StoryWriter::startsTorchSequence(const Event& e) {
  if (e.kind != Kind::TorchOn || e.time < torchSequenceStart_ + kBlinkSequence) return false;
  torchSequenceStart_ = e.time;
  return true;
}

bool StoryWriter::hidden(const Event& e) const {
  switch (e.kind) {
    case Kind::Decision:
      return !options_.explain;
    case Kind::DarwinPost:
      return !options_.verbose;
    case Kind::TorchOn:
      return !options_.verbose && e.time != torchSequenceStart_;
    case Kind::TorchOff:
      return !options_.verbose;
    case Kind::BannerDismissed:
      // Why a banner left the screen (and when the next could show) is part of the explanation.
      return !options_.verbose && !options_.explain;
    default:
      return false;
  }
}

// The fire whose vibration task is due now; tasks run in the order their fires scheduled them.
std::string StoryWriter::vibrationOwner(const Event& e) {
  while (!vibrations_.empty() && vibrations_.front().due < e.time) vibrations_.pop_front();
  for (auto it = vibrations_.begin(); it != vibrations_.end() && it->due == e.time; ++it) {
    if (it->process != e.process) continue;
    std::string owner = it->reminder;
    vibrations_.erase(it);
    return owner;
  }
  return {};
}

std::string StoryWriter::name(const std::string& subject) const {
  if (names_)
    if (auto n = names_(subject)) return *n;
  return subject;
}

std::string StoryWriter::describe(const Event& e) const {
  auto withDetail = [&](std::string text) { return e.detail.empty() ? text : text + " - " + e.detail; };
  switch (e.kind) {
    case Kind::Sound:
      return e.subject + (e.detail.empty() ? "" : " (" + e.detail + ")");
    case Kind::Vibration:
      return e.detail;
    case Kind::TorchOn:
      return options_.verbose ? e.subject : "blinks 5 times (3.5 s)";
    case Kind::ScreenFlash:
      return "the screen flashes " + e.subject;
    case Kind::ScreenWake:
      return "the screen lights up";
    case Kind::Banner:
      return name(e.subject) + ": " + bannerText(e.detail);
    case Kind::LockScreenBulletin:
      return name(e.subject) + ": " + e.detail;
    case Kind::StatusIconShown:
    case Kind::StatusIconHidden:
      return iconName(e.subject) + " (" + e.subject + ")";
    case Kind::Action:
      return e.subject;
    case Kind::ReminderArmed: {
      // A listed app's timer carries the app's name, which the subject already shows.
      const std::string shown = name(e.subject);
      const std::string suffix = " (" + shown + ")";
      std::string detail = e.detail;
      if (detail.size() > suffix.size() && detail.ends_with(suffix)) detail.resize(detail.size() - suffix.size());
      return shown + " - " + detail;
    }
    default: {
      const std::string shown = name(e.subject);
      // The device's own detail often opens with the app's name: said once.
      if (isDeviceEvent(e.kind) && e.detail.starts_with(shown + " "))
        return shown + " - " + e.detail.substr(shown.size() + 1);
      return withDetail(shown);
    }
  }
}

// The colour of a label on a terminal: actions and alerts stand out, explanations step back.
const char* StoryWriter::colourOf(std::string_view label) const {
  if (!options_.colour) return "";
  if (label == ">>") return "\033[1;36m";
  if (label == "alert") return "\033[1;33m";
  if (label == "armed" || label == "ended" || label == "cleared") return "\033[32m";
  if (label == "verdict") return "\033[1m";
  if (label == "why") return "\033[2m";
  return "";
}

void StoryWriter::heading(const std::string& text) {
  if (options_.colour)
    std::fprintf(out_, "\033[1m--- %s ---\033[0m\n", text.c_str());
  else
    std::fprintf(out_, "--- %s ---\n", text.c_str());
}

void StoryWriter::tellClockChangesUpTo(dispatch::Instant t) {
  for (; clockChangesTold_ < clockChanges_.size() && clockChanges_[clockChangesTold_].at <= t; ++clockChangesTold_) {
    enterDay(clockChanges_[clockChangesTold_].at);  // a change is told under the day it happens on
    heading(clockChanges_[clockChangesTold_].text);
  }
}

void StoryWriter::enterDay(dispatch::Instant t) {
  host::CalendarDate d = clock_(t);
  const int day = d.year * 10000 + d.month * 100 + d.day;
  if (day == lastDay_) return;
  char date[32];
  std::snprintf(date, sizeof date, "%s %04d-%02d-%02d", weekday(d.year, d.month, d.day), d.year, d.month, d.day);
  heading(date);
  lastDay_ = day;
}

void StoryWriter::finish(dispatch::Instant end) {
  flush();
  tellClockChangesUpTo(end);
}

void StoryWriter::write(const Line& line) {
  const Event& e = *line.event;
  tellClockChangesUpTo(e.time);
  enterDay(e.time);
  const std::string lab = line.indented ? "  " + line.label : line.label;
  std::string shown;
  const std::string& text = allVisible(line.text) ? line.text : (shown = visibleText(line.text));
  const char* colour = colourOf(line.label);
  if (*colour) {
    std::fprintf(out_, "%s  %-12s  %s%-14s %s\033[0m\n", clockStamp(clock_, e.time).c_str(), e.process.c_str(), colour,
                 lab.c_str(), text.c_str());
    return;
  }
  std::fprintf(out_, "%s  %-12s  %-14s %s\n", clockStamp(clock_, e.time).c_str(), e.process.c_str(), lab.c_str(),
               text.c_str());
}

}  // namespace qv::sim
