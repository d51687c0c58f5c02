// Helpers for the listed-app tests: starting and clearing a reminder as intake does, and reading
// which timers of an app are listed and armed.
#pragma once

#include <algorithm>
#include <string>

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "core/other_apps.h"

namespace qv::core::testing {

// Intake's start: list the app, count 1, LoadImTimer:test: with its user info.
inline void intakeStart(Library& lib, const std::string& app, const std::string& name) {
  OtherAppsState& s = lib.otherApps;
  if (!s.activeOtherApps) s.activeOtherApps.emplace();
  if (!s.otherRepeatCounts) s.otherRepeatCounts.emplace();
  s.activeOtherApps->push_back(app);
  (*s.otherRepeatCounts)[app] = 1;
  host::send(lib.sharedHelper, hm::LoadImTimerTest, pl::Value(pl::Dict{{"id", app}, {"identifier", name}}), app);
}

// Intake's clear (removal rules, app activation): clearOtherTimer: and leave the active list.
inline void intakeClear(Library& lib, const std::string& app) {
  host::send(lib.sharedHelper, hm::clearOtherTimer, app);
  if (auto& active = lib.otherApps.activeOtherApps) std::erase(*active, app);
}

inline bool isRunning(const Library& lib, const std::string& app) {
  const auto& active = lib.otherApps.activeOtherApps;
  return active && std::find(active->begin(), active->end(), app) != active->end();
}

// Listed timers of the app that are still armed (those that will count and re-arm when they fire).
inline std::size_t liveChains(const Library& lib, const std::string& app) {
  const auto& list = lib.otherApps.otherTimerList;
  if (!list) return 0;
  return std::count_if(list->begin(), list->end(), [&](const objc::Id& t) {
    return host::send(t, host::msg::loggingIdentifier) == app && host::send(t, host::msg::isValid);
  });
}

inline std::size_t listEntries(const Library& lib) {
  return lib.otherApps.otherTimerList ? lib.otherApps.otherTimerList->size() : 0;
}

}  // namespace qv::core::testing
