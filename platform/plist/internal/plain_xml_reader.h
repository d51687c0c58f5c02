// A fast reader for the plain XML property lists our own writer makes (the settings file after
// a tool or the settings pane wrote it): libplist reads them slowly (it looks every dictionary
// key up among the keys before it). It reads only a narrow form and gives up on anything else,
// so the caller falls back to libplist, which then decides: what it reads, libplist reads alike.
// The form: libplist's own prolog and layout; dictionaries and arrays; keys and strings of
// printable ASCII without '&', '<' or '>'; decimal integers of at most 18 digits; true and false.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/plist/io.h"

namespace qv::pl::internal {

// The value, or nullopt when the bytes are not of the plain form (or come near `limits`).
std::optional<Value> readPlainXml(std::span<const std::uint8_t> bytes, const ReadLimits& limits);

}  // namespace qv::pl::internal
