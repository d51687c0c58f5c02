// Random but valid scenarios for long unattended runs: random device (most on 8.0 to 10.3, some
// on 7.x), settings with minute-level and reversed start windows, listed apps, notifications of
// every kind, calls, app openings and leavings, message reading, locks, quiet mode, pane saves of
// flags, counts, intervals, sounds, windows and the listed apps, settings files rewritten behind
// the pane's back, home-screen restarts, and runs that cross a change of the clocks. Everything
// comes from one seed, so a failing seed replays exactly.
#pragma once

#include <cstdint>
#include <string>

#include "sim/scenario.h"

namespace qv::sim {

struct RandomScenarioOptions {
  std::uint64_t seed = 1;
  dispatch::Duration span = std::chrono::hours(24);
  double actionsPerHour = 40;
  std::string release;  // empty: a release drawn by weight (12% 7.x, the rest 8.0 to 10.3)
};

Scenario randomScenario(const RandomScenarioOptions& options);

// The scenario written back as JSON, to replay or shrink a failing seed by hand.
std::string scenarioToJson(const Scenario& scenario);

}  // namespace qv::sim
