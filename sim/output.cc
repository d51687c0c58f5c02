#include "sim/output.h"

namespace qv::sim {
namespace {

int millisOf(dispatch::Instant t) {
  auto ns = t.time_since_epoch().count() % 1'000'000'000;
  if (ns < 0) ns += 1'000'000'000;
  return static_cast<int>(ns / 1'000'000);
}

}  // namespace

std::string clockStamp(const LocalClock& clock, dispatch::Instant t) {
  host::CalendarDate d = clock(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", d.hour, d.minute, d.second, millisOf(t));
  return buf;
}

}  // namespace qv::sim
