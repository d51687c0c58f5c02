// --explain closes every notification's trail with one verdict line: what started, what
// restarted, or why no reminder came of it.

#include <gtest/gtest.h>

#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

class ExplainVerdict : public ScenarioText {
 protected:
  // The verdict lines of the run, in order, without their time stamps.
  std::vector<std::string> verdicts(const std::string& scenario, const std::string& option = "--explain") {
    const std::string out = play(scenario, {option});
    std::vector<std::string> found;
    for (std::size_t at = 0; (at = out.find(" verdict ", at)) != std::string::npos; ++at)
      found.push_back(out.substr(at + 1, out.find('\n', at) - at - 1));
    return found;
  }
};

TEST_F(ExplainVerdict, UnderExplainEveryNotificationEndsWithWhatStartedOrWhyNothingDid) {
  struct Case {
    const char* scenario;
    std::vector<std::string> verdicts;
    const char* option = "--explain";
  } cases[] = {
      {R"({"device": {"ios": "9.3"}, "locked": true, "run": "2m",
           "actions": [{"at": "+20s", "do": "notification", "event": "sms"}]})",
       {"verdict        started SMS"}},
      // On iOS 7 to 9 a WhatsApp reminder starts from the lock-screen list, which an unlocked
      // device never adds the notification to.
      {R"({"device": {"ios": "9.3"}, "settings": {"imSMSWats": true}, "run": "2m",
           "actions": [{"at": "+20s", "do": "notification", "event": "whatsapp-message"}]})",
       {"verdict        no reminder: saved for the lock screen, which it never reaches while the device is unlocked"}},
      {R"({"device": {"ios": "10.3"}, "settings": {"globalSMS": false}, "run": "2m",
           "actions": [{"at": "+20s", "do": "notification", "event": "sms"}]})",
       {"verdict        no reminder: SMS refused: \"globalSMS\" is off"}},
      {R"({"device": {"ios": "10.3"}, "settings": {"fromHour": 9}, "run": "2m",
           "actions": [{"at": "+20s", "do": "notification", "event": "sms"}]})",
       {"verdict        no reminder: SMS refused: quiet hours: start window 09:00–23:59"}},
      {R"({"device": {"ios": "10.3"}, "run": "2m",
           "actions": [{"at": "+5s", "do": "notification", "event": "sms"}]})",
       {"verdict        no reminder: nothing done: intake not ready yet (opens 10 s after launch)"}},
      {R"({"device": {"ios": "10.3"}, "run": "3m", "actions": [{"at": "+20s", "do": "notification", "event": "sms"},
           {"at": "+40s", "do": "notification", "event": "sms"}]})",
       {"verdict        started SMS", "verdict        restarted SMS"}},
      // Only --explain prints verdicts.
      {R"({"run": "2m", "actions": [{"at": "+20s", "do": "notification", "event": "sms"}]})", {}, "--verbose"},
  };
  for (const Case& c : cases) EXPECT_EQ(verdicts(c.scenario, c.option), c.verdicts) << c.scenario;
}

}  // namespace
}  // namespace qv::sim
