#include <chrono>
#include <filesystem>

#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

class CommandLine : public ScenarioText {};

TEST_F(CommandLine, BadScenariosNameFileAndPlaceAndStopBeforeAnythingRuns) {
  struct Case {
    const char* text;
    const char* expected;  // after "quorvel-sim: <path>: "
  } cases[] = {
      {R"({"run": "10m", "actions": [{"at": "+1m", "do": "lock"}, {"at": "soon", "do": "unlock"}]})",
       "actions[1].at: expected a time like \"07:31\""},
      {R"({"run": "10m", "device": {"kind": "iPod"}})", "device.kind: expected \"iPhone\" or \"iPad\", got \"iPod\""},
      {R"({"run": "10m", "settings": {"showStatus": true}, "actions": [)", "not valid JSON"},
  };  // what each mistake says: ScenarioFormat and ScenarioRefusals
  for (const Case& c : cases) {
    const std::string path = scratch.write("day.json", c.text);
    CommandRun run = runQuorvelSim({path});
    EXPECT_EQ(run.status, 2) << c.text;
    EXPECT_EQ(run.out, "") << "something ran for " << c.text;
    EXPECT_NE(run.err.find("quorvel-sim: " + path + ": " + c.expected), std::string::npos) << run.err;
  }
}

TEST_F(CommandLine, BadCommandLinesAreRefusedWithOneLineThatNamesTheOptionAndPlayNothing) {
  struct Case {
    std::vector<std::string> args;
    const char* message;  // after "quorvel-sim: "
  } cases[] = {
      {{"--jsn"}, "unknown option --jsn (did you mean --json?)"},
      {{"--JSON"}, "unknown option --JSON (did you mean --json?)"},
      {{"--json=yes"}, "--json takes no value"},
      {{"--colour"}, "unknown option --colour"},
      {{"--until"}, "--until needs a value (TIME)"},
      {{"--until", "teatime"}, "--until: expected a time"},
      {{"--seed"}, "--seed needs a value (N)"},
      {{"--seed", "-1"}, "--seed needs a whole number from 0 to 18446744073709551615, got \"-1\""},
      {{"--seed", "18446744073709551616"}, "--seed needs a whole number from 0 to 18446744073709551615"},
      {{"--seed", "7x"}, "--seed needs a whole number"},
      {{"--seed", "1", "--seed", "2"}, "--seed is given more than once"},
      {{"--json", "--json"}, "--json is given more than once"},
      {{"--days", "2"}, "--days does nothing without --random"},
      {{"--random", "--days", "0"}, "--days needs a number of days above 0 and up to 400, got \"0\""},
      {{"--random", "--days", "401"}, "--days needs a number of days above 0 and up to 400"},
      {{"--random", "--days", "inf"}, "--days needs a number of days above 0 and up to 400"},
      {{"--speed", "2"}, "--speed does nothing without --realtime"},
      {{"--realtime", "--speed", "0"}, "--speed needs a number above 0, got \"0\""},
      {{"--realtime", "--speed", "0x10"}, "--speed needs a number above 0"},
      {{"--json", "--verbose"}, "--verbose does nothing with --json"},
      {{"--quiet", "--explain"}, "--explain does nothing with --quiet"},
      {{"--markdown"}, "--markdown does nothing without --list-kinds or --list-settings"},
      {{"--list-apps", "--markdown"}, "--markdown does nothing without --list-kinds or --list-settings"},
      {{"--events", "--json"}, "--json does nothing with --events"},
      {{"--list-kinds", "day.json"}, "a scenario file does nothing with --list-kinds"},
      {{"--version", "--until", "07:00"}, "--until does nothing with --version"},
      {{"--dump-scenario", "--check"}, "--check does nothing with --dump-scenario"},
      {{"--random", "day.json"}, "--random does nothing with a scenario file"},
      {{"--seeds", "3", "--check"}, "--seeds does nothing without --random"},
      {{"--random", "--seeds", "3"}, "--seeds does nothing without --check"},
      {{"--random", "--check", "--seeds", "0"}, "--seeds needs a whole number from 1 to 1000000, got \"0\""},
      {{"--random", "--check", "--seeds", "1000001"}, "--seeds needs a whole number from 1 to 1000000"},
      {{"--random", "--check", "--seeds", "2", "--html", "run.html"}, "--seeds does nothing with --html"},
      {{"--random", "--check", "--seed", "18446744073709551615", "--seeds", "2"},
       "--seeds 2 from --seed 18446744073709551615 goes past the last seed, 18446744073709551615"},
      {{"one.json", "two.json"}, "more than one scenario given (\"two.json\" after \"one.json\")"},
      {{"--seed", "5", "day.json"}, "--seed does nothing without --random: a scenario file plays with its own \"seed\""},
      {{"--random", "--strict"}, "--strict does nothing with --random"},
      {{"--matrix", "--explain", "day.json"}, "--explain does nothing with --matrix"},
      {{"--until", "", "day.json"}, "--until needs a value (TIME), got \"\""},
      {{"--html", ""}, "--html needs a value (FILE), got \"\""},
      {{"--html=", "--json", "day.json"}, "--html needs a value (FILE), got \"\""},
      {{"--html", "-"}, "--html needs the name of the file to write the page to"},
      {{""}, "the scenario file's name is empty"},
      {{"--until", "+20m", sourcePath("examples/ios9-sms.json")},
       "--until: \"+20m\" comes after the end of the run (2026-12-07 08:03:30)"},
      {{"--ios", "9.3", sourcePath("examples/ios9-sms.json")}, "--ios does nothing without --matrix"},
      {{"--matrix", "--quiet", sourcePath("examples/ios9-sms.json")}, "--quiet does nothing with --matrix"},
      {{"--matrix", "--ios", "6.1", sourcePath("examples/ios9-sms.json")}, "--ios: \"6.1\" names no known release"},
  };
  for (const Case& c : cases) {
    CommandRun run = runQuorvelSim(c.args);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.out, "") << c.message;
    EXPECT_EQ(run.err.rfind(std::string("quorvel-sim: ") + c.message, 0), 0u) << run.err;
  }
}

TEST_F(CommandLine, AfterTheEndOfOptionsANameThatStartsWithADashIsAScenario) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(scratch.path());
  scratch.write("-draft.json", R"({"run": "1m"})");
  const CommandRun unmarked = runQuorvelSim({"--quiet", "-draft.json"});
  const CommandRun marked = runQuorvelSim({"--quiet", "--", "-draft.json"});
  const CommandRun second = runQuorvelSim({"day.json", "--", "-draft.json"});
  std::filesystem::current_path(before);
  EXPECT_EQ(unmarked.err.rfind("quorvel-sim: unknown option -draft.json (a scenario file named so goes after --: "
                               "quorvel-sim -- -draft.json)", 0), 0u) << unmarked.err;
  EXPECT_EQ(marked.status, 0) << marked.err;
  EXPECT_EQ(second.err.rfind("quorvel-sim: more than one scenario given (\"-draft.json\" after \"day.json\")", 0), 0u)
      << second.err;
}

TEST_F(CommandLine, MissingDirectoryAndUnreadableScenarioFilesEachSayWhatIsWrong) {
  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {scratch / "nowhere.json", scratch.path() + "/nowhere.json: no such file"},
      {scratch.path(), scratch.path() + ": is a directory, not a scenario file"},
      // Opens, but every read fails (at address 0): the path of a file that cannot be read.
      {"/proc/self/mem", "/proc/self/mem: cannot be read: Input/output error"},
  };
  for (const Case& c : cases) {
    CommandRun run = runQuorvelSim({c.path});
    EXPECT_EQ(run.status, 2) << c.path;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("quorvel-sim: " + c.message + "\n", 0), 0u) << run.err;
  }
  const std::string locked = scratch.write("locked.json", "{}");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  if (::geteuid() == 0) GTEST_SKIP() << "root reads a file without permissions; the denied case needs a user";
  CommandRun denied = runQuorvelSim({locked});
  EXPECT_EQ(denied.err.rfind("quorvel-sim: " + locked + ": cannot be read: Permission denied", 0), 0u) << denied.err;
}

TEST_F(CommandLine, WhereThePageCannotGoIsRefusedBeforeAnythingPlaysAndNoOtherFileIsWrittenOver) {
  const std::string scenario = scratch.write("day.json", R"({"run": "2m"})");
  const std::string earlierPage = scratch.write("earlier.html", "\n<!DOCTYPE html><p>old</p>");
  const std::string empty = scratch.write("empty.html", "");
  struct Case {
    std::string page;
    std::string why;  // empty: written
  } cases[] = {
      {"/nonexistent-folder/r.html", "no folder /nonexistent-folder to write it in"},
      {scratch.path(), "is a directory"},
      {scenario, "exists and is not an HTML page"},  // the page's name forgotten: the scenario came next
      {earlierPage, ""},
      {empty, ""},
      {scratch / "new.html", ""},
  };
  for (const Case& c : cases) {
    CommandRun run = runQuorvelSim({"--json", "--html", c.page, scenario});
    if (c.why.empty()) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(fileText(c.page).rfind("<!DOCTYPE html>", 0), 0u) << c.page;
      continue;
    }
    EXPECT_EQ(run.status, 2) << c.page;
    EXPECT_EQ(run.out, "") << "played before refusing " << c.page;
    EXPECT_EQ(run.err.rfind("quorvel-sim: --html: cannot write " + c.page + ": " + c.why, 0), 0u) << run.err;
  }
  EXPECT_EQ(fileText(scenario), R"({"run": "2m"})");
}

TEST_F(CommandLine, ADashReadsTheScenarioFromStandardInput) {
  const std::string text = R"({"name": "piped", "run": "2m", "actions": [{"at": "+20s", "do": "notification", "event": "sms"}]})";
  CommandRun fromFile = runQuorvelSim({"--explain", scratch.write("piped.json", text)});
  CommandRun piped = runQuorvelSim({"--explain", "-"}, text);
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_TRUE(piped.out == fromFile.out);
  CommandRun broken = runQuorvelSim({"-"}, R"({"run": "2m", "device": {"kind": "iPod"}})");
  EXPECT_EQ(broken.status, 2);
  EXPECT_EQ(broken.err.rfind("quorvel-sim: stdin: device.kind:", 0), 0u) << broken.err;
}

TEST_F(CommandLine, HelpListsEveryOptionWithItsLimitsAndTheExitStatuses) {
  CommandRun help = runQuorvelSim({"--help"});
  ASSERT_EQ(help.status, 0);
  for (const char* text : {"--json", "--explain", "--verbose", "--no-summary", "--until TIME", "--seed N", "0..2^64-1",
                           "--realtime", "--speed X", "above 0", "--print-default", "--random", "--days D",
                           "up to 400", "--check", "--dump-scenario", "--quiet", "--events", "--list-kinds",
                           "--markdown", "--json-schema", "--version", "--list-settings", "--list-apps", "standard input", "Exit status: 0",
                           "\n1 --check found", "\n2 bad usage"})
    EXPECT_NE(help.out.find(text), std::string::npos) << text << " missing from\n" << help.out;
  // --help answers even beside options it would refuse.
  EXPECT_EQ(runQuorvelSim({"--days", "2", "-h"}).out, help.out);
  CommandRun version = runQuorvelSim({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("quorvel-sim ", 0), 0u);
  // The largest seed is a seed.
  EXPECT_EQ(runQuorvelSim({"--random", "--seed", "18446744073709551615", "--dump-scenario"}).status, 0);
}

TEST_F(CommandLine, SameScenarioAndSeedGiveByteIdenticalOutputRunAfterRun) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--explain"}, std::vector<std::string>{"--json", "--explain"},
        std::vector<std::string>{"--random", "--seed", "7", "--days", "0.25", "--explain"}}) {
    CommandRun first = runQuorvelSim(args);
    CommandRun second = runQuorvelSim(args);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_GT(first.out.size(), 1000u);
    EXPECT_TRUE(first.out == second.out) << "output changed between two runs of " << args.front();
  }
}

TEST_F(CommandLine, RealTimePlaysAtTheSpeedAskedAndPrintsTheSame) {
  const std::string path = scratch.write("short.json", R"({"name": "five minutes", "run": "5m", "actions": [
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
