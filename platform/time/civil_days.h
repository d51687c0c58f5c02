// Proleptic Gregorian calendar arithmetic on day counts since 1970-01-01, in 64 bits so that any
// instant a time-zone file can hold converts without overflow. Pure functions, usable anywhere.
//   daysFromCivil(2026, 3, 29) == 20541;  weekdayFromDays(20541) == 0 (Sunday)
#pragma once

#include <cstdint>

namespace qv::tz {

constexpr std::int64_t kSecondsPerDay = 86400;

// Time-zone arithmetic is exact within about a billion years of 1970; instants further out are
// treated as if at that edge, where adding offsets to 64-bit seconds could otherwise overflow.
constexpr std::int64_t kFarInstant = std::int64_t{1} << 55;

// Floor division and its remainder, because C++ division truncates toward zero.
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
constexpr std::int64_t floorMod(std::int64_t a, std::int64_t b) {
  return a - floorDiv(a, b) * b;
}

constexpr bool isLeapYear(std::int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr int daysInMonth(std::int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a valid date (month 1-12, day 1-31); eras of 400 years keep it exact.
constexpr std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  std::int64_t era = floorDiv(year, 400);
  std::int64_t yearOfEra = year - era * 400;
  std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

constexpr CivilDate civilFromDays(std::int64_t days) {
  days += 719468;
  std::int64_t era = floorDiv(days, 146097);
  std::int64_t dayOfEra = days - era * 146097;
  std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// 0 = Sunday ... 6 = Saturday; 1970-01-01 was a Thursday.
constexpr int weekdayFromDays(std::int64_t days) {
  return static_cast<int>(floorMod(days + 4, 7));
}

static_assert(daysFromCivil(1970, 1, 1) == 0);
static_assert(daysFromCivil(2000, 3, 1) == 11017);
static_assert(civilFromDays(11017).month == 3);
static_assert(weekdayFromDays(daysFromCivil(2026, 3, 29)) == 0);

}  // namespace qv::tz
