// What the JSON events say about the device and the reminders' runs where the world changes
// under them: a restarted home screen, a run that already ended, a listed app's timer that the
// lists let go of. Each is read back from the timeline as a JSON consumer reads it.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/sim/json_scenario_support.h"

namespace qv::sim {
namespace {

using nlohmann::json;

class ReportedState : public JsonScenarioText {
 protected:
  // "category:reason " for each reminder-ended, in order.
  static std::string endings(const std::vector<json>& lines) {
    std::string out;
    for (const json& e : ofKind(lines, "reminder-ended"))
      out += e["category"].get<std::string>() + ":" + e["reason"].get<std::string>() + " ";
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

// Fault: the app in front at a restart still believed it was in front, so opening it again
// brought nothing to the front and cleared nothing. The restarted home screen keeps no app in
// front either.
TEST_F(ReportedState, TheAppInFrontAtARestartGoesToTheBackgroundAndOpensAgainLater) {
  const auto lines = playJson(R"({"settings": {"globalMail": true},
      "actions": [{"at": "+1m", "do": "open-app", "app": "com.apple.mobilemail"},
                  {"at": "+2m", "do": "respring"}, {"at": "+2m30s", "do": "unlock"},
                  {"at": "+3m", "do": "notification", "event": "mail"},
                  {"at": "+5m", "do": "open-app", "app": "com.apple.mobilemail"}], "run": "6m"})");
  std::string trail;
  auto at = [](const json& e) { return std::to_string(e["offset_ms"].get<int>() / 1000) + " "; };
  for (const json& e : lines) {
    if (e["kind"] == "front-app")
      trail += at(e) + "front " + (e["app"].is_null() ? std::string("home") : e["app"].get<std::string>()) + "\n";
    if (e["kind"] == "host" && e["process"] == "MobileMail") trail += at(e) + e["detail"].get<std::string>() + "\n";
    if (e["kind"] == "reminder-cleared")
      trail +=
          at(e) + "cleared " + e["category"].get<std::string>() + " by " + e["cause"]["do"].get<std::string>() + "\n";
  }
  EXPECT_EQ(trail,
            "60 front com.apple.mobilemail\n60 launched\n120 front home\n120 goes to the background\n"
            "300 front com.apple.mobilemail\n300 returns to the foreground\n300 cleared mail by open-app\n");
}

// Fault: a restart silently dropped the call in progress: the caller's hang-up was refused
// ("no call") and no missed call was posted or reminded of.
TEST_F(ReportedState, ACallGoesOnThroughARestart) {
  auto callTrail = [&](const std::string& during) {
    std::string trail;
    for (const json& e : playJson(R"({"actions": [{"at": "+20s", "do": "incoming-call", "from": "Mum"},)" + during +
                                  R"({"at": "+30s", "do": "respring"}, {"at": "+40s", "do": "end-call"}],
                                  "run": "2m"})")) {
      if (e["kind"] == "host" && e["subject"] == "call") trail += e["detail"].get<std::string>() + "\n";
      if (e["kind"] == "reminder-armed" && e["start"] == "new")
        trail += "armed " + e["category"].get<std::string>() + "\n";
    }
    return trail;
  };
  EXPECT_EQ(callTrail(""),
            "incoming phone call from Mum\nkept through the restart: a call ringing (Mum)\n"
            "missed (Mum)\narmed call\n");
  EXPECT_EQ(callTrail(R"({"at": "+25s", "do": "answer-call"},)"),
            "incoming phone call from Mum\nanswered\nkept through the restart: a call connected (Mum)\n"
            "ended (Mum)\n");
}

// Fault: a run that had reached its limit ended a second time ("lost-at-respring") at a restart,
// and the text summary told both endings while the JSON summary told one.
// Fault: a listed app whose run had reached its limit was "lost" again at a restart, while a
// listed app still running must be.
TEST_F(ReportedState, ARestartEndsOnlyTheRunsStillOpenAndTakesTheIconsLeftStanding) {
  const std::string scenario = R"({"settings": {"showStatus": true, "smsCount": 1, "globalMail": true,
        "otherEnabled": true, "otherCount": 1,
        "otherApplications": ["org.whispersystems.signal", "com.atebits.Tweetie2"]},
      "apps": [{"bundleId": "org.whispersystems.signal", "name": "Signal", "badge": 0}],
      "actions": [{"at": "+10s", "do": "notification", "event": "app-notification",
                   "app": "org.whispersystems.signal", "badge": 1},
                  {"at": "+30s", "do": "notification", "event": "sms"},
                  {"at": "+40s", "do": "notification", "event": "mail"},
                  {"at": "+4m30s", "do": "notification", "event": "twitter-mention"},
                  {"at": "+5m", "do": "respring"}], "run": "6m"})";
  const auto lines = playJson(scenario);
  const std::string ended = "listed:org.whispersystems.signal:limit sms:limit mail:lost-at-respring "
                            "listed:com.atebits.Tweetie2:lost-at-respring ";
  EXPECT_EQ(endings(lines), ended);
  std::string hiddenAtRestart;
  for (const json& e : ofKind(lines, "icon-hidden"))
    if (e["offset_ms"] == 300000) hiddenAtRestart += e["item"].get<std::string>() + " ";
  EXPECT_EQ(hiddenAtRestart, "com.apple.AppStore quorvel.QVMAIL quorvel.QVSMS ");
  std::string summaryEndings;
  for (const json& reminder : lines.back()["reminders"])
    summaryEndings +=
        reminder["category"].get<std::string>() + ":" + reminder["runs"][0]["ended"]["reason"].get<std::string>() + " ";
  EXPECT_EQ(summaryEndings, ended) << "the summary tells each run's one ending";
  const std::string text = ScenarioText::play(scenario);
  EXPECT_TRUE(has(text, "stopped at 08:01:30: repeat limit 1 reached\n")) << text;
}

// Fault: the once-more alert of a timer the lists let go of was counted in the run that had been
// cleared before it (an alert after the end), numbered 0 where alerts count from 1.
TEST_F(ReportedState, AnAlertOfATimerNoLongerListedBelongsToNoRun) {
  const std::string scenario = R"({"settings": {"otherEnabled": true, "vibeOther": true,
        "otherApplications": ["com.atebits.Tweetie2", "com.apple.mobilecal"]},
      "actions": [{"at": "+20s", "do": "notification", "event": "twitter-mention", "label": "tw"},
                  {"at": "+40s", "do": "notification", "event": "calendar-event"},
                  {"at": "+60s", "do": "act-on-notification", "notification": "tw", "from": "notification-centre"}],
      "run": "2m"})";
  const auto lines = playJson(scenario);
  std::string fires;
  for (const json& e : lines)
    if (e.value("category", "") == "listed:com.atebits.Tweetie2" && e["kind"] != "reminder-armed")
      fires += e["kind"].get<std::string>() + (e.contains("alert") ? "#" + e["alert"].dump() : "") + " ";
  EXPECT_EQ(fires, "reminder-cleared reminder-fired#0 banner vibration banner-dismissed ");
  const json& twitter = lines.back()["reminders"][0];
  ASSERT_EQ(twitter["category"], "listed:com.atebits.Tweetie2");
  EXPECT_EQ(twitter["runs"][0]["alerts"], 0);
  EXPECT_FALSE(twitter["runs"][0].contains("first"));
  EXPECT_EQ(twitter["runs"][0]["ended"]["reason"], "cleared");
  EXPECT_EQ(twitter["unlistedAlerts"], 1);
  EXPECT_FALSE(lines.back()["reminders"][1].contains("unlistedAlerts"));

  const std::string text = ScenarioText::play(scenario);
  EXPECT_TRUE(has(text, "Twitter (listed app)     1 alert of a timer no longer listed at 08:01:20\n")) << text;
}

// Fault: the text summary counted only new starts, while the JSON runs and the matrix count a
// restart over a running run too (iOS 10: the call state restarts the call reminder).
TEST_F(ReportedState, TheTextTheJsonAndTheMatrixCountTheSameStarts) {
  const std::string scenario = R"({"actions": [{"at": "+20s", "do": "incoming-call", "from": "Mum"},
      {"at": "+35s", "do": "end-call"}], "run": "3m"})";
  const auto lines = playJson(scenario);
  const json& call = lines.back()["reminders"][0];
  ASSERT_EQ(call["runs"].size(), 2u);
  EXPECT_EQ(call["runs"][1]["start"], "restart");
  const std::string text = ScenarioText::play(scenario);
  EXPECT_TRUE(has(text, "(started 2 times)")) << text;
  const std::string matrix = ScenarioText::play(scenario, {"--matrix", "--ios", "10.3", "--device", "iPhone"});
  EXPECT_TRUE(has(matrix, ", 2 starts,")) << matrix;
}

// Fault: the text summary told only how the last start ended; a run lost at a restart or
// stopped at its limit before it was gone from the text, though the JSON runs kept it.
TEST_F(ReportedState, TheTextSummaryTellsHowTheEarlierRunsEnded) {
  const std::string text = ScenarioText::play(R"({"settings": {"smsCount": 2},
      "actions": [{"at": "+20s", "do": "notification", "event": "sms"},
                  {"at": "+3m", "do": "notification", "event": "sms"},
                  {"at": "+3m30s", "do": "respring"},
                  {"at": "+4m", "do": "notification", "event": "sms"}], "run": "4m30s"})");
  EXPECT_TRUE(has(text,
                  "  SMS                      2 alerts, 08:01:20 to 08:02:20 (started 3 times)\n"
                  "                           earlier runs: stopped at 08:02:20: repeat limit 2 reached; "
                  "lost at 08:03:30, when the home screen restarted\n"
                  "                           still running at the end\n"))
      << text;

  std::string many = R"({"settings": {"smsCount": 1}, "actions": [)";
  for (int minute = 0; minute < 5; ++minute)
    many += (minute ? ", " : "") + std::string(R"({"at": "+)") + std::to_string(2 * minute) +
            R"(m10s", "do": "notification", "event": "sms"})";
  const std::string tallied = ScenarioText::play(many + R"(], "run": "12m"})");
  EXPECT_TRUE(has(tallied,
                  "earlier runs: stopped 4 times (--json gives each run)\n"
                  "                           stopped at 08:09:10: repeat limit 1 reached\n"))
      << tallied;
}

// Fault: after a restart notification ids began again at notification-1 (two notifications, one
// id); the lock-screen list and the banner on screen went with the old home screen unrecorded.
TEST_F(ReportedState, WhatTheOldHomeScreenShowedGoesWithItRecordedAndIdsGoOn) {
  const auto lines = playJson(R"({"device": {"ios": "9.3"}, "actions": [
      {"at": "+20s", "do": "notification", "event": "sms"}, {"at": "+22s", "do": "respring"},
      {"at": "+40s", "do": "lock"}, {"at": "+50s", "do": "notification", "event": "mail"},
      {"at": "+60s", "do": "respring"}, {"at": "+70s", "do": "notification", "event": "mail"}], "run": "2m"})");
  std::string ids, trail;
  for (const json& e : ofKind(lines, "notification-posted")) ids += e["id"].get<std::string>() + " ";
  EXPECT_EQ(ids, "notification-1 notification-2 notification-3 ");
  for (const json& e : lines) {
    auto at = [&] { return std::to_string(e["offset_ms"].get<int>() / 1000); };
    if (e["kind"] == "banner-dismissed") trail += at() + " banner " + e["reason"].get<std::string>() + "\n";
    if (e["kind"] == "lock-screen") trail += at() + " lock screen " + e["notifications"].dump() + "\n";
  }
  EXPECT_EQ(trail,
            "22 banner restarted\n"
            "50 lock screen [\"notification-2\"]\n"
            "60 lock screen []\n"
            "70 lock screen [\"notification-3\"]\n");
}

// Fault: an app opened on a locked phone, which stayed locked; an action from the lock screen of
// an unlocked phone reached the lock screen's notifications.
TEST_F(ReportedState, TheLockScreenStandsBetweenTheUserAndTheApps) {
  const auto lines = playJson(R"({"locked": true, "device": {"ios": "10.3"}, "actions": [
      {"at": "+20s", "do": "notification", "event": "sms", "label": "a"},
      {"at": "+1m", "do": "open-app", "app": "com.apple.mobilemail"},
      {"at": "+2m", "do": "act-on-notification", "notification": "a", "from": "lock-screen"},
      {"at": "+3m", "do": "lock"}, {"at": "+3m", "do": "auto-lock"},
      {"at": "+4m", "do": "open-app", "app": "com.apple.mobilemail"}, {"at": "+4m", "do": "lock"},
      {"at": "+5m", "do": "leave-app", "app": "com.apple.mobilemail"}], "run": "6m"})");
  std::string trail;
  for (const json& e : lines) {
    if (e["kind"] == "action" && e["process"] != "Network") trail += e["text"].get<std::string>() + "\n";
    if (e["kind"] == "lock-state") trail += e["locked"] ? "[locked]\n" : "[unlocked]\n";
  }
  EXPECT_EQ(trail,
            "unlocks the device to open Mail\n[unlocked]\nopens Mail\n"
            "acts on the notification \"a\" from the lock screen\n"
            "(the device is unlocked: there is no lock screen to act from; nothing happens)\n"
            "presses the lock button\n[locked]\n"
            "auto-lock timer fires\n(the device is locked already: nothing happens)\n"
            "unlocks the device to open Mail\n[unlocked]\nopens Mail\n"
            "presses the lock button\n[locked]\n"
            "unlocks the device to leave Mail\n[unlocked]\nleaves Mail for the home screen\n");
}

// Fault: acting from the lock screen on a notification that only the notification centre held
// unlocked the phone, opened the app and cleared its reminder.
TEST_F(ReportedState, TheLockScreenActsOnlyOnTheNotificationsItLists) {
  for (const char* ios : {"9.3", "10.3"}) {
    const auto lines = playJson(std::string(R"({"device": {"ios": ")") + ios + R"("},
        "settings": {"imSMSWats": true, "imSMSTeleg": true}, "actions": [
        {"at": "+20s", "do": "notification", "event": "whatsapp-message", "label": "unlocked"},
        {"at": "+30s", "do": "lock"},
        {"at": "+35s", "do": "notification", "event": "telegram-message", "label": "locked"},
        {"at": "+40s", "do": "act-on-notification", "notification": "unlocked", "from": "lock-screen"},
        {"at": "+50s", "do": "act-on-notification", "notification": "locked", "from": "lock-screen"}],
        "run": "2m"})");
    std::string trail;
    for (const json& e : lines) {
      if (e["kind"] == "action" && e["process"] == "User") trail += e["text"].get<std::string>() + "\n";
      if (e["kind"] == "lock-state") trail += e["locked"] ? "[locked]\n" : "[unlocked]\n";
      if (e["kind"] == "front-app") trail += "[front " + e["app"].dump() + "]\n";
    }
    EXPECT_EQ(trail,
              "presses the lock button\n[locked]\n"
              "acts on the notification \"unlocked\" from the lock screen\n"
              "(that notification is not on the lock screen, only in the notification centre; nothing happens)\n"
              "acts on the notification \"locked\" from the lock screen\n"
              "[unlocked]\n[front \"ph.telegra.Telegraph\"]\n")
        << "iOS " << ios;
    const auto cleared = ofKind(lines, "reminder-cleared");
    ASSERT_EQ(cleared.size(), 1u) << "iOS " << ios;
    EXPECT_EQ(cleared[0]["category"], "telegram-message") << "iOS " << ios;
  }
}

// Fault: a lock of a locked device and an unlock of an unlocked one read as if they did
// something; the notes of what an action did not do came from "Device" or "User" by chance.
// Fault: leave-app left whatever app was in front and told it as the app it named.
TEST_F(ReportedState, AnActionThatChangesNothingSaysSoInItsActorsVoice) {
  const auto lines = playJson(R"({"actions": [{"at": "+2s", "do": "open-app", "app": "com.apple.AppStore"},
      {"at": "+4s", "do": "leave-app", "app": "com.apple.mobilemail"},
      {"at": "+6s", "do": "leave-app", "app": "com.apple.AppStore"},
      {"at": "+8s", "do": "leave-app", "app": "com.apple.AppStore"}, {"at": "+10s", "do": "unlock"},
      {"at": "+20s", "do": "lock"}, {"at": "+30s", "do": "lock"},
      {"at": "+40s", "do": "answer-call"}, {"at": "+50s", "do": "incoming-call", "from": "Mum"},
      {"at": "+55s", "do": "incoming-call", "from": "Ben"},
      {"at": "+60s", "do": "set-badge", "app": "com.apple.MobileSMS", "value": 0},
      {"at": "+70s", "do": "read-messages", "count": 1}, {"at": "+80s", "do": "read-messages", "count": 2}],
      "run": "2m"})");
  std::string trail;
  for (const json& e : lines) {
    if (e["kind"] == "action") trail += e["process"].get<std::string>() + ": " + e["text"].get<std::string>() + "\n";
    if (e["kind"] == "lock-state") trail += e["locked"] ? "[locked]\n" : "[unlocked]\n";
    if (e["kind"] == "front-app")
      trail += "[front " + (e["app"].is_null() ? std::string("home") : e["app"].get<std::string>()) + "]\n";
  }
  EXPECT_EQ(trail,
            "User: opens App Store\n[front com.apple.AppStore]\n"
            "User: leaves Mail for the home screen\nUser: (Mail is not in front; App Store is: nothing happens)\n"
            "User: leaves App Store for the home screen\n[front home]\n"
            "User: leaves App Store for the home screen\n"
            "User: (App Store is not in front; the home screen is: nothing happens)\n"
            "User: unlocks the device\nUser: (the device is unlocked already: nothing happens)\n"
            "User: presses the lock button\n[locked]\n"
            "User: presses the lock button\nUser: (the device is locked already: nothing happens)\n"
            "User: answers the call\nUser: (cannot answer with no call)\n"
            "Network: incoming call from Mum\n"
            "Network: incoming call from Ben\nNetwork: (cannot take an incoming call with a call ringing (Mum))\n"
            "Device: Messages badge becomes 0\n"
            "User: reads 1 new message in Messages\nUser: reads 2 new messages in Messages\n");
}

// Fault: a listed app's alerts without a limit read "alert, no limit" in the story while every
// other reminder's alerts are numbered, as the JSON numbers them.
TEST_F(ReportedState, TheStoryNumbersAListedAppsAlertsWithoutALimit) {
  const std::string text = ScenarioText::play(R"({"settings": {"otherEnabled": true,
        "otherApplications": ["com.atebits.Tweetie2"]},
      "actions": [{"at": "+20s", "do": "notification", "event": "twitter-mention"}], "run": "3m"})");
  EXPECT_TRUE(has(text, "Twitter - alert 1, no limit\n")) << text;
  EXPECT_TRUE(has(text, "Twitter - alert 2, no limit\n")) << text;
  EXPECT_FALSE(has(text, "alert, no limit")) << text;
}

// Guards the documented split: dismissals are explanation (and detail), not the plain story.
TEST_F(ReportedState, BannerDismissalsShowWithExplainOrVerboseOnly) {
  const std::string scenario = R"({"actions": [{"at": "+20s", "do": "notification", "event": "sms"}], "run": "1m"})";
  const std::string dismissed = "banner - dismissed, timed out";
  EXPECT_FALSE(has(ScenarioText::play(scenario), dismissed));
  EXPECT_TRUE(has(ScenarioText::play(scenario, {"--explain"}), dismissed));
  EXPECT_TRUE(has(ScenarioText::play(scenario, {"--verbose"}), dismissed));
}

// Fault: a re-post published after the user unlocked showed as a banner with an empty message,
// its text (the bulletin's subtitle) left out of the banner event and the story.
TEST_F(ReportedState, ARepostShownAsABannerCarriesItsSubtitle) {
  const std::string scenario = R"({"actions": [{"at": "+20s", "do": "notification", "event": "sms"},
      {"at": "+30s", "do": "auto-lock"}, {"at": "+31500ms", "do": "unlock"}], "run": "1m"})";
  std::string banners;
  for (const json& e : ofKind(playJson(scenario), "banner"))
    banners += e["title"].get<std::string>() + "|" + e["subtitle"].get<std::string>() + "|" +
               e["message"].get<std::string>() + "\n";
  EXPECT_EQ(banners, "Anna||Are you awake?\nQuorvel|Missed Message!|\n");
  const std::string text = ScenarioText::play(scenario);
  EXPECT_TRUE(has(text, "banner         Messages: Quorvel — Missed Message!\n")) << text;
}

}  // namespace
}  // namespace qv::sim
