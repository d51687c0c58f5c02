// quorvel-sim: plays a scenario through a simulated device in virtual time and prints what the
// phone's user would see and hear, second by second. Exit status 0 on success, 2 for a bad
// scenario or bad usage.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "sim/invariants.h"
#include "sim/output.h"
#include "sim/player.h"
#include "sim/presets.h"
#include "sim/random_scenario.h"
#include "sim/scenario.h"

namespace {

using namespace qv;

constexpr const char* kUsage = R"(usage: quorvel-sim [options] [scenario.json]

Plays a scenario (the built-in morning on an iPhone when none is given) and prints the
timeline of everything the phone's user would notice, each reminder's life, and a summary.

options:
  --json            print the timeline as JSON Lines
  --explain         also print why each thing happened or did not (entry point, rule, gate)
  --verbose         print every torch step and Darwin notification
  --no-summary      leave out the summary at the end
  --until TIME      stop early: a local time ("07:30") or a duration from the start ("+10m")
  --seed N          the seed for randomised runs (scenarios play the same whatever it is)
  --realtime        play at wall-clock speed (with --speed X, X times faster)
  --speed X         speed factor for --realtime
  --print-default   print the built-in scenario (a starting point for your own)
  --random          play a random scenario made from the seed (with --days D, default 1)
  --check           check the device's invariants throughout; a broken one ends the run with
                    status 1 and the command that replays it
  --dump-scenario   print the scenario (handy with --random) as JSON instead of playing it
  --quiet           print no timeline (the summary and broken invariants still show)
  --events          list the notification events scenarios can name
  --help            this text
)";

int usageError(const std::string& message) {
  std::fprintf(stderr, "quorvel-sim: %s\n%s", message.c_str(), kUsage);
  return 2;
}

struct Options {
  sim::OutputOptions output;
  std::string scenarioFile;
  std::string until;
  bool realtime = false;
  double speed = 1.0;
  std::uint64_t seed = 1;
  bool seedGiven = false;
  bool random = false;
  double days = 1;
  bool check = false;
  bool dump = false;
  bool quiet = false;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    if (arg == "--json") {
      o.output.json = true;
    } else if (arg == "--explain") {
      o.output.explain = true;
    } else if (arg == "--verbose") {
      o.output.verbose = true;
    } else if (arg == "--no-summary") {
      o.output.summary = false;
    } else if (arg == "--random") {
      o.random = true;
    } else if (arg == "--check") {
      o.check = true;
    } else if (arg == "--dump-scenario") {
      o.dump = true;
    } else if (arg == "--quiet") {
      o.quiet = true;
    } else if (arg == "--days") {
      const char* v = value("--days");
      char* end = nullptr;
      o.days = v ? std::strtod(v, &end) : 0;
      if (!v || *end || !(o.days > 0) || o.days > 366) return usageError("--days needs a number of days (up to 366)");
    } else if (arg == "--realtime") {
      o.realtime = true;
    } else if (arg == "--until") {
      const char* v = value("--until");
      if (!v) return usageError("--until needs a time");
      o.until = v;
    } else if (arg == "--speed") {
      const char* v = value("--speed");
      char* end = nullptr;
      o.speed = v ? std::strtod(v, &end) : 0;
      if (!v || *end || !(o.speed > 0)) return usageError("--speed needs a positive number");
    } else if (arg == "--seed") {
      const char* v = value("--seed");
      char* end = nullptr;
      if (!v) return usageError("--seed needs a number");
      o.seed = std::strtoull(v, &end, 10);
      if (*end) return usageError("--seed needs a number");
      o.seedGiven = true;
    } else if (arg == "--print-default") {
      std::fwrite(sim::defaultScenarioText().data(), 1, sim::defaultScenarioText().size(), stdout);
      std::fputc('\n', stdout);
      return 0;
    } else if (arg == "--events") {
      std::printf("%s\n", sim::presetNames().c_str());
      return 0;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!arg.empty() && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (o.scenarioFile.empty()) {
      o.scenarioFile = arg;
    } else {
      return usageError("more than one scenario given");
    }
  }

  if (o.random && !o.scenarioFile.empty()) return usageError("--random plays no scenario file");
  Result<sim::Scenario> scenario =
      o.random ? Result<sim::Scenario>(sim::randomScenario(
                     {.seed = o.seed, .span = dispatch::seconds(o.days * 86400.0), .actionsPerHour = 40, .release = {}}))
      : o.scenarioFile.empty() ? sim::parseScenario(sim::defaultScenarioText(), "built-in scenario")
                               : sim::loadScenarioFile(o.scenarioFile);
  if (!scenario) {
    std::fprintf(stderr, "quorvel-sim: %s\n", scenario.error().c_str());
    return 2;
  }
  if (o.seedGiven) scenario->seed = o.seed;
  if (o.dump) {
    std::printf("%s\n", sim::scenarioToJson(*scenario).c_str());
    return 0;
  }

  std::unique_ptr<sim::World> world;
  try {
    world = std::make_unique<sim::World>(sim::worldConfigFor(*scenario));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorvel-sim: %s: %s\n", scenario->sourceFile.c_str(), e.what());
    return 2;
  }
  sim::Player player(*world, *scenario);
  dispatch::Instant stopAt = player.end();
  if (!o.until.empty()) {
    auto offset = sim::offsetInScenario(*scenario, o.until);
    if (!offset) return usageError("--until: " + offset.error());
    stopAt = std::min(stopAt, world->now() + *offset);
  }

  sim::OutputOptions out = o.output;
  sim::LocalClock clock = [&](dispatch::Instant t) { return world->springBoard().host.calendarDate(t); };
  sim::TimelinePrinter printer(stdout, out, clock, world->now());
  sim::Summary summary;
  // Events up to now (the home screen's launch) were not heard; print them from here on.
  world->timeline().addListener(
      [&](const timeline::Event& e) {
        if (!o.quiet) printer.print(e);
        summary.observe(e);
        if (o.realtime) std::fflush(stdout);
      },
      out.explain);
  std::unique_ptr<sim::InvariantChecker> checker;
  if (o.check) {
    checker = std::make_unique<sim::InvariantChecker>(*world);
    world->clock().afterEachEvent = [&] { checker->checkState(); };
    player.afterAction = [&](const sim::Action& a) {
      if (a.type == sim::ActionType::Settings || a.type == sim::ActionType::SettingsFile)
        checker->settingsWritten(a.values, a.removals);
      checker->checkSettingsFile();
    };
  }
  if (!out.json) {
    std::printf("%s\n", scenario->name.empty() ? scenario->sourceFile.c_str() : scenario->name.c_str());
    if (!scenario->description.empty()) std::printf("%s\n", scenario->description.c_str());
    std::printf("iOS %s %s, %s\n\n", world->profile().release.version.c_str(), world->profile().model.c_str(),
                scenario->world.timeZone.c_str());
  }
  player.schedule();
  if (o.realtime) {
    const auto realStart = std::chrono::steady_clock::now();
    const dispatch::Instant virtualStart = world->now();
    dispatch::Instant due;
    while (world->clock().nextDue(&due) && due <= stopAt) {
      auto wait = std::chrono::duration_cast<std::chrono::steady_clock::duration>((due - virtualStart) / o.speed);
      std::this_thread::sleep_until(realStart + wait);
      world->runUntil(due);
    }
  }
  if (checker) {
    // Stop at the first broken invariant, so the timeline ends where it broke.
    dispatch::Instant due;
    while (checker->ok() && world->clock().nextDue(&due) && due <= stopAt) world->clock().runNext();
    if (checker->ok()) world->runUntil(stopAt);
    checker->checkSettingsFile();
  } else {
    player.runUntil(stopAt);
  }
  if (out.summary) summary.print(stdout, clock, out.json);
  if (checker && !checker->ok()) {
    std::fprintf(stderr, "quorvel-sim: invariant broken at %s\n", checker->violation()->c_str());
    if (o.random)
      std::fprintf(stderr, "replay: quorvel-sim --random --seed %llu --days %g --check\n",
                   static_cast<unsigned long long>(scenario->seed), o.days);
    return 1;
  }
  if (checker && !out.json) std::printf("  invariants held through %llu checks\n", static_cast<unsigned long long>(checker->checks()));
  return 0;
}
