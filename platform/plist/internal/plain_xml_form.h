// What the plain XML reader and writer agree on: the form of the property lists our own writer
// makes, which the reader then takes without libplist.
#pragma once

#include <cstddef>
#include <string_view>

namespace qv::pl::internal {

// libplist's prolog, up to the end of the <plist> tag (the writer puts a newline after it).
inline constexpr std::string_view kPlainProlog =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">";
// Deeper documents are left to libplist (and its limits' error messages), both ways.
inline constexpr std::size_t kPlainDepth = 64;

}  // namespace qv::pl::internal
