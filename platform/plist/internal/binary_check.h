// Structural check of a binary property list, done by us before libplist sees the bytes:
// libplist 2.2.0 recurses without bound and copies shared objects once per reference, so a
// deep, cyclic or exponentially shared file would crash it or exhaust memory. Pure, no I/O.
//   if (auto ok = checkBinaryStructure(bytes, limits); !ok) return Error{ok.error()};
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/result.h"

namespace qv::pl::internal {

struct StructureLimits {
  std::size_t maxDepth = 512;     // containers nested inside one another
  std::size_t maxNodes = 1'000'000;  // values after expanding every shared reference
};

// Ok when every object reachable from the top is framed inside the object area, every
// reference is in range, there is no cycle, dictionary keys are strings, strings are valid,
// and nesting and expanded size stay within the limits. Linear in the file size.
Status checkBinaryStructure(std::span<const std::uint8_t> bytes, StructureLimits limits);

}  // namespace qv::pl::internal
