#include "core/startup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/categories.h"
#include "indicators/banner_layout.h"
#include "sim/world.h"

namespace qv::core {
namespace {

using Row = std::pair<std::string, std::string>;  // class, selector

// The hook table as written, steps left out.
const std::vector<Row> kWrittenGroupA = {
    {"LSStatusBarItem", "initWithIdentifier:alignment:"},
    {"PCSimpleTimer", "_scheduleTimer"},
    {"PCSimpleTimer", "_fireTimerFired"},
    {"QuorvelAppIconStatusBarIconView", "contentsImage"},
    {"QuorvelAppIconStatusBarIconView", "standardPadding"},
    {"IMChatRegistry", "unreadCountChanged:"},
    {"IMChatRegistry", "unreadCount"},
    {"IMChat", "markMessageAsRead:"},
    {"IMChat", "markMessagesAsRead:"},
    {"MailAppController", "applicationWillEnterForeground:"},
    {"MailAppController", "application:didFinishLaunchingWithOptions:"},
    {"SBBacklightController", "_autoLockTimerFired:"},
    {"PhoneApplication", "applicationDidBecomeActive:"},
    {"PhoneApplication", "applicationWillEnterForeground:"},
    {"PhoneApplication", "applicationDidFinishLaunching:"},
    {"TGAppDelegate", "applicationDidBecomeActive:"},
    {"TGAppDelegate", "applicationWillEnterForeground:"},
    {"MNAppDelegate", "applicationWillEnterForeground:"},
    {"MNAppDelegate", "applicationDidBecomeActive:"},
    {"WhatsAppAppDelegate", "applicationReallyDidBecomeActive:"},
    {"WhatsAppAppDelegate", "applicationReallyWillEnterForeground:"},
    {"WhatsAppAppDelegate", "application:didFinishLaunchingWithOptions:"},
    {"WhatsAppAppDelegate", "applicationWillEnterForeground:"},
    {"WhatsAppAppDelegate", "applicationDidBecomeActive:"},
    {"WhatsAppAppDelegate", "application:reallyDidReceiveLocalNotification:"},
    {"WhatsAppAppDelegate", "application:didReceiveLocalNotification:"},
    {"WhatsAppAppDelegate", "application:reallyDidReceiveRemoteNotification:"},
    {"WhatsAppAppDelegate", "application:reallyDidReceiveRemoteNotification:fetchCompletionHandler:"},
    {"WhatsAppAppDelegate",
     "application:handleActionWithIdentifier:forRemoteNotification:withResponseInfo:completionHandler:"},
    {"WhatsAppAppDelegate",
     "application:handleActionWithIdentifier:forLocalNotification:withResponseInfo:completionHandler:"},
    {"WATabBarController", "applicationWillEnterForeground:"},
    {"WAViewController", "wa_applicationWillEnterForeground"},
    {"ChatViewController", "wa_applicationWillEnterForeground"},
    {"AppDelegate", "applicationDidBecomeActive:"},
    {"AppDelegate", "applicationWillEnterForeground:"},
    {"AppDelegate", "application:didFinishLaunchingWithOptions:"},
    {"ViberAppDelegate", "applicationDidBecomeActive:"},
    {"ViberAppDelegate", "applicationWillEnterForeground:"},
    {"ViberAppDelegate", "application:didFinishLaunchingWithOptions:"},
    {"VIBBadgeManager", "updateApplicationBadge"},
    {"SBStatusBarStateAggregator", "_setItem:enabled:"},
    {"SBStatusBarStateAggregator", "_updateBatteryItems:"},
    {"SBStatusBarStateProvider", "beginCoalescentBlock"},
    {"SBStatusBarStateProvider", "endCoalescentBlock"},
    {"SBStatusBarStateProvider", "updateStatusBarItem:"},
    {"SpringBoard", "applicationDidFinishLaunching:"},
    {"SBBannerContextView", "noteDidDismissWithReason:"},
    {"SBBannerContextView", "_centeredBoundsForRect:"},
    {"SBBannerContextView", "_centeredBounds"},
    {"SBApplicationRestrictionController", "noteApplicationIdentifiersDidChangeWithAdded:modified:removed:"},
    {"SBApplicationController", "_sendInstalledAppsDidChangeNotification:removed:modified:"},
    {"SBApplicationController", "applicationsAdded:"},
    {"SBLockScreenManager", "_finishUIUnlockFromSource:withOptions:"},
    {"PhoneTabBarController", "_badgeChanged:"},
    {"PhoneTabBarController", "_updateAllBadges:"},
    {"PHStarkGenericTableViewController", "applicationBadgeChangedNotification:"},
    {"PHStarkGenericTableViewController", "updateBadgeString"},
    {"PHStarkGenericTableViewController", "badgeString"},
    {"SBApplication", "_fireNotification:"},
    {"SBApplication", "didAnimateActivation"},
    {"IMAVCallManager", "_postStateChangeNamed:fromState:toState:postType:type:"},
};

const std::vector<Row> kWrittenGroupB = {
    {"BBServer", "init"},
    {"BBServer", "publishBulletin:destinations:alwaysToLockScreen:"},
    {"SBLockScreenNotificationListController", "loadView"},
    {"SBLockScreenNotificationListController", "observer:removeBulletin:"},
    {"SBLockScreenNotificationListController", "observer:addBulletin:forFeed:playLightsAndSirens:withReply:"},
    {"SBLockScreenNotificationListController", "_updateModelAndViewForAdditionOfItem:"},
    {"SBLockScreenNotificationListController", "removeItemsForNotificationCenterPresentation"},
    {"SBLockScreenNotificationListController", "_updateModelAndViewForModificationOfItem:"},
    {"SBLockScreenNotificationListController", "_updateModelAndViewForReplacingItem:withNewItem:"},
    {"SBLockScreenNotificationListController", "_removeCachedBannerForBulletinID:"},
    {"SBLockScreenNotificationListController", "_updateModelAndViewForRemovalOfItem:"},
    {"SBLockScreenNotificationListController", "_updateModelForRemovalOfItem:updateView:"},
    {"SBLockScreenNotificationListController", "prepareForTeardown"},
    {"SBLockScreenNotificationListController", "setInScreenOffMode:"},
    {"UNLocalNotificationClient", "_fireNotification:"},
};

const std::vector<Row> kWrittenGroupC = {
    {"NCNotificationChronologicalList", "insertNotificationRequest:"},
    {"NCNotificationChronologicalList", "showRequestsForNotificationSectionIdentifier:subSectionIdentifier:"},
    {"NCNotificationPriorityList", "insertNotificationRequest:"},
    {"SBDashBoardNotificationListViewController", "notificationListViewControllerDidScroll:"},
    {"UNSUserNotificationServer", "willPresentNotification:forBundleIdentifier:withCompletionHandler:"},
    {"NCBulletinNotificationSource", "observer:removeBulletin:"},
    {"NCBulletinNotificationSource", "dispatcher:requestsClearingNotificationRequests:fromDestinations:"},
    {"NCBulletinNotificationSource", "observer:addBulletin:forFeed:playLightsAndSirens:withReply:"},
    {"NCBulletinActionRunner", "executeAction:fromOrigin:withParameters:completion:"},
    {"SBDashBoardNotificationDispatcher", "postNotificationRequest:forCoalescedNotification:"},
    {"SBDashBoardNotificationDispatcher",
     "destination:performAction:forNotificationRequest:withParameters:completion:"},
    {"SBNotificationBannerDestination", "_presentNotificationViewControllerForRequest:modal:completion:"},
    {"SBLockScreenViewController", "presentFullscreenBulletinAlertWithItem:"},
    {"NCNotificationDispatcher", "postNotificationWithRequest:"},
    {"NCNotificationPriorityListViewController", "insertNotificationRequest:forCoalescedNotification:"},
    {"NCNotificationPriorityListViewController", "modifyNotificationRequest:forCoalescedNotification:"},
    {"NCNotificationPriorityListViewController", "removeNotificationRequest:forCoalescedNotification:"},
    {"NCNotificationAlertQueue", "destination:willPresentNotificationRequest:suppressAlerts:"},
    {"NCNotificationListViewController", "insertNotificationRequest:forCoalescedNotification:"},
    {"SBDashBoardFullscreenNotificationViewController", "handleSecondaryActionForView:"},
    {"SBDashBoardFullscreenNotificationViewController", "handlePrimaryActionForView:"},
    {"SBDashBoardFullscreenNotificationViewController", "lockButtonPressed:"},
};

std::vector<Row> hooksOf(const std::span<const HookRow> group) {
  std::vector<Row> rows;
  for (const HookRow& row : group)
    if (row.isHook()) rows.emplace_back(row.className, row.name());
  return rows;
}

std::vector<Row> installed(const Library& library) {
  std::vector<Row> rows;
  for (const InstalledHook& h : library.installedHooks) rows.emplace_back(h.className, h.selector);
  return rows;
}

// The rows of `groups` whose class the process has and answers, in order: what start-up must
// install there (the run-time view class exists everywhere but answers its two selectors only
// where its superclass does).
std::vector<Row> expectedIn(sim::Process& process, std::initializer_list<const std::vector<Row>*> groups) {
  std::vector<Row> rows;
  for (const auto* group : groups)
    for (const Row& row : *group)
      if (objc::Class* cls = process.host.runtime().getClass(row.first);
          cls && cls->resolve(objc::Sel::intern(row.second)))
        rows.push_back(row);
  return rows;
}

TEST(HookTable, ListsEveryWrittenRowInWrittenOrder) {
  EXPECT_EQ(hooksOf(hookGroupA()), kWrittenGroupA);
  EXPECT_EQ(hooksOf(hookGroupB()), kWrittenGroupB);
  EXPECT_EQ(hooksOf(hookGroupC()), kWrittenGroupC);
}

TEST(HookTable, AddsThePadMethodRightAfterTheDismissHook) {
  const auto group = hookGroupA();
  for (std::size_t i = 0; i < group.size(); ++i) {
    if (group[i].isHook()) continue;
    if (group[i].className != "SBBannerContextView") continue;
    ASSERT_GT(i, 0u);
    EXPECT_EQ(group[i - 1].name(), "noteDidDismissWithReason:");
    EXPECT_EQ(group[i].name(), "_pad_modifiedContentFrameForFrame:");
    return;
  }
  ADD_FAILURE() << "no step adds _pad_modifiedContentFrameForFrame:";
}

class StartUp : public ::testing::TestWithParam<const char*> {};

TEST_P(StartUp, HomeScreenInstallsEveryRowItsClassesAllowInTableOrder) {
  sim::World world({.release = GetParam()});
  const bool ios10 = world.profile().release.coreFoundationVersion >= 1348.0;
  std::vector<Row> expected =
      expectedIn(world.springBoard(), {&kWrittenGroupA, ios10 ? &kWrittenGroupC : &kWrittenGroupB});
  expected.emplace_back("NSObject", "doesNotRecognizeSelector:");
  EXPECT_EQ(installed(world.library()), expected);
  EXPECT_GT(expected.size(), 40u) << "the home screen has most of the table's classes";
}

INSTANTIATE_TEST_SUITE_P(BothSystemRanges, StartUp, ::testing::Values("9.3", "10.3"));

TEST(StartUpInAnApp, InstallsOnlyItsOwnHooksAndStillObservesEveryNotification) {
  sim::World world;
  sim::Process& telegram = world.startProcess("ph.telegra.Telegraph");
  ASSERT_NE(telegram.library, nullptr);
  const std::vector<Row> hooks = installed(*telegram.library);
  EXPECT_EQ(hooks, expectedIn(telegram, {&kWrittenGroupA, &kWrittenGroupC}));
  std::set<std::string> classes;
  for (const Row& row : hooks) classes.insert(row.first);
  EXPECT_TRUE(classes.contains("TGAppDelegate"));
  for (const char* homeScreenOnly : {"SpringBoard", "SBBannerContextView", "IMAVCallManager", "NSObject"})
    EXPECT_FALSE(classes.contains(homeScreenOnly)) << homeScreenOnly;

  EXPECT_EQ(world.darwin().observerCount(kSettingsChangedNotification, "Telegram"), 1);
  int clearObservers = 0;
  for (const CategoryInfo& row : kCategories)
    if (!row.clearNotification.empty())
      clearObservers += world.darwin().observerCount(row.clearNotification, "Telegram");
  EXPECT_EQ(clearObservers, 10);
  EXPECT_NE(telegram.host.runtime().getClass("QuorvelAppIconStatusBarIconView"), nullptr);
}

TEST(StartUpInAnApp, AnEndedProcessNoLongerObservesTheChannel) {
  sim::World world;
  world.startProcess("com.viber");
  world.endProcess("com.viber");
  EXPECT_EQ(world.darwin().observerCount("com.tarnwick.missed.clearViperCallTimer", "Viber"), 0);
  world.darwin().post("Viber", "com.tarnwick.missed.clearViperCallTimer");
  world.runUntilIdle();
}

TEST(PadContentFrameMethod, IsAddedWithTheRectangleEncodingOfTheProcessor) {
  for (const bool is64Bit : {true, false}) {
    sim::World world({.is64Bit = is64Bit});
    objc::Runtime& rt = world.springBoard().host.runtime();
    EXPECT_EQ(rt.methodTypes(rt.getClass("SBBannerContextView"), host::msg::padModifiedContentFrameForFrame.sel),
              is64Bit ? "{CGRect={CGPoint=dd}{CGSize=dd}}@:{CGRect={CGPoint=dd}{CGSize=dd}}"
                      : "{CGRect={CGPoint=ff}{CGSize=ff}}@:{CGRect={CGPoint=ff}{CGSize=ff}}");
  }
}

}  // namespace
}  // namespace qv::core
