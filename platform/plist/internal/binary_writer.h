// A fast writer of binary property lists ("bplist00"), byte for byte as libplist writes them:
// building libplist's tree and its sharing table costs far more than the bytes. Objects are
// numbered depth first, each dictionary key just before its value; equal strings, equal keys and
// equal numbers, dates, booleans and uids are written once (a key and an equal string are not
// shared), containers never; offsets and references take the fewest of 1, 2, 3, 4 or 8 bytes.
// It gives up, so the caller falls back to libplist, on what libplist refuses (null values, text
// that is not UTF-8 or holds NUL, dates that are not finite, nesting past kDepthCeiling), on uids
// above 32 bits (libplist cuts them) and on two equal data: libplist shares those only when their
// nodes happen to collide in its hash table, which depends on where they sit in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/plist/value.h"

namespace qv::pl::internal {

// The binary property list libplist would write for `v`, or nullopt when this writer leaves it
// to libplist.
std::optional<std::vector<std::uint8_t>> writeBinaryPlist(const Value& v);

}  // namespace qv::pl::internal
