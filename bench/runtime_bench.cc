// The class runtime's costs beside plain C++: a message send through an unhooked method, through
// a pass-through hook, through two chained hooks, and a direct virtual call; and one full load of
// a preferences domain from a real property-list file.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/settings.h"
#include "platform/objc/runtime.h"
#include "platform/plist/io.h"
#include "sim/world.h"
#include "bench/virtual_counter.h"

namespace {

using namespace qv;
using objc::Id;
using objc::Object;
using objc::Sel;

struct Counter : Object {
  using Object::Object;
  std::int64_t value = 0;
};
Id makeCounter(objc::Class* cls) { return std::make_shared<Counter>(cls); }

std::int64_t increment(void*, Object* self, Sel, std::int64_t by) {
  auto* c = static_cast<Counter*>(self);
  return c->value += by;
}

struct Slots {
  objc::Slot<std::int64_t(std::int64_t)> first, second;
};
std::int64_t passThroughFirst(void* ctx, Object* self, Sel sel, std::int64_t by) {
  return static_cast<Slots*>(ctx)->first(self, sel, by);
}
std::int64_t passThroughSecond(void* ctx, Object* self, Sel sel, std::int64_t by) {
  return static_cast<Slots*>(ctx)->second(self, sel, by);
}


struct RuntimeFixture {
  objc::Runtime rt{"bench"};
  objc::Class* cls = rt.defineClass("Counter", rt.rootClass(), &makeCounter);
  Sel sel = Sel::intern("increment:");
  Slots slots;
  Id obj;
  explicit RuntimeFixture(int hooks) {
    rt.addMethod<std::int64_t(std::int64_t)>(cls, sel, &increment);
    if (hooks >= 1) rt.hookMessage<std::int64_t(std::int64_t)>(cls, sel, &passThroughFirst, &slots, &slots.first);
    if (hooks >= 2) rt.hookMessage<std::int64_t(std::int64_t)>(cls, sel, &passThroughSecond, &slots, &slots.second);
    obj = objc::send<Id()>(cls, Sel::intern("new"));
  }
};

void BM_SendUnhooked(benchmark::State& state) {
  RuntimeFixture f(0);
  Object* o = f.obj.get();
  for (auto _ : state) benchmark::DoNotOptimize(objc::send<std::int64_t(std::int64_t)>(o, f.sel, 1));
}
BENCHMARK(BM_SendUnhooked);

void BM_SendThroughPassThroughHook(benchmark::State& state) {
  RuntimeFixture f(1);
  Object* o = f.obj.get();
  for (auto _ : state) benchmark::DoNotOptimize(objc::send<std::int64_t(std::int64_t)>(o, f.sel, 1));
}
BENCHMARK(BM_SendThroughPassThroughHook);

void BM_SendThroughTwoChainedHooks(benchmark::State& state) {
  RuntimeFixture f(2);
  Object* o = f.obj.get();
  for (auto _ : state) benchmark::DoNotOptimize(objc::send<std::int64_t(std::int64_t)>(o, f.sel, 1));
}
BENCHMARK(BM_SendThroughTwoChainedHooks);

void BM_VirtualCall(benchmark::State& state) {
  std::unique_ptr<bench::VirtualCounter> c = bench::makeVirtualCounter();
  bench::VirtualCounter* p = c.get();
  benchmark::DoNotOptimize(p);
  for (auto _ : state) benchmark::DoNotOptimize(p->increment(1));
}
BENCHMARK(BM_VirtualCall);

// A settings domain as the settings pane leaves it: every key, binary, on the world's disk.
pl::Dict fullSettings() {
  pl::Dict d;
  for (const auto& key : core::kSettingKeys) {
    switch (key.rule) {
      case core::Rule::FlagDefaultOn:
      case core::Rule::FlagDefaultOff: d[std::string(key.name)] = pl::Value(true); break;
      case core::Rule::Count:
      case core::Rule::Interval:
      case core::Rule::Hour:
      case core::Rule::Minute: d[std::string(key.name)] = pl::Value(std::int64_t{30}); break;
      case core::Rule::String: d[std::string(key.name)] = pl::Value("Chime.caf"); break;
      case core::Rule::StringList: d[std::string(key.name)] = pl::Value(pl::Array{"com.example.Chat", "com.example.Shop"}); break;
      case core::Rule::WrittenOnly: d[std::string(key.name)] = pl::Value(true); break;
    }
  }
  return d;
}

void BM_PreferencesDomainLoadFromFile(benchmark::State& state) {
  sim::World world(sim::WorldConfig{.settings = fullSettings()});
  const std::string path =
      world.prefs().devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  auto bytes = world.root().read(path);
  core::Settings settings;
  std::uint64_t rewrites = 0;
  for (auto _ : state) {
    // Rewrite the file (outside the timing) so each load reads and parses it afresh.
    state.PauseTiming();
    (void)world.root().writeAtomic(path, *bytes);
    ++rewrites;
    state.ResumeTiming();
    settings.load(world.springBoard().host);
  }
  state.counters["keys"] = static_cast<double>(settings.dictionary() ? settings.dictionary()->size() : 0);
  state.counters["fileBytes"] = static_cast<double>(bytes->size());
}
BENCHMARK(BM_PreferencesDomainLoadFromFile);

}  // namespace
