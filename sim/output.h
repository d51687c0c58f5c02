// What the simulator prints: the timeline as a readable story (default) or JSON Lines, and a
// summary at the end. Decision events are printed only with `explain`, but the printers hear
// them always: they tell which reminder a vibration or a torch blink belongs to. Output is
// byte-identical for equal input.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host/host.h"
#include "platform/timeline/timeline.h"

namespace qv::sim {

struct OutputOptions {
  bool json = false;
  bool explain = false;
  bool verbose = false;  // every torch step, every Darwin post, every banner dismissal
  bool summary = true;
};

// Turns an instant into the device's local calendar time.
using LocalClock = std::function<host::CalendarDate(dispatch::Instant)>;
// The display name of a bundle identifier on the home screen, none for anything else.
using AppNames = std::function<std::optional<std::string>(std::string_view)>;

// "07:31:15.250" in the device's local time.
std::string clockStamp(const LocalClock& clock, dispatch::Instant t);

class StoryWriter;

// Prints each event as it is heard. The text form holds back the events of one instant until
// time moves on (or `flush`), so it can group what one alert did; JSON Lines print at once.
class TimelinePrinter {
 public:
  TimelinePrinter(std::FILE* out, OutputOptions options, LocalClock clock, dispatch::Instant start,
                  AppNames names = {});
  ~TimelinePrinter();
  TimelinePrinter(const TimelinePrinter&) = delete;
  TimelinePrinter& operator=(const TimelinePrinter&) = delete;

  void print(const timeline::Event& e);
  // Prints what is held back; call before the summary and whenever the clock pauses.
  void flush();

 private:
  void printJson(const timeline::Event& e);

  std::FILE* out_;
  OutputOptions options_;
  LocalClock clock_;
  dispatch::Instant start_;
  std::unique_ptr<StoryWriter> story_;
};

}  // namespace qv::sim
