// Every scenario in examples/ plays exactly to the timeline kept beside it
// (NAME.expected.txt, the text form with --explain; scripts/update-examples.sh rewrites them).
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

namespace fs = std::filesystem;

// The first line where two texts part, for a message a tester can act on.
std::string firstDifference(const std::string& expected, const std::string& actual) {
  std::istringstream e(expected), a(actual);
  std::string le, la;
  for (int line = 1;; ++line) {
    const bool moreE = static_cast<bool>(std::getline(e, le));
    const bool moreA = static_cast<bool>(std::getline(a, la));
    if (!moreE && !moreA) return "texts differ only in their last newline";
    if (le != la || moreE != moreA)
      return "line " + std::to_string(line) + "\n  expected: " + (moreE ? le : "(end)") +
             "\n  actual:   " + (moreA ? la : "(end)");
  }
}

std::vector<fs::path> exampleScenarios() {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(sourcePath("examples")))
    if (entry.path().extension() == ".json") found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

fs::path expectedFor(const fs::path& scenario) {
  fs::path expected = scenario;
  expected.replace_extension(".expected.txt");
  return expected;
}

// One test per example, so every scenario that differs reports itself.
class Example : public ::testing::TestWithParam<fs::path> {};

TEST_P(Example, PlaysToItsExpectedTimeline) {
  const fs::path& scenario = GetParam();
  ASSERT_TRUE(fs::exists(expectedFor(scenario))) << "no expected timeline; run scripts/update-examples.sh";
  CommandRun run = runQuorvelSim({"--explain", scenario.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "") << "an example plays with no warning";
  const std::string expected = fileText(expectedFor(scenario).string());
  EXPECT_TRUE(run.out == expected) << firstDifference(expected, run.out);
}

INSTANTIATE_TEST_SUITE_P(Examples, Example, ::testing::ValuesIn(exampleScenarios()), [](const auto& info) {
  std::string name = info.param.stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

// --dump-scenario once left out labels, messages, the description and more, so a dump played
// otherwise than its scenario. One test over every example: the dump must play alike.
TEST(Examples, PlayAlikeWhenDumpedAndReadBack) {
  const ScratchFolder scratch("quorvel-dump");
  // The dump names a settings file by its absolute path, so it plays from any folder; the heading
  // then shows that path where the example shows its name.
  const std::string folder = sourcePath("examples/");
  for (const fs::path& scenario : exampleScenarios()) {
    const CommandRun dump = runQuorvelSim({"--dump-scenario", scenario.string()});
    ASSERT_EQ(dump.status, 0) << scenario << dump.err;
    const CommandRun played = runQuorvelSim({"--explain", scratch.write("dump.json", dump.out)});
    ASSERT_EQ(played.status, 0) << scenario << played.err;
    std::string out = played.out;
    for (std::size_t at; (at = out.find(folder)) != std::string::npos;) out.erase(at, folder.size());
    const std::string expected = runQuorvelSim({"--explain", scenario.string()}).out;
    EXPECT_TRUE(out == expected) << scenario << ": " << firstDifference(expected, out);
  }
}

// A --quiet run hears only the kinds the summary reads; a kind it reads but does not name there
// would sum up otherwise than under the full timeline.
TEST(Examples, SumUpWithQuietAsUnderTheirTimelines) {
  auto summaryOf = [](const std::string& text) {
    const std::size_t at = text.rfind("\nSummary\n");
    return at == std::string::npos ? std::string() : text.substr(at);
  };
  for (const fs::path& scenario : exampleScenarios()) {
    const CommandRun quiet = runQuorvelSim({"--quiet", scenario.string()});
    ASSERT_EQ(quiet.status, 0) << scenario << quiet.err;
    const std::string expected = summaryOf(fileText(expectedFor(scenario).string()));
    ASSERT_FALSE(expected.empty()) << scenario;
    EXPECT_EQ(summaryOf(quiet.out), expected) << scenario;
  }
}

// A glob that found nothing would pass every example by having none.
TEST(Examples, AreFound) { EXPECT_GE(exampleScenarios().size(), 26u); }

TEST(Examples, EveryExpectedTimelineHasItsScenarioAndEveryScenarioANameAndAStory) {
  for (const auto& entry : fs::directory_iterator(sourcePath("examples"))) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".expected.txt")) {
      fs::path scenario = entry.path();
      scenario.replace_extension().replace_extension(".json");
      EXPECT_TRUE(fs::exists(scenario)) << name;
    } else if (entry.path().extension() == ".json") {
      // Without a name the heading would print the path, which differs between callers.
      const std::string text = fileText(entry.path().string());
      EXPECT_NE(text.find("\"name\""), std::string::npos) << name;
      EXPECT_NE(text.find("\"description\""), std::string::npos) << name;
      EXPECT_NE(fileText(sourcePath("examples/README.md")).find("`" + name + "`"), std::string::npos)
          << name << " is not listed in examples/README.md";
    }
  }
}

}  // namespace
}  // namespace qv::sim
