#include "alerts/sound.h"

#include <gtest/gtest.h>

#include "alerts/vibration.h"
#include "tests/alerts/alerts_test_support.h"

namespace qv::alerts {
namespace {

using testing::writeAndLoad;
using namespace std::chrono_literals;
using core::Category;
using testing::details;
using testing::startReminder;
using timeline::Kind;

class ReminderSound : public testing::AlertWorld {};

TEST_F(ReminderSound, TwoFiresWithinOneSoundPlayItOnceUntilItsCompletionDisposesItAndFreesTheNextFire) {
  startReminder(lib, Category::Sms);
  world.runFor(500ms);
  startReminder(lib, Category::Call);
  world.runFor(60s);  // the SMS reminder fired at 60 s, the call reminder at 60.5 s
  EXPECT_TRUE(lib.alerts.soundBusy);
  EXPECT_EQ(world.sounds().liveSounds(), 1u);
  world.runFor(5s);
  EXPECT_FALSE(lib.alerts.soundBusy);
  EXPECT_EQ(world.sounds().liveSounds(), 0u);
  EXPECT_EQ(details(rec, Kind::Sound), "SMS 3.caf: 1.10 s");
  EXPECT_EQ(rec.count(Kind::Vibration), 2u);
  world.runFor(60s);
  EXPECT_EQ(rec.count(Kind::Sound, "SMS 3.caf"), 2u);
}

TEST_F(ReminderSound, SoundNamesThatAreNoPlayableFileLeaveLaterRemindersAudible) {
  // Sound-busy flag stuck: a sound that cannot be created must not leave the flag set.
  world.root().remove("/Library/Application Support/Quorvel/Sounds/SMS 3.caf");
  ASSERT_TRUE(world.root().writeAtomic("/Library/Application Support/Quorvel/Sounds/Notes.caf",
                                       std::vector<std::uint8_t>{'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'}));
  writeAndLoad(world, {{"currentCallSound", "Chime.caf"}});
  for (const char* name : {"SMS 3.caf", "Notes.caf", "../Sounds/Bell.caf", "", "Missing.caf"}) {
    writeAndLoad(world, {{"currentSMSSound", name}});
    rec.clear();
    startReminder(lib, Category::Sms);
    world.runFor(60s);
    EXPECT_EQ(rec.count(Kind::Sound), 0u) << name;
    EXPECT_FALSE(lib.alerts.soundBusy) << name;
    startReminder(lib, Category::Call);
    world.runFor(60s);
    EXPECT_EQ(details(rec, Kind::Sound), "Chime.caf: 1.50 s") << name;
    objc::send<void()>(lib.sharedHelper, objc::Sel::intern("clearsmsTimer"));
    objc::send<void()>(lib.sharedHelper, objc::Sel::intern("clearphoneTimer"));
    world.runFor(5s);
  }
  EXPECT_EQ(world.sounds().liveSounds(), 0u);
}

TEST_F(ReminderSound, ASoundNameThatIsNoStringPlaysTheDefault) {
  // Values of the wrong type: a current-sound value that is a number counts as absent.
  writeAndLoad(world, {{"currentIMSound", 42}});
  startReminder(lib, Category::TelegramMessage);
  world.runFor(61s);
  EXPECT_EQ(rec.count(Kind::Sound, "SMS 3.caf"), 1u);
}

class ReminderVibration : public ReminderSound {};

TEST_F(ReminderVibration, ReadsItsKeyWhenItRunsNotAtTheFire) {
  writeAndLoad(world, {{"vibeMail", false}});
  startReminder(lib, Category::Call);
  startReminder(lib, Category::Mail);
  world.runFor(60s + 100ms);
  writeAndLoad(world, {{"vibeCall", false}, {"vibeMail", true}});
  world.runFor(1s);
  EXPECT_EQ(rec.count(Kind::Vibration), 1u) << "the mail task vibrates, the call task does not";
  EXPECT_EQ(testing::trace(rec, world.localTime({2026, 12, 7, 8, 0, 0}), {Kind::Vibration}), "vibration@60300");
}

TEST_F(ReminderVibration, PatternIsOnAndOffForThreeHundredMillisecondsAtIntensityTen) {
  const pl::Dict description = vibrationDescription();
  ASSERT_EQ(description.size(), 2u);
  const pl::Array* pattern = pl::findArray(description, "VibePattern");
  ASSERT_NE(pattern, nullptr);
  ASSERT_EQ(pattern->size(), 4u);
  EXPECT_EQ((*pattern)[0], pl::Value(true));
  ASSERT_NE((*pattern)[1].ifReal(), nullptr) << "the on duration is a real";
  EXPECT_EQ(*(*pattern)[1].ifReal(), 300.0);
  EXPECT_EQ((*pattern)[2], pl::Value(false));
  ASSERT_NE((*pattern)[3].ifInteger(), nullptr) << "the off duration is an integer";
  EXPECT_EQ(*(*pattern)[3].ifInteger(), 300);
  EXPECT_EQ(description.at("Intensity"), pl::Value(10));
}

}  // namespace
}  // namespace qv::alerts
