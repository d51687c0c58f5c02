// libFuzzer target for the settings file: any bytes (XML, binary or neither) dropped in as the
// preferences file of the settings domain are read by the real preferences store and loaded by
// the library in the home screen (the change notification, then loadPreferences), and every key
// is looked up through its rule. Then: a dictionary file is what the settings hold; anything
// else leaves the values read before; the pane's next save keeps every stored key.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "core/settings_keys.h"
#include "fuzz/fuzz_support.h"
#include "platform/plist/io.h"
#include "sim/world.h"

namespace {

using namespace qv;
using namespace std::chrono_literals;

// One device for the whole run (a fresh one per input costs more than the input): every input
// starts from the same known settings, so an input replays alone.
sim::World& fuzzWorld() {
  static auto* world = new sim::World(sim::WorldConfig{.release = "10.3"});
  return *world;
}

const pl::Dict& baseline() {
  static const pl::Dict values{{"globalEnabled", true}, {"showStatus", true}, {"smsInt", std::int64_t{30}},
                               {"otherApplications", pl::Array{pl::Value("com.example.Chat")}}};
  return values;
}

std::string settingsPath(sim::World& world) {
  return world.prefs().devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
}

// The file is replaced behind the store's back, then the pane's change notification is posted.
void dropFileAndReload(sim::World& world, const std::vector<std::uint8_t>& bytes) {
  if (!world.root().writeAtomic(settingsPath(world), bytes)) std::abort();
  world.writeSettings({}, {}, true);
  world.runFor(1s);
}

void readEveryKey(const core::Settings& settings) {
  // Unsigned, so summing whatever numbers the file holds wraps instead of overflowing.
  volatile std::uint64_t sink = 0;
  for (const core::SettingKey& key : core::kSettingKeys) {
    sink = sink + settings.flag(key.key) + static_cast<std::uint64_t>(settings.number(key.key)) +
           settings.string(key.key).size();
  }
  sink = sink + settings.listsApp("com.example.Chat") + settings.showStatusEnabled();
  (void)sink;
}

bool holds(const pl::Dict& file, const pl::Dict& expected) {
  for (const auto& [key, value] : expected) {
    auto it = file.find(key);
    if (it == file.end() || !fuzz::samePlist(it->second, value)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sim::World& world = fuzzWorld();
  static std::int64_t probe = 0;
  auto baselineBytes = pl::serialize(pl::Value(baseline()), pl::Format::Binary);
  dropFileAndReload(world, *baselineBytes);

  const std::vector<std::uint8_t> bytes(data, data + size);
  dropFileAndReload(world, bytes);
  const core::Settings& settings = world.library().settings;
  readEveryKey(settings);

  // What the store must now hold: the file's dictionary, or the values read before.
  auto parsed = pl::parse(std::span(bytes));
  const pl::Dict* fileDict = parsed ? parsed->ifDict() : nullptr;
  const pl::Dict& expected = fileDict ? *fileDict : baseline();
  if (!settings.dictionary() || !holds(*settings.dictionary(), expected) ||
      settings.dictionary()->size() != expected.size())
    std::abort();

  // The pane saves one key: the file then holds everything stored before, and the new key.
  const pl::Dict save{{"fuzzProbe", ++probe}};
  const Status written =
      world.prefs().setValues(save, {}, core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  auto after = world.root().read(settingsPath(world));
  if (!after) std::abort();
  if (!written) {
    // A value the file's format cannot carry: the old file stays as it was.
    if (*after != bytes) std::abort();
    return 0;
  }
  auto reread = pl::parse(std::span(*after));
  if (!reread || !reread->ifDict() || !holds(*reread->ifDict(), expected) || !holds(*reread->ifDict(), save))
    std::abort();
  return 0;
}
