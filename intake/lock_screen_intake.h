// Intake on iOS 7 to 9: the hooks on the bulletin server, the lock-screen notification list and
// the local-notification client. A published bulletin is classified before the server
// publishes it, a listed one after the list added it; removing an item clears its reminder
// before the list removes it. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/hooks.h"

namespace qv::intake {

using host::Block;
using objc::Id;

// The section identifier of a lock-screen list item: the active bulletin's section (bulletin
// items), the card item's identifier (cards), "systemAlert", or "noIdentifier".
std::string identifierForListItem(const objc::Object* item);
// The removal rules for an item the user takes off the lock-screen list.
void clearOnLockScreenRemoval(core::Library& library, const Id& item);

// BBServer publishBulletin:destinations:alwaysToLockScreen:.
void publishBulletinHook(core::Library& library, const objc::Slot<void(Id, std::uint64_t, bool)>& previous,
                         objc::Object* self, objc::Sel sel, Id bulletin, std::uint64_t destinations,
                         bool alwaysToLockScreen);
// SBLockScreenNotificationListController loadView: keeps the controller in notificationListController.
void loadViewHook(core::Library& library, const objc::Slot<void()>& previous, objc::Object* self, objc::Sel sel);
// SBLockScreenNotificationListController observer:addBulletin:forFeed:playLightsAndSirens:withReply:.
void addBulletinHook(core::Library& library, const objc::Slot<void(Id, Id, std::uint64_t, bool, Block)>& previous,
                     objc::Object* self, objc::Sel sel, Id observer, Id bulletin, std::uint64_t feed,
                     bool playLightsAndSirens, Block reply);
// SBLockScreenNotificationListController _updateModelForRemovalOfItem:updateView:.
void removeItemHook(core::Library& library, const objc::Slot<void(Id, bool)>& previous, objc::Object* self,
                    objc::Sel sel, Id item, bool updateView);

}  // namespace qv::intake
