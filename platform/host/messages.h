// Every message the system sends to, or hooks on, a host class: its selector and signature in
// one place. The simulated host registers its methods with these constants and the system
// sends and hooks with them, so the two can never disagree about a signature.
//   bool locked = host::send(manager, msg::isUILocked);
// Conventions: objects are objc::Id (null is nil), NSString is std::string (nil reads ""),
// dictionaries and other property-list objects are pl::Value (Null is nil), dictionaries of
// objects are ObjectMap, NSInteger is
// int64_t, CGFloat and NSTimeInterval are double, BOOL is bool, blocks are std::function,
// arrays of objects are ObjectList.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/objc/runtime.h"
#include "platform/plist/value.h"

namespace qv::host {

using objc::Id;
using Block = std::function<void()>;
// An NSDictionary of objects (a bulletin's actions by name).
using ObjectMap = std::map<std::string, Id, std::less<>>;
// An NSArray of objects (sort descriptors).
using ObjectList = std::vector<Id>;

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A selector with its signature F = Result(Arguments...).
template <class F>
struct Message {
  explicit Message(std::string_view name) : sel(objc::Sel::intern(name)) {}
  objc::Sel sel;
  const char* name() const { return sel.name(); }
};

template <class F, class... Args>
typename objc::ImpTraits<F>::Result send(objc::Object* receiver, const Message<F>& m, Args&&... args) {
  return objc::send<F>(receiver, m.sel, std::forward<Args>(args)...);
}
template <class F, class... Args>
typename objc::ImpTraits<F>::Result send(const Id& receiver, const Message<F>& m, Args&&... args) {
  return objc::send<F>(receiver.get(), m.sel, std::forward<Args>(args)...);
}

// Whether an object's class is `className` or inherits from it (isKindOfClass:).
bool isKindOf(const objc::Object* object, std::string_view className);

namespace msg {
// --- Root and Foundation ----------------------------------------------------------------
inline const Message<Id()> alloc{"alloc"};
inline const Message<Id()> init{"init"};
inline const Message<Id()> sharedInstance{"sharedInstance"};
inline const Message<void(objc::Sel)> doesNotRecognizeSelector{"doesNotRecognizeSelector:"};
inline const Message<bool(objc::Sel)> respondsToSelector{"respondsToSelector:"};
inline const Message<void(Id, objc::Sel, Id)> cancelPreviousPerformRequests{
    "cancelPreviousPerformRequestsWithTarget:selector:object:"};  // class method of NSObject
inline const Message<Id()> mainRunLoop{"mainRunLoop"};             // NSRunLoop
inline const Message<Id()> currentDevice{"currentDevice"};         // UIDevice
inline const Message<std::string()> systemVersion{"systemVersion"};
inline const Message<std::int64_t()> userInterfaceIdiom{"userInterfaceIdiom"};
inline const Message<Id()> whiteColor{"whiteColor"};               // UIColor
inline const Message<Id(std::string, bool)> sortDescriptorWithKey{"sortDescriptorWithKey:ascending:"};  // NSSortDescriptor
inline const Message<std::string()> key{"key"};
inline const Message<bool()> ascending{"ascending"};

// --- Timers (PCSimpleTimer, and OtherTimerTest below it) ---------------------------------
inline const Message<Id(double, std::string, Id, objc::Sel, pl::Value)> initTimer{
    "initWithTimeInterval:serviceIdentifier:target:selector:userInfo:"};
inline const Message<void(Id)> scheduleInRunLoop{"scheduleInRunLoop:"};
inline const Message<void()> invalidate{"invalidate"};
inline const Message<bool()> isValid{"isValid"};
inline const Message<pl::Value()> userInfo{"userInfo"};
inline const Message<std::string()> loggingIdentifier{"loggingIdentifier"};
inline const Message<void()> fireTimerFired{"_fireTimerFired"};
inline const Message<void()> scheduleTimer{"_scheduleTimer"};
inline const Message<std::string()> identifier{"identifier"};  // OtherTimerTest, card items

// --- Home-screen state ---------------------------------------------------------------------
inline const Message<void(Id)> applicationDidFinishLaunching{"applicationDidFinishLaunching:"};  // SpringBoard, Phone
inline const Message<void(Id)> autoLockTimerFired{"_autoLockTimerFired:"};  // SBBacklightController
inline const Message<bool()> isUILocked{"isUILocked"};                      // SBLockScreenManager
inline const Message<void(std::int64_t, Id)> finishUIUnlock{"_finishUIUnlockFromSource:withOptions:"};
inline const Message<Id()> sharedUserAgent{"sharedUserAgent"};              // SBUserAgent
inline const Message<void()> undimScreen{"undimScreen"};
inline const Message<Id()> model{"model"};                                  // SBIconController
inline const Message<Id(std::string)> applicationIconForBundleIdentifier{"applicationIconForBundleIdentifier:"};
inline const Message<std::int64_t()> badgeValue{"badgeValue"};              // SBApplicationIcon
inline const Message<bool()> quietModeEnabled{"quietModeEnabled"};          // SBBulletinSoundController

// --- Applications in the home screen (SBApplication) -----------------------------------------
inline const Message<std::string()> bundleIdentifier{"bundleIdentifier"};
inline const Message<void(Id)> fireNotification{"_fireNotification:"};  // SBApplication, UNLocalNotificationClient
inline const Message<void()> didAnimateActivation{"didAnimateActivation"};
inline const Message<void(Id, Id, Id)> noteApplicationIdentifiersDidChange{
    "noteApplicationIdentifiersDidChangeWithAdded:modified:removed:"};  // SBApplicationRestrictionController
inline const Message<void(Id, Id, Id)> sendInstalledAppsDidChange{
    "_sendInstalledAppsDidChangeNotification:removed:modified:"};  // SBApplicationController
inline const Message<void(Id)> applicationsAdded{"applicationsAdded:"};

// --- Bulletins --------------------------------------------------------------------------
// BBBulletin / BBBulletinRequest fields.
inline const Message<std::string()> title{"title"};
inline const Message<void(std::string)> setTitle{"setTitle:"};
inline const Message<std::string()> message{"message"};
inline const Message<void(std::string)> setMessage{"setMessage:"};
inline const Message<std::string()> subtitle{"subtitle"};
inline const Message<void(std::string)> setSubtitle{"setSubtitle:"};
inline const Message<pl::Value()> context{"context"};
inline const Message<void(pl::Value)> setContext{"setContext:"};
inline const Message<std::string()> sectionID{"sectionID"};
inline const Message<void(std::string)> setSectionID{"setSectionID:"};
inline const Message<std::string()> recordID{"recordID"};
inline const Message<void(std::string)> setRecordID{"setRecordID:"};
inline const Message<std::string()> bulletinID{"bulletinID"};
inline const Message<void(std::string)> setBulletinID{"setBulletinID:"};
inline const Message<std::string()> publisherBulletinID{"publisherBulletinID"};
inline const Message<void(std::string)> setPublisherBulletinID{"setPublisherBulletinID:"};
inline const Message<bool()> clearable{"clearable"};
inline const Message<void(bool)> setClearable{"setClearable:"};
inline const Message<bool()> showsMessagePreview{"showsMessagePreview"};
inline const Message<void(bool)> setShowsMessagePreview{"setShowsMessagePreview:"};
inline const Message<pl::Value()> date{"date"};  // a pl::Date
inline const Message<void(pl::Value)> setDate{"setDate:"};
inline const Message<void(pl::Value)> setPublicationDate{"setPublicationDate:"};
inline const Message<void(pl::Value)> setLastInterruptDate{"setLastInterruptDate:"};
inline const Message<Id()> defaultAction{"defaultAction"};
inline const Message<void(Id)> setDefaultAction{"setDefaultAction:"};
// The bulletin's actions by name ("default" is the tap action).
inline const Message<ObjectMap()> actions{"actions"};
inline const Message<void(ObjectMap)> setActions{"setActions:"};
inline const Message<Id(std::string, Block)> actionWithLaunchBundleID{"actionWithLaunchBundleID:callblock:"};  // BBAction
inline const Message<std::string()> launchBundleID{"launchBundleID"};
// BBDataProvider, answered by MissedHelper.
inline const Message<std::string()> sectionIdentifier{"sectionIdentifier"};
inline const Message<void(std::string)> setSectionIdentifier{"setSectionIdentifier:"};
inline const Message<ObjectList()> sortDescriptors{"sortDescriptors"};
inline const Message<Id(std::uint64_t, std::uint64_t, pl::Value)> bulletinsFilteredBy{
    "bulletinsFilteredBy:count:lastCleared:"};

// --- iOS 7 to 9: bulletin server and lock-screen list ---------------------------------------
inline const Message<void(Id, std::uint64_t, bool)> publishBulletin{"publishBulletin:destinations:alwaysToLockScreen:"};
inline const Message<void()> loadView{"loadView"};
inline const Message<void(Id, Id)> observerRemoveBulletin{"observer:removeBulletin:"};
inline const Message<void(Id, Id, std::uint64_t, bool, Block)> observerAddBulletinPlayLights{
    "observer:addBulletin:forFeed:playLightsAndSirens:withReply:"};
inline const Message<void(Id, Id, std::uint64_t)> observerAddBulletin{"observer:addBulletin:forFeed:"};
inline const Message<void(Id)> updateModelAndViewForAdditionOfItem{"_updateModelAndViewForAdditionOfItem:"};
inline const Message<void()> removeItemsForNotificationCenterPresentation{"removeItemsForNotificationCenterPresentation"};
inline const Message<void(Id)> updateModelAndViewForModificationOfItem{"_updateModelAndViewForModificationOfItem:"};
inline const Message<void(Id, Id)> updateModelAndViewForReplacingItem{"_updateModelAndViewForReplacingItem:withNewItem:"};
inline const Message<void(std::string)> removeCachedBannerForBulletinID{"_removeCachedBannerForBulletinID:"};
inline const Message<void(Id)> updateModelAndViewForRemovalOfItem{"_updateModelAndViewForRemovalOfItem:"};
inline const Message<void(Id, bool)> updateModelForRemovalOfItem{"_updateModelForRemovalOfItem:updateView:"};
inline const Message<void()> prepareForTeardown{"prepareForTeardown"};
inline const Message<void(bool)> setInScreenOffMode{"setInScreenOffMode:"};
inline const Message<Id()> activeBulletin{"activeBulletin"};  // list items
inline const Message<Id()> cardItem{"cardItem"};

// --- iOS 10: notification centre ------------------------------------------------------------
inline const Message<void(Id)> postNotificationWithRequest{"postNotificationWithRequest:"};  // NCNotificationDispatcher
inline const Message<std::string()> requestSectionIdentifier{"sectionIdentifier"};
inline const Message<std::string()> categoryIdentifier{"categoryIdentifier"};
inline const Message<Id()> bulletin{"bulletin"};
inline const Message<void(Id, std::string, pl::Value, Block)> executeAction{
    "executeAction:fromOrigin:withParameters:completion:"};  // NCBulletinActionRunner
inline const Message<void(Id)> insertNotificationRequest{"insertNotificationRequest:"};
inline const Message<void(std::string, std::string)> showRequestsForSection{
    "showRequestsForNotificationSectionIdentifier:subSectionIdentifier:"};
inline const Message<void(Id)> notificationListViewControllerDidScroll{"notificationListViewControllerDidScroll:"};
inline const Message<void(Id, std::string, Block)> willPresentNotification{
    "willPresentNotification:forBundleIdentifier:withCompletionHandler:"};
inline const Message<void(Id, Id, Id)> requestsClearingNotificationRequests{
    "dispatcher:requestsClearingNotificationRequests:fromDestinations:"};
inline const Message<void(Id, Id)> postNotificationRequestCoalesced{"postNotificationRequest:forCoalescedNotification:"};
inline const Message<void(Id, Id, Id, pl::Value, Block)> destinationPerformAction{
    "destination:performAction:forNotificationRequest:withParameters:completion:"};
inline const Message<void(Id, bool, Block)> presentNotificationViewController{
    "_presentNotificationViewControllerForRequest:modal:completion:"};
inline const Message<void(Id)> presentFullscreenBulletinAlert{"presentFullscreenBulletinAlertWithItem:"};
inline const Message<void(Id, Id)> insertNotificationRequestCoalesced{"insertNotificationRequest:forCoalescedNotification:"};
inline const Message<void(Id, Id)> modifyNotificationRequestCoalesced{"modifyNotificationRequest:forCoalescedNotification:"};
inline const Message<void(Id, Id)> removeNotificationRequestCoalesced{"removeNotificationRequest:forCoalescedNotification:"};
inline const Message<void(Id, Id, bool)> willPresentNotificationRequest{
    "destination:willPresentNotificationRequest:suppressAlerts:"};
inline const Message<void(Id)> handleSecondaryActionForView{"handleSecondaryActionForView:"};
inline const Message<void(Id)> handlePrimaryActionForView{"handlePrimaryActionForView:"};
inline const Message<void(Id)> lockButtonPressed{"lockButtonPressed:"};

// --- Banners --------------------------------------------------------------------------------
inline const Message<Id()> bannerContext{"_bannerContext"};                // SBBannerController
inline const Message<void()> replaceIntervalElapsed{"_replaceIntervalElapsed"};
inline const Message<void()> dismissIntervalElapsed{"_dismissIntervalElapsed"};
inline const Message<void(std::int64_t)> noteDidDismissWithReason{"noteDidDismissWithReason:"};  // SBBannerContextView
inline const Message<Rect(Rect)> centeredBoundsForRect{"_centeredBoundsForRect:"};
inline const Message<Rect()> centeredBounds{"_centeredBounds"};
inline const Message<Rect(Rect)> padModifiedContentFrameForFrame{"_pad_modifiedContentFrameForFrame:"};
inline const Message<Rect()> frame{"frame"};

// --- Torch and screen flash -------------------------------------------------------------------
inline const Message<Id(std::string)> defaultDeviceWithMediaType{"defaultDeviceWithMediaType:"};  // AVCaptureDevice
inline const Message<bool()> hasTorch{"hasTorch"};
inline const Message<bool()> hasFlash{"hasFlash"};
inline const Message<bool(Id)> lockForConfiguration{"lockForConfiguration:"};
inline const Message<void(std::int64_t)> setTorchMode{"setTorchMode:"};
inline const Message<void(std::int64_t)> setFlashMode{"setFlashMode:"};
inline const Message<void()> unlockForConfiguration{"unlockForConfiguration"};
inline const Message<void()> flash{"flash"};                           // SBScreenFlash
inline const Message<Id()> mainScreenFlasher{"mainScreenFlasher"};
inline const Message<void(Id, Block)> flashColorWithCompletion{"flashColor:withCompletion:"};

// --- Status bar -------------------------------------------------------------------------------
inline const Message<Id(std::string, std::int64_t)> initWithIdentifierAlignment{"initWithIdentifier:alignment:"};
inline const Message<void(std::string)> setImageName{"setImageName:"};
inline const Message<std::string()> imageName{"imageName"};
inline const Message<void(bool)> setVisible{"setVisible:"};
inline const Message<bool()> isVisible{"isVisible"};
inline const Message<std::string()> customViewClass{"customViewClass"};
inline const Message<void(std::string)> setCustomViewClass{"setCustomViewClass:"};
inline const Message<std::string()> indicatorName{"indicatorName"};
inline const Message<Id(std::int64_t, std::int64_t)> itemWithTypeIdiom{"itemWithType:idiom:"};  // UIStatusBarItem
inline const Message<std::string()> description{"description"};
inline const Message<bool(std::int64_t, bool)> setItemEnabled{"_setItem:enabled:"};  // SBStatusBarStateAggregator
inline const Message<void(bool)> updateBatteryItems{"_updateBatteryItems:"};
inline const Message<void()> beginCoalescentBlock{"beginCoalescentBlock"};  // SBStatusBarStateProvider
inline const Message<void()> endCoalescentBlock{"endCoalescentBlock"};
inline const Message<void(std::int64_t)> updateStatusBarItem{"updateStatusBarItem:"};
inline const Message<Id()> item{"item"};                                  // UIStatusBarCustomItemView
inline const Message<Id()> contentsImage{"contentsImage"};
inline const Message<double()> standardPadding{"standardPadding"};
inline const Message<Id()> sharedApplicationList{"sharedApplicationList"};  // ALApplicationList
inline const Message<Id(std::uint64_t, std::string)> iconOfSize{"iconOfSize:forDisplayIdentifier:"};
inline const Message<Id(Id, Id)> imageFromImageWithShadow{"imageFromImage:withShadowImage:"};  // _UILegibilityImageSet
inline const Message<Id()> image{"image"};
inline const Message<Id()> shadowImage{"shadowImage"};
inline const Message<Id(std::string)> imageNamed{"imageNamed:"};  // UIImage

// --- Calls and messages ------------------------------------------------------------------------
inline const Message<void(std::string, std::int64_t, std::int64_t, bool, std::int64_t)> postStateChange{
    "_postStateChangeNamed:fromState:toState:postType:type:"};  // IMAVCallManager
inline const Message<void(std::int64_t)> unreadCountChanged{"unreadCountChanged:"};  // IMChatRegistry
inline const Message<std::int64_t()> unreadCount{"unreadCount"};
inline const Message<void(Id)> markMessageAsRead{"markMessageAsRead:"};  // IMChat
inline const Message<void(Id)> markMessagesAsRead{"markMessagesAsRead:"};

// --- App life cycle (app delegates and controllers) ---------------------------------------------
inline const Message<Id()> sharedApplication{"sharedApplication"};  // UIApplication
inline const Message<void(Id)> applicationDidBecomeActive{"applicationDidBecomeActive:"};
inline const Message<void(Id)> applicationWillEnterForeground{"applicationWillEnterForeground:"};
inline const Message<bool(Id, pl::Value)> didFinishLaunchingWithOptions{"application:didFinishLaunchingWithOptions:"};
inline const Message<void(Id)> applicationWillResignActive{"applicationWillResignActive:"};
inline const Message<void(Id)> applicationDidEnterBackground{"applicationDidEnterBackground:"};
inline const Message<void(Id)> applicationReallyDidBecomeActive{"applicationReallyDidBecomeActive:"};
inline const Message<void(Id)> applicationReallyWillEnterForeground{"applicationReallyWillEnterForeground:"};
inline const Message<void()> waApplicationWillEnterForeground{"wa_applicationWillEnterForeground"};
inline const Message<void(Id, Id)> reallyDidReceiveLocalNotification{"application:reallyDidReceiveLocalNotification:"};
inline const Message<void(Id, Id)> didReceiveLocalNotification{"application:didReceiveLocalNotification:"};
inline const Message<void(Id, pl::Value)> reallyDidReceiveRemoteNotification{"application:reallyDidReceiveRemoteNotification:"};
inline const Message<void(Id, pl::Value, Block)> didReceiveRemoteNotificationFetch{
    "application:didReceiveRemoteNotification:fetchCompletionHandler:"};
inline const Message<void(Id, pl::Value, Block)> reallyDidReceiveRemoteNotificationFetch{
    "application:reallyDidReceiveRemoteNotification:fetchCompletionHandler:"};
inline const Message<void(Id, std::string, pl::Value, pl::Value, Block)> handleActionForRemoteNotification{
    "application:handleActionWithIdentifier:forRemoteNotification:withResponseInfo:completionHandler:"};
inline const Message<void(Id, std::string, Id, pl::Value, Block)> handleActionForLocalNotification{
    "application:handleActionWithIdentifier:forLocalNotification:withResponseInfo:completionHandler:"};
inline const Message<void()> updateApplicationBadge{"updateApplicationBadge"};  // VIBBadgeManager
inline const Message<void(Id)> badgeChanged{"_badgeChanged:"};                  // PhoneTabBarController
inline const Message<void(Id)> updateAllBadges{"_updateAllBadges:"};
inline const Message<void(Id)> applicationBadgeChangedNotification{"applicationBadgeChangedNotification:"};
inline const Message<void()> updateBadgeString{"updateBadgeString"};  // PHStarkGenericTableViewController
inline const Message<std::string()> badgeString{"badgeString"};
}  // namespace msg

}  // namespace qv::host
