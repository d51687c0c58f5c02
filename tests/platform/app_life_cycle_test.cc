#include "platform/apps/app.h"

#include <gtest/gtest.h>

#include "platform/apps/catalog.h"
#include "platform/apps/phone_app.h"
#include "platform/apps/viber_app.h"
#include "platform/apps/whatsapp_app.h"
#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::apps {
namespace {

using timeline::Kind;
namespace msg = host::msg;

class AppLifeCycle : public ::testing::Test {
 protected:
  // Traces the five life-cycle messages of `cls` in the app's process.
  testing::TraceHooks& traceLifeCycle(App& app, const std::string& cls) {
    hooks = std::make_unique<testing::TraceHooks>(app.host().runtime());
    if (app.appSpec().oldStyleLaunch)
      hooks->on<msg::applicationDidFinishLaunching>(cls, "launched");
    else
      hooks->on<msg::didFinishLaunchingWithOptions>(cls, "launched");
    hooks->on<msg::applicationWillEnterForeground>(cls, "willEnterForeground");
    hooks->on<msg::applicationDidBecomeActive>(cls, "didBecomeActive");
    hooks->on<msg::applicationWillResignActive>(cls, "willResignActive");
    hooks->on<msg::applicationDidEnterBackground>(cls, "didEnterBackground");
    return *hooks;
  }

  sim::World world{testing::withoutLibrary()};
  std::unique_ptr<testing::TraceHooks> hooks;
};

TEST_F(AppLifeCycle, StepsThatDoNotFitTheStateAreRefusedAndOpenPicksTheRightOne) {
  App& telegram = world.app("ph.telegra.Telegraph");
  testing::TraceHooks& trace = traceLifeCycle(telegram, "TGAppDelegate");
  EXPECT_EQ(telegram.enterForeground().error(), "Telegram cannot return to the foreground while not running");
  ASSERT_TRUE(telegram.open());
  EXPECT_EQ(telegram.launch().error(), "Telegram cannot launch while active");
  EXPECT_FALSE(telegram.becomeActive());
  ASSERT_TRUE(telegram.resignActive());
  trace.clear();
  ASSERT_TRUE(telegram.open());
  ASSERT_TRUE(telegram.open());
  ASSERT_TRUE(telegram.enterBackground());
  ASSERT_TRUE(telegram.open());
  EXPECT_EQ(trace.trace(), "didBecomeActive willResignActive didEnterBackground willEnterForeground didBecomeActive");
  EXPECT_EQ(telegram.state(), AppState::Active);
}

TEST_F(AppLifeCycle, PhoneLaunchesTheOlderWayAndBringsItsTabBadgesUpToDate) {
  auto& phone = world.app<PhoneApp>("com.apple.mobilephone");
  testing::TraceHooks& trace = traceLifeCycle(phone, "PhoneApplication");
  trace.on<msg::updateAllBadges>("PhoneTabBarController", "updateAllBadges");
  trace.on<msg::badgeChanged>("PhoneTabBarController", "badgeChanged");
  phone.setBadge(1);  // not running: nothing hears of it
  ASSERT_TRUE(phone.launch());
  EXPECT_EQ(phone.tabBadge(), 1);
  ASSERT_TRUE(phone.enterBackground());
  phone.setBadge(2);
  ASSERT_TRUE(phone.enterForeground());
  EXPECT_EQ(trace.trace(),
            "launched updateAllBadges didBecomeActive willResignActive didEnterBackground badgeChanged "
            "willEnterForeground updateAllBadges didBecomeActive");
  EXPECT_EQ(phone.tabBadge(), 2);
}

TEST_F(AppLifeCycle, PhoneCarPlayScreenRedrawsItsBadgeFromBadgeString) {
  auto& phone = world.app<PhoneApp>("com.apple.mobilephone");
  ASSERT_TRUE(phone.launch());
  testing::TraceHooks trace(phone.host().runtime());
  trace.on<msg::applicationBadgeChangedNotification>("PHStarkGenericTableViewController", "badgeNotification");
  trace.on<msg::updateBadgeString>("PHStarkGenericTableViewController", "updateBadgeString");
  trace.on<msg::badgeString>("PHStarkGenericTableViewController", "badgeString");
  phone.setBadge(3);
  EXPECT_EQ(trace.trace(), "") << "no car, no CarPlay screen";
  phone.connectCarPlay(true);
  phone.setBadge(4);
  EXPECT_EQ(trace.trace(), "updateBadgeString badgeString badgeNotification updateBadgeString badgeString");
  EXPECT_EQ(phone.carPlayBadgeText(), "4");
}

TEST_F(AppLifeCycle, WhatsAppReturnRunsItsReallyVariantsAndThenItsControllers) {
  auto& whatsApp = world.app<WhatsAppApp>("net.whatsapp.WhatsApp");
  testing::TraceHooks& trace = traceLifeCycle(whatsApp, "WhatsAppAppDelegate");
  trace.on<msg::applicationReallyWillEnterForeground>("WhatsAppAppDelegate", "reallyWillEnterForeground");
  trace.on<msg::applicationReallyDidBecomeActive>("WhatsAppAppDelegate", "reallyDidBecomeActive");
  trace.on<msg::applicationWillEnterForeground>("WATabBarController", "tabBar");
  trace.on<msg::waApplicationWillEnterForeground>("WAViewController", "controller");
  trace.on<msg::waApplicationWillEnterForeground>("ChatViewController", "chat");
  ASSERT_TRUE(whatsApp.launch());
  ASSERT_TRUE(whatsApp.openChat("Anna"));
  ASSERT_TRUE(whatsApp.enterBackground());
  trace.clear();
  ASSERT_TRUE(whatsApp.enterForeground());
  // The open chat's controller inherits the method, so its hook calls through to the base's.
  EXPECT_EQ(trace.trace(),
            "willEnterForeground reallyWillEnterForeground tabBar controller chat controller didBecomeActive "
            "reallyDidBecomeActive");
}

TEST_F(AppLifeCycle, WhatsAppNotificationsReachTheirReallyVariantsAndComplete) {
  auto& whatsApp = world.app<WhatsAppApp>("net.whatsapp.WhatsApp");
  EXPECT_FALSE(whatsApp.receiveRemoteNotification(pl::Dict{}));
  ASSERT_TRUE(whatsApp.launch());
  testing::TraceHooks trace(whatsApp.host().runtime());
  trace.on<msg::didReceiveRemoteNotificationFetch>("WhatsAppAppDelegate", "remote");
  trace.on<msg::reallyDidReceiveRemoteNotificationFetch>("WhatsAppAppDelegate", "reallyFetch");
  trace.on<msg::reallyDidReceiveRemoteNotification>("WhatsAppAppDelegate", "really");
  trace.on<msg::didReceiveLocalNotification>("WhatsAppAppDelegate", "local");
  trace.on<msg::reallyDidReceiveLocalNotification>("WhatsAppAppDelegate", [](const objc::Id&, const objc::Id& note) {
    return "reallyLocal:" + host::send(note, msg::userInfo).describe();
  });
  trace.on<msg::handleActionForRemoteNotification>("WhatsAppAppDelegate", "remoteAction");
  ASSERT_TRUE(whatsApp.receiveRemoteNotification(pl::Dict{{"aps", pl::Dict{}}}));
  ASSERT_TRUE(whatsApp.receiveLocalNotification(pl::Dict{{"jid", "anna"}}));
  ASSERT_TRUE(whatsApp.handleRemoteAction("reply", pl::Dict{}));
  EXPECT_EQ(trace.trace(), "remote reallyFetch really local reallyLocal:" +
                               pl::Value(pl::Dict{{"jid", "anna"}}).describe() + " remoteAction");
  EXPECT_EQ(whatsApp.completionsCalled(), 2);
}

TEST_F(AppLifeCycle, ViberBringsItsBadgeUpToDateEachTimeItBecomesActive) {
  auto& viber = world.app<ViberApp>("com.viber");
  testing::TraceHooks& trace = traceLifeCycle(viber, "ViberAppDelegate");
  trace.on<msg::updateApplicationBadge>("VIBBadgeManager", "updateBadge");
  ASSERT_TRUE(viber.launch());
  ASSERT_TRUE(viber.resignActive());
  ASSERT_TRUE(viber.becomeActive());
  EXPECT_EQ(trace.trace(), "launched didBecomeActive updateBadge willResignActive didBecomeActive updateBadge");
  EXPECT_EQ(viber.badgeUpdates(), 2);
}

TEST(AppCatalogue, UnknownAppsGetTheDelegateClassTheScenarioNamesAndAppsRunWithoutClassesLeftUndefined) {
  sim::WorldConfig config = testing::withoutLibrary();
  config.appDelegateClasses = {{"com.example.notes", "NotesAppDelegate"}};
  config.missingClasses = {{"net.whatsapp.WhatsApp", {"WAViewController"}}};
  sim::World world(config);
  world.home().installApp("com.example.notes", "Notes+");
  App& notes = world.app("com.example.notes");
  EXPECT_EQ(notes.delegate()->isa()->name(), "NotesAppDelegate");
  EXPECT_EQ(world.process("com.example.notes")->host.processName(), "Notes+");
  EXPECT_EQ(world.app("com.example.other").delegate()->isa()->name(), "AppDelegate");
  auto& whatsApp = world.app<WhatsAppApp>("net.whatsapp.WhatsApp");
  objc::Runtime& rt = whatsApp.host().runtime();
  EXPECT_EQ(rt.getClass("WAViewController"), nullptr);
  EXPECT_NE(rt.getClass("ChatViewController"), nullptr);
  ASSERT_TRUE(whatsApp.launch());
  ASSERT_TRUE(whatsApp.enterBackground());
  EXPECT_TRUE(whatsApp.enterForeground());
}

}  // namespace
}  // namespace qv::apps
