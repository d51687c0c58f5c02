// The summary a tester reads first: per reminder, every run (each start), its alerts, the first
// and the last, and how it ended (its repeat limit, cleared when the user opened the app,
// removed the notification, read the messages...). As text under the story, or as the `summary`
// object that ends JSON Lines (docs/events.md). Needs decision events to name, in the text,
// causes that no action of the scenario explains.
#pragma once

#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/time/timezone.h"
#include "sim/event_facts.h"
#include "sim/output.h"

namespace qv::sim {

// What --check found, for the summary.
struct CheckResult {
  bool held = true;
  std::uint64_t checks = 0;
  // What the checks judged: reminder runs, fires, clears, and notifications or missed calls that
  // had to start a reminder.
  std::uint64_t runs = 0, fires = 0, clears = 0, mustStart = 0;
  std::string violation;  // when broken
  std::string replay;     // the command that replays a broken random run
};

// How the summary's text gives a time: "08:01:20"; with its date ("2026-12-08 00:01:20") for a
// run that crosses midnight; with the zone's abbreviation ("01:15:00 EST") for a run across a
// clock change, where an hour may be shown twice.
struct TimeForm {
  bool withDates = false;
  const tz::TimeZone* zone = nullptr;
};
// `t` in that form.
std::string summaryTime(const LocalClock& clock, dispatch::Instant t, const TimeForm& form);

class Summary {
 public:
  explicit Summary(AppNames names = {});
  Summary(const Summary&) = delete;
  Summary& operator=(const Summary&) = delete;

  // Every event in order; `facts` has heard it already.
  void observe(const timeline::Event& e, const EventFacts& facts);
  // The kinds `observe` reads or counts for what the summary prints: fed only these, it sums up
  // the same (decisions name causes in the text).
  static constexpr timeline::KindSet kKindsRead = {
      timeline::Kind::ReminderArmed, timeline::Kind::ReminderFired,      timeline::Kind::ReminderEnded,
      timeline::Kind::ReminderCleared, timeline::Kind::Action,           timeline::Kind::Decision,
      timeline::Kind::Banner,        timeline::Kind::LockScreenBulletin, timeline::Kind::TorchOn,
      timeline::Kind::Sound,         timeline::Kind::Vibration};
  void print(std::FILE* out, const LocalClock& clock, const TimeForm& form = {}) const;
  // Which device played the run, so that the summaries of many runs (`--seeds`) tell themselves apart.
  struct Device {
    std::string ios;       // "10.3"
    std::string kind;      // "iPhone" or "iPad"
    std::string timeZone;  // "Europe/Berlin"
    std::uint64_t seed = 1;
  };
  // The `summary` line of JSON Lines.
  void printJson(std::FILE* out, const tz::TimeZone& zone, dispatch::Instant from, dispatch::Instant to,
                 const Device& device, const std::optional<CheckResult>& check) const;

  struct Ending {
    dispatch::Instant time{};
    std::string reason;  // as the events give it: "limit", "cleared", "restarted"...
    std::uint32_t alert = 0;
    std::optional<ActionRef> cause;
    std::string how;  // for the text: "stopped", "cleared", "its icon cleared"
    std::string why;  // for the text: "when the user opens Phone"; may be empty
  };
  struct Run {
    dispatch::Instant started{};
    bool restart = false;  // a new event replaced the run before it
    std::optional<ActionRef> cause;
    int alerts = 0;
    dispatch::Instant first{}, last{};
    std::optional<Ending> ended;
    std::optional<Ending> iconCleared;
  };
  struct Reminder {
    std::string category;  // "sms", "listed:com.example.Chat"
    std::string subject;   // as events name it: the category's name, or the listed app's bundle identifier
    std::optional<std::string> appName;  // a listed app's display name when it first started
    std::vector<Run> runs;
    bool running = false;
    std::vector<Ending> endings;  // for the text: of the last start, how it stopped, then how its icon went
    std::vector<Ending> earlier;  // the same of every start before it, in order
    // Alerts numbered 0: a listed app's timer that the lists had let go of fires once more, in no run.
    int unlistedAlerts = 0;
    dispatch::Instant firstUnlisted{}, lastUnlisted{};
  };
  // In the order they first started.
  const std::vector<Reminder>& reminders() const { return reminders_; }
  std::size_t count(timeline::Kind k) const;
  // Torch blink sequences, reminder banners, reminders re-posted to the lock screen.
  std::size_t torchBlinks() const { return torchBlinks_; }
  std::size_t reminderBanners() const { return reminderBanners_; }
  std::size_t lockScreenReposts() const { return reminderBulletins_; }

 private:
  Reminder& of(const timeline::Event& e);
  void start(Reminder& r, const timeline::Event& e, const EventFacts& facts);
  Ending ending(const timeline::Event& e, const EventFacts& facts, std::string reason, std::string how,
                std::string why) const;
  std::string causeAt(dispatch::Instant t) const;
  std::string title(const Reminder& r) const;
  std::string endingText(const std::vector<Ending>& endings, const LocalClock& clock, const TimeForm& form) const;
  std::string earlierText(const Reminder& r, const LocalClock& clock, const TimeForm& form) const;
  std::string alertsText(const Reminder& r, const LocalClock& clock, const TimeForm& form) const;

  AppNames names_;
  std::vector<Reminder> reminders_;
  std::map<std::string, std::size_t, std::less<>> index_;
  std::size_t last_ = 0;  // the reminder `of` found last: most events follow one of the same
  std::array<std::size_t, timeline::kKindCount> counts_{};
  std::size_t reminderBanners_ = 0;
  std::size_t reminderBulletins_ = 0;
  std::size_t torchBlinks_ = 0;
  dispatch::Instant torchSequenceStart_ = dispatch::Instant::min();
  struct Cause {
    dispatch::Instant time = dispatch::Instant::min();
    std::string text;
  };
  Cause lastAction_, lastClearDecision_;
};

}  // namespace qv::sim
