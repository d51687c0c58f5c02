// Values of the wrong type: payloads and settings that are missing, mistyped or corrupt read as
// absent. They start nothing that depends on them and never crash.
#include <gtest/gtest.h>

#include <filesystem>

#include "intake/classification.h"
#include "platform/plist/keyed_archive.h"
#include "tests/intake/intake_test_support.h"
#include "tests/scratch_folder.h"

namespace qv::intake::testing {
namespace {

pl::Dict localContext(pl::Value archive) {
  return pl::Dict{{"localNotification", std::move(archive)}};
}

// Contexts a rule must read as "no payload" or "no matching value".
std::vector<std::pair<std::string, std::optional<pl::Dict>>> badContexts() {
  pl::Data archive = pl::archiveLocalNotification({{"type", 5}, {"threema", "newmsg"}, {"category", 3}, {"aps", "x"}});
  pl::Data truncated = pl::archiveLocalNotification({{"jid", "49"}});
  truncated.resize(truncated.size() / 2);
  std::vector<std::pair<std::string, std::optional<pl::Dict>>> out = {
      {"no context", std::nullopt},
      {"remote payload a string", pl::Dict{{"remoteNotification", "missed-call"}}},
      {"aps a string", pl::Dict{{"remoteNotification", pl::Dict{{"aps", "missed-call"}}}}},
      {"category a number", pl::Dict{{"remoteNotification", pl::Dict{{"aps", pl::Dict{{"category", 5}}}}}}},
      {"threema not a dictionary", pl::Dict{{"remoteNotification", pl::Dict{{"threema", "newmsg"}}}}},
      {"archive a string", localContext("jid")},
      {"archive of mistyped values", localContext(archive)},
      {"truncated archive", localContext(truncated)},
      {"garbage archive", localContext(pl::Data{'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3})},
  };
  const std::filesystem::path files = QV_DEVICE_FILES;
  if (std::filesystem::exists(files / "malformed")) {
    for (const auto& entry : std::filesystem::directory_iterator(files / "malformed"))
      out.emplace_back(entry.path().filename().string(), localContext(fileBytes(entry.path())));
    out.emplace_back("real archive without userInfo",
                     localContext(fileBytes(files / "keyed-archives/ios-uilocalnotification.bplist")));
  }
  return out;
}

TEST(BadPayloads, StartNothingThatDependsOnThemAndNeverCrash) {
  // Values of the wrong type.
  IntakeWorld w({.release = "9.3"});
  w.lib.intake.messengerCallPending = true;
  const auto contexts = badContexts();
  for (const char* section : {"net.whatsapp.WhatsApp", "com.facebook.Messenger", "com.viber", "ch.threema.iapp"}) {
    for (const auto& [name, context] : contexts) {
      const IntakeNotification note{.sectionID = section, .context = context ? pl::Value(*context) : pl::Value()};
      classifyPublishedBulletin(w.lib, note);
      classifyLockScreenBulletin(w.lib, note);
      EXPECT_EQ(w.rec.count(Kind::ReminderArmed), 0u) << section << ": " << name;
    }
  }
  classifyWhatsAppLocalNotification(w.lib, nullptr);
  EXPECT_EQ(w.rec.count(Kind::ReminderArmed), 0u);
}

TEST(BadPayloads, AWellFormedArchiveStillDecodes) {
  IntakeWorld w({.release = "9.3"});
  const IntakeNotification note{.sectionID = "net.whatsapp.WhatsApp",
                                .context = localContext(pl::archiveLocalNotification({{"jid", "49"}}))};
  Payloads payloads(w.lib.host, note);
  EXPECT_TRUE(payloads.localHas("jid"));
  EXPECT_EQ(payloads.remote(), nullptr);
}

TEST(BadPayloads, AKeyTheRulesOnlyLookForCountsWhateverItsType) {
  // "The payload has a key" counted only string values, so {"jid": 4915112345678} started nothing.
  const pl::Dict numberJids{{"jid", std::int64_t{4915112345678}}, {"missed-call-jid", pl::Array{}}};
  IntakeWorld fired({.release = "9.3"});
  classifyWhatsAppLocalNotification(fired.lib, &numberJids);
  EXPECT_EQ(fired.effects(), "armed:WhatsApp call shown:quorvel.WHCall armed:WhatsApp message shown:quorvel.WHMess");
  const pl::Dict incomingCall{{"incoming-call-jid", true}};
  classifyWhatsAppLocalNotification(fired.lib, &incomingCall);
  EXPECT_FALSE(fired.running(Category::WhatsAppCall));

  IntakeWorld locked({.release = "9.3", .startLocked = true});
  auto h = locked.deliver({.bundleId = "net.whatsapp.WhatsApp", .localPayload = numberJids});
  EXPECT_TRUE(locked.running(Category::WhatsAppCall)) << "lock-screen add rules";
  EXPECT_TRUE(locked.running(Category::WhatsAppMessage));
  ASSERT_TRUE(locked.world.notifications().removeFromLockScreen(h));
  locked.world.runUntilIdle();
  EXPECT_FALSE(locked.running(Category::WhatsAppCall)) << "removal rules";
  EXPECT_FALSE(locked.running(Category::WhatsAppMessage));
}

TEST(BadPayloads, MistypedSettingsTakeTheirDefaults) {
  // Values of the wrong type.
  pl::Dict settings = allSwitchesOn();
  settings["imCalWats"] = pl::Array{true};
  settings["otherApplications"] = "net.whatsapp.WhatsApp";
  IntakeWorld w({.release = "10.3"}, settings);
  w.deliver({.bundleId = "net.whatsapp.WhatsApp", .categoryIdentifier = "missed-call", .badge = 1});
  EXPECT_EQ(w.effects(), "| A:WhatsApp call");
  EXPECT_FALSE(w.lib.otherApps.activeOtherApps && !w.lib.otherApps.activeOtherApps->empty());
}

}  // namespace
}  // namespace qv::intake::testing
