#include "platform/device/profile.h"

#include <cstdlib>

namespace qv::device {

const std::vector<Release>& knownReleases() {
  static const std::vector<Release> releases = {
      {"7.0", 847.20},    {"7.0.3", 847.21},  {"7.0.4", 847.23},  {"7.1", 847.24},
      {"7.1.1", 847.26},  {"7.1.2", 847.27},  {"8.0", 1140.10},   {"8.1", 1141.14},
      {"8.2", 1142.16},   {"8.3", 1144.17},   {"8.4", 1145.15},   {"9.0", 1240.10},
      {"9.1", 1241.11},   {"9.2", 1242.13},   {"9.3", 1280.30},   {"10.0", 1348.00},
      {"10.1", 1348.00},  {"10.2", 1348.22},  {"10.2.1", 1348.22}, {"10.3", 1349.56},
  };
  return releases;
}

Result<Release> findRelease(std::string_view version) {
  for (const Release& r : knownReleases())
    if (r.version == version) return r;
  std::string known;
  for (const Release& r : knownReleases()) known += (known.empty() ? "" : ", ") + r.version;
  return Error{"unknown iOS release \"" + std::string(version) + "\" (known: " + known + ")"};
}

float Profile::systemVersionFloat() const {
  // floatValue of an NSString reads the leading number: "10.3.1" gives 10.3.
  return std::strtof(release.version.c_str(), nullptr);
}

}  // namespace qv::device
