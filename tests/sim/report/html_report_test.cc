// The HTML report checked against the JSON output of the same run and against the world itself:
// every reminder its lane, every alert its mark with what it did, a mark per action and
// notification, the bands, and the phone panel's state at chosen instants.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "sim/player.h"
#include "sim/report/html_report.h"
#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

using nlohmann::json;

struct Report {
  std::string html;
  json data;
  std::vector<json> events;  // the same run's --json lines (summary last)

  std::string text(const json& index) const { return index.get<int>() < 0 ? "" : data["strings"][index.get<int>()].get<std::string>(); }
};

// The page's embedded data, as the page's script reads it.
json embeddedData(const std::string& html) {
  const std::string open = "<script type=\"application/json\" id=\"qv-data\">";
  const std::size_t from = html.find(open);
  const std::size_t to = html.find("</script>", from);
  if (from == std::string::npos || to == std::string::npos) return json();
  return json::parse(html.substr(from + open.size(), to - from - open.size()));
}

Report reportOf(const std::string& scenario, std::vector<std::string> extra = {}) {
  Report r;
  const ScratchFolder scratch("qv-report");
  std::vector<std::string> args = extra;
  args.insert(args.end(), {"--html", scratch / "report.html", scenario});
  CommandRun run = runQuorvelSim(args);
  EXPECT_EQ(run.status, 0) << run.err;
  r.html = scratch.read("report.html");
  r.data = embeddedData(r.html);
  std::vector<std::string> jsonArgs = extra;
  jsonArgs.insert(jsonArgs.end(), {"--json", scenario});
  std::istringstream lines(runQuorvelSim(jsonArgs).out);
  for (std::string line; std::getline(lines, line);) r.events.push_back(json::parse(line));
  return r;
}

// The effect bits the report gives an alert, from the JSON events of that alert.
std::uint32_t effectsFromEvents(const std::vector<json>& events, const std::string& category, int alert) {
  static const std::map<std::string, std::uint32_t> kBits = {
      {"sound", 1}, {"vibration", 2}, {"torch-on", 4}, {"screen-flash", 8},
      {"banner", 16}, {"screen-wake", 32}, {"lock-screen-bulletin", 64}};
  std::uint32_t bits = 0;
  for (const json& e : events)
    if (e.value("category", "") == category && e.value("alert", 0) == alert && kBits.count(e["kind"]))
      bits |= kBits.at(e["kind"]);
  return bits;
}

std::vector<std::pair<long long, long long>> bandsOf(const Report& r, const char* key) {
  std::vector<std::pair<long long, long long>> out;
  for (const json& b : r.data["bands"][key]) out.emplace_back(b[0], b[1]);
  return out;
}

// The bands from the same events: on at one event, off at the next that turns it off.
std::vector<std::pair<long long, long long>> bandsFromEvents(const Report& r, const char* kind, const char* field,
                                                             bool onAtStart) {
  std::vector<std::pair<long long, long long>> out;
  long long since = onAtStart ? 0 : -1;  // -1: off
  for (const json& e : r.events) {
    if (e["kind"] != kind) continue;
    const bool on = e[field];
    if (on && since < 0) since = e["offset_ms"].get<long long>();
    if (!on && since >= 0) {
      out.emplace_back(since, e["offset_ms"].get<long long>());
      since = -1;
    }
  }
  if (since >= 0) out.emplace_back(since, r.data["end"].get<long long>());
  return out;
}

class HtmlReportLanes : public ::testing::TestWithParam<const char*> {};

TEST_P(HtmlReportLanes, EveryReminderHasItsLaneEveryAlertActionAndNotificationItsMarkAndBandsFollowEvents) {
  const Report r = reportOf(sourcePath(std::string("examples/") + GetParam()));
  ASSERT_TRUE(r.data.is_object());
  const json& summary = r.events.back();
  ASSERT_EQ(summary["kind"], "summary");
  ASSERT_EQ(r.data["lanes"].size(), summary["reminders"].size());
  for (std::size_t i = 0; i < summary["reminders"].size(); ++i) {
    const json& reminder = summary["reminders"][i];
    const json& lane = r.data["lanes"][i];
    EXPECT_EQ(lane["id"], reminder["category"]);
    EXPECT_EQ(lane["name"], reminder["name"]);
    EXPECT_EQ(lane["runs"].size(), reminder["runs"].size()) << lane["id"];
    std::vector<int> fired;
    for (const json& e : r.events)
      if (e["kind"] == "reminder-fired" && e["category"] == reminder["category"]) fired.push_back(e["offset_ms"]);
    ASSERT_EQ(lane["alerts"].size(), fired.size()) << lane["id"];
    for (std::size_t a = 0; a < fired.size(); ++a) {
      const json& mark = lane["alerts"][a];
      EXPECT_EQ(mark[0], fired[a]);
      EXPECT_EQ(mark[2], effectsFromEvents(r.events, lane["id"], mark[1])) << lane["id"] << " alert " << mark[1];
    }
  }
  // A mark for every action and for every notification the home screen took in.
  std::set<int> actions;
  std::size_t notifications = 0;
  for (const json& e : r.events) {
    if (e["kind"] == "action") actions.insert(e["action"].get<int>());
    if (e["kind"] == "notification-posted" && !e.contains("category")) ++notifications;
  }
  EXPECT_EQ(r.data["actions"].size(), actions.size());
  EXPECT_EQ(r.data["notifications"].size(), notifications);
  EXPECT_EQ(bandsOf(r, "locked"), bandsFromEvents(r, "lock-state", "locked", r.data["panel"]["start"]["locked"]));
  EXPECT_EQ(bandsOf(r, "quiet"), bandsFromEvents(r, "do-not-disturb", "on", r.data["panel"]["start"]["dnd"]));
}

INSTANTIATE_TEST_SUITE_P(Examples, HtmlReportLanes,
                         ::testing::Values("ios9-sms.json", "ios10-call.json", "ipad-listed-app.json",
                                           "quiet-hours.json", "do-not-disturb.json", "auto-lock-repost.json",
                                           "repeat-limits.json", "ios7-defaults.json", "settings-change.json"));

// The panel's state, folded from the page's list of changes as the page's script folds it.
struct PanelState {
  bool locked = false;
  std::vector<std::string> icons;  // sorted
  std::optional<std::string> bannerMessage;
  std::vector<std::string> list;  // lock-screen ids, top first
};

PanelState panelAt(const Report& r, long long ms) {
  PanelState s;
  const json& start = r.data["panel"]["start"];
  s.locked = start["locked"];
  std::set<std::string> icons;
  for (const json& icon : start["icons"]) icons.insert(r.text(icon[0]));
  for (const json& c : r.data["panel"]["changes"]) {
    if (c[0].get<long long>() > ms) break;
    const std::string what = c[1];
    if (what == "lock") s.locked = c[2];
    if (what == "icon") icons.insert(r.text(c[2]));
    if (what == "hide") icons.erase(r.text(c[2]));
    if (what == "banner") s.bannerMessage = c[2].is_null() ? std::nullopt : std::optional(r.text(c[2][2]));
    if (what == "list") {
      s.list.clear();
      for (const json& id : c[2]) s.list.push_back(r.text(id));
    }
  }
  s.icons.assign(icons.begin(), icons.end());
  return s;
}

class HtmlReportPanel : public ::testing::TestWithParam<const char*> {};

// Plays the scenario in a world of its own, stopping at instants where things change, and
// compares the world's named state there with the panel the page would draw.
TEST_P(HtmlReportPanel, PanelAtChosenInstantsEqualsTheWorld) {
  const std::string path = sourcePath(std::string("examples/") + GetParam());
  const Report r = reportOf(path);
  Result<Scenario> scenario = loadScenarioFile(path);
  ASSERT_TRUE(scenario);
  World world(worldConfigFor(*scenario));
  Player player(world, *scenario);
  const dispatch::Instant start = world.now();
  player.schedule();
  std::set<long long> instants;
  for (const json& c : r.data["panel"]["changes"]) instants.insert(c[0].get<long long>());
  instants.insert(r.data["end"].get<long long>());
  ASSERT_GT(instants.size(), 3u);
  for (long long ms : instants) {
    player.runUntil(start + std::chrono::milliseconds(ms));
    const PanelState panel = panelAt(r, ms);
    SCOPED_TRACE("at " + std::to_string(ms) + " ms");
    EXPECT_EQ(panel.locked, world.home().locked());
    EXPECT_EQ(panel.icons, world.statusBar().items().shownIdentifiers());
    const auto* banner = world.notifications().banners().current();
    EXPECT_EQ(panel.bannerMessage.has_value(), banner != nullptr);
    if (banner && panel.bannerMessage) {
      EXPECT_EQ(*panel.bannerMessage, banner->message());
    }
    const std::vector<springboard::ShownNotification> shown = world.notifications().lockScreenItems();
    ASSERT_EQ(panel.list.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const json& bulletin = r.data["bulletins"][panel.list[i]];
      if (bulletin.is_null()) continue;  // an item of another kind (a card)
      EXPECT_EQ(r.text(bulletin[3]), shown[i].message);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, HtmlReportPanel,
                         ::testing::Values("auto-lock-repost.json", "ios9-whatsapp.json", "ipad-listed-app.json",
                                           "do-not-disturb.json", "ios10-viber.json"));

TEST(HtmlReportBands, HoursOutsideTheStartWindowAreABandAndTheirDecisionsShowOnlyWithExplain) {
  // 08:29:30 to 21:17:00, window 08:30 to 21:15 (both edges closed).
  const Report plain = reportOf(sourcePath("examples/quiet-hours.json"));
  const long long end = plain.data["end"];
  EXPECT_EQ(bandsOf(plain, "closed"),
            (std::vector<std::pair<long long, long long>>{{0, 30'000}, {end - 120'000, end}}));
  EXPECT_TRUE(plain.data["whys"].empty());
  const Report explained = reportOf(sourcePath("examples/quiet-hours.json"), {"--explain"});
  ASSERT_FALSE(explained.data["whys"].empty());
  // The first SMS, before the window opens, is explained by the closed gate.
  const json& first = explained.data["actions"][0];
  ASSERT_GE(first[3].get<int>(), 0);
  std::string why;
  for (const json& t : explained.data["whys"][first[3].get<int>()]) why += explained.text(t) + "\n";
  EXPECT_NE(why.find("closed, no reminder starts"), std::string::npos) << why;
}

TEST(HtmlReportBands, ASettingsChangeMovesTheWindowFromItsInstant) {
  const ScratchFolder scratch("qv-window-change");
  const Report r = reportOf(scratch.write("day.json", R"({"start": "2026-12-07T08:00:00", "settings": {"fromHour": 9},
    "actions": [{"at": "10:00", "do": "settings", "set": {"fromHour": 11}}], "run": "12:00"})"));
  // Closed until 09:00; from the change at 10:00, closed again until 11:00.
  EXPECT_EQ(bandsOf(r, "closed"),
            (std::vector<std::pair<long long, long long>>{{0, 3'600'000}, {7'200'000, 10'800'000}}));
}

TEST(HtmlReportPage, NeedsNothingFromOutsideAndShowsTheStoryHeaderAndSummary) {
  const Report r = reportOf(sourcePath("examples/ios9-sms.json"));
  for (const char* outside : {"src=", "<link rel=\"stylesheet\"", "@import", "url(http", "https://"})
    EXPECT_EQ(r.html.find(outside), std::string::npos) << outside;
  EXPECT_NE(r.html.find("<h1>"), std::string::npos);
  EXPECT_NE(r.html.find("iOS 9.3 iPhone"), std::string::npos);
  EXPECT_NE(r.html.find("<table class=\"summary\">"), std::string::npos);
  EXPECT_NE(r.html.find("window.quorvelReport"), std::string::npos);  // the script is inline
}

TEST(HtmlReportPage, TextThatLooksLikeMarkupStaysText) {
  // Fault guarded: a note reading "</script>" would end the data early and break the page.
  const ScratchFolder scratch("qv-markup");
  const Report r = reportOf(scratch.write(
      "day.json",
      R"({"name": "<b>bold</b> & co", "actions": [{"at": "+1s", "do": "note", "text": "</script><script>alert(1)</script>"}], "run": "1m"})"));
  EXPECT_EQ(r.html.find("<b>bold"), std::string::npos);
  EXPECT_NE(r.html.find("&lt;b&gt;bold&lt;/b&gt; &amp; co"), std::string::npos);
  ASSERT_TRUE(r.data.is_object());
  ASSERT_EQ(r.data["actions"].size(), 1u);
  EXPECT_NE(r.text(r.data["actions"][0][2]).find("</script><script>alert(1)</script>"), std::string::npos);
}

}  // namespace
}  // namespace qv::sim
