#include "platform/time/timezone.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "platform/byte_cursor.h"
#include "platform/time/civil_days.h"

namespace qv::tz {

struct internal::ZoneData {
  std::string name;
  std::vector<std::int64_t> transitionTimes;  // strictly increasing
  std::vector<std::uint8_t> transitionTypes;  // index into types, one per transition
  std::vector<LocalTimeType> types;           // never empty
  std::optional<PosixTzRule> rule;            // for instants after the last transition
};

namespace {

using internal::ZoneData;
using std::chrono::sys_seconds;

// Offsets further from UTC than this are refused, so that every instant showing a given local
// time lies within a day and a bit of it.
constexpr int kMinOffset = -89999;
constexpr int kMaxOffset = 93599;
constexpr std::int64_t kSearchMargin = 27 * 3600;
constexpr std::uintmax_t kMaxFileSize = 1 << 20;

struct Header {
  char version = 0;
  std::uint32_t isUtCount = 0, isStdCount = 0, leapCount = 0, timeCount = 0, typeCount = 0,
                charCount = 0;
};

Result<Header> readHeader(ByteCursor& in) {
  std::string magic;
  if (!in.fourCC(magic)) return Error{"truncated header"};
  if (magic != "TZif") return Error{"not a TZif file (no \"TZif\" magic)"};
  Header h;
  std::uint8_t version = 0;
  if (!in.u8(version) || !in.skip(15)) return Error{"truncated header"};
  if (version != 0 && version != '2' && version != '3' && version != '4') {
    return Error{"unsupported TZif version byte " + std::to_string(version)};
  }
  h.version = version == 0 ? '1' : static_cast<char>(version);
  if (!in.u32be(h.isUtCount) || !in.u32be(h.isStdCount) || !in.u32be(h.leapCount) ||
      !in.u32be(h.timeCount) || !in.u32be(h.typeCount) || !in.u32be(h.charCount)) {
    return Error{"truncated header"};
  }
  return h;
}

std::uint64_t dataBlockSize(const Header& h, int timeSize) {
  return std::uint64_t{h.timeCount} * (timeSize + 1) + std::uint64_t{h.typeCount} * 6 +
         h.charCount + std::uint64_t{h.leapCount} * (timeSize + 4) + h.isStdCount + h.isUtCount;
}

Status readDataBlock(ByteCursor& in, const Header& h, int timeSize, ZoneData& zone) {
  if (h.typeCount == 0) return Error{"no local time types"};
  if (h.charCount == 0) return Error{"no abbreviation characters"};
  if (h.typeCount > 256) return Error{"more than 256 local time types"};
  if (h.isStdCount != 0 && h.isStdCount != h.typeCount) {
    return Error{"standard/wall indicator count differs from the type count"};
  }
  if (h.isUtCount != 0 && h.isUtCount != h.typeCount) {
    return Error{"UT/local indicator count differs from the type count"};
  }
  if (h.leapCount != 0) {
    // Leap-second zones ("right/...") count seconds on another scale than system time.
    return Error{"carries a leap-second table; only zones on POSIX time are supported"};
  }
  if (dataBlockSize(h, timeSize) > in.remaining()) return Error{"truncated data block"};

  zone.transitionTimes.resize(h.timeCount);
  for (std::int64_t& t : zone.transitionTimes) {
    if (timeSize == 8) {
      in.i64be(t);
    } else {
      std::int32_t t32 = 0;
      in.i32be(t32);
      t = t32;
    }
  }
  for (std::size_t i = 1; i < zone.transitionTimes.size(); ++i) {
    if (zone.transitionTimes[i] <= zone.transitionTimes[i - 1]) {
      return Error{"transition times are not in increasing order (at transition " +
                   std::to_string(i) + ")"};
    }
  }
  zone.transitionTypes.resize(h.timeCount);
  for (std::uint8_t& type : zone.transitionTypes) {
    in.u8(type);
    if (type >= h.typeCount) return Error{"transition refers to a missing local time type"};
  }

  struct RawType {
    std::int32_t offset;
    std::uint8_t isDst;
    std::uint8_t abbreviationIndex;
  };
  std::vector<RawType> raw(h.typeCount);
  for (RawType& r : raw) {
    in.i32be(r.offset);
    in.u8(r.isDst);
    in.u8(r.abbreviationIndex);
    if (r.offset < kMinOffset || r.offset > kMaxOffset) {
      return Error{"local time type has a UTC offset of " + std::to_string(r.offset) +
                   " seconds, outside -25h..+26h"};
    }
    if (r.isDst > 1) return Error{"local time type has a daylight-saving flag other than 0 or 1"};
    if (r.abbreviationIndex >= h.charCount) {
      return Error{"local time type's abbreviation index is past the abbreviation characters"};
    }
  }
  std::span<const std::uint8_t> chars;
  in.take(h.charCount, chars);
  for (const RawType& r : raw) {
    auto begin = chars.begin() + r.abbreviationIndex;
    auto end = std::find(begin, chars.end(), 0);
    if (end == chars.end()) return Error{"abbreviation is not NUL-terminated"};
    zone.types.push_back({r.offset, r.isDst == 1, std::string(begin, end)});
  }
  in.skip(std::uint64_t{h.isStdCount} + h.isUtCount);
  return Ok{};
}

Result<ZoneData> parseTzif(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes);
  auto first = readHeader(in);
  if (!first) return Error{first.error()};
  ZoneData zone;
  if (first->version == '1') {
    auto block = readDataBlock(in, *first, 4, zone);
    if (!block) return Error{block.error()};
    return zone;
  }
  // Version 2 and later repeat everything with 64-bit times; the first copy is only for
  // readers that know nothing newer.
  if (!in.skip(dataBlockSize(*first, 4))) return Error{"truncated version 1 data block"};
  auto second = readHeader(in);
  if (!second) return Error{"second header: " + second.error()};
  auto block = readDataBlock(in, *second, 8, zone);
  if (!block) return Error{block.error()};

  std::uint8_t newline;
  if (!in.u8(newline) || newline != '\n') return Error{"missing footer after the data block"};
  std::string footer;
  for (std::uint8_t c; in.u8(c);) {
    if (c == '\n') {
      if (!footer.empty()) {
        auto rule = PosixTzRule::parse(footer);
        if (!rule) return Error{"footer: " + rule.error()};
        zone.rule = std::move(*rule);
      }
      return zone;
    }
    footer += static_cast<char>(c);
  }
  return Error{"footer rule is not terminated by a newline"};
}

// Names are paths below the database folder and nothing else.
std::optional<std::string> nameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name.size() > 255) return "is longer than 255 characters";
  if (name.front() == '/') return "is an absolute path";
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t slash = std::min(name.find('/', start), name.size());
    std::string_view part(name.data() + start, slash - start);
    if (part.empty()) return "has an empty path component";
    if (part == "." || part == "..") return "has a \".\" or \"..\" path component";
    for (char c : part) {
      bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '_' || c == '-' || c == '+' || c == '.';
      if (!allowed) return "has a character other than letters, digits, '_', '-', '+', '.', '/'";
    }
    start = slash + 1;
  }
  return std::nullopt;
}

std::int64_t seconds(sys_seconds t) {
  return t.time_since_epoch().count();
}
sys_seconds instant(std::int64_t s) {
  return sys_seconds{std::chrono::seconds{s}};
}

std::int64_t localSeconds(const CivilTime& c) {
  std::int64_t monthIndex = std::int64_t{c.month} - 1;
  std::int64_t year = c.year + floorDiv(monthIndex, 12);
  int month = static_cast<int>(floorMod(monthIndex, 12)) + 1;
  std::int64_t days = daysFromCivil(year, month, 1) + (std::int64_t{c.day} - 1);
  return days * kSecondsPerDay + std::int64_t{c.hour} * 3600 + std::int64_t{c.minute} * 60 +
         c.second;
}

CivilTime civilFromLocalSeconds(std::int64_t local) {
  CivilDate date = civilFromDays(floorDiv(local, kSecondsPerDay));
  int secondOfDay = static_cast<int>(floorMod(local, kSecondsPerDay));
  return {static_cast<int>(date.year), date.month,      date.day, secondOfDay / 3600,
          secondOfDay / 60 % 60,       secondOfDay % 60};
}

// The stretches of constant offset that can contain an instant showing local time `local`.
struct Segment {
  std::int64_t start;
  int offset;
};

std::vector<Segment> segmentsNear(std::int64_t local, const TimeZone& z) {
  std::int64_t from = local - kSearchMargin;
  std::vector<Segment> segments{{from, z.offsetSecondsAt(instant(from))}};
  for (const Transition& t : z.transitionsBetween(instant(from), instant(local + kSearchMargin))) {
    segments.push_back({t.at, t.after.offsetSeconds});
  }
  return segments;
}

}  // namespace

Result<TimeZone> TimeZone::load(const std::string& name, const std::string& zoneinfoDir) {
  if (auto problem = nameProblem(name)) {
    return Error{"time-zone name \"" + name + "\" " + *problem};
  }
  std::filesystem::path path = std::filesystem::path(zoneinfoDir) / name;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return Error{"unknown time zone \"" + name + "\" (no file " + path.string() + ")"};
  }
  std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileSize) {
    return Error{path.string() + ": unreadable or larger than a time-zone file can be"};
  }
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) return Error{path.string() + ": read failed"};
  auto zone = fromTzif(name, bytes);
  if (!zone) return Error{path.string() + ": " + zone.error()};
  return zone;
}

Result<TimeZone> TimeZone::fromTzif(std::string name, std::span<const std::uint8_t> bytes) {
  auto data = parseTzif(bytes);
  if (!data) return Error{data.error()};
  data->name = std::move(name);
  return TimeZone(std::make_shared<const ZoneData>(std::move(*data)));
}

Result<TimeZone> TimeZone::fromPosixRule(std::string_view text) {
  auto rule = PosixTzRule::parse(text);
  if (!rule) return Error{rule.error()};
  ZoneData data;
  data.name = std::string(text);
  data.types.push_back(rule->typeAt(0));
  data.rule = std::move(*rule);
  return TimeZone(std::make_shared<const ZoneData>(std::move(data)));
}

TimeZone TimeZone::utc() {
  ZoneData data;
  data.name = "UTC";
  data.types.push_back({0, false, "UTC"});
  return TimeZone(std::make_shared<const ZoneData>(std::move(data)));
}

const std::string& TimeZone::name() const {
  return data_->name;
}

LocalTimeType TimeZone::typeAtSeconds(std::int64_t t) const {
  const ZoneData& d = *data_;
  if (d.transitionTimes.empty()) return d.rule ? d.rule->typeAt(t) : d.types.front();
  if (t < d.transitionTimes.front()) return d.types.front();
  if (t > d.transitionTimes.back() && d.rule) return d.rule->typeAt(t);
  auto next = std::upper_bound(d.transitionTimes.begin(), d.transitionTimes.end(), t);
  std::size_t index = static_cast<std::size_t>(next - d.transitionTimes.begin()) - 1;
  return d.types[d.transitionTypes[index]];
}

LocalTimeType TimeZone::typeAt(sys_seconds t) const {
  return typeAtSeconds(seconds(t));
}
int TimeZone::offsetSecondsAt(sys_seconds t) const {
  return typeAt(t).offsetSeconds;
}
std::string TimeZone::abbreviationAt(sys_seconds t) const {
  return typeAt(t).abbreviation;
}
bool TimeZone::isDaylightSavingAt(sys_seconds t) const {
  return typeAt(t).isDst;
}

std::vector<Transition> TimeZone::transitionsBetween(sys_seconds fromInstant,
                                                     sys_seconds toInstant) const {
  const ZoneData& d = *data_;
  std::int64_t from = seconds(fromInstant);
  std::int64_t to = seconds(toInstant);
  std::vector<Transition> changes;
  if (from >= to) return changes;
  auto first = std::upper_bound(d.transitionTimes.begin(), d.transitionTimes.end(), from);
  for (auto it = first; it != d.transitionTimes.end() && *it <= to; ++it) {
    changes.push_back({*it, d.types[d.transitionTypes[it - d.transitionTimes.begin()]]});
  }
  if (d.rule) {
    std::int64_t ruleFrom =
        d.transitionTimes.empty() ? from : std::max(from, d.transitionTimes.back());
    for (Transition& t : d.rule->transitionsBetween(ruleFrom, to)) changes.push_back(std::move(t));
  }
  // Table entries that change nothing a clock shows (same type again) are not changes.
  std::vector<Transition> kept;
  LocalTimeType before = typeAtSeconds(from);
  for (Transition& t : changes) {
    if (t.after == before) continue;
    before = t.after;
    kept.push_back(std::move(t));
  }
  return kept;
}

CivilTime toCivil(sys_seconds t, const TimeZone& z) {
  std::int64_t s = std::clamp(seconds(t), -kFarInstant, kFarInstant);
  return civilFromLocalSeconds(s + z.offsetSecondsAt(instant(s)));
}

std::vector<sys_seconds> candidatesForCivil(const CivilTime& c, const TimeZone& z) {
  std::int64_t local = localSeconds(c);
  std::vector<Segment> segments = segmentsNear(local, z);
  std::vector<sys_seconds> out;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    std::int64_t t = local - segments[i].offset;
    bool afterStart = t >= segments[i].start;
    bool beforeEnd = i + 1 == segments.size() || t < segments[i + 1].start;
    if (afterStart && beforeEnd) out.push_back(instant(t));
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

sys_seconds fromCivil(const CivilTime& c, const TimeZone& z) {
  std::vector<sys_seconds> candidates = candidatesForCivil(c, z);
  if (!candidates.empty()) return candidates.front();
  std::int64_t local = localSeconds(c);
  std::vector<Segment> segments = segmentsNear(local, z);
  for (std::size_t i = 1; i < segments.size(); ++i) {
    int before = segments[i - 1].offset;
    int after = segments[i].offset;
    // Reading the skipped time with the offset from before the jump lands as far past the
    // jump as the time was past its start.
    if (segments[i].start + before <= local && local < segments[i].start + after) {
      return instant(local - before);
    }
  }
  return instant(local - z.offsetSecondsAt(instant(local)));
}

int weekdayOf(const CivilTime& c) {
  return weekdayFromDays(floorDiv(localSeconds(c), kSecondsPerDay));
}

std::string formatCivil(const CivilTime& c) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return text;
}

}  // namespace qv::tz
