// How the simulator's cost grows with the work, each benchmark one axis: days simulated (four
// reminders alerting every minute), reminders running at once (listed apps alerting every minute)
// and notifications per day (every category, each dealt with three minutes later). Every run plays
// a scenario made in code through the player with a timeline listener, as `quorvel-sim --quiet`
// does. Per-item figures that stay flat along an axis mean linear growth. Also: what one world
// costs to build, to reset, and in memory.
#include <benchmark/benchmark.h>
#ifdef QV_BENCH_MIMALLOC
#include <mimalloc.h>
#else
#include <malloc.h>
#endif

#include <memory>
#include <string>
#include <vector>

#include "sim/player.h"
#include "sim/presets.h"

namespace qv {
namespace {

using namespace std::chrono_literals;

sim::Action action(dispatch::Duration at, sim::ActionType type, const std::string& app = "") {
  sim::Action a;
  a.at = at;
  a.type = type;
  a.app = app;
  return a;
}

sim::Action notification(dispatch::Duration at, const char* preset, const std::string& app = "") {
  sim::Action a = action(at, sim::ActionType::Notification);
  a.notification.preset = preset;
  a.notification.app = app;
  return a;
}

// Plays the scenario in a new world with a listener that sees every event; returns the alerts.
std::int64_t play(const sim::Scenario& scenario) {
  sim::World world(sim::worldConfigFor(scenario));
  sim::Player player(world, scenario);
  std::int64_t fires = 0;
  world.timeline().addListener(
      [&](const timeline::Event& e) {
        if (e.kind == timeline::Kind::ReminderFired) ++fires;
      },
      true);
  player.schedule();
  player.run();
  return fires;
}

// bench/scenarios/month-four-reminders.json for a number of days: SMS, missed call, mail and
// WhatsApp reminders alerting every 60 s, never dealt with.
sim::Scenario fourReminders(std::int64_t days) {
  sim::Scenario s;
  s.world.release = "10.3";
  s.world.settings = pl::Dict{{"showStatus", true}, {"globalMail", true}, {"imSMSWats", true},
                              {"smsInt", std::int64_t{60}}, {"phInt", std::int64_t{60}},
                              {"mailInt", std::int64_t{60}}, {"imInt", std::int64_t{60}}};
  s.actions.push_back(notification(20s, "sms"));
  sim::Action call = action(25s, sim::ActionType::IncomingCall);
  call.app = "Mum";
  s.actions.push_back(call);
  s.actions.push_back(action(40s, sim::ActionType::EndCall));
  s.actions.push_back(notification(45s, "mail"));
  s.actions.push_back(notification(50s, "whatsapp-message"));
  s.duration = std::chrono::hours(24 * days);
  return s;
}

void BM_FourRemindersForDays(benchmark::State& state) {
  const sim::Scenario scenario = fourReminders(state.range(0));
  std::int64_t fires = 0;
  for (auto _ : state) fires = play(scenario);
  state.counters["alerts"] = static_cast<double>(fires);
  state.counters["per_day"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)), benchmark::Counter::kIsRate |
                                                                                    benchmark::Counter::kInvert);
}
BENCHMARK(BM_FourRemindersForDays)->Arg(1)->Arg(3)->Arg(10)->Arg(30)->Unit(benchmark::kMillisecond);

// N listed apps, each notified once at the start: N listed-app reminders alert every 60 s for a
// day.
sim::Scenario listedApps(std::int64_t apps) {
  sim::Scenario s;
  s.world.release = "10.3";
  pl::Array listed;
  for (std::int64_t i = 0; i < apps; ++i) {
    const std::string id = "com.example.app" + std::to_string(i);
    listed.emplace_back(id);
    s.apps.push_back({id, "App " + std::to_string(i), 0});
    s.actions.push_back(notification(10s + 1s * i, "app-notification", id));
  }
  s.world.settings = pl::Dict{{"showStatus", true}, {"otherEnabled", true}, {"otherInt", std::int64_t{60}},
                              {"otherApplications", listed}};
  s.duration = 24h;
  return s;
}

void BM_ListedAppsForADay(benchmark::State& state) {
  const sim::Scenario scenario = listedApps(state.range(0));
  std::int64_t fires = 0;
  for (auto _ : state) fires = play(scenario);
  state.counters["alerts"] = static_cast<double>(fires);
  state.counters["per_alert"] = benchmark::Counter(static_cast<double>(state.iterations() * fires),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ListedAppsForADay)->Arg(1)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

// N notifications in a day across every category (as BM_MonthOfNotifications), each app opened
// three minutes later and left a minute after, every reminder interval 60 s.
struct Arrival {
  const char* event;
  const char* app;
};
constexpr Arrival kArrivals[] = {
    {"sms", "com.apple.MobileSMS"},          {"mail", "com.apple.mobilemail"},
    {"whatsapp-message", "net.whatsapp.WhatsApp"}, {"messenger-message", "com.facebook.Messenger"},
    {"telegram-message", "ph.telegra.Telegraph"},  {"viber-message", "com.viber"},
    {"threema-message", "ch.threema.iapp"},        {"twitter-mention", "com.atebits.Tweetie2"},
    {"app-notification", "com.example.Chat"},
};

sim::Scenario notificationsPerDay(std::int64_t count) {
  sim::Scenario s;
  s.world.release = "10.3";
  pl::Dict settings;
  for (const char* key : {"globalMail", "imSMSWats", "imSMSFBMess", "imSMSTeleg", "thremaIm", "ViperImMess",
                          "otherEnabled", "showStatus"})
    settings[key] = true;
  for (const char* key : {"smsInt", "mailInt", "imInt", "otherInt"}) settings[key] = std::int64_t{60};
  settings["otherApplications"] = pl::Array{pl::Value("com.example.Chat"), pl::Value("com.atebits.Tweetie2")};
  s.world.settings = settings;
  s.apps = {{"com.example.Chat", "Chat", 0}};
  const dispatch::Duration gap = dispatch::Duration(24h) / count;
  for (std::int64_t i = 0; i < count; ++i) {
    const Arrival& a = kArrivals[i % std::size(kArrivals)];
    const dispatch::Duration t = gap * i;
    s.actions.push_back(notification(t, a.event, sim::findPreset(a.event)->needsApp ? a.app : ""));
    s.actions.push_back(action(t + 3min, sim::ActionType::OpenApp, a.app));
    if (std::string_view(a.event) == "sms") {
      sim::Action read = action(t + 3min, sim::ActionType::ReadMessages);
      read.count = -1;
      s.actions.push_back(read);
    }
    s.actions.push_back(action(t + 4min, sim::ActionType::LeaveApp, a.app));
  }
  std::stable_sort(s.actions.begin(), s.actions.end(),
                   [](const sim::Action& x, const sim::Action& y) { return x.at < y.at; });
  s.duration = 24h;
  return s;
}

void BM_NotificationsInADay(benchmark::State& state) {
  const sim::Scenario scenario = notificationsPerDay(state.range(0));
  for (auto _ : state) play(scenario);
  state.counters["per_notification"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_NotificationsInADay)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A new world (folder with the package, home screen launched, library loaded) and its removal.
void BM_NewWorld(benchmark::State& state) {
  for (auto _ : state) sim::World world;
}
BENCHMARK(BM_NewWorld)->Unit(benchmark::kMicrosecond);

// The same world made again by reset(), as the fuzzers do between inputs.
void BM_ResetWorld(benchmark::State& state) {
  sim::World world;
  for (auto _ : state) {
    world.writeSettings({{"showStatus", true}});  // something to undo, as every fuzz input leaves
    world.reset();
  }
}
BENCHMARK(BM_ResetWorld)->Unit(benchmark::kMicrosecond);

// Bytes of heap in use, as the allocator that serves this process counts them (its block sizes).
std::size_t heapInUse() {
#ifdef QV_BENCH_MIMALLOC
  std::size_t bytes = 0;
  mi_heap_visit_blocks(
      mi_heap_get_default(), false,
      [](const mi_heap_t*, const mi_heap_area_t* area, void*, std::size_t, void* sum) {
        *static_cast<std::size_t*>(sum) += area->used * area->block_size;
        return true;
      },
      &bytes);
  return bytes;
#else
  return mallinfo2().uordblks;
#endif
}

// Heap held by each of 20 worlds alive at once: new (0), or after a day of four reminders (1).
void BM_MemoryPerWorld(benchmark::State& state) {
  constexpr int kWorlds = 20;
  double perWorld = 0;
  for (auto _ : state) {
    const std::size_t before = heapInUse();
    std::vector<std::unique_ptr<sim::World>> worlds;
    for (int i = 0; i < kWorlds; ++i) {
      worlds.push_back(std::make_unique<sim::World>());
      if (state.range(0)) {
        const sim::Scenario day = fourReminders(1);
        sim::Player player(*worlds.back(), day);
        player.schedule();
        player.run();
      }
    }
    perWorld = static_cast<double>(heapInUse() - before) / kWorlds;
  }
  state.counters["heap_kib_per_world"] = perWorld / 1024;
}
BENCHMARK(BM_MemoryPerWorld)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace qv
