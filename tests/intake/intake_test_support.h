// Helpers for the intake tests: a world with intake open and every app's switch on, payloads as
// the apps send them, reminders started as intake starts them, and one trace line of what a
// notification did to the reminders (cleared, armed, icon shown) and to the saved slots.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "core/registry.h"
#include "sim/world.h"

namespace qv::intake::testing {

using core::Category;
using springboard::IncomingNotification;
using timeline::Kind;
using namespace std::chrono_literals;

// Every switch a rule reads, on.
inline pl::Dict allSwitchesOn() {
  pl::Dict d;
  for (const char* key : {"imCalWats", "imSMSWats", "imCalFBMess", "imSMSFBMess", "imSMSTeleg", "thremaIm",
                          "ViperImCall", "ViperImMess", "globalMail", "otherEnabled", "showStatus"})
    d[key] = true;
  return d;
}

// {"aps": {"category": c}}
inline pl::Dict aps(const char* category) {
  return pl::Dict{{"aps", pl::Dict{{"category", category}}}};
}

class IntakeWorld {
 public:
  explicit IntakeWorld(sim::WorldConfig config, pl::Dict values = allSwitchesOn()) : world(std::move(config)) {
    settings(values);
    lib.intake.intakeReady = true;
  }
  // The settings pane writes and announces; its change notification has been handled.
  void settings(const pl::Dict& values) {
    world.writeSettings(values);
    world.runUntilIdle();
  }

  // What intake does to start a fixed category (without its icon).
  void startAsIntakeDoes(Category c) {
    lib.reminders.counter(c) = 1;
    lib.reminders.activeFlag(c) = true;
    core::startCategory(lib, c);
  }
  bool running(Category c) { return core::timerPresent(lib, c); }

  springboard::NotificationHandle deliver(const IncomingNotification& n) {
    auto h = world.notifications().deliver(n);
    world.runUntilIdle();
    return h;
  }

  // "cleared:X armed:X shown:item" in timeline order, then "| A:X C:X" for the saved slots.
  std::string effects() const {
    std::string out;
    for (const timeline::Event& e : rec.events()) {
      const char* word = e.kind == Kind::ReminderCleared   ? "cleared:"
                         : e.kind == Kind::ReminderArmed   ? "armed:"
                         : e.kind == Kind::StatusIconShown ? "shown:"
                                                           : nullptr;
      if (word) out += (out.empty() ? "" : " ") + std::string(word) + e.subject;
    }
    std::string saves;
    for (const core::CategoryInfo& row : core::kCategories) {
      if (lib.intake.savedDefaultAction[core::index(row.category)]) saves += " A:" + std::string(row.name);
      if (!lib.intake.savedContext[core::index(row.category)].isNull()) saves += " C:" + std::string(row.name);
    }
    return saves.empty() ? out : out + (out.empty() ? "|" : " |") + saves;
  }

  // The details of every decision under `subject`, joined by " / ".
  std::string decisions(std::string_view subject) const {
    std::string out;
    for (const timeline::Event& e : rec.ofKind(Kind::Decision))
      if (e.subject == subject) out += (out.empty() ? "" : " / ") + e.detail;
    return out;
  }

  sim::World world;
  core::Library& lib = world.library();
  timeline::Recorder rec{world.timeline()};
};

}  // namespace qv::intake::testing
