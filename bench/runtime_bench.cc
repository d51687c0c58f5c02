// The class runtime's costs beside plain C++, on both runtimes side by side (ours, and the real
// Objective-C runtime through its binding): a message send through an unhooked method, through a
// pass-through hook, through two chained hooks; installing hooks; the real runtime's own dispatch
// as compiled Objective-C does it; a direct virtual call; and one full load of a preferences
// domain from a real property-list file.
#include <benchmark/benchmark.h>
#include <objc/message.h>
#include <objc/runtime.h>

#include <memory>
#include <string>

#include "bench/virtual_counter.h"
#include "core/settings.h"
#include "platform/plist/io.h"
#include "sim/world.h"
#include "tests/platform/runtime_bindings.h"

namespace {

using namespace qv;
using objc::Sel;
using testing_runtimes::RealObjC;
using testing_runtimes::Simulated;
using Increment = std::int64_t(std::int64_t);

template <class O>
std::int64_t increment(void* ctx, O*, Sel, std::int64_t by) {
  return *static_cast<std::int64_t*>(ctx) += by;
}

template <class T>
struct Slots {
  typename T::template Slot<Increment> first, second;
};
template <class T>
std::int64_t passThroughFirst(void* ctx, typename T::Object* self, Sel sel, std::int64_t by) {
  return static_cast<Slots<T>*>(ctx)->first(self, sel, by);
}
template <class T>
std::int64_t passThroughSecond(void* ctx, typename T::Object* self, Sel sel, std::int64_t by) {
  return static_cast<Slots<T>*>(ctx)->second(self, sel, by);
}

// A class with increment: (and `hooks` pass-through hooks on it) and one instance.
template <class T>
struct RuntimeFixture {
  typename T::Runtime rt{"bench"};
  typename T::Class* cls = rt.defineClass("Counter", rt.rootClass());
  Sel sel = Sel::intern("increment:");
  std::int64_t value = 0;
  Slots<T> slots;
  typename T::Instance obj;
  explicit RuntimeFixture(int hooks) {
    rt.template addMethod<Increment>(cls, sel, &increment<typename T::Object>, &value);
    if (hooks >= 1) rt.template hookMessage<Increment>(cls, sel, &passThroughFirst<T>, &slots, &slots.first);
    if (hooks >= 2) rt.template hookMessage<Increment>(cls, sel, &passThroughSecond<T>, &slots, &slots.second);
    obj = T::make(cls);
  }
};

template <class T>
void sendLoop(benchmark::State& state, int hooks) {
  RuntimeFixture<T> f(hooks);
  typename T::Object* o = T::get(f.obj);
  for (auto _ : state) benchmark::DoNotOptimize(T::template send<Increment>(o, f.sel, 1));
}

template <class T>
void BM_SendUnhooked(benchmark::State& state) { sendLoop<T>(state, 0); }
template <class T>
void BM_SendThroughPassThroughHook(benchmark::State& state) { sendLoop<T>(state, 1); }
template <class T>
void BM_SendThroughTwoChainedHooks(benchmark::State& state) { sendLoop<T>(state, 2); }
BENCHMARK_TEMPLATE(BM_SendUnhooked, Simulated);
BENCHMARK_TEMPLATE(BM_SendUnhooked, RealObjC);
BENCHMARK_TEMPLATE(BM_SendThroughPassThroughHook, Simulated);
BENCHMARK_TEMPLATE(BM_SendThroughPassThroughHook, RealObjC);
BENCHMARK_TEMPLATE(BM_SendThroughTwoChainedHooks, Simulated);
BENCHMARK_TEMPLATE(BM_SendThroughTwoChainedHooks, RealObjC);

// What compiled Objective-C does for [counter increment:1] on the real runtime: look the IMP up
// and call it (here the binding's native function, which finds the implementation and runs it).
void BM_RealRuntimeNativeDispatch(benchmark::State& state) {
  RuntimeFixture<RealObjC> f(0);
  id o = RealObjC::get(f.obj);
  SEL real = sel_registerName("increment:");
  using Native = std::int64_t (*)(id, SEL, std::int64_t);
  for (auto _ : state) {
    auto imp = reinterpret_cast<Native>(reinterpret_cast<void (*)()>(objc_msg_lookup(o, real)));
    benchmark::DoNotOptimize(imp(o, real, 1));
  }
}
BENCHMARK(BM_RealRuntimeNativeDispatch);

// One more hook on a method the class has itself (the start-up's usual case).
template <class T>
void BM_HookOwnMethod(benchmark::State& state) {
  RuntimeFixture<T> f(0);
  std::vector<std::unique_ptr<Slots<T>>> kept;
  for (auto _ : state) {
    kept.push_back(std::make_unique<Slots<T>>());
    f.rt.template hookMessage<Increment>(f.cls, f.sel, &passThroughFirst<T>, kept.back().get(), &kept.back()->first);
  }
  state.counters["chain"] = static_cast<double>(kept.size());
}
BENCHMARK_TEMPLATE(BM_HookOwnMethod, Simulated)->Iterations(2000);
BENCHMARK_TEMPLATE(BM_HookOwnMethod, RealObjC)->Iterations(2000);

// A new subclass and a hook on the selector it inherits (the run-time view class's case).
template <class T>
void BM_DefineSubclassAndHookInherited(benchmark::State& state) {
  RuntimeFixture<T> f(0);
  std::vector<std::unique_ptr<Slots<T>>> kept;
  int n = 0;
  for (auto _ : state) {
    auto* sub = f.rt.defineClass("Sub" + std::to_string(n++), f.cls);
    kept.push_back(std::make_unique<Slots<T>>());
    f.rt.template hookMessage<Increment>(sub, f.sel, &passThroughFirst<T>, kept.back().get(), &kept.back()->first);
  }
}
BENCHMARK_TEMPLATE(BM_DefineSubclassAndHookInherited, Simulated)->Iterations(2000);
BENCHMARK_TEMPLATE(BM_DefineSubclassAndHookInherited, RealObjC)->Iterations(2000);

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
