// Scenarios that carry real device inputs (a settings file of a phone, raw archives and
// contexts), and what the text output says about removals, restarts and systems before iOS 8.
#include <gtest/gtest.h>

#include "platform/plist/keyed_archive.h"
#include "sim/scenario.h"
#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

class ScenarioInputs : public ScenarioText {
 protected:
  // Plays the scenario text (with --explain and any further options) and returns what it printed.
  std::string play(const std::string& scenario, std::vector<std::string> options = {"--explain"}) {
    return ScenarioText::play(scenario, std::move(options), "scenarios/day.json");
  }
};

TEST_F(ScenarioInputs, ASettingsFileOfAPhoneIsPlacedAsItIsAndItsKeysHeadTheRun) {
  writePlist("scenarios/phone-binary.plist", {{"globalSMS", false}, {"smsInt", 30}}, pl::Format::Binary);
  writePlist("phone-xml.plist", {{"globalSMS", false}, {"smsInt", 30}}, pl::Format::Xml);
  const std::string actions = R"("actions": [{"at": "+30s", "do": "notification", "event": "sms"}], "run": "3m"})";
  for (const auto& [file, heading] :
       {std::pair{"phone-binary.plist", "settings: phone-binary.plist (binary): globalSMS off, smsInt 30\n"},
        std::pair{"../phone-xml.plist", "settings: ../phone-xml.plist (XML): globalSMS off, smsInt 30\n"}}) {
    const std::string out = play(R"({"device": {"ios": "9.3"}, "settings": ")" + std::string(file) + "\", " + actions);
    EXPECT_TRUE(has(out, heading)) << out;
    EXPECT_TRUE(has(out, "no reminder was started")) << "the file's globalSMS off holds\n" << out;
  }
}

TEST_F(ScenarioInputs, ASettingsFileActionPutsAWholeFileInPlace) {
  writePlist("scenarios/later.plist", {{"smsInt", 30}}, pl::Format::Binary);
  const std::string out = play(R"({"device": {"ios": "9.3"}, "settings": {"smsCount": 1, "smsInt": 90},
      "actions": [{"at": "+1m", "do": "settings-file", "file": "later.plist"},
                  {"at": "+2m", "do": "notification", "event": "sms"}], "run": "4m"})",
                               {"--explain", "--check"});
  EXPECT_TRUE(
      has(out, "another tool puts later.plist in place as the settings file (smsInt 30; no change notification)"))
      << out;
  EXPECT_TRUE(has(out, "SMS - next alert in 30 s")) << out;
  EXPECT_TRUE(has(out, "SMS - alert 1, no limit")) << "smsCount went with the old file\n" << out;
  EXPECT_TRUE(has(out, "invariants held")) << out;
}

TEST_F(ScenarioInputs, RawArchivesAndContextsOfAnyShapePlayEndToEnd) {
  const pl::Data archive = pl::archiveLocalNotification({{"jid", std::int64_t{4915112345678}}});
  const std::string out = play(R"({"device": {"ios": "9.3"}, "locked": true,
      "settings": {"imSMSWats": true},
      "actions": [
        {"at": "+20s", "do": "notification", "app": "net.whatsapp.WhatsApp", "localArchive": ")" +
                               toBase64(archive) + R"("},
        {"at": "+30s", "do": "notification", "app": "com.viber", "localArchive": "YnBsaXN0MDAAAQ=="},
        {"at": "+40s", "do": "notification", "app": "com.viber", "context": ["CAT_MISSED_CALL"]},
        {"at": "+50s", "do": "notification", "app": "ch.threema.iapp", "context": 7},
        {"at": "+60s", "do": "notification", "app": "com.facebook.Messenger", "context": "reply_mute"}],
      "run": "3m"})");
  EXPECT_TRUE(has(out, "armed          WhatsApp message")) << "a number jid is a jid\n" << out;
  EXPECT_FALSE(has(out, "armed          Viber")) << out;
  EXPECT_FALSE(has(out, "armed          Threema")) << out;
  EXPECT_FALSE(has(out, "armed          Messenger")) << out;
}

TEST_F(ScenarioInputs, RawInputsTheSimulatorCannotPlayAreRefusedWithTheirPlace) {
  scratch.write("scenarios/list.plist", R"(<?xml version="1.0"?><plist version="1.0"><array><true/></array></plist>)");
  scratch.write("scenarios/garbage.plist", "bplist00 not really");
  const std::pair<std::string, std::string> cases[] = {
      {R"("settings": "nowhere.plist")", "settings: expected the path of a property-list file, but"},
      {R"("settings": "list.plist")", "list.plist\" holds an array, not a dictionary of settings"},
      {R"("settings": "garbage.plist")", "garbage.plist\" is no property list the device can read"},
      {R"("settings": "/dev/zero")", "\"/dev/zero\" is no file"},
      {R"("settings": 7)", "settings: expected an object of settings or the path of a property-list file, got 7"},
      {R"("actions": [{"at": "+1m", "do": "settings-file", "file": "list.plist", "set": {"a": 1}}])",
       "actions[0].file: give \"file\" (a whole settings file) or \"set\" and \"remove\", not both"},
      {R"("actions": [{"at": "+1m", "do": "settings", "file": "later.plist"}])", "actions[0]: unknown key \"file\""},
      {R"("actions": [{"at": "+1m", "do": "notification", "app": "a.b", "localArchive": "no base64!"}])",
       "actions[0].localArchive: expected the archive's bytes as base64"},
      {R"("actions": [{"at": "+1m", "do": "notification", "app": "a.b", "localArchive": "QUJD", "local": {}}])",
       "actions[0].localArchive: give \"local\" or \"localArchive\", not both"},
      {R"("actions": [{"at": "+1m", "do": "notification", "app": "a.b", "localArchive": "QUJD", "localFire": true}])",
       "actions[0].localFire: a local notification that fires needs \"local\""},
      {R"("actions": [{"at": "+1m", "do": "notification", "app": "a.b", "context": null}])",
       "actions[0].context: expected a context of any JSON type but null"},
      {R"("actions": [{"at": "+1m", "do": "notification", "app": "a.b", "context": {}, "remote": {}}])",
       "actions[0].context: \"context\" is the whole context"},
  };
  for (const auto& [part, expected] : cases) {
    const std::string path = scratch.write("scenarios/bad.json", "{\"run\": \"10m\", " + part + "}");
    CommandRun run = runQuorvelSim({path});
    EXPECT_EQ(run.status, 2) << part;
    EXPECT_EQ(run.out, "") << part;
    EXPECT_TRUE(has(run.err, "quorvel-sim: " + path + ": ")) << run.err;
    EXPECT_TRUE(has(run.err, expected)) << part << "\n" << run.err;
  }
}

TEST(Base64, ReadsWhatItWritesAndRefusesOtherText) {
  for (const pl::Data& bytes :
       {pl::Data{}, pl::Data{'a'}, pl::Data{'a', 'b'}, pl::Data{'a', 'b', 'c'}, pl::Data{0, 0xFF, 0x10, 0x80}}) {
    EXPECT_EQ(fromBase64(toBase64(bytes)), bytes) << toBase64(bytes);
  }
  EXPECT_EQ(toBase64(pl::Data{'a', 'b'}), "YWI=");
  EXPECT_EQ(fromBase64("YW\nI"), (pl::Data{'a', 'b'})) << "white space and missing padding are fine";
  for (const char* bad : {"YWI=x", "Y", "YW*I", "YWI==="}) EXPECT_FALSE(fromBase64(bad)) << bad;
}

TEST_F(ScenarioInputs, Ios7SaysItRunsOnDefaultsInTheHeadingAndWhereTheSettingsWouldBeRead) {
  const std::string out = play(R"({"device": {"ios": "7.1"}, "settings": {"globalSMS": false},
      "actions": [{"at": "+1m", "do": "settings", "set": {"smsInt": 30}}], "run": "2m"})");
  EXPECT_TRUE(has(out,
                  "settings: iOS 7.1 reads no settings: every key takes its default (the settings file holds "
                  "globalSMS off)\n"))
      << out;
  EXPECT_TRUE(has(out, "why            settings - iOS 7.1 reads no settings: every key takes its default")) << out;
}

TEST_F(ScenarioInputs, RemovingANotificationSaysWhereItWasAndWhyNothingWasCleared) {
  // On iOS 7 to 9 every removal read "swipes ... off the lock screen", even from the notification centre.
  const std::string out = play(R"({"device": {"ios": "9.3"}, "settings": {"globalMail": true}, "locked": true,
      "actions": [{"at": "+20s", "do": "notification", "event": "mail", "label": "locked"},
                  {"at": "+30s", "do": "remove-notification", "notification": "locked"},
                  {"at": "+40s", "do": "unlock"},
                  {"at": "+50s", "do": "notification", "event": "mail", "label": "unlocked"},
                  {"at": "+60s", "do": "remove-notification", "notification": "unlocked"}], "run": "3m"})");
  EXPECT_TRUE(has(out, "swipes the notification \"locked\" off the lock screen")) << out;
  EXPECT_TRUE(has(out, "clears the notification \"unlocked\" from the notification centre")) << out;
  EXPECT_TRUE(has(out, "Mail - no reminder cleared: on iOS 7 to 9 only removals from the lock screen")) << out;
  const std::string ios10 = play(R"({"device": {"ios": "10.3"}, "locked": true,
      "actions": [{"at": "+20s", "do": "notification", "event": "telegram-message"},
                  {"at": "+30s", "do": "remove-notification"}], "run": "1m"})");
  EXPECT_TRUE(has(ios10, "clears the latest notification from the lock screen")) << ios10;
}

// Guards a fault: on iOS 10 a removal that cleared nothing went without a word, from the lock
// screen and from the notification centre alike.
TEST_F(ScenarioInputs, OnIos10RemovingANotificationSaysWhyItsReminderKeepsAlerting) {
  const char* const cleared =
      " - no reminder cleared: on iOS 10 the system only passes the clearing of a notification through";
  for (const auto& [event, app] : {std::pair{"sms", "Messages"}, std::pair{"telegram-message", "Telegram"},
                                   std::pair{"whatsapp-message", "WhatsApp"}, std::pair{"threema-message", "Threema"}}) {
    for (const char* locked : {"true", "false"}) {
      const std::string out = play(std::string(R"({"device": {"ios": "10.3"}, "locked": )") + locked +
                                   R"(, "settings": {"imSMSTeleg": true, "imSMSWats": true, "thremaIm": true},
          "actions": [{"at": "+20s", "do": "notification", "event": ")" + event + R"(", "label": "n"},
                      {"at": "+2m", "do": "remove-notification", "notification": "n"}], "run": "3m"})");
      EXPECT_TRUE(has(out, std::string("why            ") + app + cleared)) << out;
      EXPECT_TRUE(has(out, "alert 2, no limit")) << "the removal stops nothing\n" << out;
    }
  }
}

// Guards a fault: on an iPad, opening FaceTime or tapping the call reminder's banner, which names
// FaceTime, left the call reminder alerting without a word of why.
TEST_F(ScenarioInputs, OpeningAnAppTheLibraryDoesNotLoadIntoSaysWhyTheReminderItsBannerNamesGoesOn) {
  const std::string actions = R"(, "actions": [{"at": "+20s", "do": "incoming-call", "from": "Mum"},
      {"at": "+30s", "do": "end-call"}, {"at": "+1m40s", "do": "open-app", "app": "com.apple.facetime"},
      {"at": "+2m33s", "do": "tap-banner"}], "run": "4m"})";
  const char* const why =
      "FaceTime      why            call - not cleared: the library does not load into FaceTime, "
      "so opening it posts no clear notification; the reminder goes on\n";
  const std::string pad = play(R"({"device": {"ios": "10.3", "kind": "iPad"})" + actions);
  EXPECT_TRUE(has(pad, "08:01:40.000  " + std::string(why))) << pad;
  EXPECT_TRUE(
      has(pad, "08:02:33.000  SpringBoard   device         FaceTime - opened\n08:02:33.000  " + std::string(why)))
      << "the tapped banner opens FaceTime\n"
      << pad;
  EXPECT_TRUE(has(pad, "still running at the end")) << pad;
  // On an iPhone the banner names Phone, which clears the reminder; FaceTime names no reminder.
  const std::string phone = play(R"({"device": {"ios": "10.3"})" + actions);
  EXPECT_FALSE(has(phone, "not cleared: the library does not load")) << phone;
  EXPECT_TRUE(has(phone, "cleared at 08:02:33, when the user taps the banner")) << phone;
}

TEST_F(ScenarioInputs, AnSmsGivenItsBadgeStillArrivesInMessagesToBeRead) {
  // An sms notification given "badge": 1 left the message out of Messages, so reading never cleared the reminder.
  const std::string out = play(R"({"device": {"ios": "9.3"},
      "actions": [{"at": "+20s", "do": "notification", "event": "sms", "badge": 1},
                  {"at": "+2m", "do": "read-messages"}], "run": "4m"})");
  EXPECT_TRUE(has(out, "cleared at 08:02:00, when the user reads all new messages in Messages")) << out;
}

TEST_F(ScenarioInputs, AReminderTheRestartDroppedReadsLostNotStillRunning) {
  const std::string out = play(R"({"device": {"ios": "9.3"},
      "actions": [{"at": "+20s", "do": "notification", "event": "sms"},
                  {"at": "+3m", "do": "respring"}], "run": "6m"})");
  EXPECT_TRUE(has(out, "lost at 08:03:00, when the home screen restarted")) << out;
  EXPECT_FALSE(has(out, "still running at the end")) << out;
}

}  // namespace
}  // namespace qv::sim
