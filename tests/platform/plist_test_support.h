// Helpers shared by the property-list tests: the device-file folder (files are read with
// tests/scratch_folder.h) and builders for hand-made binary property lists with any trailer we
// care to forge.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/plist/value.h"
#include "tests/scratch_folder.h"

namespace qv::pl {
// Readable values in GoogleTest failure messages.
inline void PrintTo(const Value& v, std::ostream* os) { *os << v.describe(); }
}  // namespace qv::pl

namespace qv::testing {

using Bytes = std::vector<std::uint8_t>;

// QV_DEVICE_FILES in the environment, when set, stands in for the folder beside the repository
// (a work tree elsewhere on the machine can still run these tests).
inline std::filesystem::path deviceFiles() {
  const char* elsewhere = std::getenv("QV_DEVICE_FILES");
  return elsewhere && *elsewhere ? std::filesystem::path(elsewhere) : std::filesystem::path(QV_DEVICE_FILES);
}
inline bool haveDeviceFiles() { return std::filesystem::is_directory(deviceFiles()); }
// Whether this run is CI's (CI sets CI), where the device files are laid beside the clone and a
// missing folder is a broken set-up, not a reason to skip.
inline bool runningInCi() {
  const char* ci = std::getenv("CI");
  return ci && *ci && std::string_view(ci) != "0" && std::string_view(ci) != "false";
}
// In a fixture's SetUp: skips without the device files, or fails in CI.
#define QV_REQUIRE_DEVICE_FILES()                                                                                 \
  do {                                                                                                            \
    if (::qv::testing::haveDeviceFiles()) break;                                                                  \
    if (::qv::testing::runningInCi()) FAIL() << "CI: device files not found at " << ::qv::testing::deviceFiles(); \
    GTEST_SKIP() << "device files not found at " << ::qv::testing::deviceFiles();                                 \
  } while (false)
inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline void appendBigEndian(Bytes& out, std::uint64_t v, int width) {
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// An object marker with its count, inline or as a following 8-byte integer.
inline Bytes counted(std::uint8_t kind, std::uint64_t count) {
  if (count < 15) return {static_cast<std::uint8_t>(kind << 4 | count)};
  Bytes b = {static_cast<std::uint8_t>(kind << 4 | 0xF), 0x13};
  appendBigEndian(b, count, 8);
  return b;
}
// Containers whose references take `width` bytes (the plist's refWidth).
inline Bytes arrayOf(const std::vector<std::uint64_t>& refs, int width = 1) {
  Bytes b = counted(0xA, refs.size());
  for (auto r : refs) appendBigEndian(b, r, width);
  return b;
}
inline Bytes dictOf(const std::vector<std::uint64_t>& keys, const std::vector<std::uint64_t>& values) {
  Bytes b = counted(0xD, keys.size());
  for (auto r : keys) appendBigEndian(b, r, 1);
  for (auto r : values) appendBigEndian(b, r, 1);
  return b;
}
inline Bytes ascii(const std::string& s) {
  Bytes b = counted(0x5, s.size());
  b.insert(b.end(), s.begin(), s.end());
  return b;
}

// Objects are raw encoded bytes; forged trailer fields left at zero take the honest value.
struct BinaryPlist {
  std::vector<Bytes> objects;
  int refWidth = 1;
  int offsetWidth = 1;
  std::uint64_t top = 0;
  std::uint64_t forgedObjectCount = 0;
  std::uint64_t forgedTableStart = 0;

  Bytes build() const {
    Bytes out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    for (const Bytes& o : objects) {
      offsets.push_back(out.size());
      out.insert(out.end(), o.begin(), o.end());
    }
    const std::uint64_t tableStart = out.size();
    for (auto off : offsets) appendBigEndian(out, off, offsetWidth);
    out.insert(out.end(), 6, 0);
    out.push_back(static_cast<std::uint8_t>(offsetWidth));
    out.push_back(static_cast<std::uint8_t>(refWidth));
    appendBigEndian(out, forgedObjectCount ? forgedObjectCount : objects.size(), 8);
    appendBigEndian(out, top, 8);
    appendBigEndian(out, forgedTableStart ? forgedTableStart : tableStart, 8);
    return out;
  }
};

// An honest binary property list of these objects, the first being the top.
inline Bytes plistOf(std::vector<Bytes> objects) { return BinaryPlist{std::move(objects)}.build(); }

}  // namespace qv::testing
