// The text story's times a reader cannot misread: the end's date when a run crosses midnight,
// dates in the summary then, a line where the clocks change, and the start window in the header
// (with the days a clock change moves an edge).

#include <gtest/gtest.h>

#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

class StoryTimes : public ScenarioText {};

TEST_F(StoryTimes, ARunThatCrossesMidnightDatesItsEndAndEveryTimeInTheSummary) {
  const std::string out = play(R"({"start": "2026-12-07T23:58:00", "settings": {"smsCount": 3},
      "actions": [{"at": "+30s", "do": "notification", "event": "sms"}], "run": "5m"})");
  EXPECT_TRUE(has(out, "2026-12-07 from 23:58:00 to 2026-12-08 00:03:00\n")) << out;
  EXPECT_TRUE(has(out, "3 alerts, 2026-12-07 23:59:30 to 2026-12-08 00:01:30\n")) << out;
  EXPECT_TRUE(has(out, "stopped at 2026-12-08 00:01:30")) << out;

  const std::string sameDay = play(R"({"start": "2026-12-07T08:00:00", "settings": {"smsCount": 3},
      "actions": [{"at": "+30s", "do": "notification", "event": "sms"}], "run": "5m"})");
  EXPECT_TRUE(has(sameDay, "2026-12-07 from 08:00:00 to 08:05:00\n")) << sameDay;
  EXPECT_TRUE(has(sameDay, "3 alerts, 08:01:30 to 08:03:30\n")) << sameDay;
}

TEST_F(StoryTimes, TheClocksChangingIsALineWhereItHappens) {
  const std::string back = play(R"({"timeZone": "Europe/Berlin", "start": "2026-10-25T01:50:00",
      "actions": [{"at": "+40m", "do": "note", "text": "first"}, {"at": "+1h40m", "do": "note", "text": "second"}],
      "run": "2h"})");
  const std::size_t first = back.find("first"), change = back.find("--- clocks go back: 03:00 becomes 02:00 (CEST to CET) ---\n");
  ASSERT_NE(change, std::string::npos) << back;
  EXPECT_LT(first, change);
  EXPECT_LT(change, back.find("second"));

  // Told even when nothing happens after it.
  const std::string forward = play(R"({"timeZone": "Europe/Berlin", "start": "2026-03-29T01:30:00", "run": "1h"})");
  EXPECT_TRUE(has(forward, "--- clocks go forward: 02:00 becomes 03:00 (CET to CEST) ---\n")) << forward;
  EXPECT_TRUE(has(forward, "2026-03-29 from 01:30:00 to 03:30:00\n")) << forward;

  // Under the heading of its own day, even when the day's first line comes after it.
  const std::string overnight = play(R"({"timeZone": "Europe/Berlin", "start": "2026-03-28T20:00:00",
      "actions": [{"at": "+1h", "do": "note", "text": "eve"}, {"at": "+13h", "do": "note", "text": "morning"}],
      "run": "14h"})");
  EXPECT_TRUE(has(overnight, "--- Sun 2026-03-29 ---\n--- clocks go forward: 02:00 becomes 03:00 (CET to CEST) ---\n"))
      << overnight;
}

// 01:30 happens twice on the night the clocks go back: the summary's times carry their zone.
TEST_F(StoryTimes, ARunAcrossAClockChangeGivesEveryTimeOfTheSummaryWithItsZone) {
  const std::string out = play(R"({"timeZone": "America/New_York", "start": "2026-11-01T00:30:00",
      "settings": {"smsInt": 1800}, "actions": [{"at": "01:10", "do": "notification", "event": "sms"}], "run": "2h"})");
  EXPECT_TRUE(has(out, "2 alerts, 01:40:00 EDT to 01:10:00 EST\n")) << out;
}

TEST_F(StoryTimes, ControlCharactersInTextsAreShownNotSentToTheTerminal) {
  // A NUL cut the line short; an escape would have steered the terminal.
  const std::string out = play(R"({"name": "bell\u0007", "run": "1m",
      "actions": [{"at": "+10s", "do": "note", "text": "a\u0000b\u001b[31mred\tc"}]})");
  EXPECT_TRUE(has(out, "bell\u2407\n")) << out;
  EXPECT_TRUE(has(out, "a\u2400b\u241b[31mred\u2409c\n")) << out;
}

TEST_F(StoryTimes, TheHeaderGivesTheStartWindowAsTheAlertGateReadsIt) {
  struct Case {
    const char* settings;
    const char* line;
  } cases[] = {
      {"{}", "start window 00:00–23:59: reminders may start after 00:00:00 and before 23:59:00\n"},
      // A closing minute of 0 reads as its default, 59.
      {R"({"fromHour": 8, "toHour": 22, "toMin": 0})",
       "start window 08:00–22:59: reminders may start after 08:00:00 and before 22:59:00\n"},
      {R"({"fromHour": 22, "toHour": 7})", "start window 22:00–07:59: it closes before it opens, so no reminder may start\n"},
  };
  for (const Case& c : cases) {
    const std::string out = play(std::string(R"({"device": {"ios": "9.3"}, "run": "1m", "settings": )") + c.settings + "}",
                                 {"--explain"});
    EXPECT_TRUE(has(out, c.line)) << c.settings << "\n" << out;
  }
  // Before iOS 8 no setting is read: the default window, whatever the file says.
  EXPECT_TRUE(has(play(R"({"device": {"ios": "7.1"}, "run": "1m", "settings": {"fromHour": 9}})"),
                  "start window 00:00–23:59: reminders may start after 00:00:00 and before 23:59:00\n"));
  // --explain names the window the same way.
  const std::string explained = play(R"({"device": {"ios": "9.3"}, "run": "1m", "settings": {"fromHour": 8},
      "actions": [{"at": "+20s", "do": "notification", "event": "sms"}]})", {"--explain"});
  EXPECT_TRUE(has(explained, "alert gate - start window 08:00–23:59, now")) << explained;
}

// Guards a fixed fault: on a day the clocks skip an edge, the header gave the wall-clock window
// alone, which the day's decisions contradicted.
TEST_F(StoryTimes, TheHeaderNamesEachDayWhoseClockChangeSkipsAnEdgeOfTheStartWindow) {
  const std::string out = play(R"({"timeZone": "America/Santiago", "start": "2026-09-05T23:00:00", "run": "4h",
      "settings": {"fromHour": 0, "fromMin": 20, "toHour": 1, "toMin": 40}})");
  EXPECT_TRUE(
      has(out, "before 01:40:00\nstart window on 2026-09-06: 00:20 does not exist that day: it opens at 01:20\n"))
      << out;
  const std::string back = play(R"({"timeZone": "Europe/Berlin", "start": "2026-10-25T01:00:00", "run": "3h",
      "settings": {"toHour": 2, "toMin": 30}})");
  EXPECT_FALSE(has(back, "start window on")) << "an edge the clocks repeat is its first, as the header says\n" << back;
}

}  // namespace
}  // namespace qv::sim
