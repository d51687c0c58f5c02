// The status-bar items of the fixed categories: `addStatusBarForIdentifier:` creates and shows
// the item of a status-bar key when "showStatus" is on (reloading the settings first);
// `updateStatusbar` clears statusBarDirty; and the small facility that finds stock status-bar
// items by icon name (`IconNameFromItem:`, `isDisabledStatus:`, `DisableItemFromString:`,
// `enableItemFromString:`) with its hook on `_setItem:enabled:`. Main thread.
#pragma once

#include <string>
#include <string_view>

#include "core/hooks.h"
#include "platform/objc/runtime.h"

namespace qv::indicators {

inline constexpr std::int64_t kItemAlignment = 2;  // right-hand side
inline constexpr int kMaxStockItemTypes = 50;

// addStatusBarForIdentifier: for one key.
void addStatusBarForIdentifier(core::Library& library, std::string_view key);
// A new LSStatusBarItem (class looked up by name each time); null when the library is absent.
objc::Id makeStatusBarItem(core::Library& library, const std::string& identifier);
// The icon name inside a stock item's description: from just after the first "[" to the
// second-last character; "" when there is no item, no "[" or nothing after it.
std::string iconNameFromItem(const objc::Id& item);
// Sets every stock item type whose icon name is `name` to enabled or disabled.
void setStockItemsNamed(core::Library& library, std::string_view name, bool enabled);

void registerStatusBarOperations(core::Library& library, objc::Class* missedHelper);

// The replacement of SBStatusBarStateAggregator _setItem:enabled:.
bool setItemEnabledHook(core::Library& library, const objc::Slot<bool(std::int64_t, bool)>& previous,
                        objc::Object* self, objc::Sel sel, std::int64_t type, bool enabled);

}  // namespace qv::indicators
