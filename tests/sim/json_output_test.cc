// The JSON Lines a tool reads: reminder ids and numbers instead of prose, every alert effect
// naming its reminder and alert, causes traced to the scenario's actions, times that stay
// unambiguous across a clock change, and a summary with every start of every reminder.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "sim/json_text.h"
#include "sim/local_time.h"
#include "tests/sim/json_scenario_support.h"

namespace qv::sim {
namespace {

using nlohmann::json;

class JsonOutput : public JsonScenarioText {};

TEST_F(JsonOutput, EveryAlertEffectNamesTheReminderAndTheAlertThatMadeIt) {
  // SMS and WhatsApp fire at the same instants; each vibration comes 0.3 s later on its own task
  // and each torch blink on a queue of its own, yet each names the alert that asked for it.
  const auto lines = playJson(R"({"device": {"ios": "9.3"}, "locked": true,
      "settings": {"imSMSWats": true, "torchSmS": true, "torchIm": true, "smsCount": 2, "imCount": 2},
      "actions": [{"at": "+20s", "do": "notification", "event": "sms"},
                  {"at": "+20s", "do": "notification", "event": "whatsapp-message"}],
      "run": "4m"})");
  std::map<std::string, std::vector<std::int64_t>> fired, sounds, vibrations, blinks;
  for (const json& e : lines) {
    if (e["kind"] == "reminder-fired") {
      EXPECT_EQ(e["limit"], 2);
      fired[e["category"]].push_back(e["alert"]);
    }
    if (e["kind"] == "sound") sounds[e["category"]].push_back(e["alert"]);
    if (e["kind"] == "vibration") vibrations[e["category"]].push_back(e["alert"]);
    if (e["kind"] == "torch-on" && e.contains("category")) blinks[e["category"]].push_back(e["alert"]);
    if (e["kind"] == "sound" || e["kind"] == "vibration" || e["kind"] == "torch-on") {
      EXPECT_TRUE(e.contains("category") && e.contains("alert")) << e.dump();
    }
  }
  const std::vector<std::int64_t> oneTwo{1, 2};
  for (const char* reminder : {"sms", "whatsapp-message"}) {
    EXPECT_EQ(fired[reminder], oneTwo) << reminder;
    EXPECT_EQ(vibrations[reminder], oneTwo) << reminder;
  }
  // The SMS alert's sound is still playing when WhatsApp's alert comes: that one is silent.
  EXPECT_EQ(sounds["sms"], oneTwo);
  EXPECT_TRUE(sounds["whatsapp-message"].empty());
  // One blink runs at a time: the SMS alert's blinks (five per alert), the WhatsApp ones refused.
  EXPECT_EQ(blinks["sms"].size(), 10u);
  EXPECT_TRUE(blinks["whatsapp-message"].empty());
  for (const json& e : ofKind(lines, "reminder-ended")) {
    EXPECT_EQ(e["reason"], "limit");
    EXPECT_EQ(e["alert"], 2);
    EXPECT_FALSE(e.contains("cause")) << "its own alert ended it";
  }
}

TEST_F(JsonOutput, ClearsNameTheActionThatLedToThem) {
  const auto lines = playJson(R"({"settings": {"imSMSWats": true, "showStatus": true},
      "actions": [{"at": "+20s", "do": "notification", "event": "whatsapp-message"},
                  {"at": "+3m", "do": "open-app", "app": "net.whatsapp.WhatsApp"}],
      "run": "5m"})");
  const auto cleared = ofKind(lines, "reminder-cleared");
  ASSERT_EQ(cleared.size(), 1u);
  EXPECT_EQ(cleared[0]["category"], "whatsapp-message");
  EXPECT_EQ(cleared[0]["reason"], "cleared");
  EXPECT_EQ(cleared[0]["running"], true);
  EXPECT_EQ(cleared[0]["cause"], (json{{"action", 2}, {"do", "open-app"}, {"text", "opens WhatsApp"}}));
  const auto actions = ofKind(lines, "action");
  ASSERT_GE(actions.size(), 2u);
  EXPECT_EQ(actions[1]["action"], 2);
  EXPECT_EQ(actions[1]["place"], "actions[1]");
  EXPECT_EQ(actions[1]["app"], "net.whatsapp.WhatsApp");
  const auto hidden = ofKind(lines, "icon-hidden");
  ASSERT_EQ(hidden.size(), 1u);
  EXPECT_EQ(hidden[0]["category"], "whatsapp-message");
}

TEST_F(JsonOutput, TimesCarryTheirUtcOffsetSoTheRepeatedHourReadsApart) {
  // In Berlin the clocks go back from 03:00 to 02:00 on 2026-10-25: 02:30 happens twice.
  const auto lines = playJson(R"({"timeZone": "Europe/Berlin", "start": "2026-10-25T01:50:00",
      "actions": [{"at": "+40m", "do": "note", "text": "first"}, {"at": "+1h40m", "do": "note", "text": "second"}],
      "run": "2h"})");
  const auto notes = ofKind(lines, "action");
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0]["time"], "2026-10-25T02:30:00.000+02:00");
  EXPECT_EQ(notes[1]["time"], "2026-10-25T02:30:00.000+01:00");
  EXPECT_EQ(lines.back()["from"], "2026-10-25T01:50:00.000+02:00");
  EXPECT_EQ(lines.back()["to"], "2026-10-25T02:50:00.000+01:00");
}

// The summaries of many runs (--seeds --json) could once be told apart only by their order.
TEST_F(JsonOutput, TheSummaryNamesTheDeviceZoneAndSeedItPlayed) {
  const auto lines = playJson(R"({"device": {"ios": "9.3", "kind": "iPad"}, "timeZone": "Europe/Berlin",
      "seed": 18446744073709551615, "run": "1m"})");
  const json& summary = lines.back();
  EXPECT_EQ(summary["ios"], "9.3");
  EXPECT_EQ(summary["device"], "iPad");
  EXPECT_EQ(summary["timeZone"], "Europe/Berlin");
  EXPECT_EQ(summary["seed"], 18446744073709551615ull);
}

TEST_F(JsonOutput, SummaryListsEveryStartOfEveryReminderAndHowEachEnded) {
  // On iOS 10 a missed call's notification starts the call reminder and the call state restarts
  // it a second later.
  const auto lines = playJson(R"({"settings": {"smsCount": 1},
      "actions": [{"at": "+20s", "do": "notification", "event": "sms"},
                  {"at": "+3m", "do": "notification", "event": "sms"},
                  {"at": "+3m", "do": "incoming-call", "from": "Mum"},
                  {"at": "+3m10s", "do": "end-call"},
                  {"at": "+8m", "do": "open-app", "app": "com.apple.mobilephone"}],
      "run": "10m"})");
  const json& summary = lines.back();
  ASSERT_EQ(summary["kind"], "summary");
  ASSERT_EQ(summary["reminders"].size(), 2u);
  const json& sms = summary["reminders"][0];
  EXPECT_EQ(sms["category"], "sms");
  EXPECT_EQ(sms["name"], "SMS");
  ASSERT_EQ(sms["runs"].size(), 2u);
  for (const json& run : sms["runs"]) {
    EXPECT_EQ(run["start"], "new");
    EXPECT_EQ(run["alerts"], 1);
    EXPECT_EQ(run["ended"]["reason"], "limit");
    EXPECT_EQ(run["cause"]["do"], "notification");
  }
  EXPECT_EQ(sms["runs"][0]["started"], "2026-12-07T08:00:20.000+00:00");
  EXPECT_EQ(sms["runs"][0]["first"], "2026-12-07T08:01:20.000+00:00");
  const json& call = summary["reminders"][1];
  EXPECT_EQ(call["category"], "call");
  ASSERT_EQ(call["runs"].size(), 2u);
  EXPECT_EQ(call["runs"][0]["ended"]["reason"], "restarted");
  EXPECT_EQ(call["runs"][0]["alerts"], 0);
  EXPECT_EQ(call["runs"][1]["start"], "restart");
  EXPECT_EQ(call["runs"][1]["alerts"], 4);
  EXPECT_EQ(call["runs"][1]["ended"]["reason"], "cleared");
  EXPECT_EQ(call["runs"][1]["ended"]["cause"]["do"], "open-app");
  EXPECT_EQ(summary["counts"]["sounds"], 2 + 4);
}

TEST_F(JsonOutput, ARestartOfTheHomeScreenLosesItsReminders) {
  const auto lines = playJson(R"({"device": {"ios": "9.3"},
      "settings": {"otherEnabled": true, "otherApplications": ["com.example.Chat"]},
      "apps": [{"bundleId": "com.example.Chat", "name": "Chat"}],
      "actions": [{"at": "+20s", "do": "notification", "event": "sms"},
                  {"at": "+25s", "do": "notification", "event": "app-notification", "app": "com.example.Chat"},
                  {"at": "+2m", "do": "respring"}],
      "run": "5m"})",
                          {"--check"});
  std::vector<std::string> lost;
  for (const json& e : ofKind(lines, "reminder-ended")) {
    EXPECT_EQ(e["reason"], "lost-at-respring");
    EXPECT_EQ(e["cause"]["do"], "respring");
    lost.push_back(e["category"]);
  }
  EXPECT_EQ(lost, (std::vector<std::string>{"sms", "listed:com.example.Chat"}));
  EXPECT_EQ(ofKind(lines, "reminder-fired").size(), 2u) << "nothing fires after the restart";
  const json& summary = lines.back();
  EXPECT_EQ(summary["reminders"][1]["name"], "Chat");
  EXPECT_EQ(summary["reminders"][1]["runs"][0]["ended"]["reason"], "lost-at-respring");
  EXPECT_EQ(summary["check"]["result"], "held");
}

TEST_F(JsonOutput, AnAppsBannerThatWaitedForAReminderBannerIsNotTheReminders) {
  // The SMS alert's banner is on screen when Mail's arrives; Mail's replaces it later, in the
  // work that dismissed the reminder's banner, yet it is told as Mail's own.
  const auto lines = playJson(R"({"device": {"ios": "9.3"},
      "actions": [{"at": "+20s", "do": "notification", "event": "sms"},
                  {"at": "+1m21s", "do": "notification", "event": "mail"}],
      "run": "2m"})");
  int reminderBanners = 0, appBanners = 0;
  for (const json& e : ofKind(lines, "banner")) {
    const bool reminders = e["title"] == "Quorvel";
    EXPECT_EQ(e.contains("category"), reminders) << e.dump();
    (reminders ? reminderBanners : appBanners)++;
  }
  EXPECT_EQ(reminderBanners, 1);
  EXPECT_EQ(appBanners, 2);
  for (const json& e : ofKind(lines, "banner-dismissed")) {
    if (e["app"] == "com.apple.MobileSMS" && e.contains("category")) {
      EXPECT_EQ(e["reason"], "replaced");
    }
  }
}

// The player builds a preset's delivery once and reuses it: what one notification spells out
// over its preset, or the app a generic preset is given, must not carry over to the next.
TEST_F(JsonOutput, EachNotificationPostsItsOwnPresetAndWhatItSpellsOut) {
  const auto lines = playJson(R"({"device": {"ios": "10.3"},
      "actions": [{"at": "+10s", "do": "notification", "event": "whatsapp-message", "title": "Bob", "message": "yo"},
                  {"at": "+20s", "do": "notification", "event": "whatsapp-message"},
                  {"at": "+30s", "do": "notification", "event": "app-notification", "app": "com.example.Chat"},
                  {"at": "+40s", "do": "notification", "event": "app-notification", "app": "org.example.Quiz"}],
      "run": "1m"})");
  std::vector<std::string> posted;
  for (const json& e : ofKind(lines, "notification-posted"))
    posted.push_back(e["app"].get<std::string>() + " " + e["title"].get<std::string>() + ": " +
                     e["message"].get<std::string>());
  EXPECT_EQ(posted, (std::vector<std::string>{"net.whatsapp.WhatsApp Bob: yo", "net.whatsapp.WhatsApp Anna: hi!",
                                              "com.example.Chat com.example.Chat: You have a new notification",
                                              "org.example.Quiz org.example.Quiz: You have a new notification"}));
}

TEST_F(JsonOutput, TheLockScreenListIsToldWholeAtEveryChange) {
  const auto lines = playJson(R"({"device": {"ios": "9.3"}, "locked": true,
      "actions": [{"at": "+20s", "do": "notification", "event": "mail"},
                  {"at": "+30s", "do": "notification", "event": "whatsapp-message"},
                  {"at": "+40s", "do": "unlock"}],
      "run": "1m"})");
  std::vector<std::string> posted;
  for (const json& e : ofKind(lines, "notification-posted")) posted.push_back(e["id"]);
  ASSERT_EQ(posted.size(), 2u);
  const auto lists = ofKind(lines, "lock-screen");
  ASSERT_EQ(lists.size(), 3u);
  EXPECT_EQ(lists[0]["notifications"], json({posted[0]}));
  EXPECT_EQ(lists[1]["notifications"], json({posted[1], posted[0]})) << "newest first";
  EXPECT_EQ(lists[2]["notifications"], json::array()) << "unlocking hands them to the notification centre";
  const auto states = ofKind(lines, "lock-state");
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(states[0]["locked"], false);
}

TEST(JsonText, EscapesWhatJsonRequiresAndReplacesBrokenUtf8) {
  JsonText j;
  j.open().key("s").string("a\"b\\c\nd\x01 é \xff\xc3").key("n").integer(-3).key("f").flag(true).key("z").null();
  j.key("l").strings({"x", ""}).close();
  EXPECT_EQ(j.text(), "{\"s\":\"a\\\"b\\\\c\\nd\\u0001 é \xEF\xBF\xBD\xEF\xBF\xBD\",\"n\":-3,\"f\":true,\"z\":null,"
                      "\"l\":[\"x\",\"\"]}");
  EXPECT_TRUE(json::accept(j.text()));
}

TEST(LocalTime, Rfc3339CarriesNegativeOffsetsAndMillisecondsBeforeTheEpochToo) {
  auto newYork = tz::TimeZone::load("America/New_York");
  ASSERT_TRUE(newYork) << newYork.error();
  using std::chrono::milliseconds;
  const dispatch::Instant t{std::chrono::sys_days(std::chrono::year(2026) / 7 / 4) + std::chrono::hours(3) +
                            milliseconds(5)};
  EXPECT_EQ(rfc3339(t, *newYork), "2026-07-03T23:00:00.005-04:00");
  EXPECT_EQ(rfc3339(dispatch::Instant(milliseconds(-1)), tz::TimeZone::utc()), "1969-12-31T23:59:59.999+00:00");
}

}  // namespace
}  // namespace qv::sim
