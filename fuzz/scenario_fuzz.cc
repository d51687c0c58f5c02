// libFuzzer target for scenario files: parseScenario() must return on any text, with an error
// that names the place; a scenario it accepts builds its device and plays its first half hour of
// virtual time without crashing, tripping a sanitizer or throwing (what quorvel-sim would do),
// and with every invariant of the checker kept (a broken one is a finding, printed and aborted).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string_view>

#include "sim/invariants.h"
#include "sim/player.h"
#include "sim/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto scenario = sim::parseScenario(text, "fuzz.json");
  if (!scenario) {
    if (scenario.error().empty()) std::abort();
    return 0;
  }
  std::unique_ptr<sim::World> world;
  try {
    world = std::make_unique<sim::World>(sim::worldConfigFor(*scenario));
  } catch (const std::exception&) {
    return 0;  // quorvel-sim reports a device it cannot build and plays nothing
  }
  sim::Player player(*world, *scenario);
  sim::InvariantChecker checker(*world);
  checker.attach(player);
  player.schedule();
  checker.run(std::min(player.end(), world->now() + std::chrono::minutes(30)));
  if (!checker.ok()) {
    std::fprintf(stderr, "invariant broken at %s\n", checker.violation()->c_str());
    std::abort();
  }
  return 0;
}
