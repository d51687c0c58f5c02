#include "indicators/banner_layout.h"

#include <gtest/gtest.h>

#include <optional>

#include "alerts/banner.h"
#include "core/library.h"
#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::indicators {
namespace {

using namespace std::chrono_literals;
namespace msg = host::msg;
using host::Rect;

constexpr Rect kContent{0, 10, 768, 80};

class BannerLayout : public ::testing::Test {
 protected:
  explicit BannerLayout(sim::WorldConfig config = {.idiom = device::Idiom::Pad})
      : world([&] {
          // The class's own dismissal handler, traced inside the library's hook.
          config.beforeLibraryLoads = [this](sim::Process& p) {
            if (!p.homeScreen) return;
            hooks.emplace(p.host.runtime());
            hooks->on<msg::noteDidDismissWithReason>(
                "SBBannerContextView", [](std::int64_t reason) { return "own " + std::to_string(reason); });
          };
          return config;
        }()) {}

  // A banner on screen (so a laid-out view with the screen's frame exists).
  objc::Id bannerView() {
    if (!world.notifications().banners().current())
      world.notifications().deliver({.bundleId = "com.example.chat", .title = "Anna", .message = "hi"});
    return world.notifications().banners().current()->view;
  }
  Rect centred() { return host::send(bannerView(), msg::centeredBoundsForRect, kContent); }

  std::optional<::qv::testing::TraceHooks> hooks;
  sim::World world;
  core::Library& lib = world.library();
};

TEST_F(BannerLayout, WidensToTheViewLessFifteenPointsEachSideWhileTheFlagIsSetAndTheGlobalSwitchOn) {
  EXPECT_EQ(centred(), (Rect{204, 10, 360, 80})) << "the class's own column";
  lib.alerts.ipadBanner = true;
  EXPECT_EQ(centred(), (Rect{15, 10, 738, 80}));
  EXPECT_EQ(host::send(bannerView(), msg::padModifiedContentFrameForFrame, Rect{99, 3, 7, 44}), (Rect{15, 3, 738, 44}))
      << "the added method keeps only the argument's top and height";
  world.writeSettings({{"globalEnabled", false}});
  world.runUntilIdle();
  lib.alerts.ipadBanner = true;
  EXPECT_EQ(centred(), (Rect{204, 10, 360, 80})) << "switched off: the class's own column";
  EXPECT_TRUE(lib.alerts.ipadBanner) << "and the flag is kept";
}

TEST_F(BannerLayout, AReminderBannerIsWidenedUntilAnyDismissalClearsTheFlagAndCallsThrough) {
  alerts::showReminderBanner(lib, "Missed Mail!", "com.apple.mobilemail");
  EXPECT_TRUE(lib.alerts.ipadBanner);
  ASSERT_NE(world.notifications().banners().current(), nullptr);
  EXPECT_EQ(world.notifications().banners().current()->content, (Rect{15, 10, 738, 80}));
  world.runFor(6s);
  EXPECT_EQ(world.notifications().banners().current(), nullptr);
  EXPECT_FALSE(lib.alerts.ipadBanner);
  bannerView();
  EXPECT_EQ(world.notifications().banners().current()->content, (Rect{204, 10, 360, 80})) << "the next is not widened";
  lib.alerts.ipadBanner = true;
  ASSERT_TRUE(world.notifications().tapBanner());
  EXPECT_FALSE(lib.alerts.ipadBanner);
  EXPECT_EQ(hooks->trace(), "own 1 own 2") << "timed out, then tapped, each reaching the class";
}

class BannerLayoutOnAPhone : public BannerLayout {
 protected:
  BannerLayoutOnAPhone() : BannerLayout({}) {}
};

TEST_F(BannerLayoutOnAPhone, LeavesTheClassesOwnResultEvenWithTheFlagSet) {
  lib.alerts.ipadBanner = true;
  EXPECT_EQ(centred(), kContent);
}

class BannerLayoutOnADeviceWithoutIdiom : public BannerLayout {
 protected:
  BannerLayoutOnADeviceWithoutIdiom() : BannerLayout({.idiom = device::Idiom::Pad, .answersInterfaceIdiom = false}) {}
};

TEST_F(BannerLayoutOnADeviceWithoutIdiom, IsTreatedAsNoPad) {
  alerts::showReminderBanner(lib, "Missed Mail!", "com.apple.mobilemail");
  EXPECT_FALSE(lib.alerts.ipadBanner);
  lib.alerts.ipadBanner = true;
  EXPECT_EQ(centred(), (Rect{204, 10, 360, 80}));
}

}  // namespace
}  // namespace qv::indicators
