// Loading the library into a process: the three initialisers, run in order, each to the end.
// The first defines the library's own classes, installs the hook table's group A, runs the
// settings start-up steps, registers the Darwin observers and installs group B (iOS 7 to 9)
// or group C (iOS 10, CoreFoundation 1348.0 and later); the second takes the shared
// MissedHelper; the third adds a pass-through hook in the home screen only.
//   std::unique_ptr<core::Library> library = assembly::load(process.host);
#pragma once

#include <memory>
#include <span>

#include "core/hooks.h"

namespace qv::assembly {

inline constexpr double kFirstCoreFoundationOfIos10 = 1348.0;

// Loads the library into a process: runs the three initialisers in order.
std::unique_ptr<core::Library> load(host::Host& host);

void runFirstInitialiser(core::Library& library);
void runSecondInitialiser(core::Library& library);
void runThirdInitialiser(core::Library& library);

// The settings start-up steps: forget the domain when its file is missing, load, observe changes.
void runSettingsStartup(core::Library& library);

// The hook table's groups, in table order.
std::span<const core::HookRow> hookGroupA();
std::span<const core::HookRow> hookGroupB();
std::span<const core::HookRow> hookGroupC();

}  // namespace qv::assembly
