#include "platform/springboard/banners.h"

#include <gtest/gtest.h>

#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::springboard {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;
namespace msg = host::msg;

using testing::kAnna;
using testing::kBen;

class BannerController : public ::testing::Test {
 protected:
  explicit BannerController(sim::WorldConfig config = {}) : world(std::move(config)) {
    trace.onWithArguments<msg::noteDidDismissWithReason>("SBBannerContextView", "dismissed");
  }
  sim::World world;
  Notifications& notes = world.notifications();
  timeline::Recorder recorder{world.timeline()};
  testing::TraceHooks trace{world.springBoard().host.runtime()};
  objc::Id controller() {
    return host::send(world.springBoard().host.runtime().getClass("SBBannerController"), msg::sharedInstance);
  }
  std::string lastBannerDetail() { return recorder.ofKind(Kind::Banner).back().detail; }

  // A banner request the way the system builds its own: a BBAction whose block runs on tap.
  objc::Id reminderBulletin(std::string* trail) {
    Bulletins& b = notes.bulletins();
    return b.makeRequest(
        {.sectionID = "com.apple.MobileSMS",
         .title = "Quorvel",
         .message = "Missed Message!",
         .actions = {{"default", b.makeAction("com.apple.MobileSMS", [trail] { *trail += "block "; })}}});
  }
};

TEST_F(BannerController, ShownBannerHasAContextUntilItDismissesItselfAfterFiveSeconds) {
  notes.deliver(kAnna);
  EXPECT_NE(host::send(controller(), msg::bannerContext), nullptr);
  EXPECT_EQ(lastBannerDetail(), "Anna — hi (content x 0, width 375)");
  world.runFor(4999ms);
  EXPECT_NE(host::send(controller(), msg::bannerContext), nullptr);
  world.runFor(1ms);
  EXPECT_EQ(host::send(controller(), msg::bannerContext), nullptr);
  EXPECT_EQ(trace.trace(), "dismissed(1)");
}

TEST_F(BannerController, ABannerArrivingMeanwhileWaitsForTheReplaceInterval) {
  notes.deliver(kAnna);
  world.runFor(500ms);
  notes.deliver(kBen);
  EXPECT_EQ(recorder.count(Kind::Banner), 1u);
  EXPECT_EQ(notes.banners().waiting(), 1u);
  world.runFor(1500ms);
  EXPECT_EQ(trace.trace(), "dismissed(3)");
  ASSERT_EQ(recorder.count(Kind::Banner), 2u);
  EXPECT_EQ(notes.banners().current()->sectionID(), "ph.telegra.Telegraph");
  world.runFor(5s);
  EXPECT_EQ(trace.trace(), "dismissed(3) dismissed(1)");
  // Once the replace interval has passed, a newcomer takes the place at once.
  notes.deliver(kAnna);
  world.runFor(2500ms);
  notes.deliver(kBen);
  EXPECT_EQ(notes.banners().current()->sectionID(), "ph.telegra.Telegraph");
}

TEST_F(BannerController, CancelledIntervalsKeepTheBannerUntilTheSystemCallsThemItself) {
  notes.deliver(kAnna);
  objc::Class* root = world.springBoard().host.runtime().rootClass();
  host::send(root, msg::cancelPreviousPerformRequests, controller(), msg::replaceIntervalElapsed.sel, nullptr);
  host::send(root, msg::cancelPreviousPerformRequests, controller(), msg::dismissIntervalElapsed.sel, nullptr);
  world.runFor(60s);
  ASSERT_NE(host::send(controller(), msg::bannerContext), nullptr);
  host::send(controller(), msg::replaceIntervalElapsed);
  EXPECT_NE(host::send(controller(), msg::bannerContext), nullptr) << "nothing waits to replace it";
  host::send(controller(), msg::dismissIntervalElapsed);
  EXPECT_EQ(host::send(controller(), msg::bannerContext), nullptr);
  host::send(controller(), msg::dismissIntervalElapsed);
  EXPECT_EQ(trace.trace(), "dismissed(1)") << "with no banner the intervals do nothing";
}

TEST_F(BannerController, LockingTakesTheBannerAwayAndDropsWaitingOnes) {
  notes.deliver(kAnna);
  notes.deliver(kBen);
  world.home().lock();
  EXPECT_EQ(trace.trace(), "dismissed(4)");
  EXPECT_EQ(notes.banners().waiting(), 0u);
  world.runFor(10s);
  EXPECT_EQ(recorder.count(Kind::Banner), 1u);
  EXPECT_EQ(notes.notificationCentreItems().size(), 2u) << "both stay in the notification centre";
  std::string trail;
  notes.banners().presentBulletin(reminderBulletin(&trail));
  EXPECT_EQ(recorder.count(Kind::Banner), 1u) << "no banner shows on the lock screen";
}

class PadBannerController : public BannerController {
 protected:
  PadBannerController() : BannerController({.idiom = device::Idiom::Pad}) {}
};

struct Widening {
  objc::Slot<host::Rect(host::Rect)> previous;
  static host::Rect imp(void* ctx, objc::Object* self, objc::Sel sel, host::Rect r) {
    host::Rect own = static_cast<Widening*>(ctx)->previous(self, sel, r);
    return {15, own.y, host::send(self, msg::frame).width - 30, own.height};
  }
};

TEST_F(PadBannerController, ContentSitsInACentredColumnAndTheLayoutAsksThroughTheRuntime) {
  notes.deliver(kAnna);
  EXPECT_EQ(lastBannerDetail(), "Anna — hi (content x 204, width 360)");
  EXPECT_EQ(host::send(notes.banners().current()->view, msg::frame), (host::Rect{0, 0, 768, 100}));
  world.runFor(6s);
  Widening widening;
  objc::Runtime& rt = world.springBoard().host.runtime();
  ASSERT_TRUE(rt.hookMessage<host::Rect(host::Rect)>(rt.getClass("SBBannerContextView"), msg::centeredBoundsForRect.sel,
                                                     &Widening::imp, &widening, &widening.previous));
  notes.deliver(kBen);
  EXPECT_EQ(lastBannerDetail(), "Ben — yo (content x 15, width 738)");
}

TEST(BannerDelivery, EachSystemHasItsOwnAddSelectorAndScreenWidth) {
  for (auto [release, legacy, width] : {std::tuple{"7.1", true, "320"}, {"8.4", true, "375"}, {"9.0", false, "375"}}) {
    sim::World world({.release = release});
    timeline::Recorder recorder{world.timeline()};
    objc::Id controller =
        host::send(world.springBoard().host.runtime().getClass("SBBulletinBannerController"), msg::sharedInstance);
    EXPECT_EQ(objc::respondsTo(controller.get(), msg::observerAddBulletin.sel), legacy) << release;
    EXPECT_NE(objc::respondsTo(controller.get(), msg::observerAddBulletinPlayLights.sel), legacy) << release;
    world.notifications().deliver(kAnna);
    ASSERT_EQ(recorder.count(Kind::Banner), 1u) << release;
    EXPECT_EQ(recorder.ofKind(Kind::Banner)[0].detail, std::string("Anna — hi (content x 0, width ") + width + ")");
  }
}

}  // namespace
}  // namespace qv::springboard
