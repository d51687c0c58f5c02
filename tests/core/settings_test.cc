#include "core/settings.h"

#include <gtest/gtest.h>

#include "tests/alerts/alerts_test_support.h"

namespace qv::core {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;

class SettingsLoading : public alerts::testing::AlertWorld {
 protected:
  using AlertWorld::AlertWorld;
  void save(const pl::Dict& values, const std::vector<std::string>& removals = {}) {
    alerts::testing::writeAndLoad(world, values, removals);
  }

  const Settings& settings = lib.settings;
};

TEST_F(SettingsLoading, IntervalsOfZeroOrLessMeanSixtySeconds) {
  // Intervals of zero or less: a negative interval would make the timer due at once, a fire loop.
  save({{"smsInt", -5}, {"phInt", 0}, {"mailInt", 30}, {"imInt", -0.5}});
  EXPECT_EQ(settings.number(Key::smsInt), 60);
  EXPECT_EQ(settings.number(Key::phInt), 60);
  EXPECT_EQ(settings.number(Key::mailInt), 30);
  EXPECT_EQ(settings.number(Key::imInt), 60);
  lib.reminders.activeFlag(Category::Sms) = true;
  host::send(lib.sharedHelper, hm::LoadsmsTimer);
  world.runFor(59s);
  EXPECT_EQ(rec.count(Kind::ReminderFired), 0u);
  world.runFor(1s);
  EXPECT_EQ(rec.count(Kind::ReminderFired), 1u);
}

TEST_F(SettingsLoading, ValuesOfTheWrongTypeReadAsAbsent) {
  // Values of the wrong type: every lookup is typed, a value with no reading for its rule takes the key's default.
  save({{"showStatus", pl::Data{1}},
        {"globalSMS", pl::Date{}},
        {"smsInt", "30"},
        {"currentSMSSound", 42},
        {"otherApplications", "com.example.chat"},
        {"torchCall", pl::Array{false}},
        {"globalMail", pl::Dict{{"on", true}}}});
  EXPECT_FALSE(settings.flag(Key::showStatus));
  EXPECT_FALSE(settings.showStatusEnabled());
  EXPECT_TRUE(settings.flag(Key::globalSMS));
  EXPECT_EQ(settings.number(Key::smsInt), 60) << "number keys read no strings";
  EXPECT_EQ(settings.string(Key::currentSMSSound), "SMS 3.caf");
  EXPECT_TRUE(settings.otherApplicationsList().empty());
  EXPECT_FALSE(settings.listsApp("com.example.chat"));
  EXPECT_TRUE(settings.flag(Key::torchCall));
  EXPECT_FALSE(settings.flag(Key::globalMail));
  save({{"otherApplications", pl::Array{"com.example.chat", 7, "com.example.mail"}}, {"showStatus", 1}});
  EXPECT_EQ(settings.otherApplicationsList(), (std::vector<std::string>{"com.example.chat", "com.example.mail"}));
  EXPECT_TRUE(settings.showStatusEnabled()) << "a number is read as a boolean, as the platform's numbers are";
}

TEST_F(SettingsLoading, FlagsStoredAsStringsReadAsThePlatformReadsTheirBoolean) {
  // A flag stored as a string counted as absent, so "NO" turned a default-on switch on.
  const std::pair<const char*, bool> rows[] = {
      {"YES", true},    {"yes", true},  {"Y", true},        {"true", true},     {"T", true},   {"1", true},
      {"42", true},     {"-1", true},   {" \t+0007", true}, {"0000009x", true}, {"NO", false}, {"no", false},
      {"false", false}, {"0", false},   {"-0", false},      {"000", false},     {"", false},   {"   ", false},
      {"on", false},    {"0x1", false}, {"+-1", false},     {"ja", false},
  };
  for (const auto& [text, on] : rows) {
    save({{"globalSMS", text}, {"showStatus", text}, {"globalEnabled", text}});
    EXPECT_EQ(settings.flag(Key::globalSMS), on) << '"' << text << "\" as a default-on flag";
    EXPECT_EQ(settings.flag(Key::showStatus), on) << '"' << text << "\" as a default-off flag";
    EXPECT_EQ(settings.showStatusEnabled(), on) << '"' << text << '"';
    EXPECT_EQ(settings.storedBool(Key::globalEnabled), std::optional<bool>(on))
        << "present, so \"" << text << "\" decides";
  }
}

TEST_F(SettingsLoading, FirstRunIsWrittenButNeverRead) {
  auto readAll = [&] {
    std::string all;
    for (const SettingKey& k : kSettingKeys)
      if (k.rule != Rule::WrittenOnly)
        all += std::to_string(settings.flag(k.key)) + std::to_string(settings.number(k.key)) + settings.string(k.key);
    return all;
  };
  const std::string without = readAll();
  save({{"firstRun", false}});
  EXPECT_EQ(readAll(), without) << "no reading of any key depends on firstRun";
}

class SettingsBeforeIos8 : public SettingsLoading {
 protected:
  SettingsBeforeIos8()
      : SettingsLoading({.release = "7.1",
                         .settings = pl::Dict{{"globalMail", true},
                                              {"globalSMS", false},
                                              {"smsInt", 30},
                                              {"showStatus", true},
                                              {"otherApplications", pl::Array{"com.example.chat"}}}}) {}
};

TEST_F(SettingsBeforeIos8, NeverReadTheDomainSoEveryKeyTakesItsDefault) {
  save({{"imInt", 45}});
  EXPECT_EQ(settings.dictionary(), nullptr);
  EXPECT_FALSE(settings.flag(Key::globalMail));
  EXPECT_TRUE(settings.flag(Key::globalSMS));
  EXPECT_EQ(settings.number(Key::smsInt), 60);
  EXPECT_EQ(settings.number(Key::imInt), 60);
  EXPECT_FALSE(settings.showStatusEnabled());
  EXPECT_TRUE(settings.otherApplicationsList().empty());
  std::string why;
  for (const auto& e : rec.ofKind(Kind::Decision))
    if (e.subject == "settings") why += e.process + ": " + e.detail + "\n";
  EXPECT_EQ(why, "SpringBoard: iOS 7.1 reads no settings: every key takes its default\n")
      << "the change notification is where the settings would have counted";
}

class SettingsStartup : public SettingsLoading {
 protected:
  SettingsStartup() : SettingsLoading({.settings = pl::Dict{{"smsInt", 30}, {"showStatus", true}}}) {}
};

TEST_F(SettingsStartup, LoadsTheFileThatIsThereAndReloadsItWholeAtEachChangeNotification) {
  EXPECT_EQ(settings.number(Key::smsInt), 30);
  EXPECT_TRUE(settings.showStatusEnabled());
  const std::uint64_t before = settings.loadCount();
  world.prefs().setValue("smsInt", nullptr, kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  EXPECT_EQ(settings.number(Key::smsInt), 30) << "settings change only at a load";
  world.darwin().post("Preferences", kSettingsChangedNotification);
  world.runUntilIdle();
  EXPECT_EQ(settings.number(Key::smsInt), 60) << "a key removed between the posts is absent";
  save({{"otherApplications", pl::Array{"com.example.chat"}}});
  ASSERT_EQ(settings.otherApplicationsList().size(), 1u);
  save({}, {"otherApplications"});
  EXPECT_EQ(settings.loadCount(), before + 3);
  EXPECT_TRUE(settings.otherApplicationsList().empty());
  EXPECT_TRUE(settings.showStatusEnabled());
  ASSERT_NE(settings.dictionary(), nullptr);
}

}  // namespace
}  // namespace qv::core
