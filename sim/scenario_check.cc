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

}  // namespace

std::span<const std::string_view> knownLanguages() { return kLanguages; }

std::optional<std::string> unknownLanguage(std::string_view language) {
  std::string code;
  for (char c : language.substr(0, language.find_first_of("-_")))
    code += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (std::find(std::begin(kLanguages), std::end(kLanguages), code) != std::end(kLanguages)) return std::nullopt;
  std::string known;
  for (std::string_view l : kLanguages) known += (known.empty() ? "" : ", ") + std::string(l);
  return "unknown language \"" + std::string(language) + "\" (known: " + known + ")";
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

}  // namespace qv::sim
