// Loading the library into a process: the three initialisers, run in order, each to the end.
// The first defines the library's own classes, installs the hook table's group A, runs the
// settings start-up steps, registers the Darwin observers and installs group B (iOS 7 to 9)
// or group C (iOS 10, CoreFoundation 1348.0 and later); the second takes the shared
// MissedHelper; the third adds a pass-through hook in the home screen only.
#pragma once

#include <span>

#include "core/hooks.h"

namespace qv::core {

inline constexpr double kFirstCoreFoundationOfIos10 = 1348.0;

void runFirstInitialiser(Library& library);
void runSecondInitialiser(Library& library);
void runThirdInitialiser(Library& library);

// The settings start-up steps: forget the domain when its file is missing, load, observe changes.
void runSettingsStartup(Library& library);

// The hook table's groups, in table order.
std::span<const HookRow> hookGroupA();
std::span<const HookRow> hookGroupB();
std::span<const HookRow> hookGroupC();

}  // namespace qv::core
