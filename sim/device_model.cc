#include "sim/device_model.h"

#include <algorithm>
#include <array>

#include "sim/settings_check.h"

namespace qv::sim {
namespace {

constexpr std::int64_t kUnlimitedRepeats = 99999999;
constexpr std::array<std::string_view, 4> kWindowKeys = {"fromHour", "fromMin", "toHour", "toMin"};

int edgeValue(std::int64_t value, int absent, int highest) {
  return value > 0 && value <= highest ? static_cast<int>(value) : absent;
}

}  // namespace

DeviceModel::DeviceModel(World& world)
    : world_(world), readsSettings_(releaseReadsSettings(world.profile().release.version)) {
  if (world.config().settings)
    for (const auto& [k, v] : *world.config().settings) file_[k] = v;
}

void DeviceModel::settingsWritten(const pl::Dict& values, const std::vector<std::string>& removals, bool notified) {
  for (const std::string& k : removals) file_.erase(k);
  for (const auto& [k, v] : values) file_[k] = v;
  memoryMayLag_ = !notified;
  // The window moves only with its own keys (most writes name none of them).
  const bool windowMoved = std::any_of(kWindowKeys.begin(), kWindowKeys.end(), [&](std::string_view key) {
    return values.find(key) != values.end() || std::find(removals.begin(), removals.end(), key) != removals.end();
  });
  if (windowMoved) lastWindow_.reset();
}

std::optional<bool> DeviceModel::flag(std::string_view key, bool absent) const {
  if (!readsSettings_) return absent;
  auto it = file_.find(key);
  if (it == file_.end()) return absent;
  if (const bool* b = it->second.ifBool()) return *b;
  if (auto n = it->second.numberAsInteger()) return *n != 0;
  return std::nullopt;
}

bool DeviceModel::lists(std::string_view app) const {
  if (!readsSettings_) return false;
  auto it = file_.find(std::string_view("otherApplications"));
  const pl::Array* apps = it == file_.end() ? nullptr : it->second.ifArray();
  if (!apps) return false;
  for (const pl::Value& v : *apps)
    if (const std::string* s = v.ifString(); s && *s == app) return true;
  return false;
}

std::int64_t DeviceModel::number(std::string_view key) const {
  if (!readsSettings_) return 0;
  auto it = file_.find(key);
  return it == file_.end() ? 0 : it->second.numberAsInteger().value_or(0);
}

std::int64_t DeviceModel::repeatLimit(std::string_view countKey) const {
  const std::int64_t n = number(countKey);
  if (n == 0 || n >= kUnlimitedRepeats) return kNoLimit;
  // A negative limit ends the run after its first fire, as a limit of 1 does.
  return n < 1 ? 1 : n;
}

double DeviceModel::interval(std::string_view intervalKey) const {
  const std::int64_t n = number(intervalKey);
  return static_cast<double>(n > 0 ? n : 60);
}

std::pair<dispatch::Instant, dispatch::Instant> DeviceModel::windowEdges(dispatch::Instant t) const {
  host::SimulatedHost& host = world_.springBoard().host;
  if (!lastDate_ || lastDate_->first != t) lastDate_.emplace(t, host.calendarDate(t));
  const host::CalendarDate today = lastDate_->second;
  if (lastWindow_ && lastWindow_->year == today.year && lastWindow_->month == today.month &&
      lastWindow_->day == today.day)
    return lastWindow_->edges;
  const int fromHour = edgeValue(number("fromHour"), 0, 23), fromMin = edgeValue(number("fromMin"), 0, 59);
  const int toHour = edgeValue(number("toHour"), 23, 23), toMin = edgeValue(number("toMin"), 59, 59);
  lastWindow_ = DayWindow{today.year, today.month, today.day,
                          {host.dateFromCalendar({today.year, today.month, today.day, fromHour, fromMin, 0}),
                           host.dateFromCalendar({today.year, today.month, today.day, toHour, toMin, 0})}};
  return lastWindow_->edges;
}

bool DeviceModel::windowOpen(dispatch::Instant t) const {
  const auto [opens, closes] = windowEdges(t);
  return t > opens && t < closes;
}

bool DeviceModel::nearWindowEdge(dispatch::Instant t, dispatch::Duration margin) const {
  const auto [opens, closes] = windowEdges(t);
  auto near = [&](dispatch::Instant edge) { return t > edge - margin && t < edge + margin; };
  return near(opens) || near(closes);
}

}  // namespace qv::sim
