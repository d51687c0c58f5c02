// One scenario across releases and devices: the table, its marks and the reasons under it, the
// JSON form, the choice of releases and devices, and worlds played on two threads at once.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/report/matrix.h"
#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

// Differs across releases in three known ways: iOS 7 reads no settings (no SMS limit, no listed
// app), 10.3 restarts the call reminder on the call's end where 10.0-10.2 ignore the call state,
// and an iPad flashes the screen for a listed app where an iPhone blinks the torch.
constexpr const char* kAcrossReleases = R"({
  "name": "Across releases",
  "settings": {"showStatus": true, "smsCount": 2, "otherEnabled": true,
               "otherApplications": ["org.whispersystems.signal"], "torchOther": true},
  "apps": [{"bundleId": "org.whispersystems.signal", "name": "Signal"}],
  "actions": [
    {"at": "+10s", "do": "notification", "event": "sms"},
    {"at": "+20s", "do": "notification", "event": "app-notification", "app": "org.whispersystems.signal"},
    {"at": "+30s", "do": "incoming-call", "from": "Mum"},
    {"at": "+40s", "do": "end-call"}
  ],
  "run": "5m"
})";

class MatrixTable : public ::testing::Test {
 protected:
  ScratchFolder scratch{"qv-matrix"};
  const std::string file_ = scratch.write("across-releases.json", kAcrossReleases);
};

TEST_F(MatrixTable, MarksTheCellsThatDifferAndSaysWhyBelowTheTable) {
  const CommandRun run = runQuorvelSim({"--matrix", "--ios", "7.1,9.3,10.1,10.3", file_});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Across releases\n"
            "\n"
            "release   device  SMS                     call                               Signal\n"
            "iOS 7.1   iPhone  *4 alerts SVB, running   4 alerts SVTB, running            *-\n"
            "iOS 7.1   iPad    *4 alerts SVB, running   4 alerts SVTB, running            *-\n"
            "iOS 9.3   iPhone   2 alerts SVB, limit     4 alerts SVTB, running             4 alerts TB, running\n"
            "iOS 9.3   iPad     2 alerts SVB, limit     4 alerts SVTB, running            *4 alerts FB, running\n"
            "iOS 10.1  iPhone   2 alerts SVB, limit     4 alerts SVTB, running             4 alerts TB, running\n"
            "iOS 10.1  iPad     2 alerts SVB, limit     4 alerts SVTB, running            *4 alerts FB, running\n"
            "iOS 10.3  iPhone   2 alerts SVB, limit    *4 alerts SVTB, 2 starts, running   4 alerts TB, running\n"
            "iOS 10.3  iPad     2 alerts SVB, limit    *4 alerts SVTB, 2 starts, running  *4 alerts FB, running\n"
            "\n"
            "alerts: S sound, V vibration, T torch, F screen flash, B banner, W screen wake, R re-posted to the lock "
            "screen; * differs from the most common cell of its column\n"
            "iOS 7.1 (SMS and Signal): settings not read, defaults used\n"
            "iOS 10.3 (call): the call-state hook restarts the call reminder after the missed call's notification "
            "started it (10.0-10.2 ignore the call state)\n"
            "iOS 9.3, 10.1, 10.3 iPad (Signal): a listed app flashes the screen instead of the torch\n");
}

// An even split once marked the later release whatever the cause, leaving its line unexplained.
TEST_F(MatrixTable, OnATieTheCellsAKnownDifferenceExplainsAreTheOnesMarked) {
  const CommandRun run = runQuorvelSim({"--matrix", "--ios", "7.1,9.3", "--device", "iPhone", file_});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("iOS 7.1  iPhone  *4 alerts SVB, running"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("iOS 9.3  iPhone   2 alerts SVB, limit"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\niOS 7.1 iPhone (SMS and Signal): settings not read, defaults used\n"), std::string::npos)
      << run.out;
}

TEST_F(MatrixTable, EveryReleaseOnBothDevicesByDefault) {
  const CommandRun run = runQuorvelSim({"--matrix", "--json", file_});
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json m = nlohmann::json::parse(run.out);
  EXPECT_EQ(m["kind"], "matrix");
  ASSERT_EQ(m["rows"].size(), 40u);  // 20 releases from 7.0 to 10.3, iPhone and iPad
  EXPECT_EQ(m["rows"][0]["ios"], "7.0");
  EXPECT_EQ(m["rows"][39]["ios"], "10.3");
  EXPECT_EQ(m["rows"][39]["device"], "iPad");
  ASSERT_EQ(m["reminders"].size(), 3u);
  EXPECT_EQ(m["reminders"][0]["category"], "sms");
  const nlohmann::json& ios7Sms = m["rows"][0]["cells"][0];
  EXPECT_TRUE(ios7Sms["differs"]);
  EXPECT_EQ(ios7Sms["ended"], "running");
  EXPECT_EQ(ios7Sms["effects"], nlohmann::json({"sound", "vibration", "banner"}));
  EXPECT_EQ(m["reasons"][0], "iOS 7.x (SMS and Signal): settings not read, defaults used");
  // 10.0 to 10.2.1 ignore the call state: only 10.3 starts the call reminder twice.
  for (const nlohmann::json& row : m["rows"])
    EXPECT_EQ(row["cells"][1]["runs"], row["ios"] == "10.3" ? 2 : 1) << row["ios"];
}

TEST_F(MatrixTable, TheReportCarriesTheTable) {
  const CommandRun run =
      runQuorvelSim({"--matrix", "--ios", "10", "--device", "ipad", "--html", scratch / "report.html", file_});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string html = scratch.read("report.html");
  EXPECT_NE(html.find("<table class=\"matrix\" id=\"matrix\">"), std::string::npos);
  EXPECT_NE(html.find("<th scope=\"row\">iOS 10.2.1</th><td>iPad</td>"), std::string::npos);
  EXPECT_EQ(html.find("<td>iPhone</td>"), std::string::npos);
  EXPECT_NE(html.find("id=\"qv-data\">{"), std::string::npos);  // and the run itself
}

struct TargetCase {
  const char* ios;
  const char* devices;
  std::size_t count;        // targets, or 0 for an error
  const char* firstOrError;  // the first target's label, or the error's start
};

class MatrixTargets : public ::testing::TestWithParam<TargetCase> {};

TEST_P(MatrixTargets, ReleasesAndDevicesAsAskedOrAClearError) {
  const TargetCase& c = GetParam();
  const Result<std::vector<report::MatrixTarget>> targets = report::matrixTargets(c.ios, c.devices);
  if (c.count == 0) {
    ASSERT_FALSE(targets);
    EXPECT_EQ(targets.error().rfind(c.firstOrError, 0), 0u) << targets.error();
    return;
  }
  ASSERT_TRUE(targets) << targets.error();
  EXPECT_EQ(targets->size(), c.count);
  EXPECT_EQ(targets->front().label(), c.firstOrError);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatrixTargets,
    ::testing::Values(TargetCase{"", "", 40, "iOS 7.0 iPhone"}, TargetCase{"7", "", 12, "iOS 7.0 iPhone"},
                      TargetCase{"10.2", "iPad", 1, "iOS 10.2 iPad"},  // not 10.2.1
                      TargetCase{"9.0-10.1", "IPHONE", 6, "iOS 9.0 iPhone"},
                      TargetCase{"10.3,7.0", "iphone,ipad", 4, "iOS 7.0 iPhone"},
                      TargetCase{"11", "", 0, "--ios: \"11\" names no known release"},
                      TargetCase{"10.3-9.0", "", 0, "--ios: \"10.3-9.0\" runs backwards: write the earlier release first (\"9.0-10.3\")"},
                      TargetCase{"", "iPod", 0, "--device: \"ipod\" is no device"}));

// Worlds built and played on two threads at once give what one thread gives (ThreadSanitizer
// runs this in the tsan stage).
TEST(MatrixConcurrency, WorldsPlayedOnTwoThreadsGiveWhatOneThreadGives) {
  Result<Scenario> scenario = parseScenario(kAcrossReleases, "across-releases.json");
  ASSERT_TRUE(scenario) << scenario.error();
  const auto targets = report::matrixTargets("8.4,9.3,10.1,10.3", "");
  ASSERT_TRUE(targets);
  const std::string one = report::matrixJson(report::playMatrix(*scenario, *targets, 1));
  const std::string two = report::matrixJson(report::playMatrix(*scenario, *targets, 2));
  EXPECT_EQ(one, two);
  EXPECT_NE(one.find("\"ios\":\"10.3\""), std::string::npos);
}

}  // namespace
}  // namespace qv::sim
