// A reset world is a new world: a scenario played on a world reset after another run gives the
// timeline a new world gives, event for event, whatever ran before and in either order; the files
// the earlier run wrote or removed are back as the package laid them. The fuzzers rely on it.
#include <gtest/gtest.h>

#include <string>

#include "platform/plist/io.h"
#include "sim/player.h"
#include "sim/random_scenario.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

// Every event with its instant, then what the run left in the settings file.
std::string playOn(World& world, const Scenario& scenario) {
  std::string out;
  world.timeline().addListener(
      [&](const timeline::Event& e) {
        out += std::to_string(e.time.time_since_epoch().count()) + " " + e.process + " " +
               timeline::kindName(e.kind) + " " + e.subject + " " + e.detail + "\n";
      },
      true);
  Player player(world, scenario);
  player.schedule();
  player.run();
  const std::string settings =
      world.prefs().devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  if (auto bytes = world.root().read(settings))
    if (auto value = pl::parse(*bytes)) out += "settings file: " + value->describe() + "\n";
  return out;
}

Scenario randomRun(std::uint64_t seed, const char* release) {
  RandomScenarioOptions o;
  o.seed = seed;
  o.span = 6h;
  o.release = release;
  return randomScenario(o);
}

std::string onNewWorld(const Scenario& scenario) {
  World world(worldConfigFor(scenario));
  return playOn(world, scenario);
}

TEST(WorldReset, AResetWorldPlaysAsANewOneWhateverRanBeforeAndInEitherOrder) {
  const Scenario ios9 = randomRun(5, "9.3"), ios10 = randomRun(8, "10.3");
  const std::string new9 = onNewWorld(ios9), new10 = onNewWorld(ios10);
  ASSERT_GT(new9.size(), 1000u);
  ASSERT_NE(new9, new10);

  World world(worldConfigFor(ios9));
  EXPECT_EQ(playOn(world, ios9), new9);
  world.reset(worldConfigFor(ios10));
  EXPECT_EQ(playOn(world, ios10), new10) << "after a run of the other release";
  world.reset(worldConfigFor(ios9));
  EXPECT_EQ(playOn(world, ios9), new9) << "and back";
  world.reset(worldConfigFor(ios9));
  EXPECT_EQ(playOn(world, ios9), new9) << "after itself";
}

TEST(WorldReset, ABadConfigurationLeavesTheWorldAsItWasAndAGoodOneLaysThePackagesFilesAgain) {
  World world({.release = "9.3", .settings = pl::Dict{{"smsInt", std::int64_t{30}}}});
  const std::string settings =
      world.prefs().devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  std::string sound = kSoundsDirectory, added = kSoundsDirectory;
  sound += "SMS 3.caf";
  added += "Added.caf";
  world.writeSettings({{"showStatus", true}});
  ASSERT_TRUE(world.root().remove(sound));
  ASSERT_TRUE(world.root().writeAtomic(added, {1, 2, 3}));
  ASSERT_TRUE(world.root().writeAtomic("/var/mobile/Library/Preferences/ByHost/x.plist", {1}));
  world.runFor(1s);

  EXPECT_THROW(world.reset({.release = "99.0"}), std::invalid_argument);
  EXPECT_THROW(world.reset({.timeZone = "Nowhere/Atlantis"}), std::invalid_argument);
  EXPECT_EQ(world.profile().release.version, "9.3");
  EXPECT_TRUE(world.library().settings.flag(core::Key::showStatus));
  world.runFor(1min);

  world.reset({});
  EXPECT_FALSE(world.root().exists(settings)) << "a new world without settings has no settings file";
  EXPECT_TRUE(world.root().exists(sound));
  EXPECT_FALSE(world.root().exists(added));
  EXPECT_FALSE(world.root().exists("/var/mobile/Library/Preferences/ByHost/x.plist"));
  EXPECT_EQ(world.library().settings.number(core::Key::smsInt), World().library().settings.number(core::Key::smsInt));
}

}  // namespace
}  // namespace qv::sim
