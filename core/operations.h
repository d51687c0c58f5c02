// Each subsystem adds its named operations to MissedHelper through one registration function;
// this list is where they are all called from when the class is defined.
#pragma once

#include <array>

#include "platform/objc/runtime.h"

namespace qv::core {

class Library;
using RegisterOperations = void (*)(Library& library, objc::Class* missedHelper);

// Start and clear operations of the fixed categories (registry.cc).
void registerRegistryOperations(Library& library, objc::Class* missedHelper);
// LoadImTimer:test: and clearOtherTimer: (other_apps.cc).
void registerOtherAppOperations(Library& library, objc::Class* missedHelper);
}  // namespace qv::core

namespace qv::indicators {
// addStatusBarForIdentifier:, IconNameFromItem: and the stock-item operations (status_bar.cc).
void registerStatusBarOperations(core::Library& library, objc::Class* missedHelper);
}  // namespace qv::indicators

namespace qv::alerts {
// The fixed fire handlers and reloadOtherTimer: (fire_cycle.cc).
void registerFireHandlers(core::Library& library, objc::Class* missedHelper);
}  // namespace qv::alerts

namespace qv::alerts {
// sortDescriptors and bulletinsFilteredBy:count:lastCleared: (banner_provider.cc).
void registerDataProviderOperations(core::Library& library, objc::Class* missedHelper);
}  // namespace qv::alerts

namespace qv::core {
inline constexpr RegisterOperations kOperationRegistrations[] = {
    &registerRegistryOperations,
    &registerOtherAppOperations,
    &indicators::registerStatusBarOperations,
    &alerts::registerFireHandlers,
    &alerts::registerDataProviderOperations,
};

}  // namespace qv::core
