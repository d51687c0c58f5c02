// --list-settings, docs/settings.md and --list-apps are printed from the tables the system reads:
// the document must say what the table says (run scripts/update-docs.sh after changing it), and
// every key and app must be listed with what a user needs to use it.
#include <gtest/gtest.h>

#include "platform/apps/catalog.h"
#include "sim/lookup_reference.h"
#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

using core::Key;

TEST(SettingsReference, DocumentAndListAgreeWithTheKeyTable) {
  EXPECT_TRUE(fileText(sourcePath("docs/settings.md")) == settingsMarkdown())
      << "docs/settings.md differs from core/settings_keys.h: run scripts/update-docs.sh";
  CommandRun markdown = runQuorvelSim({"--list-settings", "--markdown"});
  EXPECT_EQ(markdown.status, 0);
  EXPECT_TRUE(markdown.out == settingsMarkdown());
  CommandRun text = runQuorvelSim({"--list-settings"});
  ASSERT_EQ(text.status, 0);
  for (const core::SettingKey& key : core::kSettingKeys) {
    EXPECT_FALSE(key.what.empty()) << key.name << " says nothing of what it does";
    const std::string row = std::string(key.name) + " ";
    const std::size_t at = text.out.find("\n" + row);
    ASSERT_NE(at, std::string::npos) << key.name << " missing from --list-settings";
    const std::string line = text.out.substr(at + 1, text.out.find('\n', at + 1) - at - 1);
    EXPECT_NE(line.find(" " + settingType(key) + " "), std::string::npos) << line;
    EXPECT_NE(line.find(" " + settingDefault(key) + " "), std::string::npos) << line;
    EXPECT_NE(text.out.find(std::string(key.what), at), std::string::npos) << key.name;
  }
}

TEST(SettingsReference, TypeDefaultAndValuesFollowHowTheLibraryReadsEachKey) {
  struct Case {
    Key key;
    const char* type;
    const char* defaultValue;
    const char* values;  // the start of the column
  } cases[] = {
      {Key::globalSMS, "flag", "on", "true or false"},
      {Key::globalMail, "flag", "off", "true or false"},
      {Key::smsInt, "seconds", "60", "a whole number above 0; 0 or less"},
      {Key::smsCount, "alerts", "no limit", "a whole number above 0"},
      {Key::fromHour, "hour", "0", "0 to 23"},
      {Key::toMin, "minute", "59", "0 to 59"},
      {Key::currentSMSSound, "sound file", "SMS 3.caf", "a file name in /Library/Application Support/Quorvel/Sounds/"},
      {Key::otherApplications, "bundle ids", "none", "an array of bundle identifiers"},
  };
  for (const Case& c : cases) {
    const core::SettingKey& key = core::settingKey(c.key);
    EXPECT_EQ(settingType(key), c.type) << key.name;
    EXPECT_EQ(settingDefault(key), c.defaultValue) << key.name;
    EXPECT_EQ(settingValues(key).rfind(c.values, 0), 0u) << key.name << ": " << settingValues(key);
  }
}

// Guards a fixed fault: the reference said the library never reads a copy, while a settings file
// rewritten without the change notification counts only from the library's next load.
TEST(SettingsReference, SaysTheLibraryReadsTheSettingsItLastLoaded) {
  const CommandRun text = runQuorvelSim({"--list-settings"});
  for (const std::string& reference : {settingsMarkdown(), text.out}) {
    const std::string opening = reference.substr(0, reference.find('|'));
    EXPECT_NE(opening.find("from the settings it last loaded"), std::string::npos) << opening;
    EXPECT_NE(opening.find("from the next of these"), std::string::npos) << opening;
    EXPECT_EQ(opening.find("never a copy"), std::string::npos) << opening;
  }
}

// Fault: the built-in apps besides the catalogue's were listed as running no process, yet opening
// one launched a process of its name; what tells a user whether opening an app can clear
// anything is whether the library loads into it.
TEST(AppsReference, ListsEveryAppOfTheHomeScreenWithWhetherTheLibraryLoadsIntoIt) {
  CommandRun run = runQuorvelSim({"--list-apps"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string filter = fileText(sourcePath("package/Filter.plist"));
  auto row = [&](const std::string& bundleId) {
    const std::size_t at = run.out.find("\n" + bundleId + " ");
    return at == std::string::npos ? std::string() : run.out.substr(at + 1, run.out.find('\n', at + 1) - at - 1);
  };
  auto listed = [&](const std::string& bundleId, const std::string& name) {
    const std::string line = row(bundleId);
    const bool loads = filter.find("<string>" + bundleId + "</string>") != std::string::npos;
    EXPECT_NE(line.find(" " + name + " "), std::string::npos) << bundleId << "\n" << run.out;
    EXPECT_TRUE(line.ends_with(loads ? ", with the library" : ", without the library")) << line;
  };
  for (const apps::AppSpec& app : apps::knownApps()) listed(app.bundleId, app.displayName);
  for (const apps::HomeScreenApp& app : apps::otherHomeScreenApps()) listed(app.bundleId, app.displayName);
}

}  // namespace
}  // namespace qv::sim
