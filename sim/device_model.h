// The invariant checker's own small model of a device: the settings file as the pane and other
// tools left it, what the library can read of it on the release (nothing below 8.0), the daily
// start window, the repeat limits, and whether the library's copy in memory may lag the file.
// Built only from what the scenario did and the world shows, never from the library's records,
// so a fault in the library cannot also bend the yardstick. Main-queue use only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/world.h"

namespace qv::sim {

class DeviceModel {
 public:
  // A repeat limit no run can reach (no limit set).
  static constexpr std::int64_t kNoLimit = INT64_MAX;

  explicit DeviceModel(World& world);

  // The pane saved (and posted the change notification, so the library's copy follows), or
  // another tool rewrote the file behind its back (`notified` false: the copy may lag).
  void settingsWritten(const pl::Dict& values, const std::vector<std::string>& removals, bool notified);
  // The home screen restarted: the new library reads the file afresh.
  void libraryReloaded() { memoryMayLag_ = false; }

  const std::map<std::string, pl::Value, std::less<>>& file() const { return file_; }
  // Whether the library reads the settings at all on this release (8.0 and later).
  bool readsSettings() const { return readsSettings_; }
  // Whether the library's copy in memory may differ from the file (an edit without the change
  // notification since the last save of the pane).
  bool memoryMayLag() const { return memoryMayLag_; }

  // A flag as the library reads it from the file; none when the stored value has a type whose
  // reading this model does not vouch for (then a check that needs it is skipped).
  std::optional<bool> flag(std::string_view key, bool absent) const;
  // Whether `app` is listed in "otherApplications".
  bool lists(std::string_view app) const;
  // The fires a run may have under the count key's current value (kNoLimit when unlimited).
  std::int64_t repeatLimit(std::string_view countKey) const;
  // The seconds between fires under the interval key's current value (60 when absent or not
  // above zero).
  double interval(std::string_view intervalKey) const;
  // Whether the daily start window is open at `t` (strictly between its edges, to the second).
  bool windowOpen(dispatch::Instant t) const;
  // Whether `t` lies within `margin` of either edge of that day's window (a check skips those).
  bool nearWindowEdge(dispatch::Instant t, dispatch::Duration margin) const;
  // The day's window around `t`: when it opens and when it closes (both excluded).
  std::pair<dispatch::Instant, dispatch::Instant> windowEdges(dispatch::Instant t) const;

 private:
  std::int64_t number(std::string_view key) const;

  World& world_;
  bool readsSettings_;
  bool memoryMayLag_ = false;
  // Looked up by the checker's fixed key names, without a string made per lookup.
  std::map<std::string, pl::Value, std::less<>> file_;
  // The window of the last local day asked about, until a write names one of its keys: the
  // checker asks at every notification, and each answer costs two conversions from local time.
  struct DayWindow {
    int year = 0, month = 0, day = 0;
    std::pair<dispatch::Instant, dispatch::Instant> edges;
  };
  mutable std::optional<DayWindow> lastWindow_;
  // The local date of the last instant asked about (the checker asks several times an instant).
  mutable std::optional<std::pair<dispatch::Instant, host::CalendarDate>> lastDate_;
};

}  // namespace qv::sim
