// Faults injected in the host layer mid-run: a settings file that turns corrupt or unreadable,
// writes that fail, a sound file that disappears, a capture device that refuses configuration,
// a class missing from the home screen. The device keeps reminding (on the values it last read,
// or on defaults) and no stored setting is lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/missed_helper.h"
#include "core/settings_keys.h"
#include "platform/plist/io.h"
#include "sim/world.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;

const pl::Dict kStored{{"imSMSTeleg", true}, {"imInt", std::int64_t{20}}, {"showStatus", true},
                       {"currentIMSound", "Bell.caf"}};

pl::Dict telegramMessage() { return pl::Dict{{"aps", pl::Dict{{"alert", "Dana: hi"}}}}; }

class DeviceUnderFaults : public ::testing::Test {
 protected:
  explicit DeviceUnderFaults(WorldConfig config = {}) : world(std::move(config)) {
    world.writeSettings(kStored);
    world.runFor(11s);  // intake opens
  }

  std::string settingsPath() {
    return world.prefs().devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  }
  // The settings file as it is on disk; empty when it is no readable dictionary.
  pl::Dict settingsFile() {
    auto bytes = world.root().read(settingsPath());
    auto value = bytes ? pl::parse(*bytes) : Result<pl::Value>(Error{"unread"});
    return value && value->ifDict() ? *value->ifDict() : pl::Dict{};
  }
  void expectFileHolds(const pl::Dict& values) {
    const pl::Dict file = settingsFile();
    for (const auto& [key, value] : values) {
      auto it = file.find(key);
      ASSERT_NE(it, file.end()) << "the settings file lost \"" << key << "\"";
      EXPECT_EQ(it->second, value) << key;
    }
  }
  void startTelegramReminder() {
    world.notifications().deliver({.bundleId = "ph.telegra.Telegraph", .remotePayload = telegramMessage()});
    world.runFor(1s);
  }
  std::size_t fires() { return rec.count(Kind::ReminderFired, "Telegram message"); }
  std::size_t hostReports(std::string_view about) {
    std::size_t n = 0;
    for (const timeline::Event& e : rec.events())
      if (e.kind == Kind::Host && e.subject == "preferences" && e.detail.find(about) != std::string::npos) ++n;
    return n;
  }

  World world;
  timeline::Recorder rec{world.timeline()};
};

class PreferencesFaults : public DeviceUnderFaults {};

TEST_F(PreferencesFaults, ACorruptFileKeepsTheValuesReadBeforeAndTheNextSaveRepairsIt) {
  startTelegramReminder();
  ASSERT_TRUE(world.root().writeAtomic(settingsPath(), {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xff}));
  world.writeSettings({});  // the change notification alone: the library reloads
  world.runFor(70s);
  EXPECT_EQ(hostReports("not a readable property-list dictionary"), 1u);
  EXPECT_EQ(world.library().settings.number(core::Key::imInt), 20) << "the values read before";
  EXPECT_EQ(fires(), 3u) << "alerts every 20 s as before";
  world.writeSettings({{"soundIm", false}});
  expectFileHolds(kStored);
  expectFileHolds({{"soundIm", false}});
}

TEST_F(PreferencesFaults, ASaveThatChangesNothingStillRepairsACorruptFile) {
  // Fault: a save that changed no value skipped the write and left a corrupt settings file corrupt.
  ASSERT_TRUE(world.root().writeAtomic(settingsPath(), {'<', 'p', 'l'}));
  world.writeSettings({{"imInt", std::int64_t{20}}});
  expectFileHolds(kStored);
}

TEST_F(PreferencesFaults, AnUnreadableFileIsReportedAndItsValuesKept) {
  world.root().failReads = true;
  world.editSettingsFile({{"imInt", std::int64_t{45}}});  // another tool touches the file meanwhile
  world.writeSettings({});
  world.runFor(1s);
  EXPECT_EQ(hostReports("cannot be read"), 1u);
  EXPECT_EQ(world.library().settings.number(core::Key::imInt), 20);
  startTelegramReminder();
  world.runFor(40s);
  EXPECT_EQ(fires(), 2u);
  world.root().failReads = false;
  world.writeSettings({{"soundIm", false}});
  expectFileHolds({{"imSMSTeleg", true}, {"showStatus", true}, {"soundIm", false}});
}

TEST_F(PreferencesFaults, FailedWritesAreKeptInMemoryAndSavedByTheNextWrite) {
  world.root().failWrites = true;
  world.writeSettings({{"imInt", std::int64_t{30}}});
  world.runFor(1s);
  EXPECT_EQ(hostReports("could not be written"), 1u);
  EXPECT_EQ(world.library().settings.number(core::Key::imInt), 30) << "the daemon serves what it was told";
  expectFileHolds(kStored);  // the old file, untouched
  world.root().failWrites = false;
  world.writeSettings({{"imInt", std::int64_t{30}}});  // the pane saves the same value again
  expectFileHolds({{"imInt", std::int64_t{30}}, {"imSMSTeleg", true}, {"showStatus", true}});
}

TEST_F(PreferencesFaults, AHomeScreenRestartedWhileWritesFailStillReminds) {
  world.root().failWrites = true;
  world.respring();
  world.runFor(11s);
  startTelegramReminder();
  world.runFor(41s);
  EXPECT_EQ(fires(), 2u);
  world.root().failWrites = false;
  expectFileHolds(kStored);
}

class AlertFaults : public DeviceUnderFaults {};

TEST_F(AlertFaults, ASoundFileThatDisappearsSilencesOnlyItsOwnAlert) {
  startTelegramReminder();
  world.runFor(20s);
  ASSERT_EQ(rec.count(Kind::Sound), 1u);
  ASSERT_TRUE(world.root().remove(std::string(kSoundsDirectory) + "Bell.caf"));
  world.runFor(40s);
  EXPECT_EQ(fires(), 3u);
  EXPECT_EQ(rec.count(Kind::Sound), 1u) << "no sound without its file";
  EXPECT_EQ(rec.count(Kind::Vibration), 3u) << "the rest of each alert goes on";
}

TEST_F(AlertFaults, ACaptureDeviceThatRefusesConfigurationLeavesTheRestOfEachAlert) {
  world.writeSettings({{"torchIm", true}});
  world.home().torch().refusesConfiguration = true;
  startTelegramReminder();
  world.runFor(45s);
  EXPECT_EQ(fires(), 2u);
  EXPECT_EQ(rec.count(Kind::TorchOn), 0u);
  EXPECT_EQ(rec.count(Kind::Vibration), 2u);
  world.home().torch().refusesConfiguration = false;
  world.runFor(20s);
  EXPECT_EQ(rec.count(Kind::TorchOn), 5u) << "the next alert blinks again";
}

// Every class of the home screen, missing in turn: nothing crashes, and what still exists keeps
// working as far as it can without that class.
TEST(MissingClasses, AHomeScreenWithoutAnyOneOfItsClassesRunsAnHourOfNotifications) {
  // Fault: a home screen without SBApplicationIcon crashed when asked for an app's icon (the badge of Messages).
  std::vector<std::string> classes;
  {
    World probe;
    classes = probe.springBoard().host.runtime().classNames();
  }
  ASSERT_GT(classes.size(), 20u);
  for (const std::string& name : classes) {
    SCOPED_TRACE("without " + name);
    WorldConfig config;
    config.missingClasses = {{kSpringBoardBundle, {name}}};
    World world(config);
    world.writeSettings(kStored);
    world.runFor(11s);
    world.notifications().deliver({.bundleId = "ph.telegra.Telegraph", .remotePayload = telegramMessage()});
    world.notifications().deliver({.bundleId = "com.apple.MobileSMS", .badge = 1});
    world.runFor(2min);
    world.home().autoLock();
    world.runFor(1h);
    world.openApp("ph.telegra.Telegraph");
    world.runFor(1min);
    auto file = world.root().read(world.prefs().devicePath(core::kSettingsDomain, prefs::User::Current,
                                                           prefs::HostScope::Any));
    ASSERT_TRUE(file);
    auto dict = pl::parse(*file);
    ASSERT_TRUE(dict && dict->ifDict());
    for (const auto& [key, value] : kStored) EXPECT_TRUE(dict->ifDict()->count(key)) << key;
  }
}

}  // namespace
}  // namespace qv::sim
