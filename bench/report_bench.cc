// What the HTML report adds to a day's simulation: a random day (seed 7, 40 actions an hour,
// iOS 10.3) played with the listener `quorvel-sim --quiet` has (event facts and the summary),
// then the same with the report's data gathered from every event and the page written to
// memory. Reports the page's size as a counter.
#include <benchmark/benchmark.h>

#include "sim/event_facts.h"
#include "sim/heading.h"
#include "sim/player.h"
#include "sim/random_scenario.h"
#include "sim/report/html_report.h"
#include "sim/report/report_data.h"
#include "sim/summary.h"

namespace qv {
namespace {

// Arg: 0 the day alone, 1 the day with its report.
void BM_DayWithReport(benchmark::State& state) {
  const bool withReport = state.range(0) == 1;
  sim::Scenario scenario = sim::randomScenario({.seed = 7, .span = std::chrono::hours(24), .actionsPerHour = 40, .release = "10.3"});
  std::size_t pageBytes = 0;
  for (auto _ : state) {
    sim::World world(sim::worldConfigFor(scenario));
    sim::Player player(world, scenario);
    const dispatch::Instant start = world.now();
    sim::EventFacts facts(world.timeline());
    sim::Summary summary([&world](std::string_view id) { return world.home().displayName(id); });
    std::unique_ptr<sim::report::ReportData> report;
    if (withReport) {
      report = std::make_unique<sim::report::ReportData>(world, start, false);
      player.afterAction = [&report](const sim::Action& a) { report->actionDone(a); };
    }
    world.timeline().addListener(
        [&](const timeline::Event& e) {
          facts.observe(e);
          summary.observe(e, facts);
          if (report) report->observe(e, facts);
        },
        true);
    player.schedule();
    player.runUntil(player.end());
    if (report) {
      sim::LocalClock clock = [&world](dispatch::Instant t) { return world.springBoard().host.calendarDate(t); };
      const std::string page = sim::report::renderPage({sim::storyHeading(scenario, world, world.now(), clock),
                                                        sim::report::summaryTable(summary, clock), "",
                                                        report->json(summary, world.now())});
      pageBytes = page.size();
      benchmark::DoNotOptimize(page.data());
    }
    world.timeline().clearListeners();
  }
  state.counters["page_bytes"] = static_cast<double>(pageBytes);
}
BENCHMARK(BM_DayWithReport)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv
