#include "sim/scenario_check.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/apps/catalog.h"
#include "sim/nearest_names.h"
#include "sim/presets.h"

namespace qv::sim {
namespace {

constexpr std::string_view kLanguages[] = {"en", "de", "fr", "es", "it", "nl", "pt", "ja"};

// The app an action names, and where: the app opened, left or badged, a raw notification's app.
struct NamedApp {
  std::string_view bundleId;
  std::string place;
};

std::optional<NamedApp> appOf(const Action& a) {
  switch (a.type) {
    case ActionType::OpenApp:
    case ActionType::LeaveApp:
    case ActionType::SetBadge: return NamedApp{a.app, a.place + ".app"};
    case ActionType::Notification:
      // A preset's own app is always there; only an app the scenario names can be mistyped.
      if (a.notification.app.empty()) return std::nullopt;
      if (const Preset* p = findPreset(a.notification.preset); p && !p->needsApp) return std::nullopt;
      return NamedApp{a.notification.app, a.place + ".app"};
    default: return std::nullopt;
  }
}

std::vector<std::string_view> appsOfTheDevice(const std::vector<AppSpec>& apps) {
  std::vector<std::string_view> ids;
  for (const AppSpec& app : apps) ids.push_back(app.bundleId);
  for (const apps::AppSpec& app : apps::knownApps()) ids.push_back(app.bundleId);
  for (const apps::HomeScreenApp& app : apps::otherHomeScreenApps()) ids.push_back(app.bundleId);
  return ids;
}

bool all(std::string_view s, int (*test)(int)) {
  return std::all_of(s.begin(), s.end(), [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

// The parts after the language code of a language tag, "-" or "_" between them: a script
// ("Hans"), then a region ("AT", "419"), then variants ("1996", "fonipa"), each in its place.
bool wellFormedSubtags(std::string_view rest) {
  int stage = 0;  // 1 script seen, 2 region seen, 3 variants
  while (!rest.empty()) {
    if (rest[0] != '-' && rest[0] != '_') return false;
    rest.remove_prefix(1);
    const std::string_view part = rest.substr(0, rest.find_first_of("-_"));
    rest.remove_prefix(part.size());
    if (stage < 1 && part.size() == 4 && all(part, std::isalpha))
      stage = 1;
    else if (stage < 2 && ((part.size() == 2 && all(part, std::isalpha)) || (part.size() == 3 && all(part, std::isdigit))))
      stage = 2;
    else if ((part.size() >= 5 && part.size() <= 8 && all(part, std::isalnum)) ||
             (part.size() == 4 && std::isdigit(static_cast<unsigned char>(part[0])) && all(part, std::isalnum)))
      stage = 3;
    else
      return false;
  }
  return true;
}

}  // namespace

std::span<const std::string_view> knownLanguages() { return kLanguages; }

std::optional<std::string> unknownLanguage(std::string_view language) {
  const std::string_view head = language.substr(0, language.find_first_of("-_"));
  std::string code;
  for (char c : head) code += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string known;
  for (std::string_view l : kLanguages) known += (known.empty() ? "" : ", ") + std::string(l);
  if (std::find(std::begin(kLanguages), std::end(kLanguages), code) == std::end(kLanguages))
    return "unknown language \"" + std::string(language) + "\" (known: " + known + ")";
  if (!wellFormedSubtags(language.substr(head.size())))
    return "\"" + std::string(language) + "\" is no language tag: expected a code (" + known +
           ") alone or with a region (\"de-AT\", \"pt_BR\") or a script (\"zh-Hans\")";
  return std::nullopt;
}

std::optional<std::string> unknownLabel(const std::vector<Action>& actions) {
  // In the order the actions play: a label names a notification from its arrival on.
  std::vector<const Action*> played;
  for (const Action& a : actions) played.push_back(&a);
  std::stable_sort(played.begin(), played.end(), [](const Action* a, const Action* b) { return a->at < b->at; });
  std::map<std::string, const Action*> arrived;
  for (const Action* a : played) {
    if (a->type == ActionType::Notification && !a->notification.label.empty()) arrived[a->notification.label] = a;
    if ((a->type != ActionType::RemoveNotification && a->type != ActionType::ActOnNotification) || a->target.empty() ||
        arrived.count(a->target))
      continue;
    const std::string where = a->place + ".notification: \"" + a->target + "\"";
    for (const Action& later : actions)
      if (later.type == ActionType::Notification && later.notification.label == a->target)
        return where + " labels " + later.place + ", which arrives only after this action (\"" + later.when +
               "\", this \"" + a->when + "\")";
    std::string labels;
    for (const Action& n : actions)
      if (!n.notification.label.empty() && labels.find("\"" + n.notification.label + "\"") == std::string::npos)
        labels += (labels.empty() ? "\"" : ", \"") + n.notification.label + "\"";
    return where + " is the label of no notification (" + (labels.empty() ? "none has a \"label\"" : "labels: " + labels) +
           ")";
  }
  return std::nullopt;
}

std::vector<std::string> checkActions(const std::vector<Action>& actions, const std::vector<AppSpec>& apps) {
  std::vector<std::string> out;
  const std::vector<std::string_view> known = appsOfTheDevice(apps);
  const Action* latest = nullptr;  // the latest action so far in the file
  std::map<std::string, const Action*> labels;
  for (const Action& a : actions) {
    if (latest && a.at < latest->at)
      out.push_back(a.place + ".at: \"" + a.when + "\" comes before " + latest->place + " (\"" + latest->when +
                    "\"): the actions play in time order, this one first");
    if (!latest || a.at >= latest->at) latest = &a;
    if (auto app = appOf(a); app && std::find(known.begin(), known.end(), app->bundleId) == known.end()) {
      std::string line = app->place + ": \"" + std::string(app->bundleId) +
                         "\" is no app of the scenario (\"apps\") or the device: it plays as an app of its own";
      if (auto near = nearestNames(app->bundleId, known); !near.empty()) line += "; did you mean " + oneOf(near) + "?";
      out.push_back(line);
    }
    if (const std::string& label = a.notification.label; !label.empty()) {
      if (auto [it, fresh] = labels.emplace(label, &a); !fresh) {
        out.push_back(a.place + ".label: \"" + label + "\" already names " + it->second->place +
                      ": from here on it names this notification");
        it->second = &a;
      }
    }
    if (a.type == ActionType::ReadMessages && a.countGiven && a.count < 0)
      out.push_back(a.place + ".count: " + std::to_string(a.count) +
                    " is below zero: the user reads all new messages, as without \"count\"");
  }
  return out;
}

std::vector<std::string> checkListedApps(const pl::Dict& values, const std::string& place,
                                         const std::vector<Action>& actions, const std::vector<AppSpec>& apps) {
  std::vector<std::string> out;
  const auto listed = values.find("otherApplications");
  const pl::Array* list = listed == values.end() ? nullptr : listed->second.ifArray();
  if (!list) return out;  // not a list: the settings check says so
  const std::vector<std::string_view> known = appsOfTheDevice(apps);
  for (std::size_t i = 0; i < list->size(); ++i) {
    const std::string* id = (*list)[i].ifString();
    if (!id || std::find(known.begin(), known.end(), *id) != known.end()) continue;
    if (std::any_of(actions.begin(), actions.end(), [&](const Action& a) {
          auto app = appOf(a);
          return app && app->bundleId == *id;
        }))
      continue;
    std::string line = (place.empty() ? "" : place + ".") + "otherApplications[" + std::to_string(i) + "]: \"" + *id +
                       "\" is no app of the scenario (\"apps\") or the device and no action names it: no notification "
                       "of it can arrive";
    if (auto near = nearestNames(*id, known); !near.empty()) line += "; did you mean " + oneOf(near) + "?";
    out.push_back(line);
  }
  return out;
}

}  // namespace qv::sim
