#include <chrono>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

// A scenario file in a fresh temporary folder, removed with the fixture.
class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    char base[] = "/tmp/quorvel-command-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    dir_ = base;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << text;
    return path;
  }

  std::string dir_;
};

TEST_F(CommandLine, BadScenariosNameFileAndPlaceAndStopBeforeAnythingRuns) {
  struct Case {
    const char* text;
    const char* expected;  // after "quorvel-sim: <path>: "
  } cases[] = {
      {R"({"run": "10m", "actions": [{"at": "+1m", "do": "lock"}, {"at": "soon", "do": "unlock"}]})",
       "actions[1].at: expected a time like \"07:31\""},
      {R"({"run": "10m", "actions": [{"at": "+1m", "do": "notification", "event": "pigeon"}]})",
       "actions[0].event: unknown event \"pigeon\""},
      {R"({"run": "10m", "device": {"kind": "iPod"}})", "device.kind: expected \"iPhone\" or \"iPad\", got \"iPod\""},
      {R"({"run": "10m", "settings": {"showStatus": true}, "actions": [)", "not valid JSON"},
      {R"({"actions": []})", "expected \"run\""},
  };
  for (const Case& c : cases) {
    const std::string path = write("day.json", c.text);
    CommandRun run = runQuorvelSim({path});
    EXPECT_EQ(run.status, 2) << c.text;
    EXPECT_EQ(run.out, "") << "something ran for " << c.text;
    EXPECT_NE(run.err.find("quorvel-sim: " + path + ": " + c.expected), std::string::npos) << run.err;
  }
}

TEST_F(CommandLine, MissingFilesAndBadOptionsAreUsageErrors) {
  CommandRun missing = runQuorvelSim({dir_ + "/nowhere.json"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find(dir_ + "/nowhere.json"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "");

  CommandRun unknown = runQuorvelSim({"--colour"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown option --colour"), std::string::npos);

  CommandRun until = runQuorvelSim({"--until", "teatime"});
  EXPECT_EQ(until.status, 2);
  EXPECT_NE(until.err.find("--until: expected a time"), std::string::npos) << until.err;
  EXPECT_EQ(until.out, "");
}

TEST_F(CommandLine, SameScenarioAndSeedGiveByteIdenticalOutputRunAfterRun) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--explain"}, std::vector<std::string>{"--json", "--explain", "--verbose"},
        std::vector<std::string>{"--random", "--seed", "7", "--days", "0.25", "--explain"}}) {
    CommandRun first = runQuorvelSim(args);
    CommandRun second = runQuorvelSim(args);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_GT(first.out.size(), 1000u);
    EXPECT_TRUE(first.out == second.out) << "output changed between two runs of " << args.front();
  }
}

TEST_F(CommandLine, RealTimePlaysAtTheSpeedAskedAndPrintsTheSame) {
  const std::string path = write("short.json", R"({"name": "five minutes", "run": "5m", "actions": [
      {"at": "+20s", "do": "notification", "event": "sms"}, {"at": "+5m", "do": "note", "text": "the end"}]})");
  CommandRun virtualTime = runQuorvelSim({path});
  const auto started = std::chrono::steady_clock::now();
  CommandRun realTime = runQuorvelSim({"--realtime", "--speed", "3000", path});
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(realTime.status, 0) << realTime.err;
  EXPECT_TRUE(realTime.out == virtualTime.out);
  // Five virtual minutes at 3000 times: the last event cannot be played before 100 ms.
  EXPECT_GE(took, 100ms);
}

}  // namespace
}  // namespace qv::sim
