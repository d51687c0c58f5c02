// Settings a scenario gives are checked against the settings-key table: an unknown key or a value
// the library reads otherwise than written is a warning saying what it reads; nothing changes.
#include "sim/settings_check.h"

#include <gtest/gtest.h>

#include "sim/scenario.h"
#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

// The warnings of a scenario that plays for an hour with these settings and actions.
std::string warningsOf(const std::string& settings, const std::string& actions = "[]") {
  auto s = parseScenario(R"({"run": "1h", "settings": )" + settings + R"(, "actions": )" + actions + "}", "day.json");
  if (!s) return "error: " + s.error();
  return joinedLines(s->warnings);
}

struct Case {
  const char* settings;
  const char* warning;  // after "day.json: settings."; "" for none
};

class SettingsCheck : public ::testing::TestWithParam<Case> {};

TEST_P(SettingsCheck, WarnsOfWhatTheLibraryReadsInsteadOfWhatIsWritten) {
  const Case& c = GetParam();
  EXPECT_EQ(warningsOf(c.settings), *c.warning ? std::string("day.json: settings.") + c.warning + "\n" : "")
      << c.settings;
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsCheck,
    ::testing::Values(
        Case{R"({"showStatuss": true})", "showStatuss: no such setting; did you mean showStatus?"},
        Case{R"({"showbanner": true})", "showbanner: no such setting; did you mean showBanner?"},
        Case{R"({"volume": 3})", "volume: no such setting: the library never reads it"},
        Case{R"({"smsCount": "three"})",
             R"(smsCount: "three" is not a number: the library reads the default (no limit))"},
        Case{R"({"smsCount": 0})", "smsCount: 0 is taken as unset: the library reads the default (no limit)"},
        Case{R"({"phCount": -1})", "phCount: -1 is below zero: the reminder alerts once, as with 1"},
        Case{R"({"mailCount": true})", "mailCount: true is not a number: the library reads 1"},
        Case{R"({"imInt": 2.5})", "imInt: 2.5 is not a whole number: the library reads 2"},
        Case{R"({"smsInt": -5})",
             "smsInt: -5 is not a positive number of seconds: the library reads the default (60 s)"},
        Case{R"({"otherInt": [30]})", "otherInt: [30] is not a number: the library reads the default (60 s)"},
        // Beyond the signed range: quoted as written, with what the library makes of it.
        Case{R"({"smsInt": 9223372036854775808})",
             "smsInt: 9223372036854775808 (above 9223372036854775807: read as -9223372036854775808) is not a positive "
             "number of seconds: the library reads the default (60 s)"},
        Case{R"({"imInt": 1e20})", "imInt: 1e+20 is beyond the whole numbers the library reads: it reads the default (60 s)"},
        Case{R"({"fromHour": 25})", "fromHour: 25 is not an hour (0 to 23): the library reads the default (0)"},
        Case{R"({"toHour": 0})", "toHour: 0 is taken as unset: the library reads the default (23)"},
        Case{R"({"toMin": 75})", "toMin: 75 is not a minute (0 to 59): the library reads the default (59)"},
        // Flags stored as strings are read through boolValue: the warning says which boolean.
        Case{R"({"showStatus": "on"})", R"(showStatus: "on" is a string: the library reads its boolean, off)"},
        Case{R"({"globalSMS": "maybe"})", R"(globalSMS: "maybe" is a string: the library reads its boolean, off)"},
        Case{R"({"torchSmS": "+007"})", R"(torchSmS: "+007" is a string: the library reads its boolean, on)"},
        Case{R"({"globalSMS": ["NO"]})", R"(globalSMS: ["NO"] has no boolean: the library reads the default (on))"},
        Case{R"({"showBanner": {"a": 1}})", "showBanner: a dictionary has no boolean: the library reads the default (on)"},
        Case{R"({"currentSMSSound": "Bel.caf"})",
             R"(currentSMSSound: "Bel.caf" is no sound in the Sounds folder: no sound plays; did you mean Bell.caf?)"},
        Case{R"({"currentCallSound": "../Sounds/Bell.caf"})",
             R"(currentCallSound: "../Sounds/Bell.caf" is no file name in the Sounds folder: no sound plays)"},
        Case{R"({"currentIMSound": 3})", R"(currentIMSound: 3 is not a string: the library reads the default ("SMS 3.caf"))"},
        Case{R"({"otherApplications": "com.example.Chat"})",
             R"(otherApplications: "com.example.Chat" is not a list: the library reads an empty list)"},
        Case{R"({"otherApplications": ["com.atebits.Tweetie2", 4]})",
             "otherApplications[1]: 4 is not a bundle identifier (a string): the library skips it"},
        // Hours that close the window before it opens: no reminder may ever start.
        Case{R"({"fromHour": 22, "toHour": 7})",
             "toHour: the start window 22:00\u201307:59 closes before it opens (it does not run past midnight): no "
             "reminder may start"},
        Case{R"({"fromHour": 8, "fromMin": 30, "toHour": 8, "toMin": 30})",
             "toHour: the start window 08:30\u201308:30 opens and closes at once: no reminder may start"},
        Case{R"({"fromHour": 8, "toHour": 8})", ""},  // 08:00 to 08:59
        // Read as written: no warning.
        Case{R"({"showStatus": "YES", "globalSMS": " no ", "globalMail": 1, "vibeIm": "0", "torchIm": false, "unIM": "off"})", ""},
        Case{R"({"fromHour": 0, "toHour": 23, "fromMin": 30, "smsInt": 30, "smsCount": 3, "imInt": 30.0})", ""},
        Case{R"({"currentSMSSound": "Tri-tone.caf", "otherApplications": [], "firstRun": "anything"})", ""}));

TEST(SettingsCheckPlaces, ActionsNameTheirPlaceAndRemovedKeysAreCheckedToo) {
  EXPECT_EQ(warningsOf("{}", R"([
      {"at": "+1m", "do": "settings", "set": {"smsCont": 3, "showStatuss": null}, "remove": ["globalSMS", "globlSMS"]},
      {"at": "+2m", "do": "settings-file", "set": {"fromHour": -1}}])"),
            "day.json: actions[0].set.smsCont: no such setting; did you mean smsCount?\n"
            "day.json: actions[0].set: \"showStatuss\": no such setting; did you mean showStatus?\n"
            "day.json: actions[0].remove: \"globlSMS\": no such setting; did you mean globalSMS?\n"
            "day.json: actions[1].set.fromHour: -1 is not an hour (0 to 23): the library reads the default (0)\n");
}

// A property-list file in a fresh folder, as a tester copies one from a phone.
class SettingsFileCheck : public ScenarioText {};

TEST_F(SettingsFileCheck, WarningsNameTheFileAndTheKey) {
  writePlist("phone.plist", {{"showStatuss", pl::Value(true)}, {"smsInt", pl::Value("30")}}, pl::Format::Binary);
  writePlist("later.plist", {{"toHour", pl::Value(std::int64_t{24})}}, pl::Format::Xml);
  auto s = parseScenario(R"({"run": "1h", "settings": "phone.plist",
      "actions": [{"at": "+1m", "do": "settings-file", "file": "later.plist"}]})",
                         scratch / "day.json");
  ASSERT_TRUE(s) << s.error();
  EXPECT_EQ(joinedLines(s->warnings),
            scratch.path() + "/phone.plist: showStatuss: no such setting; did you mean showStatus?\n" + scratch.path() +
                "/phone.plist: smsInt: \"30\" is not a number: the library reads the default (60 s)\n" +
                scratch.path() +
                "/later.plist: toHour: 24 is not an hour (0 to 23): the library reads the default (23)\n");
}

// Guards a fixed fault: a settings file that gave a key twice played the last value in silence.
TEST_F(SettingsFileCheck, AKeyTheFileGivesTwiceIsWarnedOfWithTheValueRead) {
  scratch.write("twice.plist",
                "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>smsCount</key>"
                "<integer>2</integer><key>smsCount</key><integer>5</integer></dict></plist>");
  auto s = parseScenario(R"({"run": "1h", "settings": "twice.plist"})", scratch / "day.json");
  ASSERT_TRUE(s) << s.error();
  EXPECT_EQ(joinedLines(s->warnings),
            scratch.path() + "/twice.plist: smsCount: given more than once: only the last, 5, is read\n");
}

// A warning never changes the run: the device reads the same file the same way.
TEST_F(SettingsFileCheck, WarnedValuesPlayAsTheLibraryReadsThem) {
  auto play = [&](const std::string& settings) {
    const std::string path = scratch.write("day.json", R"({"run": "6m", "settings": )" + settings + R"(,
        "actions": [{"at": "+20s", "do": "notification", "event": "sms"}]})");
    return runQuorvelSim({"--json", path});
  };
  const CommandRun warned = play(R"({"smsCount": "three", "smsInt": -5, "showStatuss": true, "vibesms": "on"})");
  const CommandRun plain = play(R"({"vibesms": false})");
  EXPECT_EQ(warned.status, 0);
  EXPECT_NE(warned.err.find("quorvel-sim: warning: " + scratch.path() + "/day.json: settings.smsCount: "),
            std::string::npos)
      << warned.err;
  EXPECT_EQ(plain.err, "");
  EXPECT_EQ(warned.out, plain.out);
}

TEST_F(SettingsFileCheck, StrictTurnsEveryWarningIntoAnErrorAndPlaysNothing) {
  struct Case {
    const char* settings;
    int status;       // with --strict
    const char* err;  // what --strict prints, after "quorvel-sim: <path>: "
  } cases[] = {
      {R"({"showStatuss": true})", 2, "settings.showStatuss: no such setting; did you mean showStatus?\n"},
      {R"({"fromHour": 25})", 2, "settings.fromHour: 25 is not an hour (0 to 23): the library reads the default (0)\n"},
      {R"({"showStatus": true})", 0, ""},
  };
  for (const Case& c : cases) {
    const std::string path = scratch.write("day.json", R"({"run": "2m", "settings": )" + std::string(c.settings) + "}");
    const CommandRun lenient = runQuorvelSim({path});
    EXPECT_EQ(lenient.status, 0) << c.settings;
    const CommandRun strict = runQuorvelSim({"--strict", path});
    EXPECT_EQ(strict.status, c.status) << c.settings;
    if (c.status == 0) {
      EXPECT_EQ(strict.err, "");
      EXPECT_EQ(strict.out, lenient.out);
      continue;
    }
    EXPECT_EQ(lenient.err, "quorvel-sim: warning: " + path + ": " + c.err);
    EXPECT_EQ(strict.err, "quorvel-sim: " + path + ": " + c.err + "quorvel-sim: --strict: nothing played\n");
    EXPECT_EQ(strict.out, "") << "nothing is played";
  }
}

// Guards a fixed fault: on iOS 7, which reads no settings, their values were warned of as if read
// (and --strict refused to play). --matrix still warns when it plays a release that reads them.
TEST_F(SettingsFileCheck, ValuesAreNoWarningWhereNoReleasePlayedReadsSettings) {
  writePlist("neg.plist", {{"smsCount", std::int64_t{-1}}, {"fromHour", std::int64_t{22}}, {"toHour", std::int64_t{7}}},
             pl::Format::Binary);
  const std::string path = scratch.write("day.json", R"({"device": {"ios": "7.1"}, "settings": "neg.plist",
      "actions": [{"at": "+1m", "do": "settings", "set": {"smsInt": -5}}], "run": "2m"})");
  const CommandRun ios7 = runQuorvelSim({"--strict", path});
  EXPECT_EQ(ios7.status, 0) << ios7.err;
  EXPECT_EQ(ios7.err, "");
  EXPECT_TRUE(has(ios7.out, "settings: iOS 7.1 reads no settings: every key takes its default")) << ios7.out;
  const CommandRun ios7Only = runQuorvelSim({"--strict", "--matrix", "--ios", "7", path});
  EXPECT_EQ(ios7Only.status, 0) << ios7Only.err;
  EXPECT_EQ(ios7Only.err, "");
  const CommandRun withIos8 = runQuorvelSim({"--strict", "--matrix", "--ios", "7.1,8.0", path});
  EXPECT_EQ(withIos8.status, 2);
  const std::string file = "quorvel-sim: " + scratch.path() + "/neg.plist: ";
  const std::string scenario = "quorvel-sim: " + path + ": ";
  EXPECT_EQ(withIos8.err, file + "smsCount: -1 is below zero: the reminder alerts once, as with 1\n" + file +
                              "toHour: the start window 22:00\u201307:59 closes before it opens (it does not run past "
                              "midnight): no reminder may start\n" +
                              scenario +
                              "actions[0].set.smsInt: -5 is not a positive number of seconds: the library reads the "
                              "default (60 s)\n"
                              "quorvel-sim: --strict: nothing played\n");
}

}  // namespace
}  // namespace qv::sim
