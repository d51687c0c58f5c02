#include "sim/local_time.h"

#include <cstdio>
#include <cstdlib>

#include "platform/time/civil_days.h"

namespace qv::sim {

std::string rfc3339(dispatch::Instant t, const tz::TimeZone& zone) {
  const std::int64_t ns = t.time_since_epoch().count();
  const std::int64_t seconds = tz::floorDiv(ns, 1'000'000'000);
  const auto millis = static_cast<int>(tz::floorMod(ns, 1'000'000'000) / 1'000'000);
  const int offset = zone.offsetSecondsAt(std::chrono::sys_seconds(std::chrono::seconds(seconds)));
  const std::int64_t local = seconds + offset;
  const tz::CivilDate date = tz::civilFromDays(tz::floorDiv(local, tz::kSecondsPerDay));
  const std::int64_t ofDay = tz::floorMod(local, tz::kSecondsPerDay);
  const int absOffset = std::abs(offset);
  char out[96];
  std::snprintf(out, sizeof out, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", static_cast<long long>(date.year),
                date.month, date.day, static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60),
                static_cast<int>(ofDay % 60), millis, offset < 0 ? '-' : '+', absOffset / 3600, absOffset / 60 % 60);
  return out;
}

}  // namespace qv::sim
