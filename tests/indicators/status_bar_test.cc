#include "indicators/status_bar.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/statusbar/stock_items.h"
#include "tests/alerts/alerts_test_support.h"
#include "tests/platform/trace_hooks.h"

namespace qv::indicators {
namespace {

using core::Category;
using objc::Id;
using timeline::Kind;
namespace hm = core::hm;
namespace msg = host::msg;

class StatusBarKeys : public alerts::testing::AlertWorld {
 protected:
  using AlertWorld::AlertWorld;
  void add(const std::string& key) { host::send(lib.sharedHelper, hm::addStatusBarForIdentifier, key); }
  void showStatus() { alerts::testing::writeAndLoad(world, {{"showStatus", true}}); }

  statusbar::StatusBarItems& items = world.statusBar().items();
};

TEST_F(StatusBarKeys, ShowStatusIsReadAtEachCallEvenWhenItsChangeIsUnannounced) {
  add("Call");
  EXPECT_EQ(helper.statusBarItem(Category::Call), nullptr) << "with showStatus absent nothing is created";
  EXPECT_FALSE(lib.statusBar.statusBarDirty) << "and the bar stays clean";
  EXPECT_EQ(items.itemsCreated(), 0u);
  world.writeSettings({{"showStatus", true}}, {}, /*notify=*/false);
  add("Mail");
  EXPECT_TRUE(items.isShown("quorvel.QVMAIL"));
  world.writeSettings({}, {"showStatus"}, false);
  add("Call");
  EXPECT_FALSE(items.isShown("quorvel.QVCALL"));
}

TEST_F(StatusBarKeys, KeysNameTheirRowsExactlyAndCaseSensitively) {
  showStatus();
  add("TGMessage");
  add("THreema");
  EXPECT_EQ(items.drawing("quorvel.TGMess"), "TGMess");
  EXPECT_EQ(items.drawing("quorvel.QVTHrema"), "QVTH");
  for (const char* unknown : {"call", "sms", "Threema", "com.apple.AppStore"}) add(unknown);
  EXPECT_EQ(items.itemsCreated(), 2u);
  EXPECT_EQ(items.shownIdentifiers(), (std::vector<std::string>{"quorvel.QVTHrema", "quorvel.TGMess"}));
  EXPECT_TRUE(lib.statusBar.statusBarDirty);
  host::send(lib.sharedHelper, hm::updateStatusbar);
  add("sms");
  EXPECT_TRUE(lib.statusBar.statusBarDirty) << "a key without a row still marks the bar";
}

TEST_F(StatusBarKeys, SameKeyTwiceMakesTwoItemsOneIconAndTheClearHidesIt) {
  showStatus();
  add("SMS");
  Id first = helper.statusBarItem(Category::Sms);
  add("SMS");
  EXPECT_EQ(items.itemsCreated(), 2u);
  EXPECT_NE(helper.statusBarItem(Category::Sms), first);
  EXPECT_EQ(items.shownItem("quorvel.QVSMS"), helper.statusBarItem(Category::Sms));
  objc::send<void()>(lib.sharedHelper, objc::Sel::intern("clearsmsTimer"));
  EXPECT_EQ(rec.count(Kind::StatusIconShown, "quorvel.QVSMS"), 1u);
  EXPECT_EQ(rec.count(Kind::StatusIconHidden, "quorvel.QVSMS"), 1u);
  EXPECT_TRUE(items.shownIdentifiers().empty());
  EXPECT_FALSE(lib.statusBar.statusBarDirty);
}

class StatusBarKeysWithoutTheLibrary : public StatusBarKeys {
 protected:
  StatusBarKeysWithoutTheLibrary() : StatusBarKeys({.statusBarLibrary = false}) {}
};

TEST_F(StatusBarKeysWithoutTheLibrary, CreatesNothingAndTheClearHidesNothing) {
  showStatus();
  add("SMS");
  EXPECT_EQ(helper.statusBarItem(Category::Sms), nullptr);
  EXPECT_TRUE(lib.statusBar.statusBarDirty);
  objc::send<void()>(lib.sharedHelper, objc::Sel::intern("clearsmsTimer"));
  EXPECT_EQ(rec.count(Kind::StatusIconShown) + rec.count(Kind::StatusIconHidden), 0u);
}

class StockStatusItems : public ::testing::Test {
 protected:
  // An object whose description is `text`, standing in for a stock item.
  Id describedAs(const std::string& text) {
    objc::Runtime& rt = world.springBoard().host.runtime();
    texts.push_back(text);
    objc::Class* cls = rt.defineClass("DescribedItem" + std::to_string(texts.size()), rt.rootClass());
    rt.addMethod<std::string()>(
        cls, msg::description.sel, [](void* ctx, objc::Object*, objc::Sel) { return *static_cast<std::string*>(ctx); },
        &texts.back());
    return cls->instantiate();
  }
  std::string iconName(const Id& item) { return host::send(lib.sharedHelper, hm::IconNameFromItem, item); }
  Id stockItem(std::int64_t type) {
    return host::send(world.springBoard().host.runtime().getClass("UIStatusBarItem"), msg::itemWithTypeIdiom, type, 0);
  }

  sim::World world;
  core::Library& lib = world.library();
  statusbar::StockStatusBar& stock = world.statusBar().stock();
  std::deque<std::string> texts;
};

TEST_F(StockStatusItems, IconNameRunsFromTheFirstBracketToTheSecondLastCharacter) {
  EXPECT_EQ(iconName(stockItem(6)), "Battery (Right)");
  EXPECT_EQ(iconName(describedAs("<Item> [Outer [Inner]]")), "Outer [Inner]");
  EXPECT_EQ(iconName(describedAs("<Item> [Alarm)")), "Alarm");
}

TEST_F(StockStatusItems, IconNameNeverFailsWhateverTheDescription) {
  // IconNameFromItem: a description without "[", ending in "[", or a missing item must give "".
  EXPECT_EQ(iconName(describedAs("<Item> no bracket")), "");
  EXPECT_EQ(iconName(describedAs("<Item> [")), "");
  EXPECT_EQ(iconName(describedAs("")), "");
  EXPECT_EQ(iconName(describedAs("[]")), "");
  EXPECT_EQ(iconName(nullptr), "");
}

TEST_F(StockStatusItems, EnableAndDisableByNameSetEveryTypeThatSharesIt) {
  qv::testing::TraceHooks hooks(world.springBoard().host.runtime());
  hooks.on<msg::setItemEnabled>("SBStatusBarStateAggregator", [](const std::int64_t& type, const bool& on) {
    return std::to_string(type) + (on ? ":YES" : ":NO");
  });
  host::send(lib.sharedHelper, hm::enableItemFromString, "Location (Right)");
  EXPECT_EQ(hooks.trace(), "15:YES 25:YES");
  EXPECT_TRUE(stock.enabled(15) && stock.enabled(25));
  hooks.clear();
  host::send(lib.sharedHelper, hm::DisableItemFromString, "Location (Right)");
  host::send(lib.sharedHelper, hm::DisableItemFromString, "Location");
  EXPECT_EQ(hooks.trace(), "15:NO 25:NO") << "names match whole";
  EXPECT_FALSE(stock.enabled(15) || stock.enabled(25));
}

}  // namespace
}  // namespace qv::indicators
