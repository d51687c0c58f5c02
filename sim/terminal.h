// What the simulator adds when a person watches it: colour in the text story when standard
// output is a terminal (and NO_COLOR is not set), and a progress line on standard error for long
// runs. Neither ever reaches a pipe or a file, so saved output stays byte-identical.
//   Progress progress(stderr, clock, start, end);  ...  progress.observe(e.time);  progress.finish();
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "sim/output.h"

namespace qv::sim {

// `text` with every control character (a scenario's note may hold any) shown as its Unicode
// picture, "␀" for NUL, "␛" for ESC: a text cannot cut a line short or steer the terminal.
std::string visibleText(std::string_view text);
// Whether `text` has no control character, so that it prints as it stands (the common case).
inline bool allVisible(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return true;
}

// Colour for the text story: on a terminal, unless NO_COLOR holds a value (no-color.org).
bool colourWanted(bool stdoutIsTerminal, const char* noColorVariable);
// Progress on stderr: when stderr is a terminal that the story is not printing to at the same
// time (standard output elsewhere, or --quiet), and the run is not paced by the wall clock.
bool progressWanted(bool stderrIsTerminal, bool stdoutIsTerminal, bool quiet, bool realtime);
// Whether `stream` is a terminal (false for memory streams and files).
bool isTerminal(std::FILE* stream);

// "simulated 2026-12-09 14:00 (45%), 12345 events, 3.2 days/s"
std::string progressLine(const host::CalendarDate& reached, double fraction, std::uint64_t events,
                         double simulatedDaysPerSecond);

// The progress line of a run from `start` to `end`, rewritten in place on `err` at most four
// times a second once the run has taken a second, and erased at the end.
class Progress {
 public:
  Progress(std::FILE* err, LocalClock clock, dispatch::Instant start, dispatch::Instant end);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // An event at `t` was played (cheap: the wall clock is read every 1024 events).
  void observe(dispatch::Instant t) {
    if ((++events_ & 1023) == 0) maybePrint(t);
  }
  // Erases the line, if one was printed.
  void finish();

 private:
  void maybePrint(dispatch::Instant t);

  std::FILE* err_;
  LocalClock clock_;
  dispatch::Instant start_, end_;
  std::uint64_t events_ = 0;
  std::chrono::steady_clock::time_point began_, lastPrint_;
  bool printed_ = false;
};

}  // namespace qv::sim
