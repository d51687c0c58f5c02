// The summary a tester reads first: per reminder, how often it alerted, the first and the last
// alert, and how it ended, in plain words (its repeat limit, cleared when the user opened the
// app, removed the notification, read the messages...). Needs decision events to name causes
// that no action of the scenario explains.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "sim/output.h"

namespace qv::sim {

class Summary {
 public:
  explicit Summary(AppNames names = {});
  Summary(const Summary&) = delete;
  Summary& operator=(const Summary&) = delete;

  void observe(const timeline::Event& e);
  void print(std::FILE* out, const LocalClock& clock, bool json) const;

  struct Ending {
    dispatch::Instant time{};
    std::string how;  // "cleared", "stopped: repeat limit 5 reached"
    std::string why;  // "when the user opens Phone"; may be empty
  };
  struct Reminder {
    std::string subject;  // the category, or the listed app's bundle identifier
    int starts = 0;
    int alerts = 0;
    dispatch::Instant first{}, last{};
    bool running = false;
    std::vector<Ending> endings;  // of the last run: how it stopped, then how its icon went
  };
  // In the order they first started.
  const std::vector<Reminder>& reminders() const { return reminders_; }
  std::size_t count(timeline::Kind k) const;

 private:
  Reminder& of(const std::string& subject);
  std::string causeAt(dispatch::Instant t) const;
  std::string title(const Reminder& r) const;
  std::string endingText(const Reminder& r, const LocalClock& clock) const;

  AppNames names_;
  std::vector<Reminder> reminders_;
  std::map<std::string, std::size_t, std::less<>> index_;
  std::map<timeline::Kind, std::size_t> counts_;
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
