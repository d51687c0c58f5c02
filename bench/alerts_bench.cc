// The cost of the reminder alerts: one fire of a fixed-category reminder with every alert on,
// and the alert gate with its settings reload from a real property-list file of ~60 keys.
// No timeline listener is attached, as on a device where nobody traces.
#include <benchmark/benchmark.h>

#include "alerts/quiet_hours.h"
#include "core/library.h"
#include "core/settings_keys.h"
#include "platform/plist/io.h"
#include "sim/world.h"

namespace qv {
namespace {

using namespace std::chrono_literals;

// What a settings pane that was used for a while leaves behind: every key, most set.
pl::Dict realisticSettings() {
  pl::Dict d;
  for (const core::SettingKey& k : core::kSettingKeys) {
    switch (k.rule) {
      case core::Rule::FlagDefaultOn:
      case core::Rule::FlagDefaultOff:
        d[std::string(k.name)] = true;
        break;
      case core::Rule::Count:
      case core::Rule::Interval:
      case core::Rule::Hour:
      case core::Rule::Minute:
        d[std::string(k.name)] = k.numberDefault == 0 ? 7 : 45;
        break;
      case core::Rule::String:
        d[std::string(k.name)] = "Chime.caf";
        break;
      case core::Rule::StringList:
        d[std::string(k.name)] = pl::Array{"com.example.chat", "com.example.social", "com.apple.mobilecal"};
        break;
      case core::Rule::WrittenOnly:
        d[std::string(k.name)] = true;
        break;
    }
  }
  d["fromHour"] = 7;
  d["toHour"] = 22;
  d["fromMin"] = 30;
  d["toMin"] = 45;
  return d;
}

void fireSms(core::Library& lib) {
  objc::send<void()>(lib.sharedHelper, objc::Sel::intern("reloadsmsTimer"));
}

// Mode 0: unlocked (banner, no wake); 1: locked (wake, no banner); 2: as 0 without the sound,
// to show what creating the sound from its file costs.
sim::World& allAlertsOn(sim::World& world, std::int64_t mode) {
  world.writeSettings({{"torchSmS", true}, {"unSmS", true}, {"soundsms", mode != 2}, {"vibesms", true}});
  world.runUntilIdle();
  if (mode == 1) world.home().lock();
  world.library().reminders.activeFlag(core::Category::Sms) = true;
  return world;
}

// The fire handler alone (sound, vibration task, wake or banner, torch request, re-arm); the
// work it leaves (vibration, 3.5 s blink, sound completion, queue release) runs untimed.
void BM_FireHandler(benchmark::State& state) {
  sim::World world;
  core::Library& lib = allAlertsOn(world, state.range(0)).library();
  for (auto _ : state) {
    fireSms(lib);
    state.PauseTiming();
    world.runFor(4s);
    state.ResumeTiming();
  }
  const char* labels[] = {"unlocked: banner, no wake", "locked: wake, no banner", "unlocked, sound off"};
  state.SetLabel(labels[state.range(0)]);
}
BENCHMARK(BM_FireHandler)->Arg(0)->Arg(1)->Arg(2);

// One fire and everything it schedules, run through in virtual time.
void BM_FireAndItsDeferredWork(benchmark::State& state) {
  sim::World world;
  core::Library& lib = allAlertsOn(world, state.range(0)).library();
  for (auto _ : state) {
    fireSms(lib);
    world.runFor(4s);
  }
  state.SetLabel(state.range(0) == 1 ? "locked" : "unlocked");
}
BENCHMARK(BM_FireAndItsDeferredWork)->Arg(0)->Arg(1);

// The gate while the settings file is unchanged: the preferences store checks the file and
// hands back its values; the gate copies them and computes the window.
void BM_AlertGate(benchmark::State& state) {
  sim::World world({.settings = realisticSettings()});
  core::Library& lib = world.library();
  for (auto _ : state) benchmark::DoNotOptimize(alerts::alertGate(lib));
  state.SetLabel(std::to_string(lib.settings.dictionary()->size()) + " keys");
}
BENCHMARK(BM_AlertGate);

// The gate right after the settings pane rewrote the file: it is read and parsed again.
void BM_AlertGateAfterTheFileChanged(benchmark::State& state) {
  sim::World world({.settings = realisticSettings()});
  core::Library& lib = world.library();
  const std::string path = world.prefs().devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  auto bytes = pl::serialize(pl::Value(realisticSettings()), pl::Format::Binary);
  if (!bytes) {
    state.SkipWithError("cannot serialise the settings");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    (void)world.root().writeAtomic(path, *bytes);
    state.ResumeTiming();
    benchmark::DoNotOptimize(alerts::alertGate(lib));
  }
  state.SetLabel(std::to_string(bytes->size()) + " bytes, binary");
}
BENCHMARK(BM_AlertGateAfterTheFileChanged);

}  // namespace
}  // namespace qv

