// Old-style `.strings` files, the text of a localisation bundle: `"key" = "value";` entries with
// comments and escapes, in UTF-8 (with or without a byte-order mark) or UTF-16 with one.
//   auto table = parseStringsFile(bytes);  if (!table) log(table.error());  // "line 3: ..."
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>

#include "platform/result.h"

namespace qv::l10n {

// Keys and values in UTF-8.
using StringsTable = std::map<std::string, std::string, std::less<>>;

// The message for strings files written as property lists, which this reader leaves to the
// property-list reader.
inline constexpr const char* kPropertyListStringsMessage =
    "property-list strings files are read by the caller";

// True when the bytes are a binary or XML property list rather than old-style text.
bool isPropertyListStrings(std::span<const std::uint8_t> bytes);

// Parses a whole file; later duplicates of a key win. An Error gives the line and what was
// expected there, or kPropertyListStringsMessage for property-list files.
Result<StringsTable> parseStringsFile(std::span<const std::uint8_t> bytes);

// Reads and parses a file; an Error starts with the path.
Result<StringsTable> readStringsFile(const std::string& path);

}  // namespace qv::l10n
