#include "sim/heading.h"

#include <cstdio>
#include <cstdlib>

namespace qv::sim {
namespace {

// The settings as the run will see them: the keys the file holds and where it came from, or that
// a system before 8.0 reads none of them.
std::string settingsHeading(const Scenario& s, World& world) {
  const std::string held = s.world.settings ? describeSettings(*s.world.settings) : "";
  const std::string holds = held.empty() ? "no keys" : held;
  const std::string& version = world.profile().release.version;
  if (std::strtof(version.c_str(), nullptr) < 8.0f) {
    std::string out = "iOS " + version + " reads no settings: every key takes its default";
    if (s.world.settings)
      out += " (the settings file" + (s.settingsSource.empty() ? "" : " " + s.settingsSource) + " holds " + holds + ")";
    return out;
  }
  if (!s.settingsSource.empty()) return s.settingsSource + ": " + holds;
  return held.empty() ? "none (every key at its default)" : held;
}

}  // namespace

std::vector<std::string> storyHeading(const Scenario& s, World& world, dispatch::Instant stopAt,
                                      const LocalClock& clock) {
  std::vector<std::string> lines;
  lines.push_back(s.name.empty() ? s.sourceFile : s.name);
  if (!s.description.empty()) lines.push_back(s.description);
  const host::CalendarDate from = clock(world.now());
  char device[256];
  std::snprintf(device, sizeof device, "iOS %s %s, %s, %04d-%02d-%02d from %s to %s",
                world.profile().release.version.c_str(), world.profile().model.c_str(), s.world.timeZone.c_str(),
                from.year, from.month, from.day, clockStamp(clock, world.now()).substr(0, 8).c_str(),
                clockStamp(clock, stopAt).substr(0, 8).c_str());
  lines.push_back(device);
  lines.push_back("settings: " + settingsHeading(s, world));
  return lines;
}

}  // namespace qv::sim
