// Reading and writing property lists (XML and binary) as pl::Value, and atomic file writes.
// Any bytes at all may be handed to parse(): malformed, truncated, cyclic, deeply nested or
// exponentially shared input becomes an Error, never a crash, hang or runaway allocation.
// Functions are thread-safe. Example:
//   auto prefs = pl::readFile(path);  if (!prefs && !pl::isMissingFile(prefs.error())) warn(...);
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/plist/value.h"
#include "platform/result.h"

namespace qv::pl {

enum class Format { Xml, Binary };

// Deeper limits are lowered to this: values, our writers and libplist's trees recurse, and
// this depth still leaves room on an 8 MiB stack under AddressSanitizer's larger frames.
inline constexpr std::size_t kDepthCeiling = 1024;

struct ReadLimits {
  std::size_t maxDepth = 512;           // arrays and dictionaries nested inside one another
  std::size_t maxNodes = 1'000'000;     // values, counting a shared object once per reference
  std::size_t maxBytes = 64u << 20;     // larger inputs and files are refused unread
};

// Binary when the bytes start with "bplist00", XML when the first non-blank is '<'.
std::optional<Format> detectFormat(std::span<const std::uint8_t> bytes);

// The value held by a complete XML or binary property list, or why it is not one.
// Dates keep microsecond precision; integers above INT64_MAX keep their unsignedness.
// Strings holding NUL are refused, since libplist would cut them short (or abort, for keys).
Result<Value> parse(std::span<const std::uint8_t> bytes, ReadLimits limits = {});

// The keys that the top dictionary of a property list parse() reads gives more than once, each
// once, in the order written; parse() keeps the last value of each. Empty for any other input.
std::vector<std::string> repeatedTopKeys(std::span<const std::uint8_t> bytes);

// The property list for `v`. Fails for null values, for uids in XML, for strings that are not
// valid UTF-8 or hold NUL (XML also refuses other control characters) and for dates XML
// cannot spell.
Result<std::vector<std::uint8_t>> serialize(const Value& v, Format format);

// The property list in the file at `path`; errors name the path. A file that does not exist
// gives an error for which isMissingFile() is true.
Result<Value> readFile(const std::string& path, ReadLimits limits = {});

// True when readFile failed only because there is no file (as opposed to a corrupt one).
bool isMissingFile(const std::string& errorMessage);
bool isMissingFile(const Error& error);

// Replaces `path` with `v` through a temporary file in the same directory and a rename, so a
// reader sees the old or the new file, never a mix. On failure the old file is untouched and
// the temporary file is gone. Creates no directories.
Status writeFileAtomic(const std::string& path, const Value& v, Format format);

}  // namespace qv::pl
