// Costs of start-up and of the reminder bulletins: loading the library into a process (the hook
// table, the settings start-up, the observers), one reminder banner, one lock-screen re-post,
// and one clear signal from an app to the home screen.
#include <benchmark/benchmark.h>

#include "alerts/banner.h"
#include "assembly/startup.h"
#include "core/helper_messages.h"
#include "core/library.h"
#include "sim/world.h"

namespace qv {
namespace {

using namespace std::chrono_literals;

// The three initialisers in a home-screen process (the world is made outside the timing).
void BM_LoadLibraryIntoHomeScreen(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<core::Library> library;
    {
      sim::World world({.loadLibrary = false});
      state.ResumeTiming();
      library = assembly::load(world.springBoard().host);
      benchmark::DoNotOptimize(library->installedHooks.size());
      state.PauseTiming();
    }
    library.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadLibraryIntoHomeScreen);

// One reminder banner: the skip test, the interval calls, the request and its delivery, then the
// banner leaves (dismissal hook included).
void BM_ReminderBanner(benchmark::State& state) {
  sim::World world;
  core::Library& lib = world.library();
  for (auto _ : state) {
    alerts::showReminderBanner(lib, "Missed Message!", "com.apple.MobileSMS");
    world.notifications().banners().dismiss(springboard::BannerDismissal::Timeout);
  }
}
BENCHMARK(BM_ReminderBanner);

// Auto-lock with three reminders pending: the hook, the re-post 1 s later and three bulletins
// published 0.7 s after that, through the home screen's publish steps; then unlock. Each round
// starts the three reminders afresh (so none fires) and saves their actions, as intake would.
void BM_LockScreenRepostOfThree(benchmark::State& state) {
  sim::World world;
  core::Library& lib = world.library();
  const core::Category pending[] = {core::Category::Sms, core::Category::Mail, core::Category::ViberMessage};
  for (auto _ : state) {
    for (core::Category c : pending) {
      const core::CategoryInfo& row = core::info(c);
      if (row.startArgument.empty())
        objc::send<void()>(lib.sharedHelper, objc::Sel::intern(row.startOperation));
      else
        host::send(lib.sharedHelper, core::hm::LoadImTimer, std::string(row.startArgument));
      lib.intake.savedDefaultAction[core::index(c)] =
          world.notifications().bulletins().makeAction(std::string(row.sectionId));
    }
    world.home().autoLock();
    world.runFor(1800ms);
    world.home().unlock();
  }
}
BENCHMARK(BM_LockScreenRepostOfThree);

// Viber leaves and returns: its foreground and activation hooks post four clear notifications,
// which reach the home screen's observers and clear the Viber reminders.
void BM_ClearSignalFromApp(benchmark::State& state) {
  sim::World world;
  apps::App& viber = world.app("com.viber");
  (void)viber.launch();
  world.runUntilIdle();
  for (auto _ : state) {
    (void)viber.enterBackground();
    (void)viber.enterForeground();
    world.runUntilIdle();
  }
}
BENCHMARK(BM_ClearSignalFromApp);

}  // namespace
}  // namespace qv
