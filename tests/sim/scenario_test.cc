#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

Result<Scenario> parse(const std::string& text) { return parseScenario(text, "s.json"); }

TEST(ScenarioFormat, DefaultScenarioReadsAndIsInTimeOrder) {
  auto s = parseScenario(defaultScenarioText(), "built-in");
  ASSERT_TRUE(s) << s.error();
  for (std::size_t i = 1; i < s->actions.size(); ++i) EXPECT_LE(s->actions[i - 1].at, s->actions[i].at);
}

TEST(ScenarioFormat, TimesMayBeClockTimesDatesOrOffsets) {
  auto s = parse(R"({"timeZone": "Europe/Berlin", "start": "2026-03-29T01:00:00", "run": "3h", "actions": [
      {"at": "+90s", "do": "lock"}, {"at": "03:30", "do": "unlock"}, {"at": "2026-03-29T01:00:05", "do": "auto-lock"},
      {"at": "+0:05:00", "do": "note", "text": "x"}]})");
  ASSERT_TRUE(s) << s.error();
  ASSERT_EQ(s->actions.size(), 4u);
  EXPECT_EQ(s->actions[0].at, 5s);
  EXPECT_EQ(s->actions[1].at, 90s);
  EXPECT_EQ(s->actions[2].at, 5min);
  // 02:00 to 03:00 does not exist that night: 03:30 local is 1.5 hours after 01:00 local.
  EXPECT_EQ(s->actions[3].at, 90min);
}

TEST(ScenarioFormat, MistakesNameTheFileThePlaceAndWhatWasExpected) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {R"({"run": "1h", "actions": [{"at": "+1m", "do": "lock"}, {"at": 17, "do": "lock"}]})",
       "s.json: actions[1].at: expected a time like"},
      {R"({"run": "1h", "actions": [{"at": "+1m", "do": "dance"}]})", "s.json: actions[0].do: unknown action \"dance\""},
      {R"({"run": "1h", "actions": [{"at": "+1m", "do": "lokc"}]})",
       "s.json: actions[0].do: unknown action \"lokc\" (did you mean lock?); known: notification,"},
      {R"({"run": "1h", "actions": [{"at": "+1m", "do": "notification", "event": "smss"}]})",
       "s.json: actions[0].event: unknown event \"smss\" (did you mean sms?); known: sms,"},
      {R"({"run": "1h", "device": {"ios": "6.1"}})", "s.json: device.ios: unknown iOS release \"6.1\""},
      {R"({"run": "1h", "timeZone": "Mars/Olympus"})", "s.json: timeZone: expected a time-zone name"},
      {R"({"run": "0s"})", "s.json: run: \"0s\" ends where the scenario starts: nothing would play"},
      {R"({"run": "0.0001s"})", "s.json: run: \"0.0001s\" ends where the scenario starts"},
      {R"({"start": "2026-12-07T08:00:00", "run": "08:00"})", "s.json: run: \"08:00\" ends where the scenario starts"},
      {R"({"run": "1h", "actions": [{"at": "+2h", "do": "lock"}]})", "s.json: actions[0].at: \"+2h\" comes after the end of the run"},
      {R"({"run": "1h", "actions": [{"at": "+1m", "do": "notification", "event": "pigeon"}]})",
       "s.json: actions[0].event: unknown event \"pigeon\""},
      {R"({"run": "1h", "settings": {"showStatus": null}})", "s.json: settings.showStatus: null has no property-list"},
      {R"({"run": "1h", "colour": "blue"})", "s.json: unknown key \"colour\"; expected one of: name,"},
      // Every unknown key at once, each near miss of a known key named.
      {R"({"run": "1h", "sttings": {}, "colour": "blue"})",
       "s.json: unknown keys \"colour\", \"sttings\" (did you mean settings?); expected one of:"},
      {R"({"run": "1h", "a": 1, "b": 1, "c": 1, "d": 1, "e": 1, "f": 1, "g": 1})",
       "s.json: unknown keys \"a\", \"b\", \"c\", \"d\", \"e\" and 2 more; expected one of:"},
      {R"({"run": "1h", "actions": [{"at": "+1m", "do": "notification", "event": "sms", "lable": "x"}]})",
       "s.json: actions[0]: unknown key \"lable\" (did you mean label?); expected one of: at, do, event,"},
      {R"({"actions": []})", "s.json: expected \"run\""},
      {R"({"run": "1h",})", "s.json: not valid JSON: parse error"},
      {R"({"run": "1h", "seed": 1e999})", "s.json: not valid JSON: number overflow parsing '1e999'"},
      {R"({"start": "4052-12-07T08:00", "run": "1h"})", "s.json: start: expected a local date and time"},
      {R"({"run": "1h", "actions": [{"at": "+2147483647:00:00", "do": "lock"}]})", "s.json: actions[0].at: expected a duration"},
      {R"({"run": "300d300d"})", "s.json: run:"},
      {R"({"start": "2026-12-31T22:00", "run": "07:00"})",
       "s.json: run: \"07:00\" is before the scenario starts (the next day's is \"2027-01-01T07:00\")"},
      {R"({"run": "1h", "timeZone": "europe/berln"})", "(did you mean Europe/Berlin?)"},
  };
  for (const Case& c : cases) {
    auto s = parse(c.text);
    ASSERT_FALSE(s) << c.text;
    EXPECT_NE(s.error().find(c.expected), std::string::npos) << "got: " << s.error();
  }
}

// A document nested 100000 deep once crashed the reader while it quoted the value in its error.
TEST(ScenarioFormat, NestingIsRefusedBeyondSixtyFourLevelsWhileRead) {
  auto nested = [](int arrays) {
    return R"({"run": "1m", "name": )" + std::string(arrays, '[') + std::string(arrays, ']') + "}";
  };
  auto deepest = parse(nested(63));  // with the top object, 64 levels
  ASSERT_FALSE(deepest);
  EXPECT_EQ(deepest.error(), "s.json: name: expected a string, got [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[...");
  for (int arrays : {64, 100000}) {
    auto s = parse(nested(arrays));
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("s.json: name[0][0][0]"), std::string::npos) << s.error();
    EXPECT_NE(s.error().find(": objects and arrays nested more than 64 deep"), std::string::npos) << s.error();
    EXPECT_LT(s.error().size(), 200u);
  }
}

// A NaN in a settings file was shown as "null", a value no property list holds; a list holding
// true was shown as "[on]", which read as a switch that is on.
TEST(ScenarioFormat, SettingsAreDescribedAsTheFileHoldsThemNotAsJsonWouldPrintThem) {
  const pl::Dict values{{"a", pl::Value(std::nan(""))}, {"b", pl::Value(-HUGE_VAL)}, {"c", pl::Value(1.5)},
                        {"d", pl::Value(pl::Array{pl::Value(true)})}, {"f", pl::Value(false)}};
  EXPECT_EQ(describeSettings(values, {"e"}), "a nan, b -inf, c 1.5, d [true], f off, e removed");
}

TEST(ScenarioFormat, SettingsAndPayloadsBecomePropertyListValues) {
  auto s = parse(R"({"run": "1h", "settings": {"showStatus": true, "smsInt": 30, "otherApplications": ["a.b"]},
      "actions": [{"at": "+1m", "do": "notification", "app": "com.viber", "remote": {"aps": {"category": "CAT_MISSED_CALL"}}},
                  {"at": "+2m", "do": "settings", "set": {"smsCount": 3, "showBanner": null}}]})");
  ASSERT_TRUE(s) << s.error();
  EXPECT_EQ(s->world.settings->at("smsInt"), pl::Value(30));
  EXPECT_EQ(*pl::findString(*pl::findDict(*s->actions[0].notification.remote, "aps"), "category"), "CAT_MISSED_CALL");
  EXPECT_EQ(s->actions[1].values.at("smsCount"), pl::Value(3));
  EXPECT_EQ(s->actions[1].removals, std::vector<std::string>{"showBanner"});
  // The device's kind in any case, as --device takes it.
  for (const char* kind : {"iPad", "ipad", "IPAD"}) {
    auto pad = parse(std::string(R"({"run": "1h", "device": {"kind": ")") + kind + R"("}})");
    ASSERT_TRUE(pad) << pad.error();
    EXPECT_EQ(pad->world.idiom, device::Idiom::Pad) << kind;
  }
}

TEST(ScenarioFormat, DurationsReadUnitsAndClockForms) {
  EXPECT_EQ(parseDuration("1h30m"), 90min);
  EXPECT_EQ(parseDuration("500ms"), 500ms);
  EXPECT_EQ(parseDuration("2d"), 48h);
  EXPECT_EQ(parseDuration("0:05:00"), 5min);
  EXPECT_EQ(parseDuration("1:30:00"), 90min);
  EXPECT_FALSE(parseDuration("1:30")) << "minutes:seconds or hours:minutes: refused";
  EXPECT_FALSE(parseDuration("soon"));
  EXPECT_FALSE(parseDuration("5 parsecs"));
  EXPECT_FALSE(parseDuration(""));
  EXPECT_EQ(parseDuration("1.5h"), 90min);
  EXPECT_EQ(parseDuration("0.0004s"), 0ms) << "to the millisecond, as a dump writes it";
  EXPECT_EQ(parseDuration("1d2h3m4s5ms"), 26h + 3min + 4s + 5ms);
  // Units from the largest down, each once: "1h1h" or "30m1h" is a slip, not a sum.
  EXPECT_FALSE(parseDuration("1h1h"));
  EXPECT_FALSE(parseDuration("30m1h"));
  EXPECT_FALSE(parseDuration("1m1min"));
}

}  // namespace
}  // namespace qv::sim
