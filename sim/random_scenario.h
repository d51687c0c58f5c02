// Random but valid scenarios for long unattended runs: random device and settings, listed
// apps, notifications of every kind, calls, app openings, message reading, locks, quiet mode,
// settings saved by the pane and settings files rewritten behind its back. Everything comes from
// one seed, so a failing seed replays exactly.
#pragma once

#include <cstdint>
#include <string>

#include "sim/scenario.h"

namespace qv::sim {

struct RandomScenarioOptions {
  std::uint64_t seed = 1;
  dispatch::Duration span = std::chrono::hours(24);
  double actionsPerHour = 40;
  std::string release;  // empty: any release from 7.0 to 10.3
};

Scenario randomScenario(const RandomScenarioOptions& options);

// The scenario written back as JSON, to replay or shrink a failing seed by hand.
std::string scenarioToJson(const Scenario& scenario);

}  // namespace qv::sim
