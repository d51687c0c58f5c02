#include "indicators/app_icon_view.h"

#include <gtest/gtest.h>

#include "indicators/other_app_item.h"
#include "platform/statusbar/custom_item_view.h"
#include "platform/statusbar/images.h"
#include "tests/alerts/alerts_test_support.h"
#include "tests/core/other_apps_test_support.h"

namespace qv::indicators {
namespace {

using namespace std::chrono_literals;
using objc::Id;
using timeline::Kind;
namespace msg = host::msg;

const std::string kAppStoreDrawing =
    "QuorvelAppIconStatusBarIconView: icon of App Store (com.apple.AppStore) at 15 pt (shadow: the same), padding 4";

class AppIconView : public alerts::testing::AlertWorld {
 protected:
  explicit AppIconView(sim::WorldConfig config = {}) : AlertWorld(std::move(config)) {
    alerts::testing::writeAndLoad(world, {{"showStatus", true}});
  }

  objc::Runtime& rt = world.springBoard().host.runtime();
};

TEST_F(AppIconView, DrawsTheAppStoreIconAtFifteenWithPaddingFourWhicheverAppStartedIt) {
  world.home().installApp("com.example.chat", "Chat", 1);
  world.home().installApp("com.example.notes", "Notes", 1);
  core::testing::intakeStart(lib, "com.example.chat", "Chat");
  world.runFor(60s);
  EXPECT_EQ(world.statusBar().items().drawing("com.apple.AppStore"), kAppStoreDrawing);
  core::testing::intakeClear(lib, "com.example.chat");
  core::testing::intakeStart(lib, "com.example.notes", "Notes");
  world.runFor(60s);
  EXPECT_EQ(world.statusBar().items().drawing("com.apple.AppStore"), kAppStoreDrawing);
  EXPECT_EQ(rec.count(Kind::StatusIconShown, "com.apple.AppStore"), 2u);
}

TEST_F(AppIconView, AnAppWithoutAnIconIsDrawnAsNoImage) {
  Id item = host::send(host::send(rt.getClass("LSStatusBarItem"), msg::alloc), msg::initWithIdentifierAlignment,
                       "com.example.gone", 2);
  host::send(item, msg::setImageName, "com.example.gone");
  Id view = statusbar::makeCustomItemView(rt.getClass(kAppIconViewClass), item);
  Id image = host::send(view, msg::contentsImage);
  ASSERT_NE(image, nullptr) << "the image set is made even without an icon";
  EXPECT_EQ(statusbar::describeImage(image.get()), "no image (shadow: the same)");
  EXPECT_EQ(host::send(view, msg::standardPadding), kAppIconPadding);
}

TEST_F(AppIconView, ExistsInEveryProcessThatLoadedTheLibrary) {
  objc::Class* inHome = rt.getClass(kAppIconViewClass);
  ASSERT_NE(inHome, nullptr);
  EXPECT_EQ(inHome->superclass()->name(), "UIStatusBarCustomItemView");

  sim::Process& whatsApp = world.startProcess("net.whatsapp.WhatsApp");
  objc::Class* inApp = whatsApp.host.runtime().getClass(kAppIconViewClass);
  ASSERT_NE(inApp, nullptr) << "made even where the status-bar library is missing";
  EXPECT_EQ(inApp->superclass(), whatsApp.host.runtime().rootClass());
}

TEST_F(AppIconView, IntakeReplacesAHiddenSharedItemWhereTheFireHookDoesNot) {
  showOtherAppItem(lib, OtherItemCheck::FireHook);
  Id first = lib.helper().statusBarItemOther;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(host::send(first, msg::customViewClass), kAppIconViewClass);
  host::send(first, msg::setVisible, false);
  showOtherAppItem(lib, OtherItemCheck::FireHook);
  EXPECT_EQ(lib.helper().statusBarItemOther, first);
  showOtherAppItem(lib, OtherItemCheck::Intake);
  EXPECT_NE(lib.helper().statusBarItemOther, first);
  EXPECT_EQ(world.statusBar().items().drawing("com.apple.AppStore"), kAppStoreDrawing);
  showOtherAppItem(lib, OtherItemCheck::Intake);
  EXPECT_EQ(world.statusBar().items().itemsCreated(), 2u) << "a visible item is kept";
}

class AppIconViewWithoutTheStatusBarLibrary : public AppIconView {
 protected:
  AppIconViewWithoutTheStatusBarLibrary() : AppIconView({.statusBarLibrary = false}) {}
};

TEST_F(AppIconViewWithoutTheStatusBarLibrary, ListedAppsStillRepeatWithoutAnItem) {
  ASSERT_NE(rt.getClass(kAppIconViewClass), nullptr);
  EXPECT_EQ(rt.getClass(kAppIconViewClass)->superclass(), rt.rootClass());
  world.home().installApp("com.example.chat", "Chat", 1);
  core::testing::intakeStart(lib, "com.example.chat", "Chat");
  world.runFor(3min);
  EXPECT_EQ(rec.count(Kind::ReminderFired, "com.example.chat"), 3u);
  EXPECT_EQ(lib.helper().statusBarItemOther, nullptr);
  EXPECT_EQ(core::testing::liveChains(lib, "com.example.chat"), 1u);
}

}  // namespace
}  // namespace qv::indicators
