// The header of the text story, the same in the story and in the HTML report: the scenario's
// name and description, the device, zone and dates (the end's date when the run crosses
// midnight), the settings as the run reads them, and the start window they give.
//   for (const std::string& line : storyHeading(scenario, world, stopAt, clock)) ...
#pragma once

#include <string>
#include <vector>

#include "sim/output.h"
#include "sim/scenario.h"
#include "sim/world.h"

namespace qv::sim {

// Its lines, without line ends: name, description (when there is one), device line, settings line,
// start window.
std::vector<std::string> storyHeading(const Scenario& s, World& world, dispatch::Instant stopAt,
                                      const LocalClock& clock);

}  // namespace qv::sim
