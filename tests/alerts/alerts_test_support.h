// Helpers for the alert tests: a recorded world, starting a reminder as intake does, a status-bar
// item that must stay untouched, and traces of timeline events with their times.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "sim/world.h"

namespace qv::alerts::testing {

using timeline::Kind;

// What intake does when it starts a fixed category's reminder: counter 1, flag set, start.
inline void startReminder(core::Library& lib, core::Category c) {
  const core::CategoryInfo& row = core::info(c);
  lib.reminders.counter(c) = 1;
  lib.reminders.activeFlag(c) = true;
  if (row.startArgument.empty())
    objc::send<void()>(lib.sharedHelper, objc::Sel::intern(row.startOperation));
  else
    host::send(lib.sharedHelper, core::hm::LoadImTimer, std::string(row.startArgument));
}

// A status-bar item whose setVisible: fails the test: the fire cycle must leave it alone.
inline objc::Id untouchableItem(core::Library& lib) {
  objc::Runtime& rt = lib.host.runtime();
  objc::Class* cls = rt.getClass("UntouchableStatusItem");
  if (!cls) {
    cls = rt.defineClass("UntouchableStatusItem", rt.rootClass());
    rt.addMethod<void(bool)>(cls, host::msg::setVisible.sel, [](void*, objc::Object*, objc::Sel, bool) {
      ADD_FAILURE() << "the fire cycle touched the status-bar item";
    });
  }
  return cls->instantiate();
}

// The settings pane writes (and removes) keys and announces it; the library has reloaded.
inline void writeAndLoad(sim::World& world, const pl::Dict& values, const std::vector<std::string>& removals = {}) {
  world.writeSettings(values, removals);
  world.runUntilIdle();
}

// Lets a torch blink that is still running finish, so no sleeping work outlives the world.
inline void finishPendingBlinks(sim::World& world) {
  world.runFor(std::chrono::seconds(4));
}

// A world whose events are recorded; a torch blink still running at the end is let finish.
class AlertWorld : public ::testing::Test {
 protected:
  explicit AlertWorld(sim::WorldConfig config = {}) : world(std::move(config)) {}
  void TearDown() override { finishPendingBlinks(world); }

  sim::World world;
  timeline::Recorder rec{world.timeline()};
  core::Library& lib = world.library();
  core::MissedHelper& helper = lib.helper();
};

// "kind@ms subject" for each event of the given kinds, ms counted from `origin`.
inline std::string trace(const timeline::Recorder& rec, dispatch::Instant origin, std::initializer_list<Kind> kinds) {
  std::string out;
  for (const timeline::Event& e : rec.events()) {
    bool wanted = false;
    for (Kind k : kinds) wanted = wanted || e.kind == k;
    if (!wanted) continue;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(e.time - origin).count();
    if (!out.empty()) out += ' ';
    out += std::string(timeline::kindName(e.kind)) + "@" + std::to_string(ms);
  }
  return out;
}

// The details of every event of one kind, joined by " | ".
inline std::string details(const timeline::Recorder& rec, Kind kind) {
  std::string out;
  for (const timeline::Event& e : rec.ofKind(kind)) out += (out.empty() ? "" : " | ") + e.subject + ": " + e.detail;
  return out;
}

}  // namespace qv::alerts::testing
