// The rule string a time-zone file carries for instants after its last listed transition, as
// POSIX writes it ("CET-1CEST,M3.5.0,M10.5.0/3", "<+0330>-3:30"), with the version 3 extension
// of rule times from -167 to 167 hours. Immutable after parsing; safe to share between threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace qv::tz {

// One kind of local time: its distance from UTC (seconds east), whether it is daylight-saving
// time, and its abbreviation ("CEST", "+0530").
struct LocalTimeType {
  int offsetSeconds = 0;
  bool isDst = false;
  std::string abbreviation;
  friend bool operator==(const LocalTimeType&, const LocalTimeType&) = default;
};

// A change of local time type at an instant (seconds since 1970 UTC).
struct Transition {
  std::int64_t at = 0;
  LocalTimeType after;
};

class PosixTzRule {
 public:
  // Parses a whole rule string; an Error names the position and what was expected there.
  static Result<PosixTzRule> parse(std::string_view text);

  // The local time type in effect at `t` (seconds since 1970 UTC).
  LocalTimeType typeAt(std::int64_t t) const;

  // Every change of type at an instant in (from, to], oldest first; at most 10,000 years' worth
  // from `from` on.
  std::vector<Transition> transitionsBetween(std::int64_t from, std::int64_t to) const;

  bool hasDaylightSaving() const { return dst_.has_value(); }
  const std::string& text() const { return text_; }

  // Where in the year a change happens: "Jn" counts 1-365 skipping 29 February, "n" counts
  // 0-365 including it, "Mm.w.d" is weekday d of week w (5 = last) of month m.
  struct DateRule {
    enum class Kind { JulianSkippingLeapDay, JulianZeroBased, MonthWeekDay };
    Kind kind = Kind::MonthWeekDay;
    int day = 0;
    int week = 0;
    int month = 0;
    int timeSeconds = 2 * 3600;  // local wall-clock time of the change
  };

 private:
  struct Dst {
    LocalTimeType type;
    DateRule start;  // standard time ends
    DateRule end;    // daylight-saving time ends
  };

  // The rule's changes in the given years, oldest first, each carrying the type it starts.
  std::vector<Transition> changesInYears(std::int64_t firstYear, std::int64_t lastYear) const;
  std::int64_t changeInstant(const DateRule& rule, std::int64_t year, int offsetBefore) const;

  std::string text_;
  LocalTimeType standard_;
  std::optional<Dst> dst_;
};

}  // namespace qv::tz
