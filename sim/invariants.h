// Invariants a whole device must keep whatever happens, checked during long random runs:
//   - no reminder fires for a category whose reminder was cleared and not started again (a
//     dropped Other-app timer may alert once more: that one extra alert is documented);
//   - a category without a status-bar item shows no icon (a cleared category's icon is hidden);
//   - no timer is armed for a category whose timer field is empty, and never two for one;
//   - each running Other app has at most one live reminder chain, an app not running none;
//   - no sound plays while do-not-disturb is on;
//   - nothing is posted to the lock screen while the device is unlocked;
//   - the settings file still holds every key the settings pane wrote.
// The first broken invariant is kept with the instant it was found.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/world.h"

namespace qv::sim {

class InvariantChecker {
 public:
  // Listens to the world's timeline from now on.
  explicit InvariantChecker(World& world);
  InvariantChecker(const InvariantChecker&) = delete;
  InvariantChecker& operator=(const InvariantChecker&) = delete;

  // Checks the state invariants now (cheap; run after every event).
  void checkState();
  // Reads the settings file and checks it against what the pane wrote (run after actions).
  void checkSettingsFile();

  // What the settings pane (or a tool editing the file) wrote.
  void settingsWritten(const pl::Dict& values, const std::vector<std::string>& removals);

  bool ok() const { return !violation_; }
  const std::optional<std::string>& violation() const { return violation_; }
  std::uint64_t checks() const { return checks_; }

 private:
  void onEvent(const timeline::Event& e);
  void fail(const std::string& what);

  World& world_;
  std::optional<std::string> violation_;
  std::uint64_t checks_ = 0;
  std::map<std::string, int> firesSinceClear_;  // by reminder name; absent when not cleared
  std::map<std::string, pl::Value> expectedSettings_;
};

}  // namespace qv::sim
