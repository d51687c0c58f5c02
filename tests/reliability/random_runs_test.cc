// Random whole-device runs: a fixed set of seeds, each a random scenario played for days of
// virtual time with the invariant checker after every event. A failing seed names itself and the
// command that replays it. Thousands more: scripts/random-runs.sh (docs/reliability.md).
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "sim/invariants.h"
#include "sim/player.h"
#include "sim/random_scenario.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

struct RunResult {
  std::optional<std::string> violation;
  std::uint64_t checks = 0;
  std::string timeline;  // every event, for comparing two runs
};

// Plays a scenario as `quorvel-sim --check` does, stopping at the first broken invariant.
RunResult play(const Scenario& scenario, bool keepTimeline = false) {
  World world(worldConfigFor(scenario));
  Player player(world, scenario);
  InvariantChecker checker(world);
  RunResult result;
  if (keepTimeline)
    world.timeline().addListener(
        [&](const timeline::Event& e) {
          result.timeline += std::to_string(e.time.time_since_epoch().count()) + " " + e.process + " " +
                             std::to_string(static_cast<int>(e.kind)) + " " + e.subject + " " + e.detail + "\n";
        },
        false);
  world.clock().afterEachEvent = [&] { checker.checkState(); };
  player.afterAction = [&](const Action& a) {
    if (a.type == ActionType::Settings || a.type == ActionType::SettingsFile) checker.settingsWritten(a.values, a.removals);
    checker.checkSettingsFile();
  };
  player.schedule();
  dispatch::Instant due;
  while (checker.ok() && world.clock().nextDue(&due) && due <= player.end()) world.clock().runNext();
  checker.checkSettingsFile();
  result.violation = checker.violation();
  result.checks = checker.checks();
  return result;
}

constexpr double kDays = 2;

RandomScenarioOptions options(std::uint64_t seed, dispatch::Duration span) {
  RandomScenarioOptions o;
  o.seed = seed;
  o.span = span;
  return o;
}

class RandomRuns : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(RandomRuns, KeepEveryInvariantForTwoDays) {
  const std::uint64_t seed = GetParam();
  const Scenario scenario = randomScenario(options(seed, dispatch::seconds(kDays * 86400.0)));
  const RunResult r = play(scenario);
  EXPECT_FALSE(r.violation) << "seed " << seed << ": " << *r.violation
                            << "\nreplay: quorvel-sim --random --seed " << seed << " --days " << kDays << " --check";
  EXPECT_GT(r.checks, 1000u) << "seed " << seed << " hardly ran";
}

// Seeds 1-24, and seeds that once broke an invariant (kept so the fault stays mended):
// 7 and 15 posted a reminder bulletin after the user unlocked during the lock-screen re-post.
INSTANTIATE_TEST_SUITE_P(FixedSeeds, RandomRuns,
                         ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                           22, 23, 24),
                         [](const auto& info) { return "seed" + std::to_string(info.param); });

TEST(RandomScenarios, TheSameSeedPlaysTheSameTimeline) {
  const RandomScenarioOptions o = options(42, 6h);
  EXPECT_EQ(play(randomScenario(o), true).timeline, play(randomScenario(o), true).timeline);
}

TEST(RandomScenarios, ADumpedScenarioReplaysExactlyAsItsSeed) {
  const Scenario scenario = randomScenario(options(7, 6h));
  auto reread = parseScenario(scenarioToJson(scenario), "dump.json");
  ASSERT_TRUE(reread) << reread.error();
  ASSERT_EQ(reread->actions.size(), scenario.actions.size());
  EXPECT_EQ(play(*reread, true).timeline, play(scenario, true).timeline);
}

TEST(RandomScenarios, CoverEveryKindOfAction) {
  std::set<ActionType> seen;
  bool rawNotification = false, unlockDuringRepost = false;
  for (std::uint64_t seed = 1; seed <= 5; ++seed) {
    const Scenario s = randomScenario(options(seed, 48h));
    for (std::size_t i = 0; i < s.actions.size(); ++i) {
      const Action& a = s.actions[i];
      seen.insert(a.type);
      rawNotification |= a.type == ActionType::Notification && a.notification.preset.empty();
      if (a.type == ActionType::AutoLock)
        for (std::size_t j = i + 1; j < s.actions.size() && s.actions[j].at - a.at < 3s; ++j)
          unlockDuringRepost |= s.actions[j].type == ActionType::Unlock;
    }
  }
  for (ActionType t : {ActionType::Notification, ActionType::IncomingCall, ActionType::AnswerCall, ActionType::EndCall,
                       ActionType::OpenApp, ActionType::ReadMessages, ActionType::RemoveNotification,
                       ActionType::ActOnNotification, ActionType::Lock, ActionType::Unlock, ActionType::AutoLock,
                       ActionType::QuietMode, ActionType::Settings, ActionType::SettingsFile, ActionType::SetBadge})
    EXPECT_TRUE(seen.count(t)) << actionName(t);
  EXPECT_TRUE(rawNotification) << "notifications with raw payloads";
  EXPECT_TRUE(unlockDuringRepost) << "an unlock right after an auto-lock";
}

}  // namespace
}  // namespace qv::sim
