// Each subsystem adds its named operations to MissedHelper through one registration function;
// this list is where they are all called from, in order, once the class is defined at load.
#pragma once

#include "alerts/banner.h"
#include "alerts/fire_cycle.h"
#include "core/other_apps.h"
#include "core/registry.h"
#include "indicators/status_bar.h"

namespace qv::assembly {

using RegisterOperations = void (*)(core::Library& library, objc::Class* missedHelper);

inline constexpr RegisterOperations kOperationRegistrations[] = {
    &core::registerRegistryOperations,      // start and clear of the fixed categories
    &core::registerOtherAppOperations,      // LoadImTimer:test:, clearOtherTimer:
    &indicators::registerStatusBarOperations,  // addStatusBarForIdentifier:, IconNameFromItem:, stock items
    &alerts::registerFireHandlers,          // the fixed fire handlers, reloadOtherTimer:
    &alerts::registerDataProviderOperations,  // sortDescriptors, bulletinsFilteredBy:count:lastCleared:
};

}  // namespace qv::assembly
