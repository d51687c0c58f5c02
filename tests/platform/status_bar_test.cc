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

TEST_F(StatusBarIcons, ItemWithoutIdentifierShowsNothing) {
  Id item = host::send(host::send(rt.getClass("LSStatusBarItem"), msg::alloc), msg::init);
  host::send(item, msg::setVisible, true);
  EXPECT_EQ(iconTrace(recorder), "");
  EXPECT_EQ(recorder.count(Kind::Host, "status bar"), 1u);
}

TEST(StatusBarLibrary, AbsentLibraryLeavesItsClassesUndefinedAndTheRestInPlace) {
  sim::WorldConfig config = testing::withoutLibrary();
  config.statusBarLibrary = false;
  sim::World world(config);
  objc::Runtime& rt = world.springBoard().host.runtime();
  EXPECT_EQ(rt.getClass("LSStatusBarItem"), nullptr);
  EXPECT_EQ(rt.getClass("UIStatusBarCustomItemView"), nullptr);
  EXPECT_NE(rt.getClass("ALApplicationList"), nullptr);
  EXPECT_NE(rt.getClass("SBStatusBarStateAggregator"), nullptr);
}

// --- Custom views -----------------------------------------------------------------------

class CustomItemViews : public StatusBarIcons {
 protected:
  // A view class made at run time the way a tweak makes one: a subclass, registered at once.
  objc::Class* subclassView(const char* name) {
    objc::Class* cls = rt.allocateClassPair(rt.getClass("UIStatusBarCustomItemView"), name);
    rt.registerClassPair(cls);
    return cls;
  }
};

Id appIconImage(void*, objc::Object* self, objc::Sel) {
  objc::Runtime& rt = self->isa()->runtime();
  Id list = host::send(rt.getClass("ALApplicationList"), msg::sharedApplicationList);
  Id icon = host::send(list, msg::iconOfSize, 15, host::send(host::send(self, msg::item), msg::indicatorName));
  return host::send(rt.getClass("_UILegibilityImageSet"), msg::imageFromImageWithShadow, icon, icon);
}

TEST_F(CustomItemViews, ShownItemDrawsWhatItsViewClassAnswers) {
  objc::Class* view = subclassView("AppIconView");
  objc::Slot<Id()> previousImage;
  objc::Slot<double()> previousPadding;
  rt.hookMessage<Id()>(view, msg::contentsImage.sel, &appIconImage, nullptr, &previousImage);
  rt.hookMessage<double()>(
      view, msg::standardPadding.sel, [](void*, objc::Object*, objc::Sel) { return 4.0; }, nullptr, &previousPadding);
  Id item = newItem("com.apple.AppStore", "com.apple.AppStore");
  host::send(item, msg::setCustomViewClass, "AppIconView");
  host::send(item, msg::setVisible, true);

  EXPECT_EQ(items.drawing("com.apple.AppStore"),
            "AppIconView: icon of App Store (com.apple.AppStore) at 15 pt (shadow: the same), padding 4");
  EXPECT_EQ(host::send(items.customView("com.apple.AppStore"), msg::item), item);
  EXPECT_EQ(items.customView("com.apple.AppStore")->isa(), view);
}

TEST_F(CustomItemViews, BaseClassDrawsTheImageByNameWithSixPointsOfPadding) {
  subclassView("PlainView");
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

TEST_F(CustomItemViews, ApplicationListHasIconsOfInstalledAppsOnly) {
  ApplicationList& list = world.statusBar().applications();
  EXPECT_EQ(list.iconOf(15, "com.example.unknown"), nullptr);
  EXPECT_EQ(list.iconOf(0, "com.apple.AppStore"), nullptr);
  world.home().installApp("com.example.notes", "Notes+");
  Id icon = host::send(host::send(rt.getClass("ALApplicationList"), msg::sharedApplicationList), msg::iconOfSize, 29,
                       "com.example.notes");
  EXPECT_EQ(host::send(icon, msg::description), "icon of Notes+ (com.example.notes) at 29 pt");
}

// --- Stock items ------------------------------------------------------------------------

class StockStatusBarItems : public ::testing::Test {
 protected:
  sim::World world{testing::withoutLibrary()};
  objc::Runtime& rt = world.springBoard().host.runtime();
  StockStatusBar& stock = world.statusBar().stock();
  Id item(std::int64_t type) { return host::send(rt.getClass("UIStatusBarItem"), msg::itemWithTypeIdiom, type, 0); }
};

TEST_F(StockStatusBarItems, DescriptionsCarryTheIconNameInBracketsUpToTheLastType) {
  EXPECT_EQ(host::send(item(6), msg::description), "<UIStatusBarItem: 0x1c0a2cb0> [Battery (Right)]");
  EXPECT_EQ(item(6), item(6)) << "one item object per type";
  const auto last = static_cast<std::int64_t>(kStockItemTypes.size());
  EXPECT_EQ(item(last), nullptr);
  EXPECT_EQ(item(-1), nullptr);
  std::map<std::string, int> names;
  for (std::int64_t type = 0; type < last; ++type) {
    const std::string d = host::send(item(type), msg::description);
    ASSERT_EQ(d.back(), ']') << d;
    ++names[d.substr(d.find('[') + 1, d.size() - d.find('[') - 2)];
  }
  EXPECT_EQ(names["Location (Right)"], 2) << "two types share one icon name";
}

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
