#include "sim/command.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include "platform/time/civil_days.h"
#include "sim/event_facts.h"
#include "sim/event_reference.h"
#include "sim/heading.h"
#include "sim/invariants.h"
#include "sim/json_lines.h"
#include "sim/lookup_reference.h"
#include "sim/options.h"
#include "sim/output.h"
#include "sim/player.h"
#include "sim/presets.h"
#include "sim/report/html_report.h"
#include "sim/report/matrix.h"
#include "sim/report/page_file.h"
#include "sim/report/report_data.h"
#include "sim/random_scenario.h"
#include "sim/scenario.h"
#include "sim/settings_check.h"
#include "sim/story.h"
#include "sim/summary.h"
#include "sim/terminal.h"

namespace qv::sim {
namespace {

// "2", "0.5": as printf's %g writes it.
std::string shortNumber(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", d);
  return buf;
}

Result<Scenario> scenarioFor(const Options& o, std::FILE* in) {
  if (o.random)
    return randomScenario(
        {.seed = o.seed, .span = dispatch::seconds(o.days * 86400.0), .actionsPerHour = 40, .release = {}});
  Result<Scenario> s = o.scenarioFile.empty() ? parseScenario(defaultScenarioText(), "built-in scenario")
                       : o.scenarioFile == "-" ? loadScenarioStream(in, "stdin")
                                               : loadScenarioFile(o.scenarioFile);
  if (s && o.seedGiven) s->seed = o.seed;
  return s;
}

void printHeading(std::FILE* out, const std::vector<std::string>& heading) {
  for (const std::string& line : heading) std::fprintf(out, "%s\n", visibleText(line).c_str());
  std::fputc('\n', out);
}

bool sameDay(const host::CalendarDate& a, const host::CalendarDate& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

// The clock changes of the run, as the story tells them ("clocks go back: 03:00 becomes 02:00").
std::vector<ClockChange> clockChanges(const tz::TimeZone& zone, dispatch::Instant from, dispatch::Instant to) {
  using std::chrono::seconds;
  using std::chrono::sys_seconds;
  auto wall = [](std::int64_t localSeconds) {  // "03:00"
    char text[8];
    const std::int64_t ofDay = tz::floorMod(localSeconds, tz::kSecondsPerDay);
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60));
    return std::string(text);
  };
  std::vector<ClockChange> changes;
  for (const tz::Transition& t :
       zone.transitionsBetween(sys_seconds(std::chrono::duration_cast<seconds>(from.time_since_epoch())),
                               sys_seconds(std::chrono::duration_cast<seconds>(to.time_since_epoch())))) {
    const sys_seconds at{seconds(t.at)};
    const int before = zone.offsetSecondsAt(at - seconds(1));
    const int after = zone.offsetSecondsAt(at);
    if (before == after) continue;  // only the zone's abbreviation changed
    changes.push_back({dispatch::Instant(std::chrono::duration_cast<dispatch::Duration>(at.time_since_epoch())),
                       std::string(after < before ? "clocks go back: " : "clocks go forward: ") + wall(t.at + before) +
                           " becomes " + wall(t.at + after) + " (" + zone.abbreviationAt(at - seconds(1)) + " to " +
                           zone.abbreviationAt(at) + ")"});
  }
  return changes;
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

// Wall-clock pacing: each instant something happens is played when its real moment comes, and
// the run lasts until the real moment of its end, whatever happens last.
void playInRealTime(World& world, Printers& printer, dispatch::Instant stopAt, double speed, std::FILE* out) {
  const auto realStart = std::chrono::steady_clock::now();
  const dispatch::Instant virtualStart = world.now();
  // A century at most: a very slow pace must not overflow the clock's count of nanoseconds.
  auto realMoment = [&](dispatch::Instant t) {
    const double nanoseconds = std::min(static_cast<double>((t - virtualStart).count()) / speed, 3.15e18);
    return realStart + std::chrono::nanoseconds(static_cast<std::int64_t>(nanoseconds));
  };
  dispatch::Instant due;
  while (world.clock().nextDue(&due) && due <= stopAt) {
    std::this_thread::sleep_until(realMoment(due));
    world.runUntil(due);
    printer.flush();
    std::fflush(out);
  }
  std::this_thread::sleep_until(realMoment(stopAt));
}

// Writes the HTML report; false (with a message) when the file cannot be written.
bool writeReport(const std::string& file, const report::Page& page, std::FILE* err) {
  const std::string html = report::renderPage(page);
  std::FILE* f = std::fopen(file.c_str(), "wb");
  const bool written = f && std::fwrite(html.data(), 1, html.size(), f) == html.size();
  const bool closed = f && std::fclose(f) == 0;
  if (written && closed) return true;
  std::fprintf(err, "quorvel-sim: --html: cannot write %s: %s\n", file.c_str(), std::strerror(errno));
  return false;
}

// `kept`, when given, holds the device of the seed before (reset for this one, as a new device
// would start) and keeps this one for the next.
int play(const Options& o, const Scenario& scenario, std::FILE* out, std::FILE* err,
         const std::string& matrixHtml = {}, std::unique_ptr<World>* kept = nullptr) {
  std::unique_ptr<World> own;
  std::unique_ptr<World>& world = kept ? *kept : own;
  try {
    if (world)
      world->reset(worldConfigFor(scenario));
    else
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
      std::fprintf(err, "quorvel-sim: --until: %s\n", offset.error().c_str());
      return 2;
    }
    if (world->now() + *offset > stopAt) {
      const host::CalendarDate end = world->springBoard().host.calendarDate(stopAt);
      std::fprintf(err, "quorvel-sim: --until: \"%s\" comes after the end of the run (%04d-%02d-%02d %02d:%02d:%02d)\n",
                   o.until.c_str(), end.year, end.month, end.day, end.hour, end.minute, end.second);
      return 2;
    }
    stopAt = world->now() + *offset;
    if (std::string note = clockChangeInScenario(scenario, o.until); !note.empty())
      player.addClockNote({*offset, "--until", std::move(note)});
  }
  World* w = world.get();
  LocalClock clock = [w](dispatch::Instant t) { return w->springBoard().host.calendarDate(t); };
  AppNames names = [w](std::string_view id) { return w->home().displayName(id); };
  EventFacts facts(world->timeline());
  Printers printer;
  if (o.output.json) {
    printer.json = std::make_unique<JsonLinesWriter>(out, facts, world->timeZone(), startAt, o.output.explain);
  } else {
    OutputOptions text = o.output;
    text.colour = colourWanted(isTerminal(out), std::getenv("NO_COLOR"));
    printer.story = std::make_unique<StoryWriter>(out, text, clock, names);
    printer.story->tellClockChanges(clockChanges(world->timeZone(), startAt, stopAt));
  }
  Summary summary(names);
  std::unique_ptr<report::ReportData> report;
  if (!o.htmlFile.empty()) report = std::make_unique<report::ReportData>(*world, startAt, o.output.explain);
  std::unique_ptr<Progress> progress;
  if (progressWanted(isTerminal(err), isTerminal(out), o.quiet, o.realtime))
    progress = std::make_unique<Progress>(err, clock, startAt, stopAt);
  // Events up to now (the home screen's launch) were not heard; print them from here on.
  // With nothing printed, summed up or reported (--quiet --no-summary, as the random runs play),
  // the facts and the summary are not kept at all.
  const bool summed = o.output.summary || report;
  if (o.quiet && o.output.summary && !report && !progress) {
    // Only the summary is kept (the usual --quiet run): the listener asks nothing else per event
    // and hears only the kinds the summary reads.
    world->timeline().addListener(
        [&](const timeline::Event& e) {
          facts.observe(e);
          summary.observe(e, facts);
        },
        Summary::kKindsRead | EventFacts::kKindsRead);
  } else {
    world->timeline().addListener(
        [&](const timeline::Event& e) {
          if (progress) progress->observe(e.time);
          if (summed || !o.quiet) facts.observe(e);
          if (!o.quiet) printer.print(e);
          if (summed) summary.observe(e, facts);
          if (report) report->observe(e, facts);
        },
        true);
  }
  std::unique_ptr<InvariantChecker> checker;
  if (o.check) {
    checker = std::make_unique<InvariantChecker>(*world);
    checker->attach(player);
  }
  if (report) {
    std::function<void(const Action&)> before = player.afterAction;
    player.afterAction = [&report, before](const Action& a) {
      if (before) before(a);
      report->actionDone(a);
    };
  }
  const std::vector<std::string> heading = storyHeading(scenario, *world, stopAt, clock);
  if (!o.output.json) printHeading(out, heading);
  player.schedule();
  if (o.realtime) playInRealTime(*world, printer, stopAt, o.speed, out);
  if (checker) {
    // Stops at the first broken invariant, so the timeline ends where it broke.
    checker->run(stopAt);
  } else {
    player.runUntil(stopAt);
  }
  printer.flush();
  if (printer.story && !o.quiet) printer.story->finish(world->now());
  if (progress) progress->finish();
  std::optional<CheckResult> check;
  if (checker) {
    const InvariantChecker::Tally& t = checker->tally();
    check = CheckResult{checker->ok(), checker->checks(), t.runs, t.fires, t.clears, t.mustStart,
                        checker->ok() ? "" : *checker->violation(), ""};
    if (!check->held && o.random)
      check->replay = "quorvel-sim --random --seed " + std::to_string(scenario.seed) + " --days " +
                      shortNumber(o.days) + " --check";
  }
  const TimeForm timeForm{!sameDay(clock(startAt), clock(world->now())),
                          clockChanges(world->timeZone(), startAt, world->now()).empty() ? nullptr : &world->timeZone()};
  if (o.output.summary) {
    if (o.output.json)
      summary.printJson(out, world->timeZone(), startAt, world->now(),
                        {scenario.world.release, scenario.world.idiom == device::Idiom::Pad ? "iPad" : "iPhone",
                         scenario.world.timeZone, scenario.seed},
                        check);
    else
      summary.print(out, clock, timeForm);
  }
  if (report && !writeReport(o.htmlFile, {heading, report::summaryTable(summary, clock, timeForm), matrixHtml,
                                          report->json(summary, world->now())}, err))
    return 2;
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

// The scenario on every release and device asked for, as a table (or JSON); with --html, the
// report of the scenario's own device with the table added.
int playMatrix(const Options& o, const Scenario& scenario, std::FILE* out, std::FILE* err) {
  Result<std::vector<report::MatrixTarget>> targets = report::matrixTargets(o.ios, o.devices);
  if (!targets) {
    std::fprintf(err, "quorvel-sim: %s\n", targets.error().c_str());
    return 2;
  }
  const report::Matrix matrix =
      report::playMatrix(scenario, *targets, std::max(1u, std::thread::hardware_concurrency()));
  const std::string table = o.output.json ? report::matrixJson(matrix) : report::matrixText(matrix);
  std::fputs(table.c_str(), out);
  if (o.htmlFile.empty()) return 0;
  std::FILE* sink = std::fopen("/dev/null", "w");
  if (!sink) return 2;
  Options single = o;
  single.quiet = true;
  single.output.summary = false;
  const int status = play(single, scenario, sink, err, report::matrixHtml(matrix));
  std::fclose(sink);
  return status;
}

// The scenario's warnings that bear on what is played: those of its settings' values even where
// its own release reads no settings when --matrix plays a release that does.
std::vector<std::string> warningsOfThePlay(const Options& o, const Scenario& scenario) {
  if (!o.matrix || scenario.unreadSettingsWarnings.empty()) return scenario.warnings;
  const Result<std::vector<report::MatrixTarget>> targets = report::matrixTargets(o.ios, o.devices);
  if (!targets || std::none_of(targets->begin(), targets->end(),
                               [](const report::MatrixTarget& t) { return releaseReadsSettings(t.release.version); }))
    return scenario.warnings;
  std::vector<std::string> warnings = scenario.unreadSettingsWarnings;
  warnings.insert(warnings.end(), scenario.warnings.begin(), scenario.warnings.end());
  return warnings;
}

// The scenario the options name, checked and played (or printed, or played on every device).
int playScenario(const Options& o, std::FILE* in, std::FILE* out, std::FILE* err,
                 std::unique_ptr<World>* kept = nullptr) {
  Result<Scenario> scenario = scenarioFor(o, in);
  if (!scenario) {
    std::fprintf(err, "quorvel-sim: %s\n", scenario.error().c_str());
    return 2;
  }
  const std::vector<std::string> warnings = warningsOfThePlay(o, *scenario);
  for (const std::string& w : warnings)
    std::fprintf(err, "quorvel-sim: %s%s\n", o.strict ? "" : "warning: ", w.c_str());
  if (o.strict && !warnings.empty()) {
    std::fprintf(err, "quorvel-sim: --strict: nothing played\n");
    return 2;
  }
  if (o.dump) return std::fprintf(out, "%s\n", scenarioToJson(*scenario).c_str()), 0;
  if (o.matrix) return playMatrix(o, *scenario, out, err);
  return play(o, *scenario, out, err, {}, kept);
}

// --seeds: every seed played just as `--random --seed K` alone plays it, one after another on a
// new device each, then one line that counts them. A broken invariant ends only its own seed.
// The device is reset between seeds (a reset device starts as a new one would), which saves
// laying out and deleting a folder per seed.
int playSeeds(const Options& o, std::FILE* in, std::FILE* out, std::FILE* err) {
  std::unique_ptr<World> world;
  std::uint64_t broke = 0;
  for (std::uint64_t k = 0; k < o.seeds; ++k) {
    Options one = o;
    one.seed = o.seed + k;
    one.seeds = 1;
    const int status = playScenario(one, in, out, err, &world);
    if (status == 2) return 2;  // the device could not be made: the next seeds would fare no better
    if (status == 1) ++broke;
  }
  // After JSON Lines the count goes to standard error, so that standard output stays JSON Lines.
  const std::string length = o.until.empty() ? shortNumber(o.days) + (o.days == 1 ? " day each" : " days each") : "each until " + o.until;
  std::fprintf(o.output.json ? err : out, "seeds %llu to %llu, %s: %llu held every invariant, %llu broke one\n",
               static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(o.seed + o.seeds - 1),
               length.c_str(), static_cast<unsigned long long>(o.seeds - broke),
               static_cast<unsigned long long>(broke));
  return broke ? 1 : 0;
}

}  // namespace

int runCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  return runCommand(args, stdin, out, err);
}

int runCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  Result<Options> parsed = parseOptions(args);
  if (!parsed) {
    std::fprintf(err, "quorvel-sim: %s\nquorvel-sim --help lists the options\n", parsed.error().c_str());
    return 2;
  }
  const Options& o = *parsed;
  if (o.help) return std::fputs(helpText().c_str(), out), 0;
  if (o.version) return std::fprintf(out, "%s\n", versionText().c_str()), 0;
  if (o.listEvents) return std::fprintf(out, "%s\n", presetNames().c_str()), 0;
  if (o.listKinds) return std::fputs((o.markdown ? kindsMarkdown() : kindsText()).c_str(), out), 0;
  if (o.listSettings) return std::fputs((o.markdown ? settingsMarkdown() : settingsText()).c_str(), out), 0;
  if (o.listApps) return std::fputs(appsText().c_str(), out), 0;
  if (o.jsonSchema) return std::fputs(eventsSchema().c_str(), out), 0;
  if (o.printDefault) return std::fprintf(out, "%s\n", std::string(defaultScenarioText()).c_str()), 0;
  if (!o.htmlFile.empty())
    if (const std::optional<std::string> why = report::whyPageCannotBeWritten(o.htmlFile)) {
      std::fprintf(err, "quorvel-sim: --html: cannot write %s: %s\n", o.htmlFile.c_str(), why->c_str());
      return 2;
    }
  if (o.seeds > 1) return playSeeds(o, in, out, err);
  return playScenario(o, in, out, err);
}

}  // namespace qv::sim
