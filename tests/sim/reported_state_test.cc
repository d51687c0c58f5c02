// What the JSON events say about the device and the reminders' runs where the world changes
// under them: a restarted home screen, a run that already ended, a listed app's timer that the
// lists let go of. Each is read back from the timeline as a JSON consumer reads it.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

using nlohmann::json;

class ReportedState : public ScenarioText {
 protected:
  std::vector<json> playJson(const std::string& scenario) {
    const std::string out = ScenarioText::play(scenario, {"--json"});
    std::vector<json> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(json::parse(out.substr(start, end - start)));
    return lines;
  }
  static std::vector<json> ofKind(const std::vector<json>& lines, const std::string& kind) {
    std::vector<json> out;
    for (const json& j : lines)
      if (j["kind"] == kind) out.push_back(j);
    return out;
  }
  // "offset:locked:how" for each lock-state, in order.
  static std::string lockStates(const std::vector<json>& lines) {
    std::string out;
    for (const json& e : ofKind(lines, "lock-state"))
      out += std::to_string(e["offset_ms"].get<int>() / 1000) + ":" + (e["locked"] ? "locked" : "unlocked") + ":" +
             e["how"].get<std::string>() + " ";
    return out;
  }
};

// Fault: a restarted home screen came back locked with no lock-state, so consumers saw the
// phone unlocked until the next unlock.
TEST_F(ReportedState, ARestartOfAnUnlockedHomeScreenRecordsTheLockItComesBackWith) {
  const std::string actions = R"("actions": [{"at": "+1m", "do": "respring"},
                  {"at": "+3m", "do": "lock"}, {"at": "+4m", "do": "unlock"},
                  {"at": "+5m", "do": "respring"}], "run": "6m"})";
  EXPECT_EQ(lockStates(playJson("{" + actions)),
            "60:locked:home screen restarted 240:unlocked:unlocked by the user 300:locked:home screen restarted ");
  EXPECT_EQ(lockStates(playJson(R"({"locked": true, )" + actions)),
            "240:unlocked:unlocked by the user 300:locked:home screen restarted ")
      << "a home screen locked already has no lock to record at its restart";
}

}  // namespace
}  // namespace qv::sim
