// Time zones read from the system's time-zone database (TZif files, versions 1 to 4, under
// /usr/share/zoneinfo), never from the process's TZ variable, and conversion between instants
// and local civil time. A TimeZone is immutable and cheap to copy; share it between threads.
//   auto berlin = TimeZone::load("Europe/Berlin");  toCivil(now, *berlin).hour
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "platform/time/posix_tz_rule.h"

namespace qv::tz {

namespace internal {
struct ZoneData;
}

class TimeZone {
 public:
  // Reads `<zoneinfoDir>/<name>`; a name that is empty, absolute, has "." or ".." parts or
  // unusual characters, or a file that is missing or malformed, gives an Error saying which.
  static Result<TimeZone> load(const std::string& name,
                               const std::string& zoneinfoDir = "/usr/share/zoneinfo");
  // Parses the bytes of a TZif file; `name` is only recorded.
  static Result<TimeZone> fromTzif(std::string name, std::span<const std::uint8_t> bytes);
  // A zone given only by a POSIX rule string such as "EST5EDT,M3.2.0,M11.1.0".
  static Result<TimeZone> fromPosixRule(std::string_view rule);
  static TimeZone utc();

  const std::string& name() const;
  int offsetSecondsAt(std::chrono::sys_seconds t) const;
  std::string abbreviationAt(std::chrono::sys_seconds t) const;
  bool isDaylightSavingAt(std::chrono::sys_seconds t) const;
  LocalTimeType typeAt(std::chrono::sys_seconds t) const;

  // Every change of local time type at an instant in (from, to], oldest first, from the file's
  // table and, past its end, from its rule (for at most 10,000 years).
  std::vector<Transition> transitionsBetween(std::chrono::sys_seconds from,
                                             std::chrono::sys_seconds to) const;

 private:
  explicit TimeZone(std::shared_ptr<const internal::ZoneData> data) : data_(std::move(data)) {}
  LocalTimeType typeAtSeconds(std::int64_t t) const;

  std::shared_ptr<const internal::ZoneData> data_;
};

// Wall-clock date and time in some zone. Out-of-range fields carry over as a calendar's date
// arithmetic does (month 13 is January of the next year, day 0 the last day of the month before).
struct CivilTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// The local wall-clock time of `t` in `z`.
CivilTime toCivil(std::chrono::sys_seconds t, const TimeZone& z);

// The instant a wall clock in `z` shows `c`. A time skipped by a forward jump is moved forward
// by the length of the jump (02:30 on a 02:00->03:00 night is 03:30); a time that occurs twice
// gives the earlier instant.
std::chrono::sys_seconds fromCivil(const CivilTime& c, const TimeZone& z);

// Every instant a wall clock in `z` shows `c`, oldest first: none in a gap, two in an overlap.
std::vector<std::chrono::sys_seconds> candidatesForCivil(const CivilTime& c, const TimeZone& z);

// 0 = Sunday ... 6 = Saturday, after normalising out-of-range fields.
int weekdayOf(const CivilTime& c);

// "2026-03-29 03:30:00", for traces and test messages.
std::string formatCivil(const CivilTime& c);

}  // namespace qv::tz
