// The only doorway to libplist: its trees converted to and from pl::Value. Callers check the
// bytes first (binary_check.h, xml_scan.h), since libplist itself recurses without bound.
// Conversion is iterative; a tree that still turns out too deep is torn down in slices.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/plist/io.h"

namespace qv::pl::internal {

// The value libplist reads from checked bytes, held to the depth and node limits again.
Result<Value> readWithLibplist(std::span<const std::uint8_t> bytes, Format format, const ReadLimits& limits);

// The keys of the top dictionary of a checked binary property list in the order written, a key
// given twice twice (the value read keeps only the last); empty when the top is no dictionary.
std::vector<std::string> binaryTopDictionaryKeys(std::span<const std::uint8_t> bytes);

// The bytes libplist writes for `v`; refuses what the format cannot carry (see io.h).
Result<std::vector<std::uint8_t>> writeWithLibplist(const Value& v, Format format);

}  // namespace qv::pl::internal
