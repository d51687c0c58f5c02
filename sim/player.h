// Plays a scenario through a world: builds the world the scenario describes, schedules every
// action at its instant on the home screen's main queue (the user and the network act there),
// and runs the clock to the end. Each action is on the timeline before its effects.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "sim/presets.h"
#include "sim/scenario.h"
#include "sim/world.h"

namespace qv::sim {

// The world a scenario describes (device, time, settings, apps).
WorldConfig worldConfigFor(const Scenario& scenario);

class Player {
 public:
  Player(World& world, const Scenario& scenario);
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // A note of a time given outside the scenario (`--until`), played with the scenario's own;
  // call before schedule().
  void addClockNote(ClockNote note) { extraNotes_.push_back(std::move(note)); }
  // Schedules the actions; call once, before running.
  void schedule();
  // Runs to the end of the scenario (or `until`, if earlier).
  void run();
  void runUntil(dispatch::Instant until);
  dispatch::Instant end() const { return start_ + scenario_.duration; }

  // Performs one action now (what the scheduled task does).
  void perform(const Action& a);
  // Told after each action has been performed (invariant checks).
  std::function<void(const Action&)> afterAction;

 private:
  void deliver(const NotificationSpec& n);
  // What the notification's preset sends (nothing without one). It depends on nothing but the
  // preset, the system range and the scenario's app, so each is built once (its payloads are a
  // dozen allocations) and copied into every delivery.
  const PresetDelivery& presetDelivery(const NotificationSpec& n);
  void removeNotification(const Action& a);
  springboard::NotificationHandle target(const Action& a) const;
  void act(const Action& a);
  // Whether action events are heard: texts that look names up or join strings are built only then.
  bool heard() const { return world_.timeline().active(); }
  // An action event of the action being performed (`app` and `event` when it names them).
  void note(std::string_view who, std::string_view what, std::string_view app = {}, std::string_view event = {});
  // `parts` one after another in the player's line, reused for each action event (it keeps its room).
  const std::string& line(std::initializer_list<std::string_view> parts);
  // A note in parentheses on what the last action line did not do (refused, nothing happened),
  // told by whoever that line's action was: the user, the network, the device.
  void aside(const std::string& what);
  void refused(const Status& s);
  // "02:40 does not exist on 2026-03-29: taken as 03:40", told by no action.
  void recordClockNote(const ClockNote& n);
  // The app's name on the home screen, else its bundle identifier (valid as long as both).
  std::string_view appName(const std::string& bundleId) const;
  std::string notificationName(const Action& a) const;

  World& world_;
  const Scenario& scenario_;
  dispatch::Instant start_;
  std::map<std::string, springboard::NotificationHandle, std::less<>> labels_;
  springboard::NotificationHandle latest_;
  dispatch::QueueRef scenarioQueue_;
  const Action* current_ = nullptr;
  std::string actor_;  // who the last action line was told by
  std::string line_;   // the text of the action event being recorded
  std::vector<ClockNote> extraNotes_;
  struct BuiltPreset {
    std::string preset, app;
    bool ios10;
    PresetDelivery delivery;
  };
  std::vector<BuiltPreset> presets_;
};

}  // namespace qv::sim
