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

// The fixed fire handlers and reloadOtherTimer: (alerts/fire_cycle.cc).
void registerFireHandlers(Library& library, objc::Class* missedHelper);

inline constexpr std::array<RegisterOperations, 2> kOperationRegistrations = {
    &registerRegistryOperations,
    &registerFireHandlers,
};

}  // namespace qv::core
