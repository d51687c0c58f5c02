// What the HTML report draws, gathered from the same events the JSON output prints (with the
// same EventFacts): one lane per reminder with its alerts and what each did, the bands (locked,
// do not disturb, outside the start window), a mark per notification and per action, and the
// phone's state as a list of changes (status items, banner, lock-screen list, lock, front app).
// Written as one compact JSON object the page's script reads (see report_data.cc for its
// shape). Hears every event in order; one run, one thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/device_model.h"
#include "sim/event_facts.h"
#include "sim/json_text.h"
#include "sim/output.h"
#include "sim/scenario.h"
#include "sim/summary.h"
#include "sim/world.h"

namespace qv::sim::report {

// What an alert did, one bit each; the page draws each in its own row of the mark.
enum Effect : std::uint32_t {
  kSound = 1,
  kVibration = 2,
  kTorch = 4,
  kFlash = 8,
  kBanner = 16,
  kWake = 32,
  kRepost = 64,  // re-posted to the lock screen
};

// The effect an event of an alert stands for; 0 for events that are none.
std::uint32_t effectOf(timeline::Kind kind);

class ReportData {
 public:
  // Reads the phone's state at the start from `world` (what no event told).
  ReportData(World& world, dispatch::Instant start, bool explain);
  ReportData(const ReportData&) = delete;
  ReportData& operator=(const ReportData&) = delete;

  // Every event in order; `facts` has heard it already.
  void observe(const timeline::Event& e, const EventFacts& facts);
  // Told after the player performed an action (settings changes move the start window).
  void actionDone(const Action& a);
  // The compact JSON object, the run ending at `stop`; lanes in `summary`'s order.
  std::string json(const Summary& summary, dispatch::Instant stop);

  struct Alert {
    dispatch::Instant time{};
    std::uint32_t number = 0;
    std::uint32_t effects = 0;
    std::vector<std::string> details;
    int why = -1;  // index into whys_
  };
  struct Mark {
    dispatch::Instant time{};
    std::string who;   // actions: User, Network, Device, Settings, Note; notifications: the app
    std::string text;
    int why = -1;
  };
  struct Band {
    dispatch::Instant from{}, to{};
  };
  // For tests: what was gathered so far.
  const std::map<std::string, std::vector<Alert>, std::less<>>& alerts() const { return alerts_; }
  const std::vector<Mark>& actions() const { return actions_; }
  const std::vector<Mark>& notifications() const { return notifications_; }

 private:
  struct MarkRef {
    int kind;  // 0 alert, 1 action, 2 notification
    std::string lane;
    std::size_t index;
  };
  int& whyOf(const MarkRef& ref);
  void attachDecision(const timeline::Event& e);
  void addEffect(const timeline::Event& e, const EventFacts& facts);
  void panelChange(const timeline::Event& e);
  void closeWindowSegment(dispatch::Instant until);
  void band(std::vector<Band>& bands, std::optional<dispatch::Instant>& openSince, bool on, dispatch::Instant t);
  int text(const std::string& s);
  long long ms(dispatch::Instant t) const;
  std::string appName(const std::string& bundleId) const;

  World& world_;
  dispatch::Instant start_;
  bool explain_;
  DeviceModel settings_;

  std::map<std::string, std::vector<Alert>, std::less<>> alerts_;
  std::vector<Mark> actions_, notifications_;
  std::map<std::uint32_t, MarkRef> lastMarkOfAction_;
  std::optional<MarkRef> lastMark_;
  std::vector<std::vector<int>> whys_;

  std::vector<Band> locked_, quiet_, closed_;
  std::optional<dispatch::Instant> lockedSince_, quietSince_;
  dispatch::Instant windowSegmentStart_;

  // The phone's state at the start, then its changes: [ms, what, values...] as JSON texts.
  std::string panelStart_;
  std::vector<std::string> panelChanges_;
  JsonText change_;  // reused for each change
  std::map<std::string, std::string> items_;  // status items seen: identifier -> what it draws
  std::map<std::string, std::vector<int>, std::less<>> bulletins_;  // id -> app, title, subtitle, message
  std::vector<std::string> strings_;
  std::unordered_map<std::string, int> stringIndex_;
};

// The short label and name the page draws for a status item ("SMS", "quorvel.QVSMS"); for the
// item listed apps share, the app whose icon it draws.
struct ItemLook {
  std::string label;
  std::string name;
};
ItemLook itemLook(const std::string& identifier, const std::string& drawing);

}  // namespace qv::sim::report
