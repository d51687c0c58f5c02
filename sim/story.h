// The text form of the timeline: one line per event a tester cares about, in time order, with
// what one reminder alert did (sound, banner, torch, and the vibration 0.3 s later) shown
// under its "alert" line or named after it. Events of one instant are held back until the
// instant is over, then arranged: the re-arm that follows its own alert is left out, the
// decisions of the iOS 10 request rules come right after the notification they explain, and
// with --explain each notification's trail ends with its verdict ("started SMS",
// "restarted SMS", "no reminder: ...").
#pragma once

#include <cstdio>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "sim/output.h"

namespace qv::sim {

// A change of the wall clock during the run, told where it happens.
struct ClockChange {
  dispatch::Instant at;
  std::string text;  // "clocks go back: 03:00 becomes 02:00 (CEST to CET)"
};

class StoryWriter {
 public:
  StoryWriter(std::FILE* out, OutputOptions options, LocalClock clock, AppNames names);
  StoryWriter(const StoryWriter&) = delete;
  StoryWriter& operator=(const StoryWriter&) = delete;

  // Holds the event back until its instant is over.
  void add(const timeline::Event& e);
  // Prints the held-back instant.
  void flush();
  // The clock changes to tell, each before the first line after it, in time order.
  void tellClockChanges(std::vector<ClockChange> changes) { clockChanges_ = std::move(changes); }
  // The run ended at `end`: tells the clock changes up to it that no line came after.
  void finish(dispatch::Instant end);

 private:
  struct Line {
    const timeline::Event* event;
    std::string label;
    std::string text;
    bool indented = false;
  };
  struct TorchOutcome {
    std::size_t at;  // where it happened among the instant's lines
    Line line;
  };
  struct PendingVibration {
    dispatch::Instant due;
    std::string process;
    std::string reminder;
  };

  void moveRequestDecisions();
  void addVerdicts(std::vector<Line>& lines);
  std::string verdict(const std::vector<Line>& lines, std::size_t from, std::size_t to) const;
  std::vector<Line> arrange();
  void placeTorchLines(std::vector<Line>& lines, const std::vector<std::size_t>& fireEnds,
                       std::vector<TorchOutcome>& torch) const;
  bool startsTorchSequence(const timeline::Event& e);
  void noteArmed(const timeline::Event& e);
  bool hidden(const timeline::Event& e) const;
  std::string vibrationOwner(const timeline::Event& e);
  std::string name(const std::string& subject) const;
  std::string describe(const timeline::Event& e) const;
  void write(const Line& line);
  void heading(const std::string& text);
  const char* colourOf(std::string_view label) const;
  void tellClockChangesUpTo(dispatch::Instant t);
  // The heading of the day `t` falls on, when it is not the day last headed.
  void enterDay(dispatch::Instant t);

  std::FILE* out_;
  OutputOptions options_;
  LocalClock clock_;
  AppNames names_;
  std::vector<timeline::Event> instant_;
  std::deque<timeline::Event> verdicts_;  // the verdict lines of the instant (stable addresses)
  std::deque<PendingVibration> vibrations_;
  std::set<std::string, std::less<>> armed_;
  dispatch::Instant torchSequenceStart_ = dispatch::Instant::min();
  int lastDay_ = -1;
  std::vector<ClockChange> clockChanges_;
  std::size_t clockChangesTold_ = 0;
};

}  // namespace qv::sim
