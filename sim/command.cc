#include "sim/command.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include "sim/event_facts.h"
#include "sim/event_reference.h"
#include "sim/invariants.h"
#include "sim/json_lines.h"
#include "sim/output.h"
#include "sim/player.h"
#include "sim/presets.h"
#include "sim/random_scenario.h"
#include "sim/scenario.h"
#include "sim/story.h"
#include "sim/summary.h"

namespace qv::sim {
namespace {

constexpr const char* kUsage = R"(usage: quorvel-sim [options] [scenario.json]

Plays a scenario (the built-in morning on an iPhone when none is given) and prints the
timeline of everything the phone's user would notice, each reminder's life, and a summary.

options:
  --json            print the timeline as JSON Lines (every event, bundle identifiers as ids)
  --explain         also print why each thing happened or did not (entry point, rule, gate)
  --verbose         print every torch step, Darwin notification and banner dismissal
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
  --list-kinds      list the event kinds of --json output and their fields (with --markdown:
                    as docs/events.md)
  --json-schema     print the JSON Schema every line of --json output meets
  --help            this text
)";

struct Options {
  OutputOptions output;
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
  bool printDefault = false;
  bool listEvents = false;
  bool listKinds = false;
  bool markdown = false;
  bool jsonSchema = false;
  bool help = false;
};

// A usage mistake: the message, or none when the arguments were fine.
using Problem = std::optional<std::string>;

Problem number(const std::string& text, double* out, const char* what) {
  char* end = nullptr;
  *out = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || !(*out > 0)) return std::string(what);
  return std::nullopt;
}

Problem parseOptions(const std::vector<std::string>& args, Options& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--json")
      o.output.json = true;
    else if (arg == "--explain")
      o.output.explain = true;
    else if (arg == "--verbose")
      o.output.verbose = true;
    else if (arg == "--no-summary")
      o.output.summary = false;
    else if (arg == "--random")
      o.random = true;
    else if (arg == "--check")
      o.check = true;
    else if (arg == "--dump-scenario")
      o.dump = true;
    else if (arg == "--quiet")
      o.quiet = true;
    else if (arg == "--realtime")
      o.realtime = true;
    else if (arg == "--print-default")
      o.printDefault = true;
    else if (arg == "--events")
      o.listEvents = true;
    else if (arg == "--list-kinds")
      o.listKinds = true;
    else if (arg == "--markdown")
      o.markdown = true;
    else if (arg == "--json-schema")
      o.jsonSchema = true;
    else if (arg == "--help" || arg == "-h")
      o.help = true;
    else if (arg == "--days") {
      if (Problem p = number(hasValue ? args[++i] : "", &o.days, "--days needs a number of days (up to 366)")) return p;
      if (o.days > 366) return "--days needs a number of days (up to 366)";
    } else if (arg == "--speed") {
      if (Problem p = number(hasValue ? args[++i] : "", &o.speed, "--speed needs a positive number")) return p;
    } else if (arg == "--until") {
      if (!hasValue) return "--until needs a time";
      o.until = args[++i];
    } else if (arg == "--seed") {
      char* end = nullptr;
      const std::string v = hasValue ? args[++i] : "";
      o.seed = std::strtoull(v.c_str(), &end, 10);
      if (v.empty() || *end) return "--seed needs a number";
      o.seedGiven = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return "unknown option " + arg;
    } else if (o.scenarioFile.empty()) {
      o.scenarioFile = arg;
    } else {
      return "more than one scenario given";
    }
  }
  if (o.random && !o.scenarioFile.empty()) return "--random plays no scenario file";
  if (o.markdown && !o.listKinds) return "--markdown goes with --list-kinds";
  return std::nullopt;
}

// "2", "0.5": as printf's %g writes it.
std::string shortNumber(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", d);
  return buf;
}

Result<Scenario> scenarioFor(const Options& o) {
  if (o.random)
    return randomScenario(
        {.seed = o.seed, .span = dispatch::seconds(o.days * 86400.0), .actionsPerHour = 40, .release = {}});
  Result<Scenario> s = o.scenarioFile.empty() ? parseScenario(defaultScenarioText(), "built-in scenario")
                                              : loadScenarioFile(o.scenarioFile);
  if (s && o.seedGiven) s->seed = o.seed;
  return s;
}

// The settings as the run will see them: the keys the file holds and where it came from, or that
// a system before 8.0 reads none of them.
std::string settingsHeading(const Scenario& s, World& world) {
  const std::string held = s.world.settings ? describeSettings(*s.world.settings) : "";
  const std::string holds = held.empty() ? "no keys" : held;
  const std::string& version = world.profile().release.version;
  if (std::strtof(version.c_str(), nullptr) < 8.0f) {
    std::string out = "iOS " + version + " reads no settings: every key takes its default";
    if (s.world.settings)
      out += " (the settings file" + (s.settingsSource.empty() ? "" : " " + s.settingsSource) + " holds " + holds + ")";
    return out;
  }
  if (!s.settingsSource.empty()) return s.settingsSource + ": " + holds;
  return held.empty() ? "none (every key at its default)" : held;
}

void printHeading(std::FILE* out, const Scenario& s, World& world, dispatch::Instant stopAt, const LocalClock& clock) {
  std::fprintf(out, "%s\n", s.name.empty() ? s.sourceFile.c_str() : s.name.c_str());
  if (!s.description.empty()) std::fprintf(out, "%s\n", s.description.c_str());
  const host::CalendarDate from = clock(world.now());
  std::fprintf(out, "iOS %s %s, %s, %04d-%02d-%02d from %s to %s\n", world.profile().release.version.c_str(),
               world.profile().model.c_str(), s.world.timeZone.c_str(), from.year, from.month, from.day,
               clockStamp(clock, world.now()).substr(0, 8).c_str(), clockStamp(clock, stopAt).substr(0, 8).c_str());
  std::fprintf(out, "settings: %s\n\n", settingsHeading(s, world).c_str());
}

// What is printed as the run goes: the story (held back per instant) or JSON Lines.
struct Printers {
  std::unique_ptr<StoryWriter> story;
  std::unique_ptr<JsonLinesWriter> json;
  void print(const timeline::Event& e) {
    if (story) story->add(e);
    if (json) json->print(e);
  }
  void flush() {
    if (story) story->flush();
  }
};

// Wall-clock pacing: each instant something happens is played when its real moment comes.
void playInRealTime(World& world, Printers& printer, dispatch::Instant stopAt, double speed, std::FILE* out) {
  const auto realStart = std::chrono::steady_clock::now();
  const dispatch::Instant virtualStart = world.now();
  dispatch::Instant due;
  while (world.clock().nextDue(&due) && due <= stopAt) {
    std::this_thread::sleep_until(
        realStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>((due - virtualStart) / speed));
    world.runUntil(due);
    printer.flush();
    std::fflush(out);
  }
}

int play(const Options& o, const Scenario& scenario, std::FILE* out, std::FILE* err) {
  std::unique_ptr<World> world;
  try {
    world = std::make_unique<World>(worldConfigFor(scenario));
    // At wall-clock speed a tester may edit the world's files meanwhile: look at the disk each time.
    if (o.realtime) world->root().setSoleWriter(false);
  } catch (const std::exception& e) {
    std::fprintf(err, "quorvel-sim: %s: %s\n", scenario.sourceFile.c_str(), e.what());
    return 2;
  }
  Player player(*world, scenario);
  const dispatch::Instant startAt = world->now();
  dispatch::Instant stopAt = player.end();
  if (!o.until.empty()) {
    auto offset = offsetInScenario(scenario, o.until);
    if (!offset) {
      std::fprintf(err, "quorvel-sim: --until: %s\n%s", offset.error().c_str(), kUsage);
      return 2;
    }
    stopAt = std::min(stopAt, world->now() + *offset);
  }
  World* w = world.get();
  LocalClock clock = [w](dispatch::Instant t) { return w->springBoard().host.calendarDate(t); };
  AppNames names = [w](std::string_view id) { return w->home().displayName(id); };
  EventFacts facts(world->timeline());
  Printers printer;
  if (o.output.json)
    printer.json = std::make_unique<JsonLinesWriter>(out, facts, world->timeZone(), startAt, o.output.explain);
  else
    printer.story = std::make_unique<StoryWriter>(out, o.output, clock, names);
  Summary summary(names);
  // Events up to now (the home screen's launch) were not heard; print them from here on.
  world->timeline().addListener(
      [&](const timeline::Event& e) {
        facts.observe(e);
        if (!o.quiet) printer.print(e);
        summary.observe(e, facts);
      },
      true);
  std::unique_ptr<InvariantChecker> checker;
  if (o.check) {
    checker = std::make_unique<InvariantChecker>(*world);
    checker->attach(player);
  }
  if (!o.output.json) printHeading(out, scenario, *world, stopAt, clock);
  player.schedule();
  if (o.realtime) playInRealTime(*world, printer, stopAt, o.speed, out);
  if (checker) {
    // Stops at the first broken invariant, so the timeline ends where it broke.
    checker->run(stopAt);
  } else {
    player.runUntil(stopAt);
  }
  printer.flush();
  std::optional<CheckResult> check;
  if (checker) {
    const InvariantChecker::Tally& t = checker->tally();
    check = CheckResult{checker->ok(), checker->checks(), t.runs, t.fires, t.clears, t.mustStart,
                        checker->ok() ? "" : *checker->violation(), ""};
    if (!check->held && o.random)
      check->replay = "quorvel-sim --random --seed " + std::to_string(scenario.seed) + " --days " +
                      shortNumber(o.days) + " --check";
  }
  if (o.output.summary) {
    if (o.output.json)
      summary.printJson(out, world->timeZone(), startAt, world->now(), check);
    else
      summary.print(out, clock);
  }
  if (check && !check->held) {
    std::fprintf(err, "quorvel-sim: invariant broken at %s\n", check->violation.c_str());
    if (!check->replay.empty()) std::fprintf(err, "replay: %s\n", check->replay.c_str());
    return 1;
  }
  if (checker && !o.output.json) {
    const InvariantChecker::Tally& t = checker->tally();
    std::fprintf(out,
                 "  invariants held through %llu checks: %llu reminder runs, %llu fires, %llu clears, "
                 "%llu notifications or missed calls that had to start a reminder\n",
                 static_cast<unsigned long long>(checker->checks()), static_cast<unsigned long long>(t.runs),
                 static_cast<unsigned long long>(t.fires), static_cast<unsigned long long>(t.clears),
                 static_cast<unsigned long long>(t.mustStart));
  }
  return 0;
}

}  // namespace

int runCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  Options o;
  if (Problem p = parseOptions(args, o)) {
    std::fprintf(err, "quorvel-sim: %s\n%s", p->c_str(), kUsage);
    return 2;
  }
  if (o.help) return std::fputs(kUsage, out), 0;
  if (o.listEvents) return std::fprintf(out, "%s\n", presetNames().c_str()), 0;
  if (o.listKinds) return std::fputs((o.markdown ? kindsMarkdown() : kindsText()).c_str(), out), 0;
  if (o.jsonSchema) return std::fputs(eventsSchema().c_str(), out), 0;
  if (o.printDefault) return std::fprintf(out, "%s\n", std::string(defaultScenarioText()).c_str()), 0;
  Result<Scenario> scenario = scenarioFor(o);
  if (!scenario) {
    std::fprintf(err, "quorvel-sim: %s\n", scenario.error().c_str());
    return 2;
  }
  if (o.dump) return std::fprintf(out, "%s\n", scenarioToJson(*scenario).c_str()), 0;
  return play(o, *scenario, out, err);
}

}  // namespace qv::sim
