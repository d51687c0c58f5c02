#include "platform/statusbar/status_bar.h"

#include <gtest/gtest.h>

#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::statusbar {
namespace {

using objc::Id;
using timeline::Kind;
namespace msg = host::msg;

// Status-bar events as "shown:identifier:detail" / "hidden:identifier", in order.
std::string iconTrace(const timeline::Recorder& recorder) {
  std::string out;
  for (const timeline::Event& e : recorder.events()) {
    if (e.kind != Kind::StatusIconShown && e.kind != Kind::StatusIconHidden) continue;
    out += (out.empty() ? "" : " ") + std::string(e.kind == Kind::StatusIconShown ? "shown:" : "hidden:") + e.subject;
    if (e.kind == Kind::StatusIconShown) out += ":" + e.detail;
  }
  return out;
}

class StatusBarIcons : public ::testing::Test {
 protected:
  Id newItem(const std::string& identifier, const std::string& image) {
    objc::Class* cls = rt.getClass("LSStatusBarItem");
    Id item = host::send(host::send(cls, msg::alloc), msg::initWithIdentifierAlignment, identifier, kAlignRight);
    host::send(item, msg::setImageName, image);
    return item;
  }

  sim::World world{testing::withoutLibrary()};
  objc::Runtime& rt = world.springBoard().host.runtime();
  StatusBarItems& items = world.statusBar().items();
  timeline::Recorder recorder{world.timeline()};
};

TEST_F(StatusBarIcons, NewerItemWithTheSameIdentifierLeavesOneIconAndHidingItRemovesIt) {
  Id first = newItem("quorvel.QVSMS", "QVSMS");
  Id second = newItem("quorvel.QVSMS", "QVSMS");
  host::send(first, msg::setVisible, true);
  host::send(second, msg::setVisible, true);
  EXPECT_EQ(items.shownItem("quorvel.QVSMS"), second);
  host::send(second, msg::setVisible, false);
  EXPECT_EQ(iconTrace(recorder), "shown:quorvel.QVSMS:QVSMS hidden:quorvel.QVSMS");
  EXPECT_TRUE(host::send(first, msg::isVisible)) << "the older item still says it is visible";
  EXPECT_FALSE(items.isShown("quorvel.QVSMS"));
}

TEST_F(StatusBarIcons, OlderItemChangesNothingOnScreenUntilMadeVisibleAgain) {
  Id older = newItem("quorvel.QVCALL", "QVCALL");
  Id newer = newItem("quorvel.QVCALL", "QVCALL");
  host::send(older, msg::setVisible, true);
  host::send(newer, msg::setVisible, true);
  host::send(older, msg::setImageName, "Other");
  host::send(older, msg::setVisible, false);
  EXPECT_EQ(items.drawing("quorvel.QVCALL"), "QVCALL");
  host::send(older, msg::setVisible, true);  // made visible again: now the newest
  host::send(newer, msg::setVisible, false);
  EXPECT_EQ(iconTrace(recorder), "shown:quorvel.QVCALL:QVCALL shown:quorvel.QVCALL:Other");
  host::send(older, msg::setVisible, false);
  EXPECT_TRUE(items.shownIdentifiers().empty());
}

TEST_F(StatusBarIcons, ShownItemRedrawsWhenItsImageChangesAndIdentifiersKeepTheirOwnIcons) {
  Id call = newItem("quorvel.QVCALL", "QVCALL");
  Id mail = newItem("quorvel.QVMAIL", "QVMAIL");
  host::send(call, msg::setVisible, true);
  host::send(mail, msg::setVisible, true);
  host::send(call, msg::setImageName, "QVCALL2");
  host::send(call, msg::setImageName, "QVCALL2");
  EXPECT_EQ(iconTrace(recorder),
            "shown:quorvel.QVCALL:QVCALL shown:quorvel.QVMAIL:QVMAIL shown:quorvel.QVCALL:QVCALL2");
  EXPECT_EQ(items.shownIdentifiers(), (std::vector<std::string>{"quorvel.QVCALL", "quorvel.QVMAIL"}));
}

TEST_F(StatusBarIcons, InitialisingOneReceiverTwiceMakesOneItem) {
  objc::Class* cls = rt.getClass("LSStatusBarItem");
  Id item = host::send(cls, msg::alloc);
  Id once = host::send(item, msg::initWithIdentifierAlignment, "quorvel.TGMess", kAlignRight);
  Id twice = host::send(item, msg::initWithIdentifierAlignment, "quorvel.TGMess", kAlignRight);
  EXPECT_EQ(once, twice);
  EXPECT_EQ(items.itemsCreated(), 1u);
  EXPECT_EQ(host::send(twice, msg::identifier), "quorvel.TGMess");
  EXPECT_EQ(host::send(twice, msg::customViewClass), "") << "no custom view class until one is set";
}

// --- Custom views -----------------------------------------------------------------------

class CustomItemViews : public StatusBarIcons {};

TEST_F(CustomItemViews, BaseClassDrawsTheImageByNameWithSixPointsOfPadding) {
  // A view class made at run time the way a tweak makes one: a subclass, registered at once.
  rt.registerClassPair(rt.allocateClassPair(rt.getClass("UIStatusBarCustomItemView"), "PlainView"));
  Id item = newItem("quorvel.QVSMS", "QVSMS");
  host::send(item, msg::setCustomViewClass, "PlainView");
  host::send(item, msg::setVisible, true);
  host::send(item, msg::setImageName, "QVSMS2");
  EXPECT_EQ(
      iconTrace(recorder),
      "shown:quorvel.QVSMS:PlainView: image QVSMS, padding 6 shown:quorvel.QVSMS:PlainView: image QVSMS2, padding 6");
}

TEST_F(CustomItemViews, ClassThatIsNoCustomViewLeavesThePlainImage) {
  Id item = newItem("quorvel.QVSMS", "QVSMS");
  host::send(item, msg::setCustomViewClass, "SBIconModel");
  host::send(item, msg::setVisible, true);
  EXPECT_EQ(items.drawing("quorvel.QVSMS"), "QVSMS (custom view class SBIconModel unavailable)");
  EXPECT_EQ(items.customView("quorvel.QVSMS"), nullptr);
}

// --- Stock items ------------------------------------------------------------------------

class StockStatusBarItems : public ::testing::Test {
 protected:
  sim::World world{testing::withoutLibrary()};
  objc::Runtime& rt = world.springBoard().host.runtime();
  StockStatusBar& stock = world.statusBar().stock();
};

TEST_F(StockStatusBarItems, SetItemAnswersWhetherAnythingChangedAndPushesTheChange) {
  timeline::Recorder recorder{world.timeline()};
  const std::int64_t alarm = *stockItemType("Alarm");
  EXPECT_TRUE(stock.setItem(alarm, true));
  EXPECT_FALSE(stock.setItem(alarm, true));
  EXPECT_FALSE(stock.setItem(99, true));
  EXPECT_TRUE(stock.enabled(alarm));
  EXPECT_EQ(stock.pushedUpdates(), std::vector<std::int64_t>{alarm});
  ASSERT_EQ(recorder.count(Kind::Host, "status bar"), 1u);
  EXPECT_EQ(recorder.ofKind(Kind::Host).back().detail, "Alarm on");
}

TEST_F(StockStatusBarItems, BatteryAndClockChangesRunInCoalescedBlocks) {
  testing::TraceHooks hooks(rt);
  hooks.on<msg::beginCoalescentBlock>("SBStatusBarStateProvider", "begin");
  hooks.on<msg::endCoalescentBlock>("SBStatusBarStateProvider", "end");
  hooks.on<msg::updateStatusBarItem>("SBStatusBarStateProvider",
                                     [](std::int64_t t) { return "update" + std::to_string(t); });
  hooks.on<msg::updateBatteryItems>("SBStatusBarStateAggregator", "battery");
  hooks.on<msg::setItemEnabled>("SBStatusBarStateAggregator",
                                [](std::int64_t t, bool on) { return "set" + std::to_string(t) + (on ? "+" : "-"); });
  stock.setBattery(57, false);
  EXPECT_EQ(hooks.trace(), "begin battery set6+ set7- set8- update6 end");
  hooks.clear();
  stock.showBatteryPercentage(true);
  stock.clockMinuteChanged();
  EXPECT_EQ(hooks.trace(), "begin battery set6+ set7+ update7 set8- update6 end begin update0 end");
  EXPECT_EQ(stock.pushedUpdates(), (std::vector<std::int64_t>{6, 7, 6, 0}));
}

TEST(StatusBarClock, PushesTheTimeItemAtEveryWholeMinuteWhenTurnedOn) {
  sim::WorldConfig config = testing::withoutLibrary();
  config.start.second = 30;
  config.statusBarClock = true;
  sim::World world(config);
  world.runFor(std::chrono::seconds(150));
  EXPECT_EQ(world.statusBar().stock().pushedUpdates(), (std::vector<std::int64_t>{0, 0, 0}));
}

}  // namespace
}  // namespace qv::statusbar
