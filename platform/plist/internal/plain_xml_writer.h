// A fast writer of plain XML property lists, byte for byte as libplist writes them: building
// libplist's tree costs more than the text (every dictionary key is looked up among the keys
// before it). It writes only the form plain_xml_reader.h reads and gives up on anything else, so
// the caller falls back to libplist: dictionaries or arrays at the root; keys and strings of
// printable ASCII without '&', '<', '>', '"' or '\''; integers of at most 18 digits; booleans.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/plist/value.h"

namespace qv::pl::internal {

// The XML libplist would write for `v`, or nullopt when `v` is not of the plain form.
std::optional<std::vector<std::uint8_t>> writePlainXml(const Value& v);

}  // namespace qv::pl::internal
