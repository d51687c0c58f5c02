// The alert gate: whether a reminder may start now, by the daily window "fromHour":"fromMin" to
// "toHour":"toMin" (0 means the default: 00:00 to 23:59), both edges excluded, as today's
// instants in the device's time zone; it reloads the settings first. Main thread.
//   if (alerts::alertGate(library)) startTheReminder();
#pragma once

#include <string>

#include "platform/host/host.h"

namespace qv::core {
class Library;
class Settings;
}  // namespace qv::core

namespace qv::alerts {

// The window's opening and closing wall-clock times (seconds 0).
struct ActiveWindow {
  int fromHour = 0, fromMinute = 0, toHour = 23, toMinute = 59;
};

// The window the settings give; a value that is 0, missing, mistyped or out of range (hours
// 0-23, minutes 0-59) takes its default.
ActiveWindow activeWindow(const core::Settings& settings);

// "start window 08:30–21:15": how the gate's decisions, refusals and the simulator's header
// name the window.
std::string windowText(const ActiveWindow& w);

// The same, followed on a day the clocks change by where an edge falls today when the change
// moves it from its wall-clock reading ("... (02:30 does not exist today: it closes at 03:30)"):
// how refusals name the window the gate has just applied.
std::string windowTextToday(host::Host& host, const ActiveWindow& w);

// The edges the clocks skip on `day`, each with where it falls: "02:30 does not exist that day:
// it closes at 03:30"; empty when the day skips neither.
std::string skippedEdges(host::Host& host, const ActiveWindow& w, const host::CalendarDate& day);

// Reloads the settings and answers whether now lies strictly inside today's window.
bool alertGate(core::Library& library);

}  // namespace qv::alerts
