#include "sim/report/html_report.h"

#include "sim/report/resources.h"

namespace qv::sim::report {
namespace {

std::string cell(std::string_view text, const char* tag = "td") {
  return std::string("<") + tag + ">" + escapeHtml(text) + "</" + tag + ">";
}

std::string endingText(const Summary::Ending& e, const LocalClock& clock, const TimeForm& form) {
  std::string out = (e.how.empty() ? e.reason : e.how) + " at " + summaryTime(clock, e.time, form);
  if (!e.why.empty()) out += ": " + e.why;
  if (e.alert != 0) out += " (alert " + std::to_string(e.alert) + ")";
  return out;
}

}  // namespace

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string scriptSafe(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  for (char c : json) {
    if (c == '<')
      out += "\\u003c";
    else
      out += c;
  }
  return out;
}

std::string summaryTable(const Summary& summary, const LocalClock& clock, const TimeForm& form) {
  std::string out = "<table class=\"summary\"><caption>Summary</caption>\n<thead><tr>";
  for (const char* h : {"Reminder", "Started", "How", "Alerts", "First", "Last", "Ended", "Icon cleared"})
    out += cell(h, "th");
  out += "</tr></thead>\n<tbody>\n";
  if (summary.reminders().empty()) out += "<tr><td colspan=\"8\">no reminder was started</td></tr>\n";
  for (const Summary::Reminder& r : summary.reminders()) {
    const std::string name = r.appName ? *r.appName + " (listed app)" : r.subject;
    for (std::size_t i = 0; i < r.runs.size(); ++i) {
      const Summary::Run& run = r.runs[i];
      out += "<tr>";
      out += i == 0 ? "<th scope=\"row\" rowspan=\"" + std::to_string(r.runs.size()) + "\">" + escapeHtml(name) + "</th>"
                    : "";
      out += cell(summaryTime(clock, run.started, form));
      out += cell((run.restart ? "restarted" : "new") + (run.cause ? ": " + run.cause->text : std::string()));
      out += cell(std::to_string(run.alerts));
      out += cell(run.alerts ? summaryTime(clock, run.first, form) : "");
      out += cell(run.alerts ? summaryTime(clock, run.last, form) : "");
      out += cell(run.ended ? endingText(*run.ended, clock, form) : "still running at the end");
      out += cell(run.iconCleared ? endingText(*run.iconCleared, clock, form) : "");
      out += "</tr>\n";
    }
  }
  out += "</tbody></table>\n<p class=\"counts\">";
  out += "sounds " + std::to_string(summary.count(timeline::Kind::Sound)) + ", vibrations " +
         std::to_string(summary.count(timeline::Kind::Vibration)) + ", torch blinks " +
         std::to_string(summary.torchBlinks()) + ", reminder banners " + std::to_string(summary.reminderBanners()) +
         ", re-posted to the lock screen " + std::to_string(summary.lockScreenReposts());
  out += "</p>\n";
  return out;
}

std::string renderPage(const Page& page) {
  const std::string_view templ = resource("report.html");
  std::string heading;
  for (std::size_t i = 0; i < page.heading.size(); ++i)
    heading += (i == 0 ? "<h1>" : "<p>") + escapeHtml(page.heading[i]) + (i == 0 ? "</h1>" : "</p>") + "\n";
  auto value = [&](std::string_view name) -> std::string {
    if (name == "TITLE") return escapeHtml(page.heading.empty() ? "quorvel-sim report" : page.heading.front());
    if (name == "STYLE") return std::string(resource("report.css"));
    if (name == "HEADING") return heading;
    if (name == "SUMMARY") return page.summaryHtml;
    if (name == "MATRIX") return page.matrixHtml;
    if (name == "DATA") return page.data.empty() ? "null" : scriptSafe(page.data);
    if (name == "SCRIPT") return std::string(resource("report.js"));
    return "{{" + std::string(name) + "}}";
  };
  std::string out;
  out.reserve(templ.size() + page.data.size() + 65536);
  std::size_t at = 0;
  while (true) {
    const std::size_t open = templ.find("{{", at);
    if (open == std::string_view::npos) break;
    const std::size_t close = templ.find("}}", open);
    if (close == std::string_view::npos) break;
    out += templ.substr(at, open - at);
    out += value(templ.substr(open + 2, close - open - 2));
    at = close + 2;
  }
  out += templ.substr(at);
  return out;
}

}  // namespace qv::sim::report
