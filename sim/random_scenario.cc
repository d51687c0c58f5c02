#include "sim/random_scenario.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <random>

#include "platform/device/profile.h"
#include "sim/presets.h"

namespace qv::sim {
namespace {

// Draws from mt19937_64's raw output only, so a seed means the same run with any library.
class Dice {
 public:
  explicit Dice(std::uint64_t seed) : engine_(seed) {}
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : engine_() % n; }
  std::int64_t between(std::int64_t lo, std::int64_t hi) { return lo + static_cast<std::int64_t>(below(hi - lo + 1)); }
  bool chance(double p) { return static_cast<double>(engine_() >> 11) * 0x1.0p-53 < p; }
  template <class T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(N)];
  }
  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[below(items.size())];
  }

 private:
  std::mt19937_64 engine_;
};

const char* const kZones[] = {"UTC", "Europe/Berlin", "America/New_York", "Asia/Kolkata", "Australia/Sydney"};
// Days in 2026 before the clocks change in a zone that changes them, so a run crosses the change.
struct ClockChange {
  const char* zone;
  int month, day;
};
const ClockChange kClockChanges[] = {{"Europe/Berlin", 3, 28},    {"Europe/Berlin", 10, 24},
                                     {"America/New_York", 3, 7},  {"America/New_York", 10, 31},
                                     {"Australia/Sydney", 4, 4},  {"Australia/Sydney", 10, 3}};
const char* const kLanguages[] = {"en", "de", "fr", "es", "it", "nl", "pt", "ja"};
const char* const kSounds[] = {"SMS 1.caf", "SMS 2.caf", "SMS 3.caf", "Tri-tone.caf", "Chime.caf", "Bell.caf"};
const char* const kListedApps[] = {"com.example.Chat", "com.example.Shop", "com.atebits.Tweetie2",
                                   "com.apple.mobilecal"};
const char* const kFlagKeys[] = {
    "globalEnabled", "globalSMS",   "globalMail",   "globalCall", "globalIm",    "imCalWats",   "imSMSWats",
    "imCalFBMess",   "imSMSFBMess", "imSMSTeleg",   "thremaIm",   "ViperImCall", "ViperImMess", "otherEnabled",
    "showStatus",    "soundsms",    "soundCall",    "soundMail",  "soundIm",     "soundOther",  "vibesms",
    "vibeCall",      "vibeMail",    "vibeIm",       "vibeOther",  "torchSmS",    "torchCall",   "torchMail",
    "torchIm",       "torchOther",  "locktorchSmS", "locktorchC", "locktorchM",  "locktorchIm", "locktorchOther",
    "unSmS",         "unCaLL",      "unMAil",       "unIM",       "unOther",     "showBanner"};
const char* const kIntervalKeys[] = {"smsInt", "phInt", "mailInt", "imInt", "otherInt"};
const char* const kWindowKeys[] = {"fromHour", "fromMin", "toHour", "toMin"};
const char* const kCountKeys[] = {"smsCount", "phCount", "mailCount", "imCount", "otherCount"};
const char* const kSoundKeys[] = {"currentSMSSound", "currentCallSound", "currentMailSound", "currentIMSound",
                                  "currentOtherSound"};
const char* const kOpenableApps[] = {
    "com.apple.mobilephone",  "com.apple.MobileSMS",  "com.apple.mobilemail", "net.whatsapp.WhatsApp",
    "com.facebook.Messenger", "ph.telegra.Telegraph", "ch.threema.iapp",      "com.viber",
    "com.example.Chat",       "com.example.Shop"};

// Raw notifications: the apps' real keys and values, mixed with mistyped and unknown ones.
const char* const kRawApps[] = {"net.whatsapp.WhatsApp", "com.facebook.Messenger", "ph.telegra.Telegraph",
                                "ch.threema.iapp", "com.viber", "com.apple.MobileSMS", "com.apple.mobilephone",
                                "com.atebits.Tweetie2", "com.example.Chat", "com.example.Unknown"};
const char* const kRawCategories[] = {"", "message", "missed-call", "incoming-call", "webrtc_incoming",
                                      "callback_message", "CAT_INCOMING_MESSAGE", "CAT_MISSED_CALL",
                                      "CAT_INCOMING_CALL", "com.twitter.mention", "unknown"};
const char* const kJidKeys[] = {"jid", "missed-call-jid", "incoming-call-jid", "category", "type"};

pl::Value randomPayloadValue(Dice& dice) {
  switch (dice.below(4)) {
    case 0: return pl::Value(dice.pick(kRawCategories));
    case 1: return pl::Value(dice.between(-2, 5));
    case 2: return pl::Value(pl::Array{pl::Value(dice.pick(kRawCategories))});
    default: return pl::Value("4915112345678@s.whatsapp.net");
  }
}

NotificationSpec randomRawNotification(Dice& dice) {
  NotificationSpec n;
  n.app = dice.pick(kRawApps);
  n.categoryIdentifier = dice.pick(kRawCategories);
  if (dice.chance(0.7)) {
    pl::Dict aps{{"alert", "New message"}};
    if (dice.chance(0.7)) aps["category"] = randomPayloadValue(dice);
    pl::Dict remote{{"aps", dice.chance(0.9) ? pl::Value(std::move(aps)) : randomPayloadValue(dice)}};
    if (dice.chance(0.2)) remote["threema"] = dice.chance(0.5) ? pl::Value(pl::Dict{{"cmd", "newmsg"}}) : randomPayloadValue(dice);
    n.remote = std::move(remote);
  }
  if (dice.chance(0.4)) n.local = pl::Dict{{dice.pick(kJidKeys), randomPayloadValue(dice)}};
  n.localFire = dice.chance(0.2);
  if (dice.chance(0.3)) n.badge = dice.between(0, 4);
  n.title = "Raw";
  return n;
}

bool oneOf(const std::string& key, const char* const* first, const char* const* last) {
  return std::find(first, last, key) != last;
}

pl::Value randomSettingValue(Dice& dice, const std::string& key) {
  if (key == "fromHour" || key == "toHour") return pl::Value(dice.chance(0.1) ? dice.between(-1, 25) : dice.between(0, 23));
  if (key == "fromMin" || key == "toMin") return pl::Value(dice.chance(0.1) ? dice.between(-1, 61) : dice.between(0, 59));
  if (oneOf(key, std::begin(kIntervalKeys), std::end(kIntervalKeys)))
    return pl::Value(dice.chance(0.1) ? dice.between(-5, 0) : dice.between(5, 180));
  if (oneOf(key, std::begin(kCountKeys), std::end(kCountKeys)))
    return pl::Value(dice.chance(0.3) ? std::int64_t{0} : dice.between(1, 6));
  if (oneOf(key, std::begin(kSoundKeys), std::end(kSoundKeys)))
    return dice.chance(0.05) ? pl::Value("Missing.caf") : pl::Value(dice.pick(kSounds));
  return pl::Value(dice.chance(0.7));
}

// A random "otherApplications"; `listed` gathers every app ever listed, for notifications.
pl::Value randomListedApps(Dice& dice, std::vector<std::string>& listed) {
  pl::Array apps;
  for (const char* app : kListedApps)
    if (dice.chance(0.5)) {
      apps.emplace_back(app);
      if (std::find(listed.begin(), listed.end(), app) == listed.end()) listed.emplace_back(app);
    }
  return pl::Value(std::move(apps));
}

pl::Dict randomSettings(Dice& dice, std::vector<std::string>& listed) {
  pl::Dict s;
  // Most runs should start reminders: the master switches lean on.
  s["globalEnabled"] = pl::Value(dice.chance(0.95));
  for (const char* key : kFlagKeys)
    if (dice.chance(0.6)) s[key] = randomSettingValue(dice, key);
  for (const char* key : kIntervalKeys)
    if (dice.chance(0.5)) s[key] = randomSettingValue(dice, key);
  for (const char* key : kCountKeys)
    if (dice.chance(0.5)) s[key] = randomSettingValue(dice, key);
  for (const char* key : kSoundKeys)
    if (dice.chance(0.3)) s[key] = randomSettingValue(dice, key);
  if (dice.chance(0.3)) {
    // Mostly a day window; sometimes minutes, and sometimes one whose start is after its end
    // (then no reminder may start at all).
    const bool reversed = dice.chance(0.15);
    s["fromHour"] = pl::Value(reversed ? dice.between(14, 23) : dice.between(0, 10));
    s["toHour"] = pl::Value(reversed ? dice.between(0, 10) : dice.between(14, 23));
    if (dice.chance(0.5)) s["fromMin"] = randomSettingValue(dice, "fromMin");
    if (dice.chance(0.5)) s["toMin"] = randomSettingValue(dice, "toMin");
  }
  s["otherApplications"] = randomListedApps(dice, listed);
  return s;
}

// A pane save: flags mostly, and the counts, intervals, sounds, window and listed apps a user
// changes on a busy day.
void randomPaneChange(Dice& dice, Action& a, std::vector<std::string>& listed) {
  const std::size_t changes = static_cast<std::size_t>(dice.between(1, 4));
  for (std::size_t k = 0; k < changes; ++k) {
    const std::uint64_t roll = dice.below(100);
    if (roll < 8) {
      a.values["otherApplications"] = randomListedApps(dice, listed);
      continue;
    }
    std::string key = roll < 55   ? dice.pick(kFlagKeys)
                      : roll < 67 ? dice.pick(kIntervalKeys)
                      : roll < 79 ? dice.pick(kCountKeys)
                      : roll < 87 ? dice.pick(kSoundKeys)
                                  : dice.pick(kWindowKeys);
    // A key both set and removed is refused when read back; the removal wins, as it did when
    // both were written, so every seed plays as before.
    if (dice.chance(0.1)) {
      a.values.erase(key);
      if (std::find(a.removals.begin(), a.removals.end(), key) == a.removals.end()) a.removals.push_back(key);
    } else if (pl::Value value = randomSettingValue(dice, key);
               std::find(a.removals.begin(), a.removals.end(), key) == a.removals.end()) {
      a.values[key] = std::move(value);
    }
  }
}

// Most runs on the releases that read the settings (8.0 to 10.3), some on 7.x, which runs on
// defaults.
std::string randomRelease(Dice& dice) {
  std::vector<std::string> old, current;
  for (const device::Release& r : device::knownReleases())
    (r.version.starts_with("7.") ? old : current).push_back(r.version);
  return dice.chance(0.12) ? dice.pick(old) : dice.pick(current);
}

Action at(dispatch::Duration when, ActionType type) {
  Action a;
  a.at = when;
  a.type = type;
  return a;
}

}  // namespace

Scenario randomScenario(const RandomScenarioOptions& options) {
  Dice dice(options.seed);
  Scenario s;
  s.seed = options.seed;
  s.name = "random run, seed " + std::to_string(options.seed);
  s.sourceFile = "random scenario (seed " + std::to_string(options.seed) + ")";
  s.world.release = options.release.empty() ? randomRelease(dice) : options.release;
  s.world.idiom = dice.chance(0.25) ? device::Idiom::Pad : device::Idiom::Phone;
  s.world.hasTorch = dice.chance(0.9);
  s.world.hasFlash = dice.chance(0.9);
  s.world.is64Bit = dice.chance(0.8);
  s.world.language = dice.pick(kLanguages);
  s.world.timeZone = dice.pick(kZones);
  s.world.start = host::CalendarDate{2026,
                                     static_cast<int>(dice.between(1, 12)),
                                     static_cast<int>(dice.between(1, 28)),
                                     static_cast<int>(dice.between(0, 23)),
                                     static_cast<int>(dice.between(0, 59)),
                                     0};
  if (dice.chance(0.15)) {
    // The evening before the clocks change, so the run crosses the change.
    const ClockChange& change = dice.pick(kClockChanges);
    s.world.timeZone = change.zone;
    s.world.start.month = change.month;
    s.world.start.day = change.day;
    s.world.start.hour = static_cast<int>(dice.between(18, 23));
  }
  s.world.startLocked = dice.chance(0.5);
  std::vector<std::string> listed;
  s.world.settings = randomSettings(dice, listed);
  s.apps = {{"com.example.Chat", "Chat", 0}, {"com.example.Shop", "Shop", 0}};
  s.duration = options.span;

  const double perSecond = options.actionsPerHour / 3600.0;
  const auto count = static_cast<std::size_t>(perSecond * std::chrono::duration<double>(options.span).count());
  std::vector<dispatch::Duration> times;
  // Whole milliseconds, the finest a scenario file states, so a dumped scenario replays exactly.
  const auto spanMs = std::chrono::duration_cast<std::chrono::milliseconds>(options.span).count();
  for (std::size_t i = 0; i < count; ++i)
    times.push_back(
        std::chrono::milliseconds(static_cast<std::int64_t>(dice.below(static_cast<std::uint64_t>(spanMs)))));
  std::sort(times.begin(), times.end());

  // Room for the extra actions some draws add (a leave, an unlock, a call's end), so the large
  // Actions are not moved as the vector grows.
  s.actions.reserve(count + count / 2 + 8);
  bool ringing = false;
  for (std::size_t i = 0; i < times.size(); ++i) {
    const dispatch::Duration t = times[i];
    const std::uint64_t roll = dice.below(100);
    Action a;
    if (roll < 45) {
      a = at(t, ActionType::Notification);
      if (dice.chance(0.15)) {
        a.notification = randomRawNotification(dice);
        s.actions.push_back(std::move(a));
        continue;
      }
      static const std::vector<std::string> presets = presetList();  // the same list at every pick
      const Preset* p = nullptr;
      do {
        p = findPreset(dice.pick(presets));
      } while (!p);
      a.notification.preset = p->name;
      if (p->needsApp) a.notification.app = listed.empty() || dice.chance(0.3) ? "com.example.Shop" : dice.pick(listed);
    } else if (roll < 53) {
      a = at(t, ringing ? (dice.chance(0.5) ? ActionType::AnswerCall : ActionType::EndCall) : ActionType::IncomingCall);
      if (a.type == ActionType::IncomingCall) a.app = "Caller " + std::to_string(dice.below(5));
      ringing = a.type == ActionType::IncomingCall;
      if (a.type == ActionType::AnswerCall) {
        s.actions.push_back(a);
        a = at(t + std::chrono::seconds(dice.between(5, 300)), ActionType::EndCall);
        if (a.at > options.span) continue;
      }
    } else if (roll < 65) {
      a = at(t, ActionType::OpenApp);
      a.app = dice.pick(kOpenableApps);
      // Often the user goes back to the home screen a little later.
      if (dice.chance(0.4)) {
        Action leave = at(t + std::chrono::milliseconds(dice.between(2000, 600000)), ActionType::LeaveApp);
        leave.app = a.app;
        if (leave.at <= options.span) s.actions.push_back(std::move(leave));
      }
    } else if (roll < 70) {
      a = at(t, ActionType::ReadMessages);
      a.count = dice.chance(0.5) ? -1 : dice.between(1, 3);
    } else if (roll < 76) {
      a = at(t, dice.chance(0.5) ? ActionType::RemoveNotification : ActionType::ActOnNotification);
      a.origin = dice.chance(0.5) ? "lock-screen" : "notification-centre";
    } else if (roll < 78) {
      a = at(t, ActionType::TapBanner);
    } else if (roll < 86) {
      const ActionType kinds[] = {ActionType::Lock, ActionType::Unlock, ActionType::AutoLock};
      a = at(t, dice.pick(kinds));
      // The user often picks the phone up just as it locks itself: unlocks while the lock-screen
      // re-post (one second after the auto-lock, then 0.7 s per bulletin) is under way.
      if (a.type == ActionType::AutoLock && dice.chance(0.3)) {
        Action unlock = at(t + std::chrono::milliseconds(dice.between(200, 2500)), ActionType::Unlock);
        if (unlock.at <= options.span) s.actions.push_back(std::move(unlock));
      }
    } else if (roll < 89) {
      a = at(t, ActionType::QuietMode);
      a.on = dice.chance(0.4);
    } else if (roll < 95) {
      a = at(t, ActionType::Settings);
      randomPaneChange(dice, a, listed);
    } else if (roll < 98) {
      a = at(t, ActionType::SettingsFile);
      a.values = randomSettings(dice, listed);
    } else if (roll < 99) {
      a = at(t, ActionType::SetBadge);
      a.app = dice.pick(kOpenableApps);
      a.count = dice.between(0, 3);
    } else {
      a = at(t, ActionType::Respring);
    }
    s.actions.push_back(std::move(a));
  }
  // Stable by time. The order is found on indices and applied with one move per action: an
  // Action is large, and sorting the actions themselves moved each many times.
  std::vector<std::size_t> order(s.actions.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return s.actions[a].at < s.actions[b].at; });
  std::vector<Action> sorted;
  sorted.reserve(order.size());
  for (std::size_t i : order) sorted.push_back(std::move(s.actions[i]));
  s.actions = std::move(sorted);
  // Each action's place is where --dump-scenario writes it, so a place found in a run's output
  // can be looked up in the dump.
  for (std::size_t i = 0; i < s.actions.size(); ++i) s.actions[i].place = "actions[" + std::to_string(i) + "]";
  return s;
}

namespace {
nlohmann::ordered_json toJson(const pl::Value& v) {
  switch (v.type()) {
    case pl::Value::Type::Bool:
      return *v.ifBool();
    case pl::Value::Type::Integer:
      if (v.isUnsigned64()) return static_cast<std::uint64_t>(*v.ifInteger());
      return *v.ifInteger();
    case pl::Value::Type::Real:
      return *v.ifReal();
    case pl::Value::Type::String:
      return *v.ifString();
    case pl::Value::Type::Array: {
      auto a = nlohmann::ordered_json::array();
      for (const pl::Value& e : *v.ifArray()) a.push_back(toJson(e));
      return a;
    }
    case pl::Value::Type::Dict: {
      auto o = nlohmann::ordered_json::object();
      for (const auto& [k, e] : *v.ifDict()) o[k] = toJson(e);
      return o;
    }
    default:
      return nullptr;
  }
}

std::string offset(dispatch::Duration d) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  return ms % 1000 == 0 ? "+" + std::to_string(ms / 1000) + "s" : "+" + std::to_string(ms) + "ms";
}
}  // namespace

std::string scenarioToJson(const Scenario& s) {
  nlohmann::ordered_json j;
  j["name"] = s.name;
  if (!s.description.empty()) j["description"] = s.description;
  j["device"] = {{"ios", s.world.release},
                 {"kind", s.world.idiom == device::Idiom::Pad ? "iPad" : "iPhone"},
                 {"torch", s.world.hasTorch},
                 {"flash", s.world.hasFlash},
                 {"answersInterfaceIdiom", s.world.answersInterfaceIdiom},
                 {"language", s.world.language},
                 {"processor", s.world.is64Bit ? "64-bit" : "32-bit"}};
  j["timeZone"] = s.world.timeZone;
  char start[32];
  std::snprintf(start, sizeof start, "%04d-%02d-%02dT%02d:%02d:%02d", s.world.start.year, s.world.start.month,
                s.world.start.day, s.world.start.hour, s.world.start.minute, s.world.start.second);
  j["start"] = start;
  j["locked"] = s.world.startLocked;
  // A settings file is named by its absolute path, so the dump plays from any folder with the
  // file's own bytes (which may hold data and dates that JSON cannot).
  if (!s.settingsPath.empty())
    j["settings"] = s.settingsPath;
  else if (s.world.settings)
    j["settings"] = toJson(pl::Value(*s.world.settings));
  for (const AppSpec& a : s.apps) j["apps"].push_back({{"bundleId", a.bundleId}, {"name", a.name}, {"badge", a.badge}});
  j["actions"] = nlohmann::ordered_json::array();
  for (const Action& a : s.actions) {
    nlohmann::ordered_json o;
    o["at"] = offset(a.at);
    o["do"] = actionName(a.type);
    switch (a.type) {
      case ActionType::Notification:
        if (!a.notification.preset.empty()) o["event"] = a.notification.preset;
        if (!a.notification.app.empty()) o["app"] = a.notification.app;
        if (!a.notification.categoryIdentifier.empty()) o["categoryIdentifier"] = a.notification.categoryIdentifier;
        if (a.notification.remote) o["remote"] = toJson(pl::Value(*a.notification.remote));
        if (a.notification.local) o["local"] = toJson(pl::Value(*a.notification.local));
        if (a.notification.localArchive) o["localArchive"] = toBase64(*a.notification.localArchive);
        if (a.notification.context) o["context"] = toJson(*a.notification.context);
        if (a.notification.localFire) o["localFire"] = true;
        if (a.notification.badge) o["badge"] = *a.notification.badge;
        if (!a.notification.title.empty()) o["title"] = a.notification.title;
        if (!a.notification.message.empty()) o["message"] = a.notification.message;
        if (!a.notification.label.empty()) o["label"] = a.notification.label;
        break;
      case ActionType::IncomingCall:
        o["from"] = a.app;
        break;
      case ActionType::OpenApp:
      case ActionType::LeaveApp:
        o["app"] = a.app;
        break;
      case ActionType::ReadMessages:
        if (a.count >= 0) o["count"] = a.count;
        break;
      case ActionType::SetBadge:
        o["app"] = a.app;
        o["value"] = a.count;
        break;
      case ActionType::RemoveNotification:
        if (!a.target.empty()) o["notification"] = a.target;
        break;
      case ActionType::ActOnNotification:
        if (!a.target.empty()) o["notification"] = a.target;
        o["from"] = a.origin;
        break;
      case ActionType::QuietMode:
        o["on"] = a.on;
        break;
      case ActionType::SettingsFile:
        if (a.settingsFile) {
          o["file"] = a.settingsFilePath;
          break;
        }
        [[fallthrough]];
      case ActionType::Settings:
        if (!a.values.empty()) o["set"] = toJson(pl::Value(a.values));
        if (!a.removals.empty()) o["remove"] = a.removals;
        break;
      case ActionType::Note:
        o["text"] = a.text;
        break;
      default:
        break;
    }
    j["actions"].push_back(o);
  }
  j["run"] = offset(s.duration).substr(1);
  j["seed"] = s.seed;
  return j.dump(2);
}

}  // namespace qv::sim
