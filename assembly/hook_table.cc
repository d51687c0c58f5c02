// The hook table: group A in every process, then group B (iOS 7 to 9) or group C (iOS 10), each
// in table order. A row whose class the process lacks installs nothing. Group A also holds, at
// their places, the two start-up steps that are not hooks: the run-time view class and the
// method added to SBBannerContextView.
#include <array>

#include "appsignals/call_state.h"
#include "appsignals/in_app_signals.h"
#include "assembly/launch_hooks.h"
#include "assembly/startup.h"
#include "core/other_apps.h"
#include "indicators/app_icon_view.h"
#include "indicators/banner_layout.h"
#include "indicators/other_app_item.h"
#include "indicators/status_bar.h"
#include "intake/home_screen_clearing.h"
#include "intake/lock_screen_intake.h"
#include "intake/notification_centre_intake.h"

namespace qv::assembly {
namespace msg = host::msg;
using appsignals::clearSignalRow;
using core::classCreationRow;
using core::HookRow;
using core::hookRow;
using core::passThroughRow;
using core::statusBarItemInitHook;
using core::stepRow;
namespace sig = appsignals;

namespace {

// The badge check after a listed app's timer fires, with the status bar's Other-app item it shows.
void badgeCheckHook(core::Library& library, const objc::Slot<void()>& previous, objc::Object* self, objc::Sel sel) {
  core::badgeCheck(library, previous, self, sel, [](core::Library& l) {
    indicators::showOtherAppItem(l, indicators::OtherItemCheck::FireHook);
  });
}

const std::array kGroupA = {
    hookRow<msg::initWithIdentifierAlignment, &statusBarItemInitHook>("LSStatusBarItem"),
    passThroughRow<msg::scheduleTimer>("PCSimpleTimer"),
    hookRow<msg::fireTimerFired, &badgeCheckHook>("PCSimpleTimer"),
    classCreationRow<&indicators::defineAppIconViewClass>(indicators::kAppIconViewClass),
    hookRow<msg::contentsImage, &indicators::contentsImageHook>(indicators::kAppIconViewClass),
    hookRow<msg::standardPadding, &indicators::standardPaddingHook>(indicators::kAppIconViewClass),
    hookRow<msg::unreadCountChanged, &appsignals::unreadCountChangedHook>("IMChatRegistry"),
    passThroughRow<msg::unreadCount>("IMChatRegistry"),
    passThroughRow<msg::markMessageAsRead>("IMChat"),
    passThroughRow<msg::markMessagesAsRead>("IMChat"),
    clearSignalRow<msg::applicationWillEnterForeground, sig::kMailReturned>("MailAppController"),
    passThroughRow<msg::didFinishLaunchingWithOptions>("MailAppController"),
    hookRow<msg::autoLockTimerFired, &autoLockHook>("SBBacklightController"),
    clearSignalRow<msg::applicationDidBecomeActive, sig::kPhoneOpened>("PhoneApplication"),
    clearSignalRow<msg::applicationWillEnterForeground, sig::kPhoneOpened>("PhoneApplication"),
    clearSignalRow<msg::applicationDidFinishLaunching, sig::kPhoneOpened>("PhoneApplication"),
    clearSignalRow<msg::applicationDidBecomeActive, sig::kTelegramOpened>("TGAppDelegate"),
    clearSignalRow<msg::applicationWillEnterForeground, sig::kTelegramOpened>("TGAppDelegate"),
    clearSignalRow<msg::applicationWillEnterForeground, sig::kMessengerOpened>("MNAppDelegate"),
    clearSignalRow<msg::applicationDidBecomeActive, sig::kMessengerOpened>("MNAppDelegate"),
    clearSignalRow<msg::applicationReallyDidBecomeActive, sig::kWhatsAppDelegateOpened>("WhatsAppAppDelegate"),
    clearSignalRow<msg::applicationReallyWillEnterForeground, sig::kWhatsAppDelegateOpened>("WhatsAppAppDelegate"),
    clearSignalRow<msg::didFinishLaunchingWithOptions, sig::kWhatsAppDelegateOpened>("WhatsAppAppDelegate"),
    clearSignalRow<msg::applicationWillEnterForeground, sig::kWhatsAppDelegateOpened>("WhatsAppAppDelegate"),
    clearSignalRow<msg::applicationDidBecomeActive, sig::kWhatsAppDelegateOpened>("WhatsAppAppDelegate"),
    passThroughRow<msg::reallyDidReceiveLocalNotification>("WhatsAppAppDelegate"),
    passThroughRow<msg::didReceiveLocalNotification>("WhatsAppAppDelegate"),
    passThroughRow<msg::reallyDidReceiveRemoteNotification>("WhatsAppAppDelegate"),
    passThroughRow<msg::reallyDidReceiveRemoteNotificationFetch>("WhatsAppAppDelegate"),
    passThroughRow<msg::handleActionForRemoteNotification>("WhatsAppAppDelegate"),
    passThroughRow<msg::handleActionForLocalNotification>("WhatsAppAppDelegate"),
    clearSignalRow<msg::applicationWillEnterForeground, sig::kWhatsAppScreenReturned>("WATabBarController"),
    clearSignalRow<msg::waApplicationWillEnterForeground, sig::kWhatsAppScreenReturned>("WAViewController"),
    clearSignalRow<msg::waApplicationWillEnterForeground, sig::kWhatsAppScreenReturned>("ChatViewController"),
    clearSignalRow<msg::applicationDidBecomeActive, sig::kThreemaOpened>("AppDelegate"),
    clearSignalRow<msg::applicationWillEnterForeground, sig::kThreemaOpened>("AppDelegate"),
    clearSignalRow<msg::didFinishLaunchingWithOptions, sig::kThreemaLaunched>("AppDelegate"),
    clearSignalRow<msg::applicationDidBecomeActive, sig::kViberActive>("ViberAppDelegate"),
    clearSignalRow<msg::applicationWillEnterForeground, sig::kViberOpened>("ViberAppDelegate"),
    clearSignalRow<msg::didFinishLaunchingWithOptions, sig::kViberOpened>("ViberAppDelegate"),
    passThroughRow<msg::updateApplicationBadge>("VIBBadgeManager"),
    hookRow<msg::setItemEnabled, &indicators::setItemEnabledHook>("SBStatusBarStateAggregator"),
    passThroughRow<msg::updateBatteryItems>("SBStatusBarStateAggregator"),
    passThroughRow<msg::beginCoalescentBlock>("SBStatusBarStateProvider"),
    passThroughRow<msg::endCoalescentBlock>("SBStatusBarStateProvider"),
    passThroughRow<msg::updateStatusBarItem>("SBStatusBarStateProvider"),
    hookRow<msg::applicationDidFinishLaunching, &launchHook>("SpringBoard"),
    hookRow<msg::noteDidDismissWithReason, &indicators::noteDidDismissHook>("SBBannerContextView"),
    stepRow<&indicators::addPadContentFrameMethod>("SBBannerContextView", "_pad_modifiedContentFrameForFrame:"),
    hookRow<msg::centeredBoundsForRect, &indicators::centeredBoundsForRectHook>("SBBannerContextView"),
    passThroughRow<msg::centeredBounds>("SBBannerContextView"),
    passThroughRow<msg::noteApplicationIdentifiersDidChange>("SBApplicationRestrictionController"),
    passThroughRow<msg::sendInstalledAppsDidChange>("SBApplicationController"),
    passThroughRow<msg::applicationsAdded>("SBApplicationController"),
    passThroughRow<msg::finishUIUnlock>("SBLockScreenManager"),
    passThroughRow<msg::badgeChanged>("PhoneTabBarController"),
    passThroughRow<msg::updateAllBadges>("PhoneTabBarController"),
    passThroughRow<msg::applicationBadgeChangedNotification>("PHStarkGenericTableViewController"),
    passThroughRow<msg::updateBadgeString>("PHStarkGenericTableViewController"),
    passThroughRow<msg::badgeString>("PHStarkGenericTableViewController"),
    hookRow<msg::fireNotification, &intake::fireNotificationHook>("SBApplication"),
    hookRow<msg::didAnimateActivation, &intake::didAnimateActivationHook>("SBApplication"),
    hookRow<msg::postStateChange, &appsignals::callStateChangedHook>("IMAVCallManager"),
};

const std::array kGroupB = {
    passThroughRow<msg::init>("BBServer"),
    hookRow<msg::publishBulletin, &intake::publishBulletinHook>("BBServer"),
    hookRow<msg::loadView, &intake::loadViewHook>("SBLockScreenNotificationListController"),
    passThroughRow<msg::observerRemoveBulletin>("SBLockScreenNotificationListController"),
    hookRow<msg::observerAddBulletinPlayLights, &intake::addBulletinHook>("SBLockScreenNotificationListController"),
    passThroughRow<msg::updateModelAndViewForAdditionOfItem>("SBLockScreenNotificationListController"),
    passThroughRow<msg::removeItemsForNotificationCenterPresentation>("SBLockScreenNotificationListController"),
    passThroughRow<msg::updateModelAndViewForModificationOfItem>("SBLockScreenNotificationListController"),
    passThroughRow<msg::updateModelAndViewForReplacingItem>("SBLockScreenNotificationListController"),
    passThroughRow<msg::removeCachedBannerForBulletinID>("SBLockScreenNotificationListController"),
    passThroughRow<msg::updateModelAndViewForRemovalOfItem>("SBLockScreenNotificationListController"),
    hookRow<msg::updateModelForRemovalOfItem, &intake::removeItemHook>("SBLockScreenNotificationListController"),
    passThroughRow<msg::prepareForTeardown>("SBLockScreenNotificationListController"),
    passThroughRow<msg::setInScreenOffMode>("SBLockScreenNotificationListController"),
    hookRow<msg::fireNotification, &intake::fireNotificationHook>("UNLocalNotificationClient"),
};

const std::array kGroupC = {
    passThroughRow<msg::insertNotificationRequest>("NCNotificationChronologicalList"),
    passThroughRow<msg::showRequestsForSection>("NCNotificationChronologicalList"),
    passThroughRow<msg::insertNotificationRequest>("NCNotificationPriorityList"),
    passThroughRow<msg::notificationListViewControllerDidScroll>("SBDashBoardNotificationListViewController"),
    passThroughRow<msg::willPresentNotification>("UNSUserNotificationServer"),
    passThroughRow<msg::observerRemoveBulletin>("NCBulletinNotificationSource"),
    passThroughRow<msg::requestsClearingNotificationRequests>("NCBulletinNotificationSource"),
    passThroughRow<msg::observerAddBulletinPlayLights>("NCBulletinNotificationSource"),
    hookRow<msg::executeAction, &intake::executeActionHook>("NCBulletinActionRunner"),
    passThroughRow<msg::postNotificationRequestCoalesced>("SBDashBoardNotificationDispatcher"),
    passThroughRow<msg::destinationPerformAction>("SBDashBoardNotificationDispatcher"),
    passThroughRow<msg::presentNotificationViewController>("SBNotificationBannerDestination"),
    passThroughRow<msg::presentFullscreenBulletinAlert>("SBLockScreenViewController"),
    hookRow<msg::postNotificationWithRequest, &intake::postRequestHook>("NCNotificationDispatcher"),
    passThroughRow<msg::insertNotificationRequestCoalesced>("NCNotificationPriorityListViewController"),
    passThroughRow<msg::modifyNotificationRequestCoalesced>("NCNotificationPriorityListViewController"),
    passThroughRow<msg::removeNotificationRequestCoalesced>("NCNotificationPriorityListViewController"),
    passThroughRow<msg::willPresentNotificationRequest>("NCNotificationAlertQueue"),
    passThroughRow<msg::insertNotificationRequestCoalesced>("NCNotificationListViewController"),
    passThroughRow<msg::handleSecondaryActionForView>("SBDashBoardFullscreenNotificationViewController"),
    passThroughRow<msg::handlePrimaryActionForView>("SBDashBoardFullscreenNotificationViewController"),
    passThroughRow<msg::lockButtonPressed>("SBDashBoardFullscreenNotificationViewController"),
};
}  // namespace

std::span<const HookRow> hookGroupA() { return kGroupA; }
std::span<const HookRow> hookGroupB() { return kGroupB; }
std::span<const HookRow> hookGroupC() { return kGroupC; }

}  // namespace qv::assembly
