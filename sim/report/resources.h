// The report page's own files (sim/report/resources/: the page template, its style sheet and its
// script), compiled into the program so the page needs nothing from outside.
//   std::string_view script = resource("report.js");
#pragma once

#include <string_view>

namespace qv::sim::report {

// The file's bytes; empty for a name that is not one of them.
std::string_view resource(std::string_view fileName);

}  // namespace qv::sim::report
