#include "alerts/quiet_hours.h"

#include <cstdio>

#include "core/library.h"

namespace qv::alerts {
namespace {

// "02:30 does not exist today: it closes at 03:30" for an edge the clocks skip on `today`; while
// now is a reading the clocks repeat, "02:30 happens twice today: it closes at the first" for an
// edge in the repeated span. Empty on an ordinary day.
std::string edgeNote(host::Host& host, const host::CalendarDate& today, int hour, int minute, const char* verb,
                     dispatch::Duration repeatedBy, const char* todayWord = "today") {
  const dispatch::Instant edge = host.dateFromCalendar({today.year, today.month, today.day, hour, minute, 0});
  const host::CalendarDate falls = host.calendarDate(edge);
  char text[96] = "";
  if (falls.hour != hour || falls.minute != minute) {
    std::snprintf(text, sizeof text, "%02d:%02d does not exist %s: it %s at %02d:%02d", hour, minute, todayWord, verb,
                  falls.hour, falls.minute);
  } else if (repeatedBy > dispatch::Duration::zero()) {
    const host::CalendarDate again = host.calendarDate(edge + repeatedBy);
    if (again.day == falls.day && again.hour == hour && again.minute == minute)
      std::snprintf(text, sizeof text, "%02d:%02d happens twice today: it %s at the first", hour, minute, verb);
  }
  return text;
}

// How far behind now the first moment with now's reading lies: zero, but the length of the
// step back while the clocks show a reading for the second time.
dispatch::Duration repeatedBy(host::Host& host, dispatch::Instant now, const host::CalendarDate& reading) {
  const dispatch::Duration behind = now - host.dateFromCalendar(reading);
  return behind >= std::chrono::seconds(1) ? behind : dispatch::Duration::zero();
}

std::string edgeNotes(host::Host& host, const ActiveWindow& w, const host::CalendarDate& today,
                      dispatch::Duration repeated, const char* todayWord = "today") {
  std::string notes = edgeNote(host, today, w.fromHour, w.fromMinute, "opens", repeated, todayWord);
  const std::string closing = edgeNote(host, today, w.toHour, w.toMinute, "closes", repeated, todayWord);
  if (!notes.empty() && !closing.empty()) notes += "; ";
  return notes + closing;
}

std::string windowTextOn(host::Host& host, const ActiveWindow& w, const host::CalendarDate& today,
                         dispatch::Duration repeated) {
  const std::string notes = edgeNotes(host, w, today, repeated);
  return notes.empty() ? windowText(w) : windowText(w) + " (" + notes + ")";
}

std::string describe(host::Host& host, const ActiveWindow& w, const host::CalendarDate& now,
                     dispatch::Duration repeated, bool open) {
  char text[96];
  std::snprintf(text, sizeof text, ", now %02d:%02d:%02d%s: %s", now.hour, now.minute, now.second,
                repeated > dispatch::Duration::zero() ? " for the second time" : "",
                open ? "open" : "closed, no reminder starts");
  return windowTextOn(host, w, now, repeated) + text;
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

std::string windowTextToday(host::Host& host, const ActiveWindow& w) {
  const dispatch::Instant now = host.scheduler().now();
  const host::CalendarDate today = host.calendarDate(now);
  return windowTextOn(host, w, today, repeatedBy(host, now, today));
}

std::string skippedEdges(host::Host& host, const ActiveWindow& w, const host::CalendarDate& day) {
  return edgeNotes(host, w, day, dispatch::Duration::zero(), "that day");
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
  if (host.timeline().wantsDecisions())
    library.explain("alert gate", describe(host, window, today, repeatedBy(host, now, today), open));
  return open;
}

}  // namespace qv::alerts
