// The cost of listed-app reminders: a minute of N running reminders (each fires once: its banner,
// the badge check, the count and the re-arm), the shared item shown and cleared, and one drawing
// of the app-icon view. No timeline listener is attached, as on a device where nobody traces.
#include <benchmark/benchmark.h>

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "indicators/other_app_item.h"
#include "sim/world.h"

namespace qv {
namespace {

using namespace std::chrono_literals;

void startListedApp(core::Library& lib, const std::string& app) {
  core::OtherAppsState& s = lib.otherApps;
  if (!s.activeOtherApps) s.activeOtherApps.emplace();
  if (!s.otherRepeatCounts) s.otherRepeatCounts.emplace();
  s.activeOtherApps->push_back(app);
  (*s.otherRepeatCounts)[app] = 1;
  host::send(lib.sharedHelper, core::hm::LoadImTimerTest, pl::Value(pl::Dict{{"id", app}, {"identifier", app}}), app);
}

// N listed apps with badges, all running, fires a second apart; each iteration is one minute.
void BM_ListedAppsMinute(benchmark::State& state) {
  sim::World world;
  world.writeSettings({{"showStatus", true}});
  world.runUntilIdle();
  core::Library& lib = world.library();
  const auto apps = state.range(0);
  for (std::int64_t i = 0; i < apps; ++i) {
    const std::string app = "com.example.app" + std::to_string(i);
    world.home().installApp(app, "App " + std::to_string(i), 1);
    startListedApp(lib, app);
    world.runFor(1s);
  }
  for (auto _ : state) world.runFor(60s);
  state.SetItemsProcessed(state.iterations() * apps);
  state.SetLabel("items: fires");
}
BENCHMARK(BM_ListedAppsMinute)->Arg(1)->Arg(8)->Arg(64);

// A listed app's start shows the shared item (settings reload, new item, icon drawn), its clear
// hides it.
void BM_SharedItemShowAndClear(benchmark::State& state) {
  sim::World world;
  world.writeSettings({{"showStatus", true}});
  world.runUntilIdle();
  core::Library& lib = world.library();
  for (auto _ : state) {
    indicators::showOtherAppItem(lib, indicators::OtherItemCheck::Intake);
    host::send(lib.sharedHelper, core::hm::clearOtherTimer, "com.example.chat");
  }
}
BENCHMARK(BM_SharedItemShowAndClear);

// The status bar asks the view for its image: the application list's icon in a legibility set.
void BM_AppIconViewContentsImage(benchmark::State& state) {
  sim::World world;
  world.writeSettings({{"showStatus", true}});
  world.runUntilIdle();
  indicators::showOtherAppItem(world.library(), indicators::OtherItemCheck::Intake);
  objc::Id view = world.statusBar().items().customView("com.apple.AppStore");
  if (!view) {
    state.SkipWithError("no app-icon view was made");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(host::send(view, host::msg::contentsImage));
}
BENCHMARK(BM_AppIconViewContentsImage);

}  // namespace
}  // namespace qv
