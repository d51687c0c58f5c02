#include "assembly/launch_hooks.h"

#include <gtest/gtest.h>

#include "core/library.h"
#include "platform/plist/io.h"
#include "sim/world.h"

namespace qv::assembly {
namespace {

using namespace core;

using namespace std::chrono_literals;

class LaunchHook : public ::testing::Test {
 protected:
  explicit LaunchHook(std::optional<pl::Dict> settings = pl::Dict{{"smsInt", 30}})
      : world({.settings = std::move(settings), .launchHomeScreen = false}) {}

  void launch() {
    world.home().finishLaunching();
    world.runUntilIdle();
  }
  std::optional<pl::Value> stored(std::string_view key, prefs::HostScope scope) {
    return world.prefs().copyValue(key, kSettingsDomain, prefs::User::Current, scope);
  }
  pl::Dict mainFile() {
    return world.springBoard()
        .host.dictionaryWithContentsOfFile("/var/mobile" + std::string(kSettingsFileUnderHome))
        .value_or(pl::Dict{});
  }

  sim::World world;
  Library& lib = world.library();
};

TEST_F(LaunchHook, FirstRunLandsForThisHostBesideTheFileItIsLookedForIn) {
  launch();
  EXPECT_EQ(stored("firstRun", prefs::HostScope::Current), pl::Value(true));
  EXPECT_FALSE(stored("firstRun", prefs::HostScope::Any).has_value());
  EXPECT_FALSE(mainFile().contains("firstRun")) << "so the next launch writes it again";
  EXPECT_TRUE(
      world.root().exists(world.prefs().devicePath(kSettingsDomain, prefs::User::Current, prefs::HostScope::Current)));
  EXPECT_EQ(mainFile().at("smsInt"), pl::Value(30)) << "the main file keeps its keys";
}

TEST_F(LaunchHook, PreparesTheOtherAppListsDropsAnOldTimerListAndOpensIntakeTenSecondsLater) {
  ASSERT_FALSE(lib.otherApps.activeOtherApps.has_value());
  world.home().finishLaunching();
  world.runFor(9999ms);
  EXPECT_FALSE(lib.intake.intakeReady);
  ASSERT_TRUE(lib.otherApps.activeOtherApps && lib.otherApps.otherRepeatCounts && lib.otherApps.otherTimerList);
  EXPECT_TRUE(lib.otherApps.otherTimerList->empty());
  world.runFor(1ms);
  EXPECT_TRUE(lib.intake.intakeReady);
  const std::string chat = "com.example.chat";
  lib.otherApps.activeOtherApps->push_back(chat);
  (*lib.otherApps.otherRepeatCounts)[chat] = 2;
  lib.otherApps.otherTimerList->push_back(nullptr);
  launch();
  EXPECT_EQ(lib.otherApps.activeOtherApps->size(), 1u) << "lists that exist are kept";
  EXPECT_EQ(lib.otherApps.otherRepeatCounts->at(chat), 2);
  EXPECT_FALSE(lib.otherApps.otherTimerList.has_value()) << "an existing timer list is dropped, not emptied";
}

class LaunchHookWithFirstRun : public LaunchHook {
 protected:
  LaunchHookWithFirstRun()
      : LaunchHook(pl::Dict{{"firstRun", false}, {"otherApplications", pl::Array{"com.example.chat"}}}) {}
};

TEST_F(LaunchHookWithFirstRun, LeavesASettingsFileThatHasBothKeysAsItIs) {
  const std::string path = world.prefs().devicePath(kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  const auto before = world.root().read(path);
  ASSERT_TRUE(before);
  launch();
  const auto after = world.root().read(path);
  ASSERT_TRUE(after);
  EXPECT_EQ(*after, *before);
  EXPECT_FALSE(stored("firstRun", prefs::HostScope::Current).has_value());
  ASSERT_EQ(lib.settings.otherApplicationsList().size(), 1u);
  EXPECT_EQ(lib.settings.otherApplicationsList().front(), "com.example.chat");
}

}  // namespace
}  // namespace qv::assembly
