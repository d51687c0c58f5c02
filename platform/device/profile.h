// Device profiles: every iOS release from 7.0 to 10.3 with the CoreFoundation version number it
// reports, iPhone or iPad, with or without a torch and flash unit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace qv::device {

struct Release {
  std::string version;  // "9.3", "10.2.1"
  double coreFoundationVersion;
};

// Every release the profiles know, oldest first.
const std::vector<Release>& knownReleases();
// The release of a version string such as "10.2" or "7.1.2"; an Error lists the known ones.
Result<Release> findRelease(std::string_view version);

enum class Idiom { Phone = 0, Pad = 1 };

struct Profile {
  Release release{"10.3", 1349.56};
  Idiom idiom = Idiom::Phone;
  std::string model = "iPhone";
  bool hasTorch = true;
  bool hasFlash = true;
  bool is64Bit = true;
  std::string language = "en";
  std::string hostIdentifier = "5A1E1C2B-7D4F-4E8A-9B3C-0F6D2E1A4B7C";

  // UIDevice systemVersion read as a float ("10.3.1" reads 10.3).
  float systemVersionFloat() const;
  bool isPad() const { return idiom == Idiom::Pad; }
};

}  // namespace qv::device
