// The text form of the timeline: one line per event a tester cares about, in time order, with
// what one reminder alert did (sound, banner, torch, and the vibration 0.3 s later) shown
// under its "alert" line or named after it. Events of one instant are held back until the
// instant is over, then arranged: the re-arm that follows its own alert is left out, the
// decisions of the iOS 10 request rules come right after the notification they explain.
#pragma once

#include <cstdio>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "sim/output.h"

namespace qv::sim {

class StoryWriter {
 public:
  StoryWriter(std::FILE* out, OutputOptions options, LocalClock clock, AppNames names);
  StoryWriter(const StoryWriter&) = delete;
  StoryWriter& operator=(const StoryWriter&) = delete;

  // Holds the event back until its instant is over.
  void add(const timeline::Event& e);
  // Prints the held-back instant.
  void flush();

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

  std::FILE* out_;
  OutputOptions options_;
  LocalClock clock_;
  AppNames names_;
  std::vector<timeline::Event> instant_;
  std::deque<PendingVibration> vibrations_;
  std::set<std::string, std::less<>> armed_;
  dispatch::Instant torchSequenceStart_ = dispatch::Instant::min();
  int lastDay_ = -1;
};

}  // namespace qv::sim
