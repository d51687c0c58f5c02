// Random whole-device runs: a fixed set of seeds, each a random scenario played for days of
// virtual time with the invariant checker after every event. A failing seed names itself and the
// command that replays it. Thousands more: scripts/random-runs.sh (docs/reliability.md).
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "platform/time/timezone.h"
#include "sim/invariants.h"
#include "sim/player.h"
#include "sim/random_scenario.h"
#include "tests/sim/command_test_support.h"

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
  checker.attach(player);
  player.schedule();
  checker.run(player.end());
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

// Seeds 1-24 and a few more, so that every release range and the iPad are played (checked
// below).
const std::uint64_t kFixedSeeds[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};

INSTANTIATE_TEST_SUITE_P(FixedSeeds, RandomRuns, ::testing::ValuesIn(kFixedSeeds),
                         [](const auto& info) { return "seed" + std::to_string(info.param); });

TEST(RandomScenarios, FixedSeedsPlayEveryReleaseRangeAndTheIpad) {
  std::set<std::string> ranges;
  bool pad = false;
  for (std::uint64_t seed : kFixedSeeds) {
    const Scenario s = randomScenario(options(seed, 48h));
    const std::string& r = s.world.release;
    ranges.insert(r.starts_with("7.")   ? "7"
                  : r.starts_with("8.") ? "8"
                  : r.starts_with("9.") ? "9"
                  : r == "10.3"         ? "10.3"
                                        : "10.0-10.2");
    pad |= s.world.idiom == device::Idiom::Pad;
  }
  EXPECT_EQ(ranges, (std::set<std::string>{"7", "8", "9", "10.0-10.2", "10.3"}));
  EXPECT_TRUE(pad);
}

// Many seeds in one process (scripts/random-runs.sh) must not leak anything from one device into
// the next: every event of every seed as when each plays alone, then one line that counts them.
TEST(RandomScenarios, SeedsPlayedInOneProcessPlayExactlyAsEachAlone) {
  auto run = [](std::uint64_t seed, const char* seeds, bool json) {
    std::vector<std::string> args{"--random", "--seed", std::to_string(seed), "--days", "0.3", "--check"};
    if (seeds) args.insert(args.end(), {"--seeds", seeds});
    if (json) args.push_back("--json");
    return runQuorvelSim(args);
  };
  for (const bool json : {true, false}) {
    std::string alone;
    for (std::uint64_t seed = 11; seed <= 13; ++seed) {
      const CommandRun one = run(seed, nullptr, json);
      ASSERT_EQ(one.status, 0) << one.err;
      alone += one.out;
    }
    const CommandRun together = run(11, "3", json);
    ASSERT_EQ(together.status, 0) << together.err;
    // The count goes after the seeds, on standard error after JSON Lines.
    const std::string tally = "seeds 11 to 13, 0.3 days each: 3 held every invariant, 0 broke one\n";
    EXPECT_EQ(together.err, json ? tally : "");
    EXPECT_TRUE(together.out == alone + (json ? "" : tally)) << "json " << json;
  }
}

TEST(RandomScenarios, ADumpedScenarioReplaysExactlyAsItsSeed) {
  const Scenario scenario = randomScenario(options(7, 6h));
  const std::string timeline = play(scenario, true).timeline;
  EXPECT_EQ(play(randomScenario(options(7, 6h)), true).timeline, timeline) << "the seed played again";
  auto reread = parseScenario(scenarioToJson(scenario), "dump.json");
  ASSERT_TRUE(reread) << reread.error();
  ASSERT_EQ(reread->actions.size(), scenario.actions.size());
  EXPECT_EQ(play(*reread, true).timeline, timeline);
}

TEST(RandomScenarios, CoverEveryKindOfAction) {
  std::set<ActionType> seen;
  std::set<std::string> paneKeys, releases;
  bool rawNotification = false, unlockDuringRepost = false, reversedWindow = false, clockChange = false;
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    const Scenario s = randomScenario(options(seed, 48h));
    releases.insert(s.world.release.substr(0, s.world.release.find('.')));
    if (auto zone = tz::TimeZone::load(s.world.timeZone); zone && s.world.timeZone != "UTC") {
      const host::CalendarDate& d = s.world.start;
      // A local day that is not 24 hours long: the run crosses a change of the clocks.
      const auto day = tz::fromCivil({d.year, d.month, d.day + 1, d.hour, 0, 0}, *zone) -
                       tz::fromCivil({d.year, d.month, d.day, d.hour, 0, 0}, *zone);
      clockChange |= day != std::chrono::hours(24);
    }
    auto number = [&](const char* key) {
      auto it = s.world.settings->find(key);
      return it == s.world.settings->end() ? std::int64_t{-1} : it->second.numberAsInteger().value_or(-1);
    };
    reversedWindow |= number("fromHour") > number("toHour") && number("toHour") > 0;
    for (std::size_t i = 0; i < s.actions.size(); ++i) {
      const Action& a = s.actions[i];
      seen.insert(a.type);
      if (a.type == ActionType::Settings)
        for (const auto& [key, value] : a.values) paneKeys.insert(key);
      rawNotification |= a.type == ActionType::Notification && a.notification.preset.empty();
      if (a.type == ActionType::AutoLock)
        for (std::size_t j = i + 1; j < s.actions.size() && s.actions[j].at - a.at < 3s; ++j)
          unlockDuringRepost |= s.actions[j].type == ActionType::Unlock;
    }
  }
  for (ActionType t : {ActionType::Notification, ActionType::IncomingCall, ActionType::AnswerCall, ActionType::EndCall,
                       ActionType::OpenApp, ActionType::LeaveApp, ActionType::ReadMessages,
                       ActionType::RemoveNotification, ActionType::ActOnNotification, ActionType::Lock,
                       ActionType::Unlock, ActionType::AutoLock, ActionType::QuietMode, ActionType::Settings,
                       ActionType::SettingsFile, ActionType::SetBadge, ActionType::Respring})
    EXPECT_TRUE(seen.count(t)) << actionName(t);
  for (const char* key : {"smsCount", "otherInt", "currentIMSound", "fromMin", "toHour", "otherApplications"})
    EXPECT_TRUE(paneKeys.count(key)) << "the pane never saves " << key;
  EXPECT_EQ(releases, (std::set<std::string>{"7", "8", "9", "10"}));
  EXPECT_TRUE(reversedWindow) << "a start window whose start is after its end";
  EXPECT_TRUE(clockChange) << "a run that crosses a change of the clocks";
  EXPECT_TRUE(rawNotification) << "notifications with raw payloads";
  EXPECT_TRUE(unlockDuringRepost) << "an unlock right after an auto-lock";
}

}  // namespace
}  // namespace qv::sim
