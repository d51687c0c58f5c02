// Everything in a scenario besides its settings is checked: a time, a language or a limit the
// simulator cannot take as written is an error; an action most likely not meant as written is a
// warning saying what happens instead; a local time the clocks skip or repeat is noted.
#include "sim/scenario_check.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

struct Refusal {
  const char* scenario;
  const char* error;  // the whole message
};

class ScenarioRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(ScenarioRefusals, NameThePlaceAndWhatIsWrong) {
  auto s = parseScenario(GetParam().scenario, "s.json");
  ASSERT_FALSE(s) << GetParam().scenario;
  EXPECT_EQ(s.error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ScenarioRefusals,
    ::testing::Values(
        Refusal{R"({"run": "1h", "device": {"language": "xx"}})",
                R"(s.json: device.language: unknown language "xx" (known: en, de, fr, es, it, nl, pt, ja))"},
        Refusal{R"({"run": "1h", "device": {"language": "english"}})",
                R"(s.json: device.language: unknown language "english" (known: en, de, fr, es, it, nl, pt, ja))"},
        Refusal{R"({"run": "12h", "actions": [{"at": "09:31pm", "do": "lock"}]})",
                R"(s.json: actions[0].at: "09:31pm" has "pm" after the time: times are on the 24-hour clock ("21:31", not "09:31pm"))"},
        Refusal{R"({"run": "12h", "actions": [{"at": "09:31 foo", "do": "lock"}]})",
                R"(s.json: actions[0].at: "09:31 foo" has " foo" after the time: write the time alone)"},
        Refusal{R"({"run": "12h", "actions": [{"at": "2026-12-07T09:31:00Z", "do": "lock"}]})",
                R"(s.json: actions[0].at: "2026-12-07T09:31:00Z" has "Z" after the time: a time is local to the scenario's "timeZone" and takes no zone or offset of its own)"},
        Refusal{R"({"run": "12h", "actions": [{"at": "07:31:15.5", "do": "lock"}]})",
                R"(s.json: actions[0].at: "07:31:15.5" has ".5" after the time: a time takes whole seconds ("07:31:15"); for parts of a second use an offset ("+90.5s"))"},
        Refusal{R"({"run": "1h", "device": {"language": "de_"}})",
                R"(s.json: device.language: "de_" is no language tag: expected a code (en, de, fr, es, it, nl, pt, ja) alone or with a region ("de-AT", "pt_BR") or a script ("zh-Hans"))"},
        Refusal{R"({"run": "1h", "device": {"language": "de-xyz-foo"}})",
                R"(s.json: device.language: "de-xyz-foo" is no language tag: expected a code (en, de, fr, es, it, nl, pt, ja) alone or with a region ("de-AT", "pt_BR") or a script ("zh-Hans"))"},
        // A label must have arrived by the time an action names it.
        Refusal{R"({"run": "1h", "actions": [{"at": "+1m", "do": "notification", "event": "sms", "label": "a"},
                    {"at": "+2m", "do": "remove-notification", "notification": "nope"}]})",
                R"(s.json: actions[1].notification: "nope" is the label of no notification (labels: "a"))"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+2m", "do": "notification", "event": "sms", "label": "a"},
                    {"at": "+1m", "do": "act-on-notification", "notification": "a"}]})",
                R"(s.json: actions[1].notification: "a" labels actions[0], which arrives only after this action ("+2m", this "+1m"))"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+0:05", "do": "lock"}]})",
                R"(s.json: actions[0].at: "+0:05" could be hours:minutes or minutes:seconds: write "+H:MM:SS" ("+0:05:00" is five minutes) or a unit ("+5m", "+5s"))"},
        Refusal{R"({"run": "+0:05"})",
                R"(s.json: run: "+0:05" could be hours:minutes or minutes:seconds: write "+H:MM:SS" ("+0:05:00" is five minutes) or a unit ("+5m", "+5s"))"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+1.5.5m", "do": "lock"}]})",
                R"(s.json: actions[0].at: expected a duration after "+" such as "90s", "5m", "1h30m" or "0:05:00", got "+1.5.5m")"},
        // Nothing a scenario says is dropped in silence, and nothing wraps.
        Refusal{R"({"run": "10m", "run": "20m"})", R"(s.json: "run" is given twice; give each key once)"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+1m", "do": "settings", "set": {"smsInt": 3, "smsInt": 4}}]})",
                R"(s.json: actions[0].set: "smsInt" is given twice; give each key once)"},
        Refusal{R"({"run": "1h", "seed": -1})",
                R"(s.json: seed: expected a whole number from 0 to 18446744073709551615, got -1)"},
        Refusal{R"({"run": "1h", "apps": [{"bundleId": "a.b", "badge": 9223372036854775808}]})",
                R"(s.json: apps[0].badge: expected a whole number from 0 up to 9223372036854775807, got 9223372036854775808)"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+1m", "do": "set-badge", "app": "a.b", "value": -1}]})",
                R"(s.json: actions[0].value: expected a whole number from 0 up to 9223372036854775807, got -1)"},
        Refusal{R"({"run": "1h", "apps": [{"bundleId": "a.b"}, {"bundleId": "a.b"}]})",
                R"(s.json: apps[1].bundleId: "a.b" is declared already, at apps[0])"},
        Refusal{R"({"run": "1h", "apps": [{"bundleId": "com.apple.MobileSMS", "badge": 3}]})",
                R"(s.json: apps[0].bundleId: "com.apple.MobileSMS" is an app of the device (quorvel-sim --list-apps): declare only other apps; set its badge with a "set-badge" action)"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+1m", "do": "settings", "set": {"smsInt": 3}, "remove": ["smsInt"]}]})",
                R"(s.json: actions[0].remove: "smsInt" is both set and removed; give it in one of them)"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+1m", "do": "settings-file", "set": {}}]})",
                R"(s.json: actions[0]: nothing to do: expected keys in "set" or "remove")"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+1m", "do": "notification", "event": "sms", "label": ""}]})",
                R"(s.json: actions[0].label: expected a name for later actions, got "")"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+1m", "do": "tap-banner", "notification": "a"}]})",
                R"(s.json: actions[0]: unknown key "notification"; expected one of: at, do)"},
        Refusal{R"({"run": "1h", "$schema": 5})", R"(s.json: $schema: expected a string, got 5)"},
        Refusal{R"({"run": "1h", "actions": [{"at": "+1m", "do": "settings", "set": {"x": {"a": null}}}]})",
                R"(s.json: actions[0].set.x.a: null removes a whole key only ("key": null directly in "set"); inside a value it has no property-list form)"},
        Refusal{R"({"run": "1h", "settings": {"otherApplications": ["a", null]}})",
                R"(s.json: settings.otherApplications[1]: null has no property-list form; leave the key or element out)"},
        Refusal{R"({"start": "2026-02-30T08:00", "run": "1h"})",
                R"(s.json: start: expected a local date and time like "2026-12-07T07:30:00" in the years 1970 to 2200, got "2026-02-30T08:00")"},
        Refusal{R"({"start": "2026-12-07T08:00:00+01:00", "run": "1h"})",
                R"(s.json: start: expected a local date and time like "2026-12-07T07:30:00" in the years 1970 to 2200, got "2026-12-07T08:00:00+01:00")"},
        Refusal{R"({"run": "401d"})",
                R"(s.json: run: expected a duration such as "2h" or "90m", or a time such as "12:00", got "401d")"}));

TEST(ScenarioCheckInputs, WellFormedTimesLanguagesAndLimitsAreTaken) {
  auto s = parseScenario(R"({"device": {"language": "pt_BR"}, "run": "400d", "actions": [
      {"at": "+0:05:00", "do": "lock"}, {"at": "8:10", "do": "unlock"}, {"at": "2026-12-07 08:20", "do": "lock"}]})",
                         "s.json");
  ASSERT_TRUE(s) << s.error();
  EXPECT_EQ(s->actions[0].at, 5min);
  EXPECT_EQ(s->actions[1].at, 10min);
  EXPECT_EQ(s->actions[2].at, 20min);
  EXPECT_EQ(s->duration, std::chrono::hours(24 * kLongestRunDays));
  EXPECT_EQ(s->warnings.size(), 0u);
}

// The languages a scenario may name are the package's localisations, no more and no fewer.
TEST(ScenarioCheckInputs, KnownLanguagesAreThePackagesLocalisations) {
  std::vector<std::string> folders, known;
  for (const auto& entry : std::filesystem::directory_iterator(sourcePath("package/Localizations")))
    folders.push_back(entry.path().stem().string());
  for (std::string_view l : knownLanguages()) known.emplace_back(l);
  std::sort(folders.begin(), folders.end());
  std::sort(known.begin(), known.end());
  EXPECT_EQ(known, folders);
}

struct Warned {
  const char* actions;
  const char* warning;  // after "s.json: "; "" for none
};

class ActionWarnings : public ::testing::TestWithParam<Warned> {};

TEST_P(ActionWarnings, SayWhatHappensInstead) {
  auto s = parseScenario(R"({"run": "1h", "apps": [{"bundleId": "com.example.Chat", "name": "Chat"}], "actions": )" +
                             std::string(GetParam().actions) + "}",
                         "s.json");
  ASSERT_TRUE(s) << s.error();
  EXPECT_EQ(joinedLines(s->warnings), *GetParam().warning ? std::string("s.json: ") + GetParam().warning + "\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ActionWarnings,
    ::testing::Values(
        Warned{R"([{"at": "+5m", "do": "lock"}, {"at": "+2m", "do": "unlock"}])",
               R"(actions[1].at: "+2m" comes before actions[0] ("+5m"): the actions play in time order, this one first)"},
        Warned{R"([{"at": "+1m", "do": "open-app", "app": "net.whatsap.WhatsApp"}])",
               R"(actions[0].app: "net.whatsap.WhatsApp" is no app of the scenario ("apps") or the device: it plays as an app of its own; did you mean net.whatsapp.WhatsApp?)"},
        Warned{R"([{"at": "+1m", "do": "set-badge", "app": "com.example.Chatt", "value": 2}])",
               R"(actions[0].app: "com.example.Chatt" is no app of the scenario ("apps") or the device: it plays as an app of its own; did you mean com.example.Chat?)"},
        Warned{R"([{"at": "+1m", "do": "notification", "event": "app-notification", "app": "org.nowhere.Quiz"}])",
               R"(actions[0].app: "org.nowhere.Quiz" is no app of the scenario ("apps") or the device: it plays as an app of its own)"},
        Warned{R"([{"at": "+1m", "do": "notification", "event": "sms", "label": "a"},
                   {"at": "+2m", "do": "notification", "event": "mail", "label": "a"}])",
               R"(actions[1].label: "a" already names actions[0]: from here on it names this notification)"},
        Warned{R"([{"at": "+1m", "do": "read-messages", "count": -2}])",
               R"(actions[0].count: -2 is below zero: the user reads all new messages, as without "count")"},
        // A listed app no notification can come from: a misspelt identifier, most likely.
        Warned{R"([{"at": "+1m", "do": "settings", "set": {"otherApplications": ["com.example.Chat", "com.atebits.Tweetie"]}}])",
               R"(actions[0].set.otherApplications[1]: "com.atebits.Tweetie" is no app of the scenario ("apps") or the device and no action names it: no notification of it can arrive; did you mean com.atebits.Tweetie2?)"},
        // As meant: no warning (an app of its own that an action names is warned of there).
        Warned{R"([{"at": "+1m", "do": "settings", "set": {"otherApplications": ["com.example.Chat", "net.whatsapp.WhatsApp"]}}])", ""},
        Warned{R"([{"at": "+1m", "do": "notification", "event": "app-notification", "app": "com.example.Chat"},
                   {"at": "+1m", "do": "open-app", "app": "com.apple.mobilecal"}, {"at": "+2m", "do": "read-messages"},
                   {"at": "+3m", "do": "leave-app", "app": "com.apple.mobilecal"}])",
               ""}));

// Local times where the clocks change (Europe/Berlin, 2026: forward on 29 March, back on 25 October).
TEST(ClockChangeNotes, ASkippedTimeIsNotedWithHowItWasTakenJustBeforeItsActionInTextAndJson) {
  const ScratchFolder scratch("quorvel-clock");
  const std::string path = scratch.write("day.json", R"({"timeZone": "Europe/Berlin", "start": "2026-03-29T01:00:00",
      "run": "04:00", "actions": [{"at": "02:10", "do": "lock"}, {"at": "03:10", "do": "unlock"}]})");
  auto spring = loadScenarioFile(path);
  ASSERT_TRUE(spring) << spring.error();
  ASSERT_EQ(spring->clockNotes.size(), 1u);
  EXPECT_EQ(spring->clockNotes[0].place, "actions[0].at");
  EXPECT_EQ(spring->clockNotes[0].text, "02:10 does not exist on 2026-03-29: taken as 03:10");
  EXPECT_EQ(spring->clockNotes[0].at, 70min);
  EXPECT_EQ(spring->actions[0].at, spring->actions[1].at);

  const CommandRun text = runQuorvelSim({path});
  const CommandRun json = runQuorvelSim({"--json", path});
  EXPECT_EQ(text.err, "");
  const auto note = text.out.find("02:10 does not exist on 2026-03-29: taken as 03:10");
  ASSERT_NE(note, std::string::npos) << text.out;
  EXPECT_LT(note, text.out.find("presses the lock button"));
  EXPECT_NE(json.out.find(R"("kind":"action","do":"note","text":"02:10 does not exist on 2026-03-29: taken as 03:10","place":"actions[0].at"})"),
            std::string::npos)
      << json.out;
}

// Guards a fixed fault: the note came before every action at that moment, above one whose own
// time was never moved.
TEST(ClockChangeNotes, ANoteSitsJustAboveItsOwnActionNotAnotherAtTheSameMoment) {
  const ScratchFolder scratch("quorvel-clock");
  const std::string path = scratch.write("day.json", R"({"timeZone": "Europe/Berlin", "start": "2026-03-29T01:00:00",
      "run": "04:00", "actions": [{"at": "03:10", "do": "lock"}, {"at": "02:10", "do": "unlock"}]})");
  const CommandRun text = runQuorvelSim({path});
  const auto locks = text.out.find("presses the lock button");
  const auto note = text.out.find("02:10 does not exist on 2026-03-29: taken as 03:10");
  ASSERT_NE(note, std::string::npos) << text.out;
  EXPECT_LT(locks, note) << text.out;
  EXPECT_LT(note, text.out.find("unlocks the device")) << text.out;
}

// Guards a fixed fault: "--until 02:20" on this day ended the run at 03:20 with no word of it.
TEST(ClockChangeNotes, AnUntilTheClocksSkipIsNotedAfterTheActionsOfItsMoment) {
  const ScratchFolder scratch("quorvel-clock");
  const std::string path = scratch.write("day.json", R"({"timeZone": "Europe/Berlin", "start": "2026-03-29T01:00:00",
      "run": "04:00", "actions": [{"at": "03:20", "do": "lock"}]})");
  const CommandRun text = runQuorvelSim({"--until", "02:20", path});
  const CommandRun json = runQuorvelSim({"--json", "--until", "02:20", path});
  const auto note = text.out.find("02:20 does not exist on 2026-03-29: taken as 03:20");
  ASSERT_NE(note, std::string::npos) << text.out;
  EXPECT_LT(text.out.find("presses the lock button"), note) << text.out;
  EXPECT_NE(json.out.find(R"("text":"02:20 does not exist on 2026-03-29: taken as 03:20","place":"--until"})"),
            std::string::npos)
      << json.out;
}

TEST(ClockChangeNotes, ARepeatedTimeIsNotedWithHowItWasTaken) {
  auto autumn = parseScenario(R"({"timeZone": "Europe/Berlin", "start": "2026-10-25T02:30:00", "run": "2026-10-25T02:45",
      "actions": []})",
                              "s.json");
  ASSERT_TRUE(autumn) << autumn.error();
  ASSERT_EQ(autumn->clockNotes.size(), 2u);
  EXPECT_EQ(autumn->clockNotes[0].place, "start");
  EXPECT_EQ(autumn->clockNotes[0].text, "02:30 happens twice on 2026-10-25, as the clocks go back: taken as the first");
  EXPECT_EQ(autumn->clockNotes[1].place, "run");
  EXPECT_EQ(autumn->duration, 15min);
}

}  // namespace
}  // namespace qv::sim
