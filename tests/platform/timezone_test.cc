// Time zones from the system database and from rule strings, civil-time conversion around
// clock jumps, and malformed time-zone files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/time/timezone.h"
#include "tests/scratch_folder.h"

namespace qv::tz {

void PrintTo(const CivilTime& c, std::ostream* os) {
  *os << formatCivil(c);
}

namespace {

using namespace std::chrono;

const char* const kZoneinfo = "/usr/share/zoneinfo";

sys_seconds utcInstant(int y, unsigned m, unsigned d, int h = 0, int mi = 0, int s = 0) {
  return sys_days{year{y} / month{m} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

// Writes TZif bytes from parts, so tests can make files the database does not ship.
struct TzifParts {
  char version = '2';
  std::vector<std::int64_t> times;
  std::vector<std::uint8_t> typeIndices;
  struct Type {
    std::int32_t offset;
    std::uint8_t isDst;
    std::string abbreviation;
  };
  std::vector<Type> types{{0, 0, "UTC"}};
  std::string footer;
  std::uint32_t leapCount = 0;

  std::vector<std::uint8_t> bytes() const {
    std::vector<std::uint8_t> out;
    auto be = [&out](std::uint64_t v, int width) {
      for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto block = [&](char ver, bool wide) {
      std::string chars;
      std::vector<std::uint8_t> abbreviationIndex;
      for (const Type& t : types) {
        abbreviationIndex.push_back(static_cast<std::uint8_t>(chars.size()));
        chars += t.abbreviation + '\0';
      }
      out.insert(out.end(), {'T', 'Z', 'i', 'f', static_cast<std::uint8_t>(ver)});
      out.insert(out.end(), 15, 0);
      for (std::uint64_t count :
           {std::uint64_t{0}, std::uint64_t{0}, std::uint64_t{leapCount}, std::uint64_t{times.size()},
            std::uint64_t{types.size()}, std::uint64_t{chars.size()}}) {
        be(count, 4);
      }
      for (std::int64_t t : times) be(static_cast<std::uint64_t>(t), wide ? 8 : 4);
      out.insert(out.end(), typeIndices.begin(), typeIndices.end());
      for (std::size_t i = 0; i < types.size(); ++i) {
        be(static_cast<std::uint32_t>(types[i].offset), 4);
        out.push_back(types[i].isDst);
        out.push_back(abbreviationIndex[i]);
      }
      out.insert(out.end(), chars.begin(), chars.end());
      out.insert(out.end(), leapCount * (wide ? 12 : 8), 0);
    };
    if (version == '1') {
      block('\0', false);
      return out;
    }
    // The 32-bit block says "LMT at +1h" so a test can tell which block was read.
    out.insert(out.end(), {'T', 'Z', 'i', 'f', static_cast<std::uint8_t>(version)});
    out.insert(out.end(), 15, 0);
    for (std::uint32_t count : {0u, 0u, 0u, 0u, 1u, 4u}) be(count, 4);
    be(3600, 4);
    out.insert(out.end(), {0, 0, 'L', 'M', 'T', 0});
    block(version, true);
    out.push_back('\n');
    out.insert(out.end(), footer.begin(), footer.end());
    out.push_back('\n');
    return out;
  }
};

class ZoneDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::string(kZoneinfo) + "/Europe/Berlin")) {
      GTEST_SKIP() << "no time-zone database at " << kZoneinfo;
    }
  }
  static TimeZone zone(const std::string& name) {
    auto z = TimeZone::load(name);
    EXPECT_TRUE(z.ok()) << (z.ok() ? "" : z.error());
    return z.ok() ? *z : TimeZone::utc();
  }
};

TEST_F(ZoneDatabase, UtcHasNoOffsetAtAnyTime) {
  for (const TimeZone& z : {TimeZone::utc(), zone("UTC")}) {
    for (sys_seconds t : {utcInstant(1900, 1, 1), utcInstant(2026, 7, 1), utcInstant(2200, 1, 1)}) {
      EXPECT_EQ(z.offsetSecondsAt(t), 0);
      EXPECT_EQ(z.abbreviationAt(t), "UTC");
    }
  }
}

// Each row: a zone, an instant (UTC), the offset then, and the abbreviation where it is checked.
struct OffsetRow {
  const char* zone;
  sys_seconds at;
  int offset;
  const char* abbreviation = nullptr;
};

TEST_F(ZoneDatabase, OffsetsChangeWhereEachZonesTableAndFooterRuleSay) {
  const OffsetRow rows[] = {
      // Berlin: last Sundays of March and October at 01:00 UTC, now and from the footer rule.
      {"Europe/Berlin", utcInstant(2026, 3, 29, 0, 59, 59), 3600, "CET"},
      {"Europe/Berlin", utcInstant(2026, 3, 29, 1), 7200},
      {"Europe/Berlin", utcInstant(2026, 10, 25, 0, 59, 59), 7200, "CEST"},
      {"Europe/Berlin", utcInstant(2026, 10, 25, 1), 3600},
      {"Europe/Berlin", utcInstant(2090, 3, 26, 0, 59, 59), 3600},
      {"Europe/Berlin", utcInstant(2090, 3, 26, 1), 7200},
      {"Europe/Berlin", utcInstant(2090, 10, 29, 1), 3600},
      // New York: second Sunday of March, first of November.
      {"America/New_York", utcInstant(2026, 3, 8, 6, 59, 59), -18000},
      {"America/New_York", utcInstant(2026, 3, 8, 7), -14400},
      {"America/New_York", utcInstant(2026, 11, 1, 5, 59, 59), -14400},
      {"America/New_York", utcInstant(2026, 11, 1, 6), -18000},
      {"America/New_York", utcInstant(2090, 3, 12, 6, 59, 59), -18000, "EST"},
      {"America/New_York", utcInstant(2090, 3, 12, 7), -14400, "EDT"},
      {"America/New_York", utcInstant(2090, 11, 5, 5, 59, 59), -14400},
      {"America/New_York", utcInstant(2090, 11, 5, 6), -18000},
      // Half-hour offsets keep their history and rule; Tehran's rule is the quoted "<+0330>-3:30".
      {"Asia/Kolkata", utcInstant(2026, 6, 1), 19800},
      {"Asia/Kolkata", utcInstant(2090, 1, 1), 19800},
      {"Asia/Kolkata", utcInstant(1943, 1, 1), 23400},
      {"Asia/Tehran", utcInstant(2090, 1, 1), 12600, "+0330"},
      // Lord Howe moves its clocks by half an hour.
      {"Australia/Lord_Howe", utcInstant(2026, 4, 4, 14, 59, 59), 39600},
      {"Australia/Lord_Howe", utcInstant(2026, 4, 4, 15), 37800},
      {"Australia/Lord_Howe", utcInstant(2090, 9, 30, 15, 29, 59), 37800},
      {"Australia/Lord_Howe", utcInstant(2090, 9, 30, 15, 30), 39600},
      // Version-3 rule times beyond the day: Nuuk at -1:00 local on Sunday, Jerusalem at 26:00 on Thursday.
      {"America/Nuuk", utcInstant(2090, 3, 26, 0, 59, 59), -7200},
      {"America/Nuuk", utcInstant(2090, 3, 26, 1), -3600},
      {"America/Nuuk", utcInstant(2090, 10, 29, 1), -7200},
      {"Asia/Jerusalem", utcInstant(2090, 3, 23, 23, 59, 59), 7200, "IST"},
      {"Asia/Jerusalem", utcInstant(2090, 3, 24), 10800, "IDT"},
      {"Asia/Jerusalem", utcInstant(2090, 10, 28, 23), 7200, "IST"},
      // Dublin's winter time is the daylight-saving side of its rule, its summer the standard one.
      {"Europe/Dublin", utcInstant(2026, 1, 15), 0, "GMT"},
      {"Europe/Dublin", utcInstant(2026, 7, 1), 3600, "IST"},
      {"Europe/Dublin", utcInstant(2090, 1, 15), 0, "GMT"},
      {"Europe/Dublin", utcInstant(2090, 7, 1), 3600, "IST"},
  };
  for (const OffsetRow& row : rows) {
    const TimeZone z = zone(row.zone);
    EXPECT_EQ(z.offsetSecondsAt(row.at), row.offset)
        << row.zone << " " << formatCivil(toCivil(row.at, TimeZone::utc()));
    if (row.abbreviation) {
      EXPECT_EQ(z.abbreviationAt(row.at), row.abbreviation) << row.zone;
    }
  }
  EXPECT_TRUE(zone("Europe/Berlin").isDaylightSavingAt(utcInstant(2026, 3, 29, 1)));
  // Only the negative-saving form of the data marks Dublin's winter as daylight-saving time.
  const TimeZone dublin = zone("Europe/Dublin");
  EXPECT_NE(dublin.isDaylightSavingAt(utcInstant(2090, 1, 15)), dublin.isDaylightSavingAt(utcInstant(2090, 7, 1)));
}

TEST_F(ZoneDatabase, TransitionsContinueAcrossTheEndOfTheFilesTableAndTheWholeTimeLineIsListedPromptly) {
  std::vector<Transition> changes =
      zone("Europe/Berlin").transitionsBetween(utcInstant(2037, 1, 1), utcInstant(2039, 1, 1));
  std::vector<sys_seconds> expected = {utcInstant(2037, 3, 29, 1), utcInstant(2037, 10, 25, 1),
                                       utcInstant(2038, 3, 28, 1), utcInstant(2038, 10, 31, 1)};
  ASSERT_EQ(changes.size(), expected.size());
  for (std::size_t i = 0; i < changes.size(); ++i) {
    EXPECT_EQ(changes[i].at, expected[i].time_since_epoch().count()) << i;
    EXPECT_EQ(changes[i].after.isDst, i % 2 == 0) << i;
  }
  // Guards against enumerating the rule's changes year by year across billions of years.
  const std::size_t wholeTimeLine =
      zone("Europe/Berlin").transitionsBetween(sys_seconds::min(), sys_seconds::max()).size();
  EXPECT_GT(wholeTimeLine, 100u);
  EXPECT_LT(wholeTimeLine, 30'000u);
}

class CivilConversion : public ZoneDatabase {};

TEST_F(CivilConversion, SkippedTimeMovesForwardByTheLengthOfTheGapAndRepeatedTimeGivesTheEarlierInstant) {
  TimeZone berlin = zone("Europe/Berlin");
  CivilTime skipped{2026, 3, 29, 2, 30, 0};
  EXPECT_TRUE(candidatesForCivil(skipped, berlin).empty());
  sys_seconds t = fromCivil(skipped, berlin);
  EXPECT_EQ(t, utcInstant(2026, 3, 29, 1, 30));
  EXPECT_EQ(toCivil(t, berlin), (CivilTime{2026, 3, 29, 3, 30, 0}));

  TimeZone lordHowe = zone("Australia/Lord_Howe");
  EXPECT_EQ(toCivil(fromCivil({2026, 10, 4, 2, 15, 0}, lordHowe), lordHowe), (CivilTime{2026, 10, 4, 2, 45, 0}));

  CivilTime repeated{2026, 10, 25, 2, 30, 0};
  std::vector<sys_seconds> both = candidatesForCivil(repeated, berlin);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0], utcInstant(2026, 10, 25, 0, 30));
  EXPECT_EQ(both[1], utcInstant(2026, 10, 25, 1, 30));
  EXPECT_EQ(fromCivil(repeated, berlin), both[0]);

  TimeZone newYork = zone("America/New_York");
  EXPECT_EQ(fromCivil({2090, 11, 5, 1, 30, 0}, newYork), utcInstant(2090, 11, 5, 5, 30));
}

TEST_F(CivilConversion, EveryInstantOfAYearRoundTripsThroughItsWallClock) {
  for (const char* name : {"America/New_York", "Australia/Lord_Howe", "Europe/Dublin"}) {
    TimeZone z = zone(name);
    for (sys_seconds t = utcInstant(2026, 1, 1); t < utcInstant(2027, 1, 1); t += minutes(97)) {
      std::vector<sys_seconds> candidates = candidatesForCivil(toCivil(t, z), z);
      ASSERT_NE(std::find(candidates.begin(), candidates.end(), t), candidates.end())
          << name << " " << formatCivil(toCivil(t, z));
      EXPECT_EQ(fromCivil(toCivil(t, z), z), candidates.front());
    }
  }
}

TEST_F(CivilConversion, OutOfRangeFieldsCarryIntoTheNextUnit) {
  TimeZone z = TimeZone::utc();
  EXPECT_EQ(fromCivil({2026, 13, 1, 0, 0, 0}, z), utcInstant(2027, 1, 1));
  EXPECT_EQ(fromCivil({2026, 3, 0, 0, 0, 0}, z), utcInstant(2026, 2, 28));
  EXPECT_EQ(fromCivil({2026, 1, 1, 24, 0, -1}, z), utcInstant(2026, 1, 1, 23, 59, 59));
  EXPECT_EQ(weekdayOf({2026, 3, 29, 0, 0, 0}), 0);
  EXPECT_EQ(weekdayOf({2026, 3, 28, 24, 0, 0}), 0);
  EXPECT_EQ(toCivil(utcInstant(1969, 12, 31, 23, 59, 59), z), (CivilTime{1969, 12, 31, 23, 59, 59}));
}

class PosixRuleZone : public ::testing::Test {
 protected:
  static TimeZone rule(std::string_view text) {
    auto z = TimeZone::fromPosixRule(text);
    EXPECT_TRUE(z.ok()) << (z.ok() ? "" : z.error());
    return z.ok() ? *z : TimeZone::utc();
  }
};

TEST_F(PosixRuleZone, JulianDaysSkipOrCountTheLeapDay) {
  // J60 is 1 March in every year; zero-based day 59 is 29 February in a leap year.
  TimeZone skipping = rule("AAA0BBB,J60/0,J300/0");
  TimeZone counting = rule("AAA0BBB,59/0,300/0");
  EXPECT_FALSE(skipping.isDaylightSavingAt(utcInstant(2028, 2, 29, 12)));
  EXPECT_TRUE(skipping.isDaylightSavingAt(utcInstant(2028, 3, 1)));
  EXPECT_TRUE(counting.isDaylightSavingAt(utcInstant(2028, 2, 29)));
  EXPECT_FALSE(counting.isDaylightSavingAt(utcInstant(2027, 2, 28, 23, 59, 59)));
  EXPECT_TRUE(counting.isDaylightSavingAt(utcInstant(2027, 3, 1)));
}

TEST_F(PosixRuleZone, DaylightSavingAllYearWhenEndMeetsNextStart) {
  TimeZone z = rule("EST5EDT,0/0,J365/25");
  for (sys_seconds t : {utcInstant(2026, 1, 1, 5), utcInstant(2026, 6, 1), utcInstant(2026, 12, 31, 23)}) {
    EXPECT_EQ(z.abbreviationAt(t), "EDT");
  }
  EXPECT_TRUE(z.transitionsBetween(utcInstant(2026, 1, 1), utcInstant(2028, 1, 1)).empty());
}

TEST_F(PosixRuleZone, RulesWithoutDatesFollowUsRulesAndChangeTimesMayBeNegative) {
  EXPECT_EQ(rule("EST5EDT").offsetSecondsAt(utcInstant(2026, 3, 8, 6, 59, 59)), -18000);
  EXPECT_EQ(rule("EST5EDT").offsetSecondsAt(utcInstant(2026, 3, 8, 7)), -14400);
  TimeZone z = rule("<-02>2<-01>1,M3.5.0/-1,M10.5.0/0");  // explicit daylight offset
  EXPECT_EQ(z.offsetSecondsAt(utcInstant(2090, 3, 26, 0, 59, 59)), -7200);
  EXPECT_EQ(z.offsetSecondsAt(utcInstant(2090, 3, 26, 1)), -3600);
}

TEST_F(PosixRuleZone, MalformedRulesNameWhereTheyWentWrong) {
  for (const char* bad : {"", "CE-1", "CET", "CET-25", "CET-1CEST,M3.5.0", "CET-1CEST,M13.1.0,M10.5.0",
                          "CET-1CEST,M3.6.0,M10.5.0", "CET-1CEST,M3.5.7,M10.5.0", "<+03-3",
                          "CET-1CEST,M3.5.0/168,M10.5.0", "CET-1CEST,J0,J365", "UTC0x", "CET-1:60"}) {
    auto z = TimeZone::fromPosixRule(bad);
    ASSERT_FALSE(z.ok()) << bad;
    EXPECT_NE(z.error().find("position"), std::string::npos) << z.error();
  }
}

class TimeZoneFiles : public ::testing::Test {
 protected:
  Result<TimeZone> loadBytes(const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir_ / "Test", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return TimeZone::load("Test", dir_.string());
  }

  ScratchFolder scratch{"qv-tz"};
  std::filesystem::path dir_{scratch.path()};
};

TEST_F(TimeZoneFiles, BadUnknownOrFolderNamesAreErrorsSayingSo) {
  std::filesystem::create_directories(dir_ / "Europe");
  std::vector<std::pair<std::string, std::string>> rows = {{"Mars/Olympus_Mons", "Mars/Olympus_Mons"}, {"Europe", "Europe"}};
  for (const char* bad : {"", "/etc/passwd", "../etc/passwd", "Europe/../../etc/passwd", "./UTC", "Europe//Berlin",
                          "Europe/Berlin/", "Europe/Berlin\n", "Europe\\Berlin"}) {
    rows.emplace_back(bad, "time-zone name");
  }
  for (const auto& [name, words] : rows) {
    auto z = TimeZone::load(name, dir_.string());
    ASSERT_FALSE(z.ok()) << name;
    EXPECT_NE(z.error().find(words), std::string::npos) << z.error();
  }
}

TEST_F(TimeZoneFiles, VersionOneUsesItsThirtyTwoBitTableAndLaterVersionsTheSixtyFourBitTableAndFooter) {
  TzifParts parts;
  parts.version = '1';
  parts.types = {{3600, 0, "AAA"}, {7200, 1, "BBB"}};
  parts.times = {1000000};
  parts.typeIndices = {1};
  auto z = loadBytes(parts.bytes());
  ASSERT_TRUE(z.ok()) << z.error();
  EXPECT_EQ(z->abbreviationAt(sys_seconds{seconds{999999}}), "AAA");
  EXPECT_EQ(z->abbreviationAt(sys_seconds{seconds{1000000}}), "BBB");
  EXPECT_EQ(z->abbreviationAt(utcInstant(2090, 1, 1)), "BBB");

  parts.version = '3';
  parts.types = {{-1800, 0, "OLD"}, {0, 0, "UTC"}};
  parts.times = {-5'000'000'000};  // before 1901: only 64-bit times can say this
  parts.typeIndices = {1};
  parts.footer = "AAA-1BBB,M3.5.0,M10.5.0/3";
  auto later = loadBytes(parts.bytes());
  ASSERT_TRUE(later.ok()) << later.error();
  EXPECT_EQ(later->abbreviationAt(sys_seconds{seconds{-5'000'000'001}}), "OLD");
  EXPECT_EQ(later->abbreviationAt(utcInstant(1900, 1, 1)), "AAA");
  EXPECT_EQ(later->abbreviationAt(utcInstant(2026, 7, 1)), "BBB");
}

TEST_F(TimeZoneFiles, MalformedFilesAreErrorsThatSayWhatWasWrong) {
  using Change = void (*)(TzifParts&);
  const std::pair<Change, const char*> rows[] = {
      {[](TzifParts& p) {
         p.times = {200, 100};
         p.typeIndices = {0, 0};
       }, "increasing order"},
      {[](TzifParts& p) {
         p.times = {100};
         p.typeIndices = {3};
       }, "missing local time type"},
      {[](TzifParts& p) { p.types = {{100000, 0, "XXX"}}; }, "UTC offset"},
      {[](TzifParts& p) { p.leapCount = 2; }, "leap-second"},
      {[](TzifParts& p) { p.footer = "CET-1CEST,M3.5.0"; }, "footer"},
      {[](TzifParts& p) { p.version = '9'; }, "version"},
  };
  for (const auto& [change, words] : rows) {
    TzifParts parts;
    change(parts);
    auto z = loadBytes(parts.bytes());
    ASSERT_FALSE(z.ok()) << words;
    EXPECT_NE(z.error().find(words), std::string::npos) << z.error();
  }
}

TEST_F(TimeZoneFiles, EveryTruncationOfARealFileIsAnErrorNotACrash) {
  std::vector<std::uint8_t> berlin = fileBytes(std::string(kZoneinfo) + "/Europe/Berlin");
  if (berlin.empty()) GTEST_SKIP() << "no Europe/Berlin in " << kZoneinfo;
  for (std::size_t size = 0; size < berlin.size(); ++size) {
    auto z = TimeZone::fromTzif("cut", std::span(berlin.data(), size));
    EXPECT_FALSE(z.ok()) << "prefix of " << size << " bytes";
  }
  EXPECT_TRUE(TimeZone::fromTzif("whole", berlin).ok());
}

}  // namespace
}  // namespace qv::tz
