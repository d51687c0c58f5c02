#include "platform/time/posix_tz_rule.h"

#include <algorithm>
#include <cctype>

#include "platform/time/civil_days.h"

namespace qv::tz {
namespace {

// Listing is bounded so that a careless range cannot ask for billions of yearly changes.
constexpr std::int64_t kListedSpan = std::int64_t{10'000} * 366 * 86400;

std::int64_t clampInstant(std::int64_t t) {
  return std::clamp(t, -kFarInstant, kFarInstant);
}

std::int64_t yearOf(std::int64_t t) {
  return civilFromDays(floorDiv(t, kSecondsPerDay)).year;
}

class RuleParser {
 public:
  explicit RuleParser(std::string_view text) : text_(text) {}

  bool atEnd() const { return pos_ == text_.size(); }
  char next() const { return atEnd() ? '\0' : text_[pos_]; }
  bool accept(char c) {
    if (next() != c) return false;
    ++pos_;
    return true;
  }

  Error error(std::string_view expected) const {
    std::string found = atEnd() ? "the end" : "'" + std::string(1, text_[pos_]) + "'";
    return Error{"time-zone rule \"" + std::string(text_) + "\": expected " +
                 std::string(expected) + " at position " + std::to_string(pos_ + 1) + ", found " +
                 found};
  }

  // "CET" (three or more letters) or "<+0330>" (three or more letters, digits, '+' or '-').
  Result<std::string> abbreviation() {
    std::string name;
    if (accept('<')) {
      while (std::isalnum(static_cast<unsigned char>(next())) || next() == '+' || next() == '-')
        name += text_[pos_++];
      if (name.size() < 3) return error("an abbreviation of at least three characters");
      if (!accept('>')) return error("'>' closing the abbreviation");
      return name;
    }
    while (std::isalpha(static_cast<unsigned char>(next()))) name += text_[pos_++];
    if (name.size() < 3) return error("an abbreviation of at least three letters");
    return name;
  }

  // [+-]hh[:mm[:ss]] in seconds, with hh at most maxHours.
  Result<int> signedDuration(int maxHours, std::string_view what) {
    int sign = 1;
    if (accept('-')) {
      sign = -1;
    } else {
      accept('+');
    }
    auto hours = number(3);
    if (!hours || *hours > maxHours) {
      return error(std::string(what) + " hours from 0 to " + std::to_string(maxHours));
    }
    int seconds = *hours * 3600;
    if (accept(':')) {
      auto minutes = number(2);
      if (!minutes || *minutes > 59) return error("minutes from 00 to 59");
      seconds += *minutes * 60;
      if (accept(':')) {
        auto secs = number(2);
        if (!secs || *secs > 59) return error("seconds from 00 to 59");
        seconds += *secs;
      }
    }
    return sign * seconds;
  }

  Result<PosixTzRule::DateRule> dateRule() {
    using Kind = PosixTzRule::DateRule::Kind;
    PosixTzRule::DateRule rule;
    if (accept('J')) {
      auto day = number(3);
      if (!day || *day < 1 || *day > 365) return error("a Julian day from 1 to 365 after 'J'");
      rule.kind = Kind::JulianSkippingLeapDay;
      rule.day = *day;
    } else if (accept('M')) {
      auto month = number(2);
      if (!month || *month < 1 || *month > 12) return error("a month from 1 to 12 after 'M'");
      if (!accept('.')) return error("'.' after the month");
      auto week = number(1);
      if (!week || *week < 1 || *week > 5) return error("a week from 1 to 5");
      if (!accept('.')) return error("'.' after the week");
      auto weekday = number(1);
      if (!weekday || *weekday > 6) return error("a weekday from 0 (Sunday) to 6");
      rule.kind = Kind::MonthWeekDay;
      rule.month = *month;
      rule.week = *week;
      rule.day = *weekday;
    } else {
      auto day = number(3);
      if (!day || *day > 365) return error("a date ('Jn', 'n' or 'Mm.w.d')");
      rule.kind = Kind::JulianZeroBased;
      rule.day = *day;
    }
    if (accept('/')) {
      // Rule times may run from -167 to 167 hours so that "the day after the last Saturday"
      // and similar dates can be written.
      auto time = signedDuration(167, "a change time with");
      if (!time) return Error{time.error()};
      rule.timeSeconds = *time;
    }
    return rule;
  }

 private:
  std::optional<int> number(int maxDigits) {
    int value = 0;
    int digits = 0;
    while (digits < maxDigits && std::isdigit(static_cast<unsigned char>(next()))) {
      value = value * 10 + (text_[pos_++] - '0');
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

Result<PosixTzRule> PosixTzRule::parse(std::string_view text) {
  RuleParser in(text);
  PosixTzRule rule;
  rule.text_ = std::string(text);

  auto stdName = in.abbreviation();
  if (!stdName) return Error{stdName.error()};
  // POSIX offsets count hours west of Greenwich; local time types count seconds east.
  auto stdOffset = in.signedDuration(24, "a UTC offset with");
  if (!stdOffset) return Error{stdOffset.error()};
  rule.standard_ = {-*stdOffset, false, std::move(*stdName)};
  if (in.atEnd()) return rule;

  auto dstName = in.abbreviation();
  if (!dstName) return Error{dstName.error()};
  Dst dst;
  dst.type = {rule.standard_.offsetSeconds + 3600, true, std::move(*dstName)};
  if (in.next() != ',' && !in.atEnd()) {
    auto dstOffset = in.signedDuration(24, "a daylight-saving offset with");
    if (!dstOffset) return Error{dstOffset.error()};
    dst.type.offsetSeconds = -*dstOffset;
  }
  if (in.atEnd()) {
    // A zone that names daylight-saving time without saying when follows the US rules, as the
    // reference implementation does.
    dst.start = {DateRule::Kind::MonthWeekDay, 0, 2, 3, 7200};
    dst.end = {DateRule::Kind::MonthWeekDay, 0, 1, 11, 7200};
  } else {
    if (!in.accept(',')) return in.error("',' before the start date");
    auto start = in.dateRule();
    if (!start) return Error{start.error()};
    if (!in.accept(',')) return in.error("',' before the end date");
    auto end = in.dateRule();
    if (!end) return Error{end.error()};
    if (!in.atEnd()) return in.error("the end of the rule");
    dst.start = *start;
    dst.end = *end;
  }
  rule.dst_ = std::move(dst);
  return rule;
}

std::int64_t PosixTzRule::changeInstant(const DateRule& rule, std::int64_t year,
                                        int offsetBefore) const {
  std::int64_t days = 0;
  switch (rule.kind) {
    case DateRule::Kind::JulianSkippingLeapDay:
      days = daysFromCivil(year, 1, 1) + rule.day - 1 + (isLeapYear(year) && rule.day >= 60);
      break;
    case DateRule::Kind::JulianZeroBased:
      days = daysFromCivil(year, 1, 1) + rule.day;
      break;
    case DateRule::Kind::MonthWeekDay: {
      std::int64_t first = daysFromCivil(year, rule.month, 1);
      int day = 1 + static_cast<int>(floorMod(rule.day - weekdayFromDays(first), 7)) +
                (rule.week - 1) * 7;
      while (day > daysInMonth(year, rule.month)) day -= 7;
      days = first + day - 1;
      break;
    }
  }
  // The change time is wall-clock time of the type in effect before the change.
  return days * kSecondsPerDay + rule.timeSeconds - offsetBefore;
}

std::vector<Transition> PosixTzRule::changesInYears(std::int64_t firstYear,
                                                    std::int64_t lastYear) const {
  struct Change {
    std::int64_t at;
    bool startsDst;
  };
  std::vector<Change> changes;
  for (std::int64_t y = firstYear; y <= lastYear; ++y) {
    changes.push_back({changeInstant(dst_->start, y, standard_.offsetSeconds), true});
    changes.push_back({changeInstant(dst_->end, y, dst_->type.offsetSeconds), false});
  }
  // When one year's end meets the next year's start, the zone keeps daylight-saving time all
  // year: the start must win the tie.
  std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) {
    return a.at != b.at ? a.at < b.at : (!a.startsDst && b.startsDst);
  });
  std::vector<Transition> out;
  for (const Change& c : changes) out.push_back({c.at, c.startsDst ? dst_->type : standard_});
  return out;
}

LocalTimeType PosixTzRule::typeAt(std::int64_t t) const {
  if (!dst_) return standard_;
  t = clampInstant(t);
  std::int64_t year = yearOf(t);
  std::vector<Transition> changes = changesInYears(year - 1, year + 1);
  const Transition* last = nullptr;
  for (const Transition& c : changes) {
    if (c.at <= t) last = &c;
  }
  if (last) return last->after;
  // Only rule times far outside the year get here: the state before the first change.
  return changes.front().after.isDst ? standard_ : dst_->type;
}

std::vector<Transition> PosixTzRule::transitionsBetween(std::int64_t from, std::int64_t to) const {
  std::vector<Transition> out;
  if (!dst_) return out;
  from = clampInstant(from);
  to = std::min(clampInstant(to), from + kListedSpan);
  if (from >= to) return out;
  const LocalTimeType atStart = typeAt(from);
  for (const Transition& c : changesInYears(yearOf(from) - 1, yearOf(to) + 1)) {
    if (c.at <= from || c.at > to) continue;
    // Of several changes at one instant only the last one is ever in effect.
    if (!out.empty() && out.back().at == c.at) out.pop_back();
    const LocalTimeType& before = out.empty() ? atStart : out.back().after;
    if (c.after != before) out.push_back(c);
  }
  return out;
}

}  // namespace qv::tz
