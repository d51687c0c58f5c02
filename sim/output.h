// What the simulator prints and how: the options, and the local clock and app names the story
// and the summary read (the story: sim/story.h; JSON Lines: sim/json_lines.h; the summary:
// sim/summary.h). Output is byte-identical for equal input.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host/host.h"
#include "platform/timeline/timeline.h"

namespace qv::sim {

struct OutputOptions {
  bool json = false;
  bool explain = false;   // decisions, and banner dismissals (why a banner left the screen)
  bool verbose = false;  // every torch step, every Darwin post, every banner dismissal
  bool summary = true;
  bool colour = false;  // ANSI colours in the text story (a terminal only: sim/terminal.h)
};

// Turns an instant into the device's local calendar time.
using LocalClock = std::function<host::CalendarDate(dispatch::Instant)>;
// The display name of a bundle identifier on the home screen, none for anything else.
using AppNames = std::function<std::optional<std::string>(std::string_view)>;

// "07:31:15.250" in the device's local time.
std::string clockStamp(const LocalClock& clock, dispatch::Instant t);

}  // namespace qv::sim
