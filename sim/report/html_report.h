// The HTML report as one self-contained page: the header of the text story, the summary table,
// the matrix table when there is one, and the timeline and phone panel the page's script draws
// from the embedded report data (sim/report/report_data.h). Nothing is fetched from outside:
// style and script are inline (sim/report/resources/). Byte-identical for equal input.
//   std::string html = renderPage({heading, summaryTable(summary, clock), "", data.json(summary, stop)});
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/output.h"
#include "sim/summary.h"

namespace qv::sim::report {

struct Page {
  std::vector<std::string> heading;  // the story's header lines (sim/heading.h)
  std::string summaryHtml;           // summaryTable()
  std::string matrixHtml;            // a matrix's table (sim/report/matrix.h), or empty
  std::string data;                  // ReportData::json(), or empty for a page of tables only
};

// The whole document.
std::string renderPage(const Page& page);
// Every reminder's runs as an HTML table, with what all reminders did together below it.
std::string summaryTable(const Summary& summary, const LocalClock& clock, const TimeForm& form = {});
// Text made safe for HTML text and attribute values.
std::string escapeHtml(std::string_view text);
// A JSON text made safe inside a <script> element ("<" written as \u003c).
std::string scriptSafe(std::string_view json);

}  // namespace qv::sim::report
