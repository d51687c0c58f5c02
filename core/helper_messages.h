// The messages MissedHelper answers, with their signatures: the registry's named operations,
// the fire handlers, the status-bar operations and the bulletin data-provider methods. Hooks,
// timers and notifications reach them by these names.
#pragma once

#include <string>

#include "platform/host/messages.h"

namespace qv::core::hm {

using host::Id;
using host::Message;

// Start and clear operations (their names per category are in kCategories).
inline const Message<void()> LoadsmsTimer{"LoadsmsTimer"};
inline const Message<void()> LoadPhoneTimer{"LoadPhoneTimer"};
inline const Message<void()> LoadMailTimer{"LoadMailTimer"};
inline const Message<void(std::string)> LoadImTimer{"LoadImTimer:"};
inline const Message<void(pl::Value, std::string)> LoadImTimerTest{"LoadImTimer:test:"};
inline const Message<void(std::string)> clearOtherTimer{"clearOtherTimer:"};
inline const Message<void(Id)> reloadOtherTimer{"reloadOtherTimer:"};
// Status bar.
inline const Message<void(std::string)> addStatusBarForIdentifier{"addStatusBarForIdentifier:"};
inline const Message<void()> updateStatusbar{"updateStatusbar"};
inline const Message<std::string(Id)> IconNameFromItem{"IconNameFromItem:"};
inline const Message<bool(Id)> isDisabledStatus{"isDisabledStatus:"};
inline const Message<void(std::string)> DisableItemFromString{"DisableItemFromString:"};
inline const Message<void(std::string)> enableItemFromString{"enableItemFromString:"};
// Fields beside the per-category ones.
inline const Message<Id()> OtherTimer{"OtherTimer"};
inline const Message<void(Id)> setOtherTimer{"setOtherTimer:"};
inline const Message<Id()> statusBarItemOther{"statusBarItemOther"};
inline const Message<void(Id)> setStatusBarItemOther{"setStatusBarItemOther:"};

// The fixed categories' operations all have these shapes.
using VoidOperation = void();
using FieldGetter = Id();
using FieldSetter = void(Id);

}  // namespace qv::core::hm
