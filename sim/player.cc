#include "sim/player.h"

#include "sim/presets.h"

namespace qv::sim {

WorldConfig worldConfigFor(const Scenario& scenario) { return scenario.world; }

Player::Player(World& world, const Scenario& scenario)
    : world_(world), scenario_(scenario), start_(world.now()) {
  for (const AppSpec& app : scenario_.apps) world_.home().installApp(app.bundleId, app.name, app.badge);
}

void Player::schedule() {
  for (const Action& a : scenario_.actions) {
    const Action* action = &a;
    world_.clock().at(world_.springBoard().host.mainQueue(), start_ + a.at, [this, action] { perform(*action); });
  }
}

void Player::run() { runUntil(end()); }

void Player::runUntil(dispatch::Instant until) { world_.runUntil(std::min(until, end())); }

void Player::note(const std::string& who, const std::string& what) {
  world_.timeline().record(who, timeline::Kind::Action, what);
}

void Player::deliver(const NotificationSpec& n) {
  std::string what = n.preset.empty() ? "notification from " + n.app : n.preset;
  note("Network", what);
}

void Player::perform(const Action& a) {
  springboard::HomeScreen& home = world_.home();
  switch (a.type) {
    case ActionType::Notification: deliver(a.notification); break;
    case ActionType::Lock:
      note("User", "presses the lock button");
      home.lock();
      break;
    case ActionType::Unlock:
      note("User", "unlocks the device");
      home.unlock();
      break;
    case ActionType::AutoLock:
      note("Device", "auto-lock timer fires");
      home.autoLock();
      break;
    case ActionType::QuietMode:
      note("User", a.on ? "turns do not disturb on" : "turns do not disturb off");
      home.setQuietMode(a.on);
      break;
    case ActionType::SetBadge:
      note("Device", a.app + " badge becomes " + std::to_string(a.count));
      home.setBadge(a.app, a.count);
      break;
    case ActionType::Settings:
      note("Settings", "the settings pane saves " + std::to_string(a.values.size() + a.removals.size()) + " key(s)");
      world_.writeSettings(a.values, a.removals, true);
      break;
    case ActionType::SettingsFile:
      note("Settings", "an outside tool rewrites the settings file");
      world_.writeSettings(a.values, a.removals, false);
      break;
    case ActionType::Note: note("Note", a.text); break;
    default: note("User", std::string(actionName(a.type)) + " (not yet played by this build)"); break;
  }
}

}  // namespace qv::sim
