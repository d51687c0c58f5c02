#include "alerts/quiet_hours.h"

#include <cstdio>

#include "core/library.h"

namespace qv::alerts {
namespace {

std::string describe(const ActiveWindow& w, const host::CalendarDate& now, bool open) {
  char text[64];
  std::snprintf(text, sizeof text, ", now %02d:%02d:%02d: %s", now.hour, now.minute, now.second,
                open ? "open" : "closed, no reminder starts");
  return windowText(w) + text;
}

}  // namespace

ActiveWindow activeWindow(const core::Settings& settings) {
  // The keys' rules keep each value within its hour or minute.
  auto read = [&](core::Key key) { return static_cast<int>(settings.number(key)); };
  return ActiveWindow{read(core::Key::fromHour), read(core::Key::fromMin), read(core::Key::toHour),
                      read(core::Key::toMin)};
}

std::string windowText(const ActiveWindow& w) {
  char text[48];
  std::snprintf(text, sizeof text, "start window %02d:%02d\u2013%02d:%02d", w.fromHour, w.fromMinute, w.toHour,
                w.toMinute);
  return text;
}

bool alertGate(core::Library& library) {
  host::Host& host = library.host;
  library.settings.load(host);
  const ActiveWindow window = activeWindow(library.settings);
  const dispatch::Instant now = host.scheduler().now();
  const host::CalendarDate today = host.calendarDate(now);
  // Edges that fall in a skipped hour move forward by the jump; in a repeated hour they take
  // the earlier instant (the calendar's rule; see docs/behaviour.md).
  const dispatch::Instant opens =
      host.dateFromCalendar({today.year, today.month, today.day, window.fromHour, window.fromMinute, 0});
  const dispatch::Instant closes =
      host.dateFromCalendar({today.year, today.month, today.day, window.toHour, window.toMinute, 0});
  const bool open = now > opens && now < closes;
  if (host.timeline().wantsDecisions()) library.explain("alert gate", describe(window, today, open));
  return open;
}

}  // namespace qv::alerts
