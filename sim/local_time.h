// Instants as the device's wall clock shows them, with the UTC offset in force, for output that
// must stay unambiguous across a clock change: "2026-10-25T02:30:00.000+01:00".
#pragma once

#include <string>

#include "platform/dispatch/scheduler.h"
#include "platform/time/timezone.h"

namespace qv::sim {

// RFC 3339 to the millisecond, with the offset `zone` has at `t` ("Z" is never used: "+00:00").
std::string rfc3339(dispatch::Instant t, const tz::TimeZone& zone);

}  // namespace qv::sim
