#include "sim/report/matrix.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <thread>

#include "sim/event_facts.h"
#include "sim/json_text.h"
#include "sim/player.h"
#include "sim/report/html_report.h"
#include "sim/report/report_data.h"
#include "sim/settings_check.h"
#include "sim/summary.h"

namespace qv::sim::report {
namespace {

// The letters a cell gives the effects, in the bits' order.
constexpr std::pair<std::uint32_t, char> kEffectLetters[] = {{kSound, 'S'}, {kVibration, 'V'}, {kTorch, 'T'},
                                                            {kFlash, 'F'}, {kBanner, 'B'}, {kWake, 'W'},
                                                            {kRepost, 'R'}};
constexpr const char* kEffectNames[] = {"sound", "vibration", "torch", "flash", "banner", "wake", "repost"};
constexpr const char* kLegend =
    "alerts: S sound, V vibration, T torch, F screen flash, B banner, W screen wake, R re-posted to the lock screen";

double coreFoundation(const MatrixTarget& t) { return t.release.coreFoundationVersion; }

// The differences between releases and devices that change what reminders do, most specific first.
struct KnownDifference {
  const char* what;
  bool (*applies)(const MatrixTarget&);
  const char* column = "";  // the reminders it concerns: ids that start so ("" for all)
};
constexpr KnownDifference kDifferences[] = {
    {"settings not read, defaults used",
     [](const MatrixTarget& t) { return !releaseReadsSettings(t.release.version); }},
    {"call state ignored, reminder bulletins added straight to the lock screen",
     [](const MatrixTarget& t) { return coreFoundation(t) >= 1348.0 && coreFoundation(t) <= 1348.22; }},
    {"the call-state hook restarts the call reminder after the missed call's notification started it "
     "(10.0-10.2 ignore the call state)",
     [](const MatrixTarget& t) { return coreFoundation(t) > 1348.22; }},
    {"a listed app flashes the screen instead of the torch", [](const MatrixTarget& t) { return t.idiom == device::Idiom::Pad; },
     "listed:"},
    {"a listed app blinks the torch where an iPad flashes the screen",
     [](const MatrixTarget& t) { return t.idiom == device::Idiom::Phone; }, "listed:"},
    {"calls are FaceTime's section", [](const MatrixTarget& t) { return t.idiom == device::Idiom::Pad; }, "call"},
    {"the iPhone's calls are the Phone app's section", [](const MatrixTarget& t) { return t.idiom == device::Idiom::Phone; },
     "call"},
    {"notifications go through the iOS 10 request rules", [](const MatrixTarget& t) { return coreFoundation(t) >= 1348.0; }},
    {"notifications go through the publish rules of iOS 7 to 9",
     [](const MatrixTarget& t) { return coreFoundation(t) < 1348.0; }},
};

std::string deviceName(device::Idiom idiom) { return idiom == device::Idiom::Pad ? "iPad" : "iPhone"; }

struct Played {
  std::vector<std::pair<std::string, std::string>> reminders;  // id, name; in first-start order
  std::map<std::string, MatrixCell> cells;
  std::string error;
};

Played playOne(Scenario s, const MatrixTarget& target) {
  Played out;
  s.world.release = target.release.version;
  s.world.coreFoundationVersion.reset();
  s.world.idiom = target.idiom;
  try {
    World world(worldConfigFor(s));
    Player player(world, s);
    EventFacts facts(world.timeline());
    Summary summary([&world](std::string_view id) { return world.home().displayName(id); });
    std::map<std::string, std::uint32_t> effects;
    // The listener goes before what it feeds does.
    struct Unlisten {
      World& world;
      ~Unlisten() { world.timeline().clearListeners(); }
    } unlisten{world};
    world.timeline().addListener(
        [&](const timeline::Event& e) {
          facts.observe(e);
          summary.observe(e, facts);
          if (const std::uint32_t bit = effectOf(e.kind))
            if (const std::string category = facts.category(e); !category.empty()) effects[category] |= bit;
        },
        false);
    player.schedule();
    player.runUntil(player.end());
    for (const Summary::Reminder& r : summary.reminders()) {
      out.reminders.emplace_back(r.category, r.appName.value_or(r.subject));
      MatrixCell& cell = out.cells[r.category];
      cell.started = !r.runs.empty();
      cell.runs = static_cast<int>(r.runs.size());
      for (const Summary::Run& run : r.runs) cell.alerts += run.alerts;
      cell.effects = effects[r.category];
      cell.ended = r.runs.empty() || !r.runs.back().ended ? "running" : r.runs.back().ended->reason;
    }
  } catch (const std::exception& e) {
    out.error = e.what();
  }
  return out;
}

// "iOS 7.x", "iOS 10.0-10.2.1", "iOS 9.3", with the device when the rows hold only one.
std::string groupLabel(const std::vector<const MatrixRow*>& rows) {
  const std::vector<device::Release>& known = device::knownReleases();
  auto position = [&](const MatrixRow* r) {
    return std::find_if(known.begin(), known.end(), [&](const device::Release& k) { return k.version == r->target.release.version; }) -
           known.begin();
  };
  std::vector<long> positions;
  bool phone = false, pad = false;
  for (const MatrixRow* r : rows) {
    positions.push_back(position(r));
    (r->target.idiom == device::Idiom::Pad ? pad : phone) = true;
  }
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  const std::string first = known[positions.front()].version, last = known[positions.back()].version;
  const std::string major = first.substr(0, first.find('.'));
  const bool wholeMajor = std::all_of(known.begin(), known.end(), [&](const device::Release& k) {
    const bool sameMajor = k.version.substr(0, k.version.find('.')) == major;
    const bool in = std::binary_search(positions.begin(), positions.end(), &k - known.data());
    return sameMajor == in;
  });
  std::string label = "iOS " + major + ".x";
  if (!wholeMajor && positions.back() - positions.front() + 1 == static_cast<long>(positions.size()))
    label = first == last ? "iOS " + first : "iOS " + first + "\u2013" + last;
  else if (!wholeMajor) {
    label = "iOS ";
    for (std::size_t i = 0; i < positions.size(); ++i) label += (i ? ", " : "") + known[positions[i]].version;
  }
  if (phone != pad) label += phone ? " iPhone" : " iPad";
  return label;
}

// The known difference that holds for every one of `rows` and for none of `majority`, if any.
const KnownDifference* knownDifference(const Matrix& m, std::size_t c, const std::vector<const MatrixRow*>& rows,
                                       const std::vector<const MatrixRow*>& majority) {
  for (const KnownDifference& d : kDifferences) {
    if (m.columns[c].rfind(d.column, 0) != 0) continue;
    const bool all = std::all_of(rows.begin(), rows.end(), [&](const MatrixRow* r) { return d.applies(r->target); });
    const bool none =
        std::none_of(majority.begin(), majority.end(), [&](const MatrixRow* r) { return d.applies(r->target); });
    if (all && none) return &d;
  }
  return nullptr;
}

// Whether, with `common` as the column's common cell, every other cell has a known difference.
bool explainedBy(const Matrix& m, std::size_t c, const std::string& common) {
  std::vector<const MatrixRow*> majority;
  std::map<std::string, std::vector<const MatrixRow*>> groups;
  for (const MatrixRow& row : m.rows)
    if (row.error.empty()) (row.cells[c].text() == common ? majority : groups[row.cells[c].text()]).push_back(&row);
  return std::all_of(groups.begin(), groups.end(),
                     [&](const auto& g) { return knownDifference(m, c, g.second, majority) != nullptr; });
}

void markAndExplain(Matrix& m) {
  for (std::size_t c = 0; c < m.columns.size(); ++c) {
    std::map<std::string, int> counts;
    std::vector<std::string> order;
    for (const MatrixRow& row : m.rows)
      if (row.error.empty() && counts[row.cells[c].text()]++ == 0) order.push_back(row.cells[c].text());
    // On a tie the cell whose others a known difference explains is the common one; else the
    // earliest release's (rows run from the oldest), so the later releases, which changed, are marked.
    std::string majority;
    int best = 0;
    for (const std::string& t : order)
      if (counts[t] > best || (counts[t] == best && !explainedBy(m, c, majority) && explainedBy(m, c, t)))
        best = counts[t], majority = t;
    for (MatrixRow& row : m.rows)
      if (row.error.empty()) row.cells[c].differs = row.cells[c].text() != majority;
  }
  // In each column, the rows whose cell differs the same way form a group; each group gets the
  // most specific known difference that holds for all of its rows and for none of the rows that
  // hold the column's majority. Groups with the same rows and reason share one line.
  struct Line {
    std::vector<const MatrixRow*> rows;
    std::string reason;
    std::vector<std::string> columns;
  };
  std::vector<Line> lines;
  for (std::size_t c = 0; c < m.columns.size(); ++c) {
    std::vector<std::string> order;
    std::map<std::string, std::vector<const MatrixRow*>> groups;
    std::vector<const MatrixRow*> majority;
    for (const MatrixRow& row : m.rows) {
      if (!row.error.empty()) continue;
      if (!row.cells[c].differs) {
        majority.push_back(&row);
        continue;
      }
      if (groups[row.cells[c].text()].empty()) order.push_back(row.cells[c].text());
      groups[row.cells[c].text()].push_back(&row);
    }
    for (const std::string& text : order) {
      const std::vector<const MatrixRow*>& rows = groups[text];
      const KnownDifference* known = knownDifference(m, c, rows, majority);
      const std::string reason =
          known ? known->what : "differs from the others (quorvel-sim --explain with its release tells why)";
      auto same = std::find_if(lines.begin(), lines.end(), [&](const Line& l) { return l.rows == rows && l.reason == reason; });
      if (same == lines.end())
        lines.push_back({rows, reason, {m.columnNames[c]}});
      else if (std::find(same->columns.begin(), same->columns.end(), m.columnNames[c]) == same->columns.end())
        same->columns.push_back(m.columnNames[c]);
    }
  }
  for (const Line& line : lines) {
    std::string columns;
    for (std::size_t i = 0; i < line.columns.size(); ++i)
      columns += (i == 0 ? "" : i + 1 == line.columns.size() ? " and " : ", ") + line.columns[i];
    m.reasons.push_back(groupLabel(line.rows) + " (" + columns + "): " + line.reason);
  }
}

std::string padded(const std::string& s, std::size_t width) {
  // Width in characters, not bytes: count UTF-8 lead bytes.
  std::size_t chars = 0;
  for (unsigned char c : s) chars += (c & 0xC0) != 0x80;
  return s + std::string(width > chars ? width - chars : 0, ' ');
}

}  // namespace

std::string MatrixTarget::label() const { return "iOS " + release.version + " " + deviceName(idiom); }

std::string MatrixCell::text() const {
  if (!started) return "-";
  std::string out = std::to_string(alerts) + (alerts == 1 ? " alert" : " alerts");
  if (effects) {
    out += ' ';
    for (const auto& [bit, letter] : kEffectLetters)
      if (effects & bit) out += letter;
  }
  if (runs > 1) out += ", " + std::to_string(runs) + " starts";
  return out + ", " + ended;
}

Result<std::vector<MatrixTarget>> matrixTargets(const std::string& ios, const std::string& devices) {
  const std::vector<device::Release>& known = device::knownReleases();
  std::vector<bool> wanted(known.size(), ios.empty());
  auto indexOf = [&](const std::string& v) -> long {
    for (std::size_t i = 0; i < known.size(); ++i)
      if (known[i].version == v) return static_cast<long>(i);
    return -1;
  };
  std::string list;
  for (const device::Release& r : known) list += (list.empty() ? "" : ", ") + r.version;
  std::size_t at = 0;
  while (at < ios.size()) {
    std::size_t comma = ios.find(',', at);
    if (comma == std::string::npos) comma = ios.size();
    const std::string part = ios.substr(at, comma - at);
    at = comma + 1;
    const std::size_t dash = part.find('-');
    bool found = false;
    if (dash != std::string::npos) {
      const long from = indexOf(part.substr(0, dash)), to = indexOf(part.substr(dash + 1));
      if (from >= 0 && to >= 0 && to < from)
        return Error{"--ios: \"" + part + "\" runs backwards: write the earlier release first (\"" +
                     part.substr(dash + 1) + "-" + part.substr(0, dash) + "\")"};
      if (from >= 0 && to >= from) {
        for (long i = from; i <= to; ++i) wanted[i] = true;
        found = true;
      }
    } else {
      for (std::size_t i = 0; i < known.size(); ++i)
        if (known[i].version == part || known[i].version.substr(0, known[i].version.find('.')) == part)
          wanted[i] = found = true;
    }
    if (!found)
      return Error{"--ios: \"" + part + "\" names no known release (a release, a major such as 9, or a range such as 9.0-10.1; known: " + list + ")"};
  }
  bool phone = devices.empty(), pad = devices.empty();
  at = 0;
  while (at < devices.size()) {
    std::size_t comma = devices.find(',', at);
    if (comma == std::string::npos) comma = devices.size();
    std::string part = devices.substr(at, comma - at);
    at = comma + 1;
    std::transform(part.begin(), part.end(), part.begin(), [](unsigned char c) { return std::tolower(c); });
    if (part == "iphone")
      phone = true;
    else if (part == "ipad")
      pad = true;
    else
      return Error{"--device: \"" + part + "\" is no device (iPhone or iPad)"};
  }
  std::vector<MatrixTarget> out;
  for (std::size_t i = 0; i < known.size(); ++i) {
    if (!wanted[i]) continue;
    if (phone) out.push_back({known[i], device::Idiom::Phone});
    if (pad) out.push_back({known[i], device::Idiom::Pad});
  }
  return out;
}

Matrix playMatrix(const Scenario& scenario, const std::vector<MatrixTarget>& targets, unsigned threads) {
  std::vector<Played> played(targets.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < targets.size(); i = next++) played[i] = playOne(scenario, targets[i]);
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < std::max(1u, threads); ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();

  Matrix m;
  m.scenario = scenario.name.empty() ? scenario.sourceFile : scenario.name;
  for (const Played& p : played)
    for (const auto& [id, name] : p.reminders)
      if (std::find(m.columns.begin(), m.columns.end(), id) == m.columns.end()) {
        m.columns.push_back(id);
        m.columnNames.push_back(name);
      }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    MatrixRow row{targets[i], {}, played[i].error};
    for (const std::string& id : m.columns) {
      auto it = played[i].cells.find(id);
      row.cells.push_back(it == played[i].cells.end() ? MatrixCell{} : it->second);
    }
    m.rows.push_back(std::move(row));
  }
  markAndExplain(m);
  return m;
}

std::string matrixText(const Matrix& m) {
  std::vector<std::string> header{"release", "device"};
  for (const std::string& name : m.columnNames) header.push_back(name);
  std::vector<std::vector<std::string>> lines{header};
  for (const MatrixRow& row : m.rows) {
    std::vector<std::string> line{"iOS " + row.target.release.version, deviceName(row.target.idiom)};
    if (!row.error.empty()) line.push_back("could not run: " + row.error);
    for (const MatrixCell& c : row.cells)
      if (row.error.empty()) line.push_back((c.differs ? "*" : " ") + c.text());
    lines.push_back(std::move(line));
  }
  std::vector<std::size_t> widths;
  for (const auto& line : lines)
    for (std::size_t i = 0; i < line.size(); ++i) {
      std::size_t chars = 0;
      for (unsigned char c : line[i]) chars += (c & 0xC0) != 0x80;
      if (widths.size() <= i) widths.push_back(0);
      widths[i] = std::max(widths[i], chars);
    }
  std::string out = m.scenario + "\n\n";
  for (const auto& line : lines) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) text += padded(line[i], widths[i]) + (i + 1 < line.size() ? "  " : "");
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  if (m.columns.empty()) out += "(no reminder started on any of them)\n";
  out += "\n" + std::string(kLegend) + "; * differs from the most common cell of its column\n";
  for (const std::string& r : m.reasons) out += r + "\n";
  return out;
}

std::string matrixJson(const Matrix& m) {
  JsonText j;
  j.open();
  j.key("kind").string("matrix");
  j.key("scenario").string(m.scenario);
  j.key("reminders").openList();
  for (std::size_t c = 0; c < m.columns.size(); ++c)
    j.open().key("category").string(m.columns[c]).key("name").string(m.columnNames[c]).close();
  j.closeList();
  j.key("rows").openList();
  for (const MatrixRow& row : m.rows) {
    j.open();
    j.key("ios").string(row.target.release.version);
    j.key("device").string(deviceName(row.target.idiom));
    if (!row.error.empty()) j.key("error").string(row.error);
    j.key("cells").openList();
    for (const MatrixCell& c : row.cells) {
      j.open();
      j.key("started").flag(c.started);
      j.key("runs").integer(c.runs);
      j.key("alerts").integer(c.alerts);
      j.key("effects").openList();
      for (std::size_t b = 0; b < std::size(kEffectLetters); ++b)
        if (c.effects & kEffectLetters[b].first) j.string(kEffectNames[b]);
      j.closeList();
      if (c.started) j.key("ended").string(c.ended);
      j.key("text").string(c.text());
      j.key("differs").flag(c.differs);
      j.close();
    }
    j.closeList();
    j.close();
  }
  j.closeList();
  j.key("reasons").strings(m.reasons);
  j.close().endLine();
  return j.text();
}

std::string matrixHtml(const Matrix& m) {
  std::string out = "<table class=\"matrix\" id=\"matrix\"><caption>The scenario on every release and device</caption>\n<thead><tr><th>Release</th><th>Device</th>";
  for (const std::string& name : m.columnNames) out += "<th>" + escapeHtml(name) + "</th>";
  out += "</tr></thead>\n<tbody>\n";
  for (const MatrixRow& row : m.rows) {
    out += "<tr><th scope=\"row\">iOS " + escapeHtml(row.target.release.version) + "</th><td>" +
           deviceName(row.target.idiom) + "</td>";
    if (!row.error.empty())
      out += "<td colspan=\"" + std::to_string(std::max<std::size_t>(1, m.columns.size())) + "\">could not run: " +
             escapeHtml(row.error) + "</td>";
    else
      for (const MatrixCell& c : row.cells)
        out += std::string(c.differs ? "<td class=\"differs\" title=\"differs from most releases\">" : "<td>") +
               escapeHtml(c.text()) + "</td>";
    out += "</tr>\n";
  }
  out += "</tbody></table>\n<p class=\"counts\">" + escapeHtml(kLegend) +
         "; &ne; marks a cell that differs from the most common one of its column.</p>\n<ul class=\"reasons\">\n";
  for (const std::string& r : m.reasons) out += "<li>" + escapeHtml(r) + "</li>\n";
  return out + "</ul>\n";
}

}  // namespace qv::sim::report
