#include <gtest/gtest.h>

#include "alerts/fire_cycle.h"
#include "tests/alerts/alerts_test_support.h"

namespace qv::alerts {
namespace {

using testing::writeAndLoad;
using namespace std::chrono_literals;
using testing::details;
using timeline::Kind;

class OtherAppFire : public testing::AlertWorld {
 protected:
  using AlertWorld::AlertWorld;

  // Arms a listed app's timer as its start operation does, and lets it fire once.
  void fireOnce(const std::string& bundleId) {
    objc::Runtime& rt = lib.host.runtime();
    objc::Id timer = host::send(host::send(rt.getClass("PCSimpleTimer"), host::msg::alloc), host::msg::initTimer, 60.0,
                                bundleId, lib.sharedHelper, core::hm::reloadOtherTimer.sel,
                                pl::Value(pl::Dict{{"id", bundleId}, {"identifier", bundleId}}));
    host::send(timer, host::msg::scheduleInRunLoop, host::send(rt.getClass("NSRunLoop"), host::msg::mainRunLoop));
    auto& list = lib.otherApps.otherTimerList;
    if (!list) list.emplace();
    list->push_back(timer);
    world.runFor(64s);
  }
};

TEST_F(OtherAppFire, ShowsOnlyItsBannerByDefaultAndNeitherCountsNorRearms) {
  world.home().installApp("com.example.chat", "Chat");
  fireOnce("com.example.chat");
  EXPECT_EQ(details(rec, Kind::ReminderFired), "com.example.chat: alert 1, no limit");
  EXPECT_EQ(details(rec, Kind::Banner), "com.example.chat: Quorvel — Missed Chat (content x 0, width 375)");
  EXPECT_EQ(rec.count(Kind::Sound) + rec.count(Kind::Vibration) + rec.count(Kind::TorchOn), 0u);
  EXPECT_EQ(rec.count(Kind::ReminderArmed), 0u);
  EXPECT_TRUE(!lib.otherApps.otherRepeatCounts || lib.otherApps.otherRepeatCounts->empty());
}

TEST_F(OtherAppFire, AnAppWithoutADisplayNameIsNamedByItsBundleIdentifier) {
  // Values of the wrong type / absent: an app without a display name uses its bundle identifier.
  world.home().installApp("com.example.blank", "");
  fireOnce("com.example.unknown");
  fireOnce("com.example.blank");
  EXPECT_EQ(details(rec, Kind::Banner),
            "com.example.unknown: Quorvel — Missed com.example.unknown (content x 0, width 375) | "
            "com.example.blank: Quorvel — Missed com.example.blank (content x 0, width 375)");
}

TEST_F(OtherAppFire, ItsOwnKeysSwitchSoundVibrationAndTorch) {
  writeAndLoad(world, {{"soundOther", true}, {"vibeOther", true}, {"torchOther", true}, {"currentOtherSound", "Tri-tone.caf"}});
  fireOnce("com.example.chat");
  EXPECT_EQ(rec.count(Kind::Sound, "Tri-tone.caf"), 1u);
  EXPECT_EQ(rec.count(Kind::Vibration), 1u);
  EXPECT_EQ(rec.count(Kind::TorchOn), 5u) << "an iPhone blinks its torch";
  EXPECT_EQ(rec.count(Kind::ScreenFlash), 0u);
}

class OtherAppFireInGerman : public OtherAppFire {
 protected:
  OtherAppFireInGerman() : OtherAppFire({.language = "de"}) {}
};

TEST_F(OtherAppFireInGerman, BannerPutsTheLocalisedWordBeforeTheName) {
  world.home().installApp("com.example.chat", "Chat");
  fireOnce("com.example.chat");
  EXPECT_EQ(details(rec, Kind::Banner), "com.example.chat: Quorvel — Verpasst in Chat (content x 0, width 375)");
}

class ScreenFlash : public OtherAppFire {
 protected:
  explicit ScreenFlash(std::string release = "10.3")
      : OtherAppFire({.release = release, .idiom = device::Idiom::Pad}) {}
};

TEST_F(ScreenFlash, AListedAppOnAPadFlashesTheScreenInsteadOfTheTorchWhileAFixedCategoryStillBlinksIt) {
  writeAndLoad(world, {{"torchOther", true}});
  fireOnce("com.example.chat");
  EXPECT_EQ(rec.count(Kind::ScreenFlash), 1u);
  EXPECT_EQ(rec.count(Kind::TorchOn), 0u);
  EXPECT_EQ(rec.count(Kind::SystemSound), 0u) << "playShutterSound is false unless another party sets it";
  lib.exported.playShutterSound = true;
  rec.clear();
  fireOnce("com.example.chat");
  EXPECT_EQ(testing::trace(rec, world.now() - 4s, {Kind::ScreenFlash, Kind::SystemSound}),
            "screen-flash@0 system-sound@0");
  rec.clear();
  alerts::testing::startReminder(lib, core::Category::Call);
  world.runFor(64s);
  EXPECT_EQ(rec.count(Kind::TorchOn), 5u);
  EXPECT_EQ(rec.count(Kind::ScreenFlash), 0u);
}

class ScreenFlashOnIos8 : public ScreenFlash {
 protected:
  ScreenFlashOnIos8() : ScreenFlash("8.4") {}
};

TEST_F(ScreenFlashOnIos8, UsesTheSharedFlashInstance) {
  ASSERT_TRUE(objc::respondsTo(lib.host.runtime().getClass("SBScreenFlash"), host::msg::sharedInstance.sel));
  writeAndLoad(world, {{"torchOther", true}, {"locktorchOther", true}});
  world.home().lock();
  fireOnce("com.example.chat");
  EXPECT_EQ(rec.count(Kind::ScreenFlash), 1u);
}

}  // namespace
}  // namespace qv::alerts
