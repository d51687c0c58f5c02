#include "sim/heading.h"

#include <cstdio>

#include "alerts/quiet_hours.h"
#include "sim/settings_check.h"

namespace qv::sim {
namespace {

// The settings as the run will see them: the keys the file holds and where it came from, or that
// a system before 8.0 reads none of them.
std::string settingsHeading(const Scenario& s, World& world) {
  const std::string held = s.world.settings ? describeSettings(*s.world.settings) : "";
  const std::string holds = held.empty() ? "no keys" : held;
  const std::string& version = world.profile().release.version;
  if (!releaseReadsSettings(version)) {
    std::string out = "iOS " + version + " reads no settings: every key takes its default";
    if (s.world.settings)
      out += " (the settings file" + (s.settingsSource.empty() ? "" : " " + s.settingsSource) + " holds " + holds + ")";
    return out;
  }
  if (!s.settingsSource.empty()) return s.settingsSource + ": " + holds;
  return held.empty() ? "none (every key at its default)" : held;
}

// "start window 08:30–21:15: reminders may start after 08:30:00 and before 21:15:00", as the
// settings stand at the start (a system before 8.0 reads none: the default window).
std::string startWindowLine(World& world) {
  const alerts::ActiveWindow w = alerts::activeWindow(world.library().settings);
  char edges[96];
  if (w.fromHour * 60 + w.fromMinute < w.toHour * 60 + w.toMinute)
    std::snprintf(edges, sizeof edges, ": reminders may start after %02d:%02d:00 and before %02d:%02d:00", w.fromHour,
                  w.fromMinute, w.toHour, w.toMinute);
  else
    std::snprintf(edges, sizeof edges, ": it closes before it opens, so no reminder may start");
  return alerts::windowText(w) + edges;
}

std::string dateOf(const host::CalendarDate& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

// "start window on 2026-03-29: 02:30 does not exist that day: it closes at 03:30", for each day
// of the run whose clock change skips an edge (the gate's lines say the same on the day).
void skippedEdgeLines(World& world, dispatch::Instant stopAt, const LocalClock& clock,
                      std::vector<std::string>& lines) {
  const alerts::ActiveWindow w = alerts::activeWindow(world.library().settings);
  host::Host& host = world.springBoard().host;
  const host::CalendarDate last = clock(stopAt);
  for (host::CalendarDate day = clock(world.now());;) {
    day.hour = 12, day.minute = 0, day.second = 0;
    if (std::string skipped = alerts::skippedEdges(host, w, day); !skipped.empty())
      lines.push_back("start window on " + dateOf(day) + ": " + skipped);
    if (dateOf(day) == dateOf(last)) break;
    day = clock(host.dateFromCalendar(day) + std::chrono::hours(24));
  }
}

}  // namespace

std::vector<std::string> storyHeading(const Scenario& s, World& world, dispatch::Instant stopAt,
                                      const LocalClock& clock) {
  std::vector<std::string> lines;
  lines.push_back(s.name.empty() ? s.sourceFile : s.name);
  if (!s.description.empty()) lines.push_back(s.description);
  const host::CalendarDate from = clock(world.now());
  const host::CalendarDate to = clock(stopAt);
  // A run that crosses midnight says on which day it ends.
  const bool sameDay = from.year == to.year && from.month == to.month && from.day == to.day;
  const std::string end = (sameDay ? "" : dateOf(to) + " ") + clockStamp(clock, stopAt).substr(0, 8);
  char device[256];
  std::snprintf(device, sizeof device, "iOS %s %s, %s, %s from %s to %s", world.profile().release.version.c_str(),
                world.profile().model.c_str(), s.world.timeZone.c_str(), dateOf(from).c_str(),
                clockStamp(clock, world.now()).substr(0, 8).c_str(), end.c_str());
  lines.push_back(device);
  lines.push_back("settings: " + settingsHeading(s, world));
  lines.push_back(startWindowLine(world));
  skippedEdgeLines(world, stopAt, clock, lines);
  return lines;
}

}  // namespace qv::sim
