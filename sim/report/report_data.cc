#include "sim/report/report_data.h"

#include <array>
#include <chrono>

#include "core/categories.h"
#include "sim/json_text.h"

// The object the page reads (times in milliseconds since the scenario's start, texts as indices
// into `strings`, so a month of marks stays a few megabytes):
//   {"end": ms, "clock": {"epoch": Unix ms of the start, "offsets": [[ms, UTC offset s]]},
//    "pad": bool, "strings": [...],
//    "lanes": [{"id", "name", "runs": [[start, "new"|"restart", cause, end|null, reason, how]],
//               "alerts": [[ms, number, effects, detail, why]]}],
//    "actions": [[ms, who, text, why]], "notifications": [[ms, app, text, why]],
//    "bands": {"locked": [[from, to]], "quiet": [...], "closed": [...]},
//    "panel": {"start": {...}, "changes": [[ms, "lock"|"dnd"|"front"|"icon"|"hide"|"banner"|"list", ...]]},
//    "items": {identifier: [label, name]}, "bulletins": {id: [app, title, subtitle, message]},
//    "whys": [[text...]]}
// Indices of -1 stand for none.

namespace qv::sim::report {
namespace {

using timeline::Event;
using timeline::Kind;

// The short labels of our own status items, drawn inside their icons.
constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kItemLabels = {{
    {"quorvel.QVCALL", "CALL"},
    {"quorvel.QVSMS", "SMS"},
    {"quorvel.QVMAIL", "MAIL"},
    {"quorvel.WHCall", "WA\u260E"},
    {"quorvel.WHMess", "WA"},
    {"quorvel.FBMCall", "FB\u260E"},
    {"quorvel.FBMess", "FB"},
    {"quorvel.TGMess", "TG"},
    {"quorvel.QVTHrema", "3MA"},
    {"quorvel.QVVIPCALL", "VB\u260E"},
    {"quorvel.QVVIPMESS", "VB"},
}};

std::int64_t integerField(const Event& e, std::string_view name) {
  const timeline::Field::Value* v = e.field(name);
  const std::int64_t* n = v ? std::get_if<std::int64_t>(v) : nullptr;
  return n ? *n : 0;
}

// What a banner or bulletin shows under its title: its subtitle and its message (a reminder's
// re-post has only a subtitle).
std::string shownText(const Event& e) {
  std::string subtitle = textField(e, "subtitle"), message = textField(e, "message");
  return subtitle + (subtitle.empty() || message.empty() ? "" : ": ") + message;
}

bool flagField(const Event& e, std::string_view name) {
  const timeline::Field::Value* v = e.field(name);
  const bool* b = v ? std::get_if<bool>(v) : nullptr;
  return b && *b;
}

std::string seconds(std::int64_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f s", static_cast<double>(ms) / 1000.0);
  return buf;
}

}  // namespace

std::uint32_t effectOf(timeline::Kind kind) {
  switch (kind) {
    case Kind::Sound: return kSound;
    case Kind::Vibration: return kVibration;
    case Kind::TorchOn: return kTorch;
    case Kind::ScreenFlash: return kFlash;
    case Kind::Banner: return kBanner;
    case Kind::ScreenWake: return kWake;
    case Kind::LockScreenBulletin: return kRepost;
    default: return 0;
  }
}

ItemLook itemLook(const std::string& identifier, const std::string& drawing) {
  for (const auto& [id, label] : kItemLabels)
    if (id == identifier) {
      for (const core::CategoryInfo& row : core::kCategories)
        if (row.itemIdentifier == identifier) return {std::string(label), std::string(row.name)};
      return {std::string(label), identifier};
    }
  // The item listed apps share draws an app's icon: "...: icon of Signal (org.whispersystems.signal) ...".
  const std::size_t of = drawing.find("icon of ");
  if (of != std::string::npos) {
    const std::size_t nameStart = of + 8;
    const std::size_t paren = drawing.find(" (", nameStart);
    const std::string name = drawing.substr(nameStart, paren == std::string::npos ? std::string::npos : paren - nameStart);
    std::string initials;
    for (std::size_t i = 0; i < name.size() && initials.size() < 2; ++i)
      if ((i == 0 || name[i - 1] == ' ') && name[i] != ' ') initials += name[i];
    return {initials.empty() ? "?" : initials, "icon of " + name};
  }
  return {identifier.substr(0, 3), identifier};
}

ReportData::ReportData(World& world, dispatch::Instant start, bool explain)
    : world_(world), start_(start), explain_(explain), settings_(world), windowSegmentStart_(start) {
  if (world.home().locked()) lockedSince_ = start;
  if (world.home().quietMode()) quietSince_ = start;
  JsonText j;
  j.open();
  j.key("locked").flag(world.home().locked());
  j.key("dnd").flag(world.home().quietMode());
  const std::string& front = world.notifications().applications().frontmost();
  j.key("front").integer(front.empty() ? -1 : text(appName(front)));
  j.key("icons").openList();
  for (const std::string& id : world.statusBar().items().shownIdentifiers()) {
    const std::string drawing = world.statusBar().items().drawing(id).value_or("");
    items_[id] = drawing;
    j.openList().integer(text(id)).integer(text(drawing)).closeList();
  }
  j.closeList();
  j.close();
  panelStart_ = j.text();
}

int ReportData::text(const std::string& s) {
  auto [it, added] = stringIndex_.try_emplace(s, static_cast<int>(strings_.size()));
  if (added) strings_.push_back(s);
  return it->second;
}

long long ReportData::ms(dispatch::Instant t) const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t - start_).count();
}

std::string ReportData::appName(const std::string& bundleId) const {
  return world_.home().displayName(bundleId).value_or(bundleId);
}

int& ReportData::whyOf(const MarkRef& ref) {
  if (ref.kind == 0) return alerts_[ref.lane][ref.index].why;
  return (ref.kind == 1 ? actions_ : notifications_)[ref.index].why;
}

// A decision explains the latest mark of the same scenario action (an alert counts as its
// reminder's starting action), or else the latest mark of all.
void ReportData::attachDecision(const Event& e) {
  if (!explain_) return;
  const MarkRef* target = nullptr;
  if (auto it = lastMarkOfAction_.find(e.trace.action); it != lastMarkOfAction_.end())
    target = &it->second;
  else if (lastMark_)
    target = &*lastMark_;
  if (!target) return;
  int& why = whyOf(*target);
  if (why < 0) {
    why = static_cast<int>(whys_.size());
    whys_.emplace_back();
  }
  whys_[why].push_back(text(e.subject + (e.detail.empty() ? "" : ": " + e.detail)));
}

void ReportData::addEffect(const Event& e, const EventFacts& facts) {
  if (effectOf(e.kind) == 0) return;
  const std::string category = facts.category(e);
  const std::uint32_t number = facts.alert(e, category);
  if (category.empty()) return;
  auto lane = alerts_.find(category);
  if (lane == alerts_.end() || lane->second.empty()) return;
  Alert* alert = nullptr;
  if (number == 0) {
    // An alert of a timer no longer listed carries no number: its effects follow it (the
    // vibration 0.3 s later); a reminder's re-post outside any alert belongs to none.
    Alert& latest = lane->second.back();
    if (latest.number == 0 && e.time - latest.time <= std::chrono::seconds(1)) alert = &latest;
  }
  for (auto it = lane->second.rbegin(); number != 0 && it != lane->second.rend() && !alert; ++it)
    if (it->number == number) alert = &*it;
  if (!alert) return;
  switch (e.kind) {
    case Kind::Sound:
      alert->effects |= kSound;
      alert->details.push_back("sound " + textField(e, "sound") + " (" + seconds(integerField(e, "length_ms")) + ")");
      break;
    case Kind::Vibration:
      alert->effects |= kVibration;
      alert->details.push_back("vibration");
      break;
    case Kind::TorchOn:
      if (!(alert->effects & kTorch)) alert->details.push_back("torch blinks");
      alert->effects |= kTorch;
      break;
    case Kind::ScreenFlash:
      alert->effects |= kFlash;
      alert->details.push_back("screen flash (" + textField(e, "color") + ")");
      break;
    case Kind::Banner:
      alert->effects |= kBanner;
      alert->details.push_back("banner \u201C" + shownText(e) + "\u201D");
      break;
    case Kind::ScreenWake:
      alert->effects |= kWake;
      alert->details.push_back("screen wakes");
      break;
    case Kind::LockScreenBulletin:
      alert->effects |= kRepost;
      alert->details.push_back("re-posted to the lock screen: \u201C" + shownText(e) + "\u201D");
      break;
    default:
      break;
  }
}

void ReportData::band(std::vector<Band>& bands, std::optional<dispatch::Instant>& openSince, bool on,
                      dispatch::Instant t) {
  if (on && !openSince) openSince = t;
  if (!on && openSince) {
    bands.push_back({*openSince, t});
    openSince.reset();
  }
}

void ReportData::panelChange(const Event& e) {
  switch (e.kind) {
    case Kind::LockState: case Kind::DoNotDisturb: case Kind::FrontApp: case Kind::StatusIconShown:
    case Kind::StatusIconHidden: case Kind::Banner: case Kind::BannerDismissed: case Kind::LockScreen:
      break;
    default:
      return;  // not drawn on the phone
  }
  JsonText& j = change_;
  j.clear();
  j.openList().integer(ms(e.time));
  switch (e.kind) {
    case Kind::LockState:
      j.string("lock").flag(flagField(e, "locked"));
      break;
    case Kind::DoNotDisturb:
      j.string("dnd").flag(flagField(e, "on"));
      break;
    case Kind::FrontApp: {
      const std::string app = textField(e, "app");
      j.string("front").integer(app.empty() ? -1 : text(appName(app)));
      break;
    }
    case Kind::StatusIconShown: {
      const std::string item = textField(e, "item"), drawing = textField(e, "drawing");
      items_[item] = drawing;
      j.string("icon").integer(text(item)).integer(text(drawing));
      break;
    }
    case Kind::StatusIconHidden:
      j.string("hide").integer(text(textField(e, "item")));
      break;
    case Kind::Banner:
      j.string("banner").openList();
      j.integer(text(appName(textField(e, "app")))).integer(text(textField(e, "title")));
      j.integer(text(shownText(e))).integer(integerField(e, "contentX"));
      j.integer(integerField(e, "contentWidth"));
      j.closeList();
      break;
    case Kind::BannerDismissed:
      j.string("banner").null();
      break;
    case Kind::LockScreen: {
      j.string("list").openList();
      const timeline::Field::Value* v = e.field("notifications");
      if (const auto* ids = v ? std::get_if<std::vector<std::string>>(v) : nullptr)
        for (const std::string& id : *ids) j.integer(text(id));
      j.closeList();
      break;
    }
    default:
      return;
  }
  j.closeList();
  panelChanges_.push_back(j.text());
}

void ReportData::observe(const Event& e, const EventFacts& facts) {
  switch (e.kind) {
    case Kind::ReminderFired: {
      const std::string category = facts.category(e);
      auto& lane = alerts_[category];
      lane.push_back({e.time, static_cast<std::uint32_t>(integerField(e, "alert")), 0, {}, -1});
      lastMark_ = MarkRef{0, category, lane.size() - 1};
      lastMarkOfAction_[e.trace.action] = *lastMark_;
      return;
    }
    case Kind::Action: {
      // A second event of the same action tells what came of it: it joins the first's mark.
      auto known = lastMarkOfAction_.find(e.trace.action);
      if (e.trace.action != 0 && known != lastMarkOfAction_.end() && known->second.kind == 1 &&
          actions_[known->second.index].time == e.time) {
        actions_[known->second.index].text += " " + textField(e, "text");
        return;
      }
      actions_.push_back({e.time, e.process, textField(e, "text"), -1});
      lastMark_ = MarkRef{1, {}, actions_.size() - 1};
      if (e.trace.action != 0) lastMarkOfAction_[e.trace.action] = *lastMark_;
      return;
    }
    case Kind::NotificationPosted: {
      const std::string id = textField(e, "id");
      bulletins_[id] = {text(appName(textField(e, "app"))), text(textField(e, "title")),
                        text(textField(e, "subtitle")), text(textField(e, "message"))};
      if (!facts.category(e).empty()) return;  // a reminder's re-post: one of its alert's effects
      const std::string title = textField(e, "title"), message = textField(e, "message");
      notifications_.push_back({e.time, appName(textField(e, "app")), title + (title.empty() ? "" : ": ") + message, -1});
      lastMark_ = MarkRef{2, {}, notifications_.size() - 1};
      if (e.trace.action != 0 && !lastMarkOfAction_.count(e.trace.action))
        lastMarkOfAction_[e.trace.action] = *lastMark_;
      return;
    }
    case Kind::LockScreenBulletin:
      bulletins_[textField(e, "id")] = {text(appName(textField(e, "app"))), text(textField(e, "title")),
                                        text(textField(e, "subtitle")), text(textField(e, "message"))};
      addEffect(e, facts);
      return;
    case Kind::Decision:
      attachDecision(e);
      return;
    case Kind::LockState:
      band(locked_, lockedSince_, flagField(e, "locked"), e.time);
      break;
    case Kind::DoNotDisturb:
      band(quiet_, quietSince_, flagField(e, "on"), e.time);
      break;
    default:
      break;
  }
  addEffect(e, facts);
  panelChange(e);
}

void ReportData::actionDone(const Action& a) {
  if (a.type != ActionType::Settings && a.type != ActionType::SettingsFile) return;
  closeWindowSegment(world_.now());
  settings_.settingsWritten(a.values, a.removals, a.type == ActionType::Settings);
  windowSegmentStart_ = world_.now();
}

// The hours outside the start window between the last settings change and `until`, day by day,
// under the settings as they were.
void ReportData::closeWindowSegment(dispatch::Instant until) {
  host::SimulatedHost& host = world_.springBoard().host;
  dispatch::Instant dayStart = [&] {
    const host::CalendarDate d = host.calendarDate(windowSegmentStart_);
    return host.dateFromCalendar({d.year, d.month, d.day, 0, 0, 0});
  }();
  while (dayStart < until) {
    const host::CalendarDate next = host.calendarDate(dayStart + std::chrono::hours(26));
    const dispatch::Instant nextDay = host.dateFromCalendar({next.year, next.month, next.day, 0, 0, 0});
    const auto [opens, closes] = settings_.windowEdges(dayStart + std::chrono::hours(12));
    for (const Band& b : {Band{dayStart, opens}, Band{closes, nextDay}}) {
      const Band cut{std::max(b.from, windowSegmentStart_), std::min(b.to, until)};
      if (cut.from >= cut.to) continue;
      // Closed from one day's end into the next day's start: one band.
      if (!closed_.empty() && closed_.back().to == cut.from)
        closed_.back().to = cut.to;
      else
        closed_.push_back(cut);
    }
    dayStart = nextDay;
  }
}

std::string ReportData::json(const Summary& summary, dispatch::Instant stop) {
  closeWindowSegment(stop);
  windowSegmentStart_ = stop;
  std::vector<Band> locked = locked_, quiet = quiet_;
  if (lockedSince_) locked.push_back({*lockedSince_, stop});
  if (quietSince_) quiet.push_back({*quietSince_, stop});

  JsonText j;
  j.open();
  j.key("end").integer(ms(stop));
  // The page shows local times: the start as Unix milliseconds and the UTC offsets in force.
  const auto startSeconds = std::chrono::floor<std::chrono::seconds>(start_.time_since_epoch());
  const std::chrono::sys_seconds from(startSeconds);
  j.key("clock").open();
  j.key("epoch").integer(std::chrono::duration_cast<std::chrono::milliseconds>(start_.time_since_epoch()).count());
  j.key("offsets").openList();
  j.openList().integer(0).integer(world_.timeZone().offsetSecondsAt(from)).closeList();
  const std::chrono::sys_seconds to(std::chrono::floor<std::chrono::seconds>(stop.time_since_epoch()));
  for (const tz::Transition& t : world_.timeZone().transitionsBetween(from, to))
    j.openList().integer((t.at - startSeconds.count()) * 1000).integer(t.after.offsetSeconds).closeList();
  j.closeList();
  j.close();
  j.key("pad").flag(world_.profile().isPad());
  j.key("lanes").openList();
  for (const Summary::Reminder& r : summary.reminders()) {
    j.open();
    j.key("id").string(r.category);
    j.key("name").string(r.appName.value_or(r.subject));
    j.key("runs").openList();
    for (const Summary::Run& run : r.runs) {
      j.openList().integer(ms(run.started)).string(run.restart ? "restart" : "new");
      j.integer(run.cause ? text(run.cause->text) : -1);
      if (run.ended) {
        std::string how = run.ended->how.empty() ? run.ended->reason : run.ended->how;
        if (!run.ended->why.empty()) how += ": " + run.ended->why;
        if (run.ended->cause) how += " (" + run.ended->cause->text + ")";
        j.integer(ms(run.ended->time)).string(run.ended->reason).integer(text(how));
      } else {
        j.null().string("running").integer(-1);
      }
      j.closeList();
    }
    j.closeList();
    j.key("alerts").openList();
    if (auto it = alerts_.find(r.category); it != alerts_.end())
      for (const Alert& a : it->second) {
        std::string detail;
        for (const std::string& d : a.details) detail += (detail.empty() ? "" : "; ") + d;
        j.openList().integer(ms(a.time)).integer(a.number).integer(a.effects);
        j.integer(text(detail.empty() ? "nothing the user notices" : detail)).integer(a.why).closeList();
      }
    j.closeList();
    j.close();
  }
  j.closeList();
  auto marks = [&](const char* key, const std::vector<Mark>& list) {
    j.key(key).openList();
    for (const Mark& m : list)
      j.openList().integer(ms(m.time)).integer(text(m.who)).integer(text(m.text)).integer(m.why).closeList();
    j.closeList();
  };
  marks("actions", actions_);
  marks("notifications", notifications_);
  auto bands = [&](const char* key, const std::vector<Band>& list) {
    j.key(key).openList();
    for (const Band& b : list) j.openList().integer(ms(b.from)).integer(ms(b.to)).closeList();
    j.closeList();
  };
  j.key("bands").open();
  bands("locked", locked);
  bands("quiet", quiet);
  bands("closed", closed_);
  j.close();
  j.key("items").open();
  for (const auto& [id, drawing] : items_) {
    const ItemLook look = itemLook(id, drawing);
    j.key(id).openList().string(look.label).string(look.name).closeList();
  }
  j.close();
  j.key("bulletins").open();
  for (const auto& [id, fields] : bulletins_) {
    j.key(id).openList();
    for (int f : fields) j.integer(f);
    j.closeList();
  }
  j.close();
  j.key("whys").openList();
  for (const std::vector<int>& why : whys_) {
    j.openList();
    for (int t : why) j.integer(t);
    j.closeList();
  }
  j.closeList();
  // The panel and the strings last: writing them adds no more strings.
  std::string out = j.text();
  out += ",\"panel\":{\"start\":" + panelStart_ + ",\"changes\":[";
  for (std::size_t i = 0; i < panelChanges_.size(); ++i) out += (i ? "," : "") + panelChanges_[i];
  out += "]}";
  JsonText strings;
  strings.open();
  strings.key("strings").openList();
  for (const std::string& s : strings_) strings.string(s);
  strings.closeList().close();
  // {"strings":[...]} -> ,"strings":[...]}
  out += "," + strings.text().substr(1);
  return out;
}

}  // namespace qv::sim::report
