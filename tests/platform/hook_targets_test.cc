// The host classes the library hooks: each lives in the process where the device has it and
// answers each hooked selector with the signature of the message catalogue.
#include <gtest/gtest.h>

#include "platform/apps/catalog.h"
#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv {
namespace {

namespace msg = host::msg;

struct Target {
  const char* className;
  const char* selector;
  bool (*answers)(objc::Class* cls);
};

template <class M>
struct SignatureOf;
template <class F>
struct SignatureOf<host::Message<F>> {
  using type = F;
};

template <const auto& M>
bool answersWithCatalogueSignature(objc::Class* cls) {
  using F = typename SignatureOf<std::remove_cvref_t<decltype(M)>>::type;
  const objc::Imp* imp = cls->resolve(M.sel);
  return imp && imp->sig == &objc::kSignature<F>;
}

template <const auto& M>
Target target(const char* className) {
  return Target{className, M.name(), &answersWithCatalogueSignature<M>};
}

void expectTargets(sim::Process& process, std::initializer_list<Target> targets) {
  objc::Runtime& rt = process.host.runtime();
  for (const Target& t : targets) {
    objc::Class* cls = rt.getClass(t.className);
    ASSERT_NE(cls, nullptr) << t.className << " in " << process.host.processName();
    EXPECT_TRUE(t.answers(cls)) << t.className << " " << t.selector << " in " << process.host.processName();
  }
}

TEST(HookTargets, HomeScreenClassesOfThisLayerAnswerEveryHookedSelector) {
  sim::World world(testing::withoutLibrary());
  expectTargets(
      world.springBoard(),
      {target<msg::initWithIdentifierAlignment>("LSStatusBarItem"),
       target<msg::contentsImage>("UIStatusBarCustomItemView"),
       target<msg::standardPadding>("UIStatusBarCustomItemView"), target<msg::unreadCountChanged>("IMChatRegistry"),
       target<msg::unreadCount>("IMChatRegistry"), target<msg::markMessageAsRead>("IMChat"),
       target<msg::markMessagesAsRead>("IMChat"), target<msg::setItemEnabled>("SBStatusBarStateAggregator"),
       target<msg::updateBatteryItems>("SBStatusBarStateAggregator"),
       target<msg::beginCoalescentBlock>("SBStatusBarStateProvider"),
       target<msg::endCoalescentBlock>("SBStatusBarStateProvider"),
       target<msg::updateStatusBarItem>("SBStatusBarStateProvider"), target<msg::postStateChange>("IMAVCallManager")});
}

TEST(HookTargets, EachAppsClassesAnswerInItsOwnProcessOnly) {
  sim::World world(testing::withoutLibrary());
  expectTargets(
      world.startProcess("com.apple.mobilephone"),
      {target<msg::applicationDidBecomeActive>("PhoneApplication"),
       target<msg::applicationWillEnterForeground>("PhoneApplication"),
       target<msg::applicationDidFinishLaunching>("PhoneApplication"),
       target<msg::badgeChanged>("PhoneTabBarController"), target<msg::updateAllBadges>("PhoneTabBarController"),
       target<msg::applicationBadgeChangedNotification>("PHStarkGenericTableViewController"),
       target<msg::updateBadgeString>("PHStarkGenericTableViewController"),
       target<msg::badgeString>("PHStarkGenericTableViewController")});
  expectTargets(world.startProcess("com.apple.mobilemail"),
                {target<msg::applicationWillEnterForeground>("MailAppController"),
                 target<msg::didFinishLaunchingWithOptions>("MailAppController")});
  expectTargets(world.startProcess("com.apple.MobileSMS"),
                {target<msg::unreadCountChanged>("IMChatRegistry"), target<msg::markMessagesAsRead>("IMChat")});
  expectTargets(world.startProcess("net.whatsapp.WhatsApp"),
                {target<msg::applicationReallyDidBecomeActive>("WhatsAppAppDelegate"),
                 target<msg::applicationReallyWillEnterForeground>("WhatsAppAppDelegate"),
                 target<msg::didFinishLaunchingWithOptions>("WhatsAppAppDelegate"),
                 target<msg::applicationWillEnterForeground>("WhatsAppAppDelegate"),
                 target<msg::applicationDidBecomeActive>("WhatsAppAppDelegate"),
                 target<msg::reallyDidReceiveLocalNotification>("WhatsAppAppDelegate"),
                 target<msg::didReceiveLocalNotification>("WhatsAppAppDelegate"),
                 target<msg::reallyDidReceiveRemoteNotification>("WhatsAppAppDelegate"),
                 target<msg::reallyDidReceiveRemoteNotificationFetch>("WhatsAppAppDelegate"),
                 target<msg::handleActionForRemoteNotification>("WhatsAppAppDelegate"),
                 target<msg::handleActionForLocalNotification>("WhatsAppAppDelegate"),
                 target<msg::applicationWillEnterForeground>("WATabBarController"),
                 target<msg::waApplicationWillEnterForeground>("WAViewController"),
                 target<msg::waApplicationWillEnterForeground>("ChatViewController")});
  for (auto [bundleId, delegate] : {std::pair{"com.facebook.Messenger", "MNAppDelegate"},
                                    {"ph.telegra.Telegraph", "TGAppDelegate"},
                                    {"ch.threema.iapp", "AppDelegate"},
                                    {"com.viber", "ViberAppDelegate"}})
    expectTargets(world.startProcess(bundleId), {target<msg::applicationDidBecomeActive>(delegate),
                                                 target<msg::applicationWillEnterForeground>(delegate),
                                                 target<msg::didFinishLaunchingWithOptions>(delegate)});
  expectTargets(*world.process("com.viber"), {target<msg::updateApplicationBadge>("VIBBadgeManager")});

  EXPECT_EQ(world.springBoard().host.runtime().getClass("WhatsAppAppDelegate"), nullptr);
  EXPECT_EQ(world.process("com.viber")->host.runtime().getClass("LSStatusBarItem"), nullptr);
  EXPECT_EQ(world.process("com.viber")->host.runtime().getClass("IMChatRegistry"), nullptr);
}

TEST(HookTargets, LibraryLoadsIntoEveryCatalogueAppAndHooksItsClasses) {
  sim::World world;
  for (const apps::AppSpec& appSpec : apps::knownApps()) {
    sim::Process& p = world.startProcess(appSpec.bundleId);
    ASSERT_NE(p.library, nullptr) << appSpec.bundleId;
    ASSERT_TRUE(p.app->launch()) << appSpec.bundleId;
    ASSERT_TRUE(p.app->enterBackground());
    ASSERT_TRUE(p.app->enterForeground());
  }
  auto hooked = [&](const char* bundleId, std::string_view cls) {
    for (const core::InstalledHook& h : world.process(bundleId)->library->installedHooks)
      if (h.className == cls) return true;
    return false;
  };
  EXPECT_TRUE(hooked("net.whatsapp.WhatsApp", "WhatsAppAppDelegate"));
  EXPECT_TRUE(hooked("com.apple.mobilephone", "PhoneTabBarController"));
  EXPECT_TRUE(hooked("com.viber", "VIBBadgeManager"));
  EXPECT_TRUE(hooked("com.apple.MobileSMS", "IMChat"));
  EXPECT_FALSE(hooked("com.viber", "IMChat"));
}

}  // namespace
}  // namespace qv
