// The lock-screen list of iOS 7 to 9 and its item kinds. It loads its view when the lock screen
// appears, and at unlock hands its items to the notification centre, each through the removal
// step, and is torn down. Newest first. Main queue.
//   added:    observer:addBulletin:… → _removeCachedBannerForBulletinID: → _updateModelAndViewForAdditionOfItem:
//   swiped:   _updateModelForRemovalOfItem:updateView: YES → _updateModelAndViewForRemovalOfItem:
//   unlocked: removeItemsForNotificationCenterPresentation → _updateModelForRemovalOfItem:updateView: NO per item
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/objc/runtime.h"
#include "platform/springboard/bulletins.h"

namespace qv::springboard {

// Item classes: SBAwayBulletinListItem and SBSnoozedAlarmBulletinListItem (`activeBulletin`),
// SBSnoozedAlarmListItem, SBAwayCardListItem (`cardItem` → `identifier`), SBAwaySystemAlertItem.
enum class ListItemKind { Bulletin, SnoozedAlarmBulletin, SnoozedAlarm, Card, SystemAlert };

// The C++ side of a list item.
struct ListItemObject final : objc::Object {
  using Object::Object;
  ListItemKind kind = ListItemKind::Bulletin;
  objc::Id bulletin;  // bulletin kinds
  objc::Id card;      // card items
};

class LockScreenList {
 public:
  // Defines the list controller, the item classes and the card item class.
  explicit LockScreenList(host::Host& host);
  LockScreenList(const LockScreenList&) = delete;
  LockScreenList& operator=(const LockScreenList&) = delete;

  const objc::Id& controller() const { return controller_; }

  // The lock screen appears: `loadView` unless loaded, then `setInScreenOffMode:` YES.
  void appear();
  // The device unlocks: `setInScreenOffMode:` NO, `removeItemsForNotificationCenterPresentation`
  // (one `_updateModelForRemovalOfItem:updateView:` NO per item, oldest first, each bulletin then
  // handed to the notification centre), `prepareForTeardown` (nothing while the view is not loaded).
  void unlock();
  // A bulletin reaches the lock-screen feed (the server's `observer:addBulletin:…`).
  void addBulletin(const objc::Id& server, const objc::Id& bulletin);
  // The server cleared a bulletin (`observer:removeBulletin:`).
  void removeBulletin(const objc::Id& server, const objc::Id& bulletin);
  // An item of another kind arrives (alarms, cards, system alerts); returns it.
  objc::Id addItem(ListItemKind kind, const objc::Id& bulletinOrCard);
  // The user swipes an item away; false when it is not listed.
  bool userRemoves(const objc::Id& item);
  // The item showing a bulletin, or null.
  objc::Id itemFor(const objc::Object* bulletin) const;
  const std::vector<objc::Id>& items() const { return items_; }
  bool viewLoaded() const { return viewLoaded_; }
  objc::Id makeCard(const std::string& identifier);

  // Receives the bulletins the list hands over at unlock.
  std::function<void(const objc::Id& bulletin)> toNotificationCentre;

  // Internal to the classes.
  void bulletinArrived(const objc::Id& bulletin);
  void added(const objc::Id& item);
  void replaced(const objc::Id& old, const objc::Id& replacement);
  void modified(const objc::Id& item);
  bool dropFromModel(const objc::Object* item);
  void viewChanged();
  void presentForNotificationCentre();
  void setLoaded(bool loaded) { viewLoaded_ = loaded; }
  void setScreenOff(bool off) { screenOff_ = off; }

 private:
  objc::Id makeItem(ListItemKind kind, const objc::Id& bulletinOrCard);
  void recordBulletin(const objc::Id& item);

  host::Host& host_;
  objc::Runtime& rt_;
  objc::Id controller_;
  objc::Class* cardClass_;
  std::vector<objc::Id> items_;
  bool viewLoaded_ = false;
  bool screenOff_ = false;
};

}  // namespace qv::springboard
