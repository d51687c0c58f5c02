#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <set>
#include <sstream>

#include "platform/plist/internal/binary_writer.h"
#include "platform/plist/internal/libplist_bridge.h"
#include "platform/plist/io.h"
#include "platform/plist/keyed_archive.h"
#include "tests/platform/plist_test_support.h"

namespace qv {
namespace {

using testing::Bytes;
namespace fs = std::filesystem;

// Our writer must give exactly libplist's bytes: settings files and archives on disk, and so the
// examples, would change otherwise. Everything it writes must also read back as what was written.
class BinaryPlistWriter : public ::testing::Test {
 protected:
  static Bytes byLibplist(const pl::Value& v) {
    auto bytes = pl::internal::writeWithLibplist(v, pl::Format::Binary);
    EXPECT_TRUE(bytes) << v.describe() << ": " << bytes.error();
    return bytes ? *bytes : Bytes{};
  }

  static std::string firstDifference(const Bytes& ours, const Bytes& theirs) {
    std::size_t i = 0;
    while (i < ours.size() && i < theirs.size() && ours[i] == theirs[i]) ++i;
    std::ostringstream out;
    out << "sizes " << ours.size() << " and " << theirs.size() << ", first difference at byte " << i;
    return out.str();
  }

  // The trailer's offset and reference widths and object count of `bytes`.
  struct Trailer {
    int offsetWidth, refWidth;
    std::uint64_t objects;
  };
  static Trailer trailerOf(const Bytes& bytes) {
    const std::uint8_t* t = bytes.data() + bytes.size() - 32;
    std::uint64_t objects = 0;
    for (int i = 8; i < 16; ++i) objects = objects << 8 | t[i];
    return {t[6], t[7], objects};
  }

  // Ours equals libplist's bytes, reads back as `v` (NaN aside), and is what serialize() writes.
  static void expectSameAsLibplist(const pl::Value& v, bool readsBack = true) {
    auto ours = pl::internal::writeBinaryPlist(v);
    ASSERT_TRUE(ours) << "left to libplist: " << v.describe();
    const Bytes theirs = byLibplist(v);
    ASSERT_EQ(*ours, theirs) << v.describe() << ": " << firstDifference(*ours, theirs);
    auto serialized = pl::serialize(v, pl::Format::Binary);
    ASSERT_TRUE(serialized) << serialized.error();
    EXPECT_EQ(*serialized, *ours);
    if (!readsBack) return;
    auto back = pl::parse(*ours);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(*back, v);
  }

  template <typename Visit>
  static void forEachData(const pl::Value& v, const Visit& visit) {
    if (const pl::Data* d = v.ifData()) visit(*d);
    if (const pl::Array* a = v.ifArray())
      for (const pl::Value& e : *a) forEachData(e, visit);
    if (const pl::Dict* d = v.ifDict())
      for (const auto& [key, e] : *d) forEachData(e, visit);
  }

  // The readable property lists held in data under `v` (a push store's archived notifications,
  // an archive's archived userInfo).
  static std::vector<pl::Value> nestedPlists(const pl::Value& v) {
    std::vector<pl::Value> nested;
    forEachData(v, [&](const pl::Data& d) {
      if (pl::detectFormat(d) != pl::Format::Binary) return;
      if (auto value = pl::parse(d)) nested.push_back(*value);
    });
    return nested;
  }

  static bool holdsEqualData(const pl::Value& v) {
    std::set<pl::Data> seen;
    bool twice = false;
    forEachData(v, [&](const pl::Data& d) { twice |= !seen.insert(d).second; });
    return twice;
  }

  // `bytes` (and every property list nested in them) are what libplist writes for what they hold.
  static void expectWrittenAsLibplistWrites(const Bytes& bytes) {
    auto v = pl::parse(bytes);
    ASSERT_TRUE(v) << v.error();
    const Bytes theirs = byLibplist(*v);
    EXPECT_EQ(bytes, theirs) << firstDifference(bytes, theirs);
    forEachData(*v, [](const pl::Data& d) {
      if (pl::detectFormat(d) == pl::Format::Binary) expectWrittenAsLibplistWrites(d);
    });
  }

  static pl::Value sequence(std::size_t n) {
    pl::Array a;
    for (std::size_t i = 0; i < n; ++i) a.emplace_back(static_cast<std::int64_t>(i));
    return pl::Value(std::move(a));
  }
};

TEST_F(BinaryPlistWriter, EdgeValuesMatchLibplistByteForByte) {
  for (std::int64_t n : std::initializer_list<std::int64_t>{0, 1, -1, 14, 15, 127, 128, 255, 256, 65535, 65536,
                                                            (1 << 24) - 1, 1 << 24, std::int64_t{UINT32_MAX},
                                                            std::int64_t{UINT32_MAX} + 1, INT64_MAX, INT64_MIN, -256})
    expectSameAsLibplist(n);
  for (std::uint64_t u : {std::uint64_t{INT64_MAX} + 1, UINT64_MAX - 1, UINT64_MAX})
    expectSameAsLibplist(pl::Value::unsignedInteger(u));
  const double infinity = std::numeric_limits<double>::infinity();
  for (double d : std::initializer_list<double>{0.0, -0.0, 0.5, 0.1, -2.75, 1e300, -1e-300, FLT_MAX, -FLT_MAX, FLT_MIN,
                                                FLT_TRUE_MIN, 1e-45, 3.4028235677973366e38, infinity, -infinity,
                                                DBL_MAX, DBL_TRUE_MIN})
    expectSameAsLibplist(d);
  expectSameAsLibplist(std::numeric_limits<double>::quiet_NaN(), false);
  for (double s : {0.0, -4.75, 502342387.59375, -13197600000.0, 63113904000.0, 1e18}) expectSameAsLibplist(pl::Date{s});
  for (bool b : {true, false}) expectSameAsLibplist(b);
  for (std::uint64_t index : {0ull, 255ull, 256ull, 65535ull, 65536ull, (1ull << 24) - 1, 1ull << 24, 0xFFFFFFFFull})
    expectSameAsLibplist(pl::Uid{index});
  for (const char* s : {"", "a", "fourteen chars", "fifteen chars!!", "bell\x07 and \x7F", "caf\xC3\xA9",
                        "\xE4\xB8\xAD\xE6\x96\x87", "emoji \xF0\x9F\x98\x80 and \xF4\x8F\xBF\xBF", "\xEF\xBF\xBF"})
    expectSameAsLibplist(s);
  expectSameAsLibplist(std::string(300, 'x'));
  expectSameAsLibplist("\xC3\xA9" + std::string(70'000, 'y'));
  for (std::size_t n : {0, 1, 14, 15, 255, 256, 65536}) expectSameAsLibplist(pl::Data(n, 0xA5));
  expectSameAsLibplist(pl::Array{});
  expectSameAsLibplist(pl::Dict{});
  expectSameAsLibplist(pl::Array{pl::Array{}, pl::Dict{}, pl::Array{pl::Array{}}});
  expectSameAsLibplist(pl::Dict{{"", ""}, {"nested", pl::Dict{{"deeper", pl::Array{pl::Dict{{"k", 3.5}}}}}}});
}

// Sharing decides every reference in the file: one object more or less shifts them all.
TEST_F(BinaryPlistWriter, SharesWhatLibplistSharesAndNothingElse) {
  struct Case {
    pl::Value value;
    std::uint64_t objects;
  };
  const Case cases[] = {
      {pl::Array{"x", "x", "y", "x"}, 3},
      {pl::Dict{{"x", "x"}}, 3},                               // a key and an equal string
      {pl::Array{pl::Dict{{"k", 1}}, pl::Dict{{"k", 2}}}, 6},  // keys across dictionaries
      {pl::Array{std::int64_t{1}, true, pl::Uid{1}, 1.0, pl::Date{1.0}, std::int64_t{1}, true, 1.0}, 6},
      {pl::Array{0.0, -0.0, 0.0}, 3},  // equal bits, not equal values
      {pl::Array{std::int64_t{INT64_MIN}, pl::Value::unsignedInteger(1ull << 63), std::int64_t{INT64_MIN}}, 3},
      {pl::Array{pl::Array{}, pl::Array{}, pl::Dict{}, pl::Dict{}}, 5},
      {pl::Array{pl::Data{1}, pl::Data{2}, ""}, 4},
  };
  for (const Case& c : cases) {
    expectSameAsLibplist(c.value);
    EXPECT_EQ(trailerOf(*pl::internal::writeBinaryPlist(c.value)).objects, c.objects) << c.value.describe();
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  expectSameAsLibplist(pl::Array{nan, nan, -nan}, false);
}

// Guards a fault found while testing deep archives: libplist writes 3-byte offsets and
// references for larger files, which the structure check first refused.
TEST_F(BinaryPlistWriter, OffsetAndReferenceWidthsGrowAtLibplistsBoundaries) {
  std::set<int> refWidths, offsetWidths;
  for (std::size_t objects : {15, 16, 255, 256, 257, 65535, 65536, 65537}) {
    const pl::Value v = sequence(objects - 1);
    expectSameAsLibplist(v);
    refWidths.insert(trailerOf(byLibplist(v)).refWidth);
  }
  // One string whose length puts the offset table just below and just past 256 and 65536.
  for (std::size_t length : {243, 244, 245, 246, 65520, 65521, 65522, 65523, 65524}) {
    const pl::Value v = std::string(length, 'o');
    expectSameAsLibplist(v);
    offsetWidths.insert(trailerOf(byLibplist(v)).offsetWidth);
  }
  EXPECT_EQ(refWidths, (std::set<int>{1, 2, 3}));
  EXPECT_EQ(offsetWidths, (std::set<int>{1, 2, 3}));
}

// Varied trees: shared and unshared text, numbers around every width, containers of every size
// class. Data are made distinct (see LeavesToLibplistWhatItCannotMatch).
class RandomPlist {
 public:
  explicit RandomPlist(std::uint64_t seed) : rng_(seed) {}

  pl::Value value(int depth) {
    switch (below(depth >= 4 ? 8 : 10)) {
      case 0:
        return below(2) == 0;
      case 1: {
        const std::uint64_t n = rng_() >> below(64);
        return static_cast<std::int64_t>(below(3) == 0 ? 0 - n : n);
      }
      case 2:
        return below(4) == 0 ? pl::Value::unsignedInteger(rng_() | (1ull << 63)) : pl::Value(smallInteger());
      case 3: {
        const double d = static_cast<double>(smallInteger()) / static_cast<double>(1 + below(8));
        if (below(4) > 0) return d;
        double bits;  // any finite double
        do {
          const std::uint64_t raw = rng_();
          std::memcpy(&bits, &raw, sizeof bits);
        } while (!std::isfinite(bits));
        return bits;
      }
      case 4:
        return pl::Date{static_cast<double>(smallInteger()) * 1000.25};
      case 5:
        return pl::Uid{below(2) ? below(300) : rng_() >> (32 + below(32))};
      case 6:
        return pl::Value(text());
      case 7: {
        pl::Data d(below(40), static_cast<std::uint8_t>(below(256)));
        for (int shift = 0; shift < 32; shift += 8) d.push_back(static_cast<std::uint8_t>(dataSerial_ >> shift));
        ++dataSerial_;
        return d;
      }
      case 8: {
        pl::Array a;
        for (std::uint64_t i = size(); i > 0; --i) a.push_back(value(depth + 1));
        return a;
      }
      default: {
        pl::Dict d;
        for (std::uint64_t i = size(); i > 0; --i) d[text()] = value(depth + 1);
        return d;
      }
    }
  }

 private:
  std::uint64_t below(std::uint64_t n) { return rng_() % n; }
  std::int64_t smallInteger() {
    const std::int64_t edges[] = {0, 1, 14, 15, 255, 256, 65535, 65536, 16777215, 16777216, 4294967295LL, -1, -255};
    return below(2) ? edges[below(std::size(edges))] : static_cast<std::int64_t>(below(1000));
  }
  std::uint64_t size() {
    const std::uint64_t r = below(40);
    return r == 0 ? 14 + below(3) : r == 1 ? 250 + below(10) : below(6);
  }
  std::string text() {
    // clang-format off
    const char* const words[] = {"", "a", "x", "$class", "NS.objects", "SMS 1.caf", "caf\xC3\xA9",
                                 "\xE4\xB8\xAD\xE6\x96\x87", "\xF0\x9F\x98\x80", "fifteen chars!!", "tab\there"};
    // clang-format on
    if (below(3) > 0) return words[below(std::size(words))];
    std::string s;
    for (std::uint64_t i = below(2) ? below(20) : below(300); i > 0; --i) {
      const std::uint64_t pick = below(10);
      if (pick < 7)
        s += static_cast<char>(1 + below(127));
      else if (pick < 9)
        s += "\xC3\xBC";
      else
        s += "\xF0\x9F\x8E\x89";
    }
    return s;
  }

  std::mt19937_64 rng_;
  std::uint32_t dataSerial_ = 0;
};

TEST_F(BinaryPlistWriter, RandomValuesMatchLibplistByteForByte) {
  RandomPlist random(20261207);
  for (int i = 0; i < 3000; ++i) {
    expectSameAsLibplist(random.value(i % 4 == 0 ? 3 : 0));
    if (HasFatalFailure()) return;
  }
}

TEST_F(BinaryPlistWriter, LeavesToLibplistWhatItCannotMatch) {
  const pl::Value refused[] = {
      pl::Value(),
      pl::Array{1, pl::Value()},
      std::string("nul\0inside", 10),
      pl::Dict{{std::string("k\0", 2), 1}},
      "\xC3(",             // a cut sequence
      "\xC0\xAF",          // an overlong slash
      "\xED\xA0\x80",      // a surrogate
      "\xF4\x90\x80\x80",  // past U+10FFFF
      "tail \xE4\xB8",
      pl::Dict{{"\xFF", 1}},
      pl::Date{std::numeric_limits<double>::infinity()},
      pl::Date{std::numeric_limits<double>::quiet_NaN()},
  };
  for (const pl::Value& v : refused) {
    EXPECT_FALSE(pl::internal::writeBinaryPlist(v)) << v.describe();
    auto serialized = pl::serialize(v, pl::Format::Binary);
    ASSERT_FALSE(serialized) << v.describe();
    EXPECT_EQ(serialized.error(), pl::internal::writeWithLibplist(v, pl::Format::Binary).error());
  }
  pl::Value deep = pl::Array{};
  for (std::size_t i = 0; i <= pl::kDepthCeiling; ++i) deep = pl::Array{deep};
  EXPECT_FALSE(pl::internal::writeBinaryPlist(deep));
  EXPECT_FALSE(pl::serialize(deep, pl::Format::Binary));

  // Libplist cuts uids to 32 bits, and shares equal data only when their nodes happen to meet in
  // its hash table: both written as libplist writes them, whatever that is.
  for (const pl::Value& v : {pl::Value(pl::Uid{1ull << 32}), pl::Value(pl::Array{pl::Data{7}, pl::Data{7}}),
                             pl::Value(pl::Dict{{"a", pl::Data{}}, {"b", pl::Array{pl::Data{}}}})}) {
    EXPECT_FALSE(pl::internal::writeBinaryPlist(v)) << v.describe();
    EXPECT_TRUE(pl::serialize(v, pl::Format::Binary)) << v.describe();
  }
}

class BinaryPlistWriterOnDeviceFiles : public BinaryPlistWriter {
 protected:
  void SetUp() override { QV_REQUIRE_DEVICE_FILES(); }

  struct Tally {
    int sameBytes = 0;
    int leftToLibplist = 0;
  };

  // Real files hold equal data (a network's SSID in two places): those are left to libplist and
  // must still read back; every other value is written byte for byte as libplist does.
  static void checkRealValue(const pl::Value& v, Tally& tally) {
    if (holdsEqualData(v)) {
      ++tally.leftToLibplist;
      EXPECT_FALSE(pl::internal::writeBinaryPlist(v));
      auto bytes = pl::serialize(v, pl::Format::Binary);
      ASSERT_TRUE(bytes) << bytes.error();
      auto back = pl::parse(*bytes);
      ASSERT_TRUE(back) << back.error();
      EXPECT_EQ(*back, v);
    } else {
      ++tally.sameBytes;
      expectSameAsLibplist(v);
    }
    for (const pl::Value& nested : nestedPlists(v)) checkRealValue(nested, tally);
  }
};

TEST_F(BinaryPlistWriterOnDeviceFiles, EveryReadableFileIsRewrittenAsLibplistWritesIt) {
  Tally tally;
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(testing::deviceFiles())) {
    if (!entry.is_regular_file()) continue;
    auto v = pl::readFile(entry.path().string());
    if (!v) continue;
    SCOPED_TRACE(entry.path().string());
    ++files;
    checkRealValue(*v, tally);
  }
  EXPECT_GE(files, 17);
  EXPECT_GT(tally.sameBytes, files);  // the push store's six nested archives
}

TEST_F(BinaryPlistWriter, LocalNotificationArchivesAreWhatLibplistWrites) {
  RandomPlist random(7);
  std::vector<std::pair<pl::Dict, pl::LocalNotificationFields>> notifications = {
      {pl::Dict{}, {}},
      {pl::Dict{{"kind", "sms"}, {"id", 42}},
       {"New message", pl::Date{502342387.5}, "Europe/Berlin", "SMS 1.caf", 3, 0}},
      {pl::Dict{{"chat", pl::Dict{{"from", "\xE5\xBC\xA0\xE4\xB8\x89"}, {"at", pl::Date{-4.75}}}}},
       {"caf\xC3\xA9 \xF0\x9F\x98\x80", pl::Date{0}, "America/Los_Angeles", "", -1, 16}},
  };
  for (int i = 0; i < 40; ++i) {
    pl::Dict userInfo;
    for (int k = 0; k < i % 6; ++k) userInfo["key " + std::to_string(k)] = random.value(2);
    notifications.push_back({userInfo, {"body " + std::to_string(i), pl::Date{i * 86400.0}, "UTC", "", i, 0}});
  }
  for (const auto& [userInfo, fields] : notifications) {
    SCOPED_TRACE(pl::Value(userInfo).describe());
    expectWrittenAsLibplistWrites(pl::archiveLocalNotification(userInfo, fields));
    expectWrittenAsLibplistWrites(pl::archive(pl::Value(userInfo)));
  }
}

}  // namespace
}  // namespace qv
