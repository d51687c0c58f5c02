// The iOS 10 lock screen (dashboard): the lock-screen destination of posted requests, its
// priority list and view controllers, and full-screen alerts with their buttons. Newest request
// first; at unlock the requests go to the notification centre. Main queue.
//   post: postNotificationRequest:forCoalescedNotification: → insertNotificationRequest:forCoalescedNotification:
//         → NCNotificationPriorityList insertNotificationRequest:
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/messages.h"
#include "platform/objc/runtime.h"

namespace qv::springboard {

enum class FullscreenButton { Primary, Secondary, Lock };

// SBDashBoardNotificationDispatcher, NCNotificationPriorityListViewController over
// NCNotificationPriorityList, SBDashBoardNotificationListViewController (told of scrolling),
// SBLockScreenViewController and SBDashBoardFullscreenNotificationViewController.
class Dashboard {
 public:
  // Defines the dashboard's classes and makes their instances.
  explicit Dashboard(host::Host& host);
  Dashboard(const Dashboard&) = delete;
  Dashboard& operator=(const Dashboard&) = delete;

  const objc::Id& dispatcher() const { return dispatcher_; }
  const objc::Id& listViewController() const { return listViewController_; }

  // The dispatcher posts a request to the lock screen (an update when its id is listed).
  void post(const objc::Id& request, const objc::Id& coalesced);
  // A listed request is withdrawn (`removeNotificationRequest:forCoalescedNotification:`).
  void withdraw(const objc::Id& request, const objc::Id& coalesced);
  // The user acts on a listed request: `destination:performAction:forNotificationRequest:…`.
  void performAction(const objc::Id& action, const objc::Id& request, host::Block completion);
  // The user scrolls the lock-screen list.
  void scroll();
  // A full-screen alert for a request (`presentFullscreenBulletinAlertWithItem:`).
  void presentFullscreen(const objc::Id& request);
  // The user presses a button of the full-screen alert; false when none is shown.
  bool pressFullscreen(FullscreenButton button);
  // The device unlocks: the listed requests go to the notification centre, oldest first.
  void unlock();

  const std::vector<objc::Id>& requests() const { return requests_; }
  bool lists(const objc::Object* request) const;
  const objc::Id& fullscreenRequest() const { return fullscreenRequest_; }

  // Runs an action the user took on the lock screen (the home screen's action runner).
  std::function<void(const objc::Id& request, const objc::Id& action, host::Block completion)> runAction;
  // Receives the requests handed over at unlock.
  std::function<void(const objc::Id& request)> toNotificationCentre;
  // The primary button of a full-screen alert acts on its request.
  std::function<void(const objc::Id& request)> actOnFullscreen;

  // Internal to the classes.
  void inserted(const objc::Id& request, bool update);
  void removed(const objc::Object* request);
  void fullscreenShown(const objc::Id& request);
  void fullscreenDismissed(const char* why, bool act);

 private:
  void viewChanged();

  host::Host& host_;
  objc::Id dispatcher_;
  objc::Id listViewController_;
  objc::Id priorityList_;
  objc::Id dashBoardListViewController_;
  objc::Id lockScreenViewController_;
  objc::Class* fullscreenClass_;
  objc::Id fullscreenController_;
  objc::Id fullscreenRequest_;
  std::vector<objc::Id> requests_;
};

}  // namespace qv::springboard
