// What the simulator prints: the timeline as readable text (default) or JSON Lines, and a
// summary at the end (per category: alerts, first and last, why it ended). Decision events
// are printed only with `explain`. Output is byte-identical for equal input.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/timeline/timeline.h"

namespace qv::sim {

struct OutputOptions {
  bool json = false;
  bool explain = false;
  bool verbose = false;  // every torch step, every Darwin post
  bool summary = true;
};

// Turns an instant into the device's local calendar time.
using LocalClock = std::function<host::CalendarDate(dispatch::Instant)>;

class TimelinePrinter {
 public:
  TimelinePrinter(std::FILE* out, OutputOptions options, LocalClock clock, dispatch::Instant start);
  void print(const timeline::Event& e);

 private:
  void printText(const timeline::Event& e);
  void printJson(const timeline::Event& e);
  std::string stamp(dispatch::Instant t) const;

  std::FILE* out_;
  OutputOptions options_;
  LocalClock clock_;
  dispatch::Instant start_;
  dispatch::Instant torchSequenceUntil_{};
  int lastDay_ = -1;
};

// Gathers what a tester asks first: per reminder, how often it alerted and why it ended.
class Summary {
 public:
  void observe(const timeline::Event& e);
  void print(std::FILE* out, const LocalClock& clock, bool json) const;

  struct Reminder {
    int armed = 0;
    int alerts = 0;
    dispatch::Instant first{}, last{};
    std::string ending = "still running at the end";
  };
  const std::map<std::string, Reminder>& reminders() const { return reminders_; }
  std::size_t count(timeline::Kind k) const;

 private:
  std::map<std::string, Reminder> reminders_;
  std::map<timeline::Kind, std::size_t> counts_;
};

}  // namespace qv::sim
