// Invariants a whole device must keep whatever happens, checked during long random runs. They
// are judged from what the host layer observes (timers armed, fired and invalidated; sounds,
// vibrations, icons, bulletins, Darwin posts) and from the checker's own model of the device
// (sim/device_model.h), not from the library's records of itself:
//   - a run of a reminder (from a start outside its own fire to its end) fires at most its
//     count setting, as the settings held at any time since it started;
//   - a reminder starts only while the daily start window is open (defaults below iOS 8), and
//     every timer is armed at its interval setting;
//   - after a clear (a Darwin clear notification, or the category's icon hidden) none of its
//     timers is still armed and its icon is gone; a listed app's timer left over by a clear
//     alerts once more (documented) but never re-arms, so no app ever runs two chains;
//   - no sound starts while an earlier one still plays, none plays and nothing vibrates when
//     do-not-disturb was on at the fire, and every sound or vibration follows a fire; no
//     reminder banner while the device is locked;
//   - a category's icon appears only when its reminder starts, stands while a run started with
//     "showStatus" on is armed, and never shows below iOS 8 (a kept icon after a limit is fine);
//   - each category's timer field holds its one armed timer; the library's lists stay bounded;
//   - liveness: an SMS, mail, Telegram or listed-app notification, or a missed call, that must
//     start a reminder (by the model: category on, intake open, window open, nothing running
//     that blocks it) starts one at that instant (a missed call's call-state start: 1 s later);
//   - nothing is posted to the lock screen while the device is unlocked, but a reminder bulletin
//     that a re-post decided while locked, published in the 0.7 s after an unlock;
//   - the settings file still holds every key the settings pane (or another tool) wrote.
// The first broken invariant is kept with the instant it was found.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/categories.h"
#include "sim/device_model.h"
#include "sim/world.h"

namespace qv::sim {

struct Action;
class Player;

class InvariantChecker {
 public:
  // Listens to the world's timeline and timer probes from now on.
  explicit InvariantChecker(World& world);
  // Stops listening (the world may outlive the checker).
  ~InvariantChecker();
  InvariantChecker(const InvariantChecker&) = delete;
  InvariantChecker& operator=(const InvariantChecker&) = delete;

  // Checks after every event of the world's clock and after every action of the player.
  void attach(Player& player);
  // Runs the world to `until`, stopping at the first broken invariant (so a timeline ends
  // where it broke), then judges what is still open.
  void run(dispatch::Instant until);

  // Checks the state invariants now (cheap; run after every event).
  void checkState();
  // Told after each action of the scenario (settings written, notifications that must start).
  void actionDone(const Action& action);
  // Reads the settings file and checks it against what the pane wrote (run after actions).
  void checkSettingsFile();
  // What the settings pane (`notified`) or a tool editing the file wrote.
  void settingsWritten(const pl::Dict& values, const std::vector<std::string>& removals, bool notified = true);
  // Ends the run: expectations still open are judged now.
  void finish();

  // How much the run gave the invariants to judge, so a pass is not mistaken for a proof.
  struct Tally {
    std::uint64_t runs = 0, fires = 0, clears = 0, mustStart = 0;
  };
  const Tally& tally() const { return tally_; }

  bool ok() const { return !violation_; }
  const std::optional<std::string>& violation() const { return violation_; }
  std::uint64_t checks() const { return checks_; }
  const DeviceModel& model() const { return model_; }

 private:
  // One run of a reminder: from a start outside its own fire to its last fire.
  struct Run {
    std::string reminder;
    const core::CategoryInfo* category;  // null for a listed app
    dispatch::Instant started;
    std::int64_t limit;  // the largest limit the settings allowed since it started
    std::int64_t fires = 0;
    int armed = 0;  // its timers armed now (one at most)
    bool wantsIcon = false;
  };
  struct Timer {
    std::string reminder;
    std::uint64_t run;
  };
  struct Fire {
    dispatch::Instant at;
    bool quiet;
  };
  // A reminder that must start (liveness) or must have stopped (a clear) by `due`.
  struct Expectation {
    std::string reminder;
    dispatch::Instant from, due;
    std::string why;
  };
  struct Cleared {
    std::string reminder;
    const core::CategoryInfo* category;
    std::uint64_t seq;  // when, in the order of what the checker heard
    std::set<std::uint64_t> timers;  // armed when the clear was seen
    std::string what;
  };

  void onEvent(const timeline::Event& e);
  void onTimer(const timeline::TimerProbe& p);
  void armed(const timeline::TimerProbe& p, const std::string& reminder, const core::CategoryInfo* category);
  void firing(const timeline::TimerProbe& p);
  void startedRun(const std::string& reminder, const core::CategoryInfo* category, std::uint64_t run);
  void clearSeen(const core::CategoryInfo& category, const std::string& what);
  void endOfInstant();
  void checkLists();
  void checkTimerFields();
  // What a timer's selector is to the checker: none, the listed apps' handler, or a category's.
  struct Handler {
    bool known = false, otherApp = false;
    const core::CategoryInfo* category = nullptr;
  };
  // Selectors are interned, so one look at a name serves every later timer with that id.
  const Handler& handlerOf(objc::Sel selector) {
    if (selector.id() < handlers_.size() && handlers_[selector.id()].known) return handlers_[selector.id()];
    return learnHandler(selector);
  }
  const Handler& learnHandler(objc::Sel selector);
  // Reads runSettings_ from the model's file (at the start and after every write).
  void readRunSettings();
  void expectStart(const std::string& reminder, dispatch::Duration within, const std::string& why);
  void expectFromNotification(const Action& a);
  void expectFromCall();
  bool intakeOpen() const;
  void respring();
  void fail(const std::string& what);
  std::string stamp() const;

  World& world_;
  std::shared_ptr<bool> listening_ = std::make_shared<bool>(true);
  DeviceModel model_;
  std::optional<std::string> violation_;
  std::uint64_t checks_ = 0;
  Tally tally_;
  std::optional<dispatch::Instant> lastUnlock_;

  std::map<std::uint64_t, Timer> timers_;  // armed now, by probe id
  std::map<std::uint64_t, Run> runs_;      // runs with an armed timer, the latest of each reminder, or firing
  std::map<std::string, std::uint64_t> latestRun_;
  std::map<std::string, std::uint64_t> lastStart_;  // by the order of what the checker heard
  std::map<std::string, dispatch::Instant> lastStartAt_;
  std::uint64_t seq_ = 0;
  std::uint64_t nextRun_ = 1;
  std::optional<std::pair<std::uint64_t, Timer>> firing_;
  std::vector<foundation::Foundation::ArmedTimerRef> armedRefs_;  // reused at every instant
  std::vector<Handler> handlers_;  // by selector id, learnt at each selector's first sight
  std::vector<std::string> listedApps_;  // reused at every instant
  std::set<std::uint64_t> leftOver_;  // armed listed-app timers the library no longer lists
  std::deque<Fire> recentFires_;
  dispatch::Instant soundEnds_{};
  dispatch::Instant intakeOpensAt_{};
  std::vector<Expectation> mustStart_;
  std::vector<Cleared> cleared_;
  std::vector<std::string> iconAppeared_;  // categories whose icon appeared in this instant
  std::vector<std::string> iconDue_;  // categories whose icon must stand at the end of the instant
  std::map<std::string, std::pair<dispatch::Instant, std::int64_t>, std::less<>> lastLimits_;  // count key: change time, old limit
  std::map<std::string, std::pair<dispatch::Instant, double>, std::less<>> lastIntervals_;    // interval key: likewise
  // The repeat limit and interval each row of the run keys (invariants.cc) gives under the
  // model's file: every arming asks, far more often than the settings change.
  struct RunSettings {
    std::int64_t limit;
    double interval;
  };
  std::array<RunSettings, 5> runSettings_{};
  std::optional<dispatch::Instant> windowOpenBeforeWrite_;  // the last settings write made while the window was open
  // The settings file as last parsed, kept while the root hands out the same bytes.
  std::string settingsPath_;  // the settings file's device path, known at the first look
  std::shared_ptr<const fs::Bytes> settingsBytes_;
  std::optional<pl::Value> settingsValue_;
  // Set when settingsBytes_ held every expected setting; cleared by every write the checker hears of.
  bool settingsVerified_ = false;
};

}  // namespace qv::sim
