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
      // Guards a fault: on a locked iOS 9 device the lock-screen add rules, which have no SMS or
      // Telegram block, had the last word, and the verdict read "no app block matches".
      {R"({"device": {"ios": "9.3"}, "locked": true, "settings": {"fromHour": 9}, "run": "2m",
           "actions": [{"at": "+30s", "do": "notification", "event": "sms"}]})",
       {"verdict        no reminder: SMS refused: quiet hours: start window 09:00–23:59"}},
      {R"({"device": {"ios": "9.3"}, "locked": true, "run": "2m",
           "actions": [{"at": "+30s", "do": "notification", "event": "telegram-message"}]})",
       {"verdict        no reminder: message refused: \"imSMSTeleg\" is off"}},
      // Only --explain prints verdicts.
      {R"({"run": "2m", "actions": [{"at": "+20s", "do": "notification", "event": "sms"}]})", {}, "--verbose"},
  };
  for (const Case& c : cases) EXPECT_EQ(verdicts(c.scenario, c.option), c.verdicts) << c.scenario;
}

// A call that ends unanswered brings the missed-call notification: its trail ends with a verdict
// (the call state decides on iOS 7 to 9, the request rules on iOS 10), and the call state names
// the switch that kept it out.
TEST_F(ExplainVerdict, AMissedCallEndsWithAVerdictThatNamesWhatDecided) {
  struct Case {
    const char* ios;
    const char* settings;
    std::vector<std::string> verdicts;
    const char* callState = nullptr;
  } cases[] = {
      {"9.3", "{}", {"verdict        starts call in 1 s, from call state"}},
      {"10.3", "{}", {"verdict        started call; call state restarts it in 1 s"}},
      {"10.1", "{}", {"verdict        started call"}, "call state ignored on iOS 10.0 to 10.2"},
      {"9.3", R"({"globalCall": false})", {"verdict        no reminder: call state ignored: \"globalCall\" is off"},
       "call state ignored: \"globalCall\" is off"},
      {"9.3", R"({"fromHour": 9})",
       {"verdict        no reminder: unanswered call refused: quiet hours: start window 09:00–23:59"}},
      {"10.3", R"({"globalCall": false})", {"verdict        no reminder: call refused: \"globalCall\" is off"}},
      {"9.3", R"({"globalEnabled": false, "globalCall": false})",
       {"verdict        no reminder: nothing done: global switch off"},
       "call state ignored: \"globalEnabled\" and \"globalCall\" are off"},
      {"10.3", R"({"globalEnabled": false})", {"verdict        no reminder: nothing done: global switch off"},
       "call state ignored: \"globalEnabled\" is off"},
  };
  for (const Case& c : cases) {
    // An answered call that ends is no missed call and has no verdict.
    const std::string scenario = std::string(R"({"device": {"ios": ")") + c.ios + R"("}, "settings": )" +
                                 c.settings + R"(, "run": "2m", "actions": [
        {"at": "+20s", "do": "incoming-call", "from": "Mum"}, {"at": "+30s", "do": "end-call"},
        {"at": "+40s", "do": "incoming-call", "from": "Ben"}, {"at": "+45s", "do": "answer-call"},
        {"at": "+50s", "do": "end-call"}]})";
    EXPECT_EQ(verdicts(scenario), c.verdicts) << scenario;
    if (c.callState) {
      EXPECT_NE(play(scenario, {"--explain"}).find(c.callState), std::string::npos) << scenario;
    }
  }
}

}  // namespace
}  // namespace qv::sim
