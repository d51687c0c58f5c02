#include "assembly/startup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/categories.h"
#include "indicators/banner_layout.h"
#include "platform/apps/catalog.h"
#include "sim/world.h"

namespace qv::assembly {
namespace {

using namespace core;

using Row = std::pair<std::string, std::string>;  // class, selector

std::vector<Row> hooksOf(const std::span<const HookRow> group) {
  std::vector<Row> rows;
  for (const HookRow& row : group)
    if (row.isHook()) rows.emplace_back(row.className, row.name());
  return rows;
}

std::vector<Row> installed(const Library& library) {
  std::vector<Row> rows;
  for (const InstalledHook& h : library.installedHooks) rows.emplace_back(h.className, h.selector);
  return rows;
}

// The rows of `groups` whose class the process has and answers, in order: what start-up must
// install there (the run-time view class exists everywhere but answers its two selectors only
// where its superclass does).
std::vector<Row> expectedIn(sim::Process& process, std::initializer_list<std::span<const HookRow>> groups) {
  std::vector<Row> rows;
  for (const auto group : groups)
    for (const Row& row : hooksOf(group))
      if (objc::Class* cls = process.host.runtime().getClass(row.first);
          cls && cls->resolve(objc::Sel::intern(row.second)))
        rows.push_back(row);
  return rows;
}

TEST(HookTable, AddsThePadMethodRightAfterTheDismissHook) {
  const auto group = hookGroupA();
  for (std::size_t i = 0; i < group.size(); ++i) {
    if (group[i].isHook()) continue;
    if (group[i].className != "SBBannerContextView") continue;
    ASSERT_GT(i, 0u);
    EXPECT_EQ(group[i - 1].name(), "noteDidDismissWithReason:");
    EXPECT_EQ(group[i].name(), "_pad_modifiedContentFrameForFrame:");
    return;
  }
  ADD_FAILURE() << "no step adds _pad_modifiedContentFrameForFrame:";
}

// A row whose class or selector is misspelt is installed nowhere: across the home screen and every
// app, on the system range it belongs to, each row must be installed at least once.
TEST(HookTable, EveryRowIsInstalledSomewhereInItsSystemRange) {
  std::set<Row> seen[2];
  for (const int ios10 : {0, 1}) {
    sim::World world({.release = ios10 ? "10.3" : "9.3"});
    for (const Row& row : installed(world.library())) seen[ios10].insert(row);
    for (const apps::AppSpec& app : apps::knownApps())
      if (sim::Process& p = world.startProcess(app.bundleId); p.library)
        for (const Row& row : installed(*p.library)) seen[ios10].insert(row);
  }
  for (const Row& row : hooksOf(hookGroupA()))
    EXPECT_TRUE(seen[0].contains(row) || seen[1].contains(row)) << row.first << " " << row.second;
  for (const Row& row : hooksOf(hookGroupB())) EXPECT_TRUE(seen[0].contains(row)) << row.first << " " << row.second;
  for (const Row& row : hooksOf(hookGroupC())) EXPECT_TRUE(seen[1].contains(row)) << row.first << " " << row.second;
}

class StartUp : public ::testing::TestWithParam<const char*> {};

TEST_P(StartUp, HomeScreenInstallsEveryRowItsClassesAllowInTableOrder) {
  sim::World world({.release = GetParam()});
  const bool ios10 = world.profile().release.coreFoundationVersion >= 1348.0;
  std::vector<Row> expected =
      expectedIn(world.springBoard(), {hookGroupA(), ios10 ? hookGroupC() : hookGroupB()});
  expected.emplace_back("NSObject", "doesNotRecognizeSelector:");
  EXPECT_EQ(installed(world.library()), expected);
  EXPECT_GT(expected.size(), 40u) << "the home screen has most of the table's classes";
}

INSTANTIATE_TEST_SUITE_P(BothSystemRanges, StartUp, ::testing::Values("9.3", "10.3"));

TEST(StartUpInAnApp, InstallsOnlyItsOwnHooksAndObservesEveryNotificationUntilTheProcessEnds) {
  sim::World world;
  sim::Process& telegram = world.startProcess("ph.telegra.Telegraph");
  ASSERT_NE(telegram.library, nullptr);
  const std::vector<Row> hooks = installed(*telegram.library);
  EXPECT_EQ(hooks, expectedIn(telegram, {hookGroupA(), hookGroupC()}));
  std::set<std::string> classes;
  for (const Row& row : hooks) classes.insert(row.first);
  EXPECT_TRUE(classes.contains("TGAppDelegate"));
  for (const char* homeScreenOnly : {"SpringBoard", "SBBannerContextView", "IMAVCallManager", "NSObject"})
    EXPECT_FALSE(classes.contains(homeScreenOnly)) << homeScreenOnly;

  EXPECT_EQ(world.darwin().observerCount(kSettingsChangedNotification, "Telegram"), 1);
  int clearObservers = 0;
  for (const CategoryInfo& row : kCategories)
    if (!row.clearNotification.empty())
      clearObservers += world.darwin().observerCount(row.clearNotification, "Telegram");
  EXPECT_EQ(clearObservers, 10);
  EXPECT_NE(telegram.host.runtime().getClass("QuorvelAppIconStatusBarIconView"), nullptr);

  world.endProcess("ph.telegra.Telegraph");
  EXPECT_EQ(world.darwin().observerCount("com.tarnwick.missed.clearTGMessTimer", "Telegram"), 0);
  world.darwin().post("Telegram", "com.tarnwick.missed.clearTGMessTimer");
  world.runUntilIdle();
}

TEST(PadContentFrameMethod, IsAddedWithTheRectangleEncodingOfTheProcessor) {
  for (const bool is64Bit : {true, false}) {
    sim::World world({.is64Bit = is64Bit});
    objc::Runtime& rt = world.springBoard().host.runtime();
    EXPECT_EQ(rt.methodTypes(rt.getClass("SBBannerContextView"), host::msg::padModifiedContentFrameForFrame.sel),
              is64Bit ? "{CGRect={CGPoint=dd}{CGSize=dd}}@:{CGRect={CGPoint=dd}{CGSize=dd}}"
                      : "{CGRect={CGPoint=ff}{CGSize=ff}}@:{CGRect={CGPoint=ff}{CGSize=ff}}");
  }
}

}  // namespace
}  // namespace qv::assembly
