// Where --html may write its page: checked before anything plays, so that a run is not played
// for nothing and no file but an earlier page is ever written over (a scenario named where the
// page's name belongs, say).
#pragma once

#include <optional>
#include <string>

namespace qv::sim::report {

// Why `path` cannot take the page ("is a directory", "no folder /x to write it in", ...), or
// nothing when it can: a new file in a writable folder, or a writable file that is empty or
// already an HTML page.
std::optional<std::string> whyPageCannotBeWritten(const std::string& path);

}  // namespace qv::sim::report
