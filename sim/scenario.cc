#include "sim/scenario.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/apps/catalog.h"
#include "platform/plist/io.h"
#include "sim/nearest_names.h"
#include "sim/presets.h"
#include "sim/scenario_check.h"
#include "sim/scenario_json.h"
#include "sim/settings_check.h"

namespace qv::sim {
namespace {

using json = nlohmann::json;

std::string join(const std::string& place, const std::string& key) {
  return place.empty() ? key : place + "." + key;
}

// Collects the first problem found, with the file and the place in the document.
class Reader {
 public:
  explicit Reader(std::string_view file) : file_(file) {}
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  void fail(const std::string& place, const std::string& what) {
    if (error_.empty()) error_ = file_ + ": " + (place.empty() ? "" : place + ": ") + what;
  }
  // Problems found in `file` (the scenario's own when empty), each "PLACE: what".
  void warn(const std::vector<std::string>& lines, const std::string& file = {}) {
    for (const std::string& line : lines) warnings_.push_back({(file.empty() ? file_ : file) + ": " + line, false});
  }
  // The same for the settings' keys and values, which bear only on a release that reads settings.
  void warnOfSettings(const std::vector<std::string>& lines, const std::string& file = {}) {
    for (const std::string& line : lines) warnings_.push_back({(file.empty() ? file_ : file) + ": " + line, true});
  }
  // The warnings in the order found, those of the settings in `unread` when the release reads none.
  void takeWarnings(bool settingsRead, std::vector<std::string>* warnings, std::vector<std::string>* unread) {
    for (Warning& w : warnings_) (w.ofSettings && !settingsRead ? unread : warnings)->push_back(std::move(w.text));
    warnings_.clear();
  }

  std::string describe(const json& v) const { return previewJson(v); }
  bool string(const json& obj, const char* key, const std::string& place, std::string* out, bool required = false) {
    auto it = obj.find(key);
    if (it == obj.end()) {
      if (required) fail(place, std::string("expected \"") + key + "\" (a string)");
      return false;
    }
    if (!it->is_string()) {
      fail(join(place, key), "expected a string, got " + describe(*it));
      return false;
    }
    *out = it->get<std::string>();
    return true;
  }
  bool boolean(const json& obj, const char* key, const std::string& place, bool* out) {
    auto it = obj.find(key);
    if (it == obj.end()) return false;
    if (!it->is_boolean()) {
      fail(join(place, key), "expected true or false, got " + describe(*it));
      return false;
    }
    *out = it->get<bool>();
    return true;
  }
  // A whole number from `least` up; one beyond the signed 64-bit range is refused as written,
  // never wrapped.
  bool integer(const json& obj, const char* key, const std::string& place, std::int64_t* out,
               std::int64_t least = INT64_MIN) {
    auto it = obj.find(key);
    if (it == obj.end()) return false;
    const bool fits = it->is_number_integer() &&
                      (!it->is_number_unsigned() || it->get<std::uint64_t>() <= std::uint64_t{INT64_MAX});
    if (!fits || it->get<std::int64_t>() < least) {
      fail(join(place, key), "expected a whole number" +
                                 (least == INT64_MIN ? std::string() : " from " + std::to_string(least)) +
                                 " up to 9223372036854775807, got " + describe(*it));
      return false;
    }
    *out = it->get<std::int64_t>();
    return true;
  }
  // Keys an object may hold; anything else is most likely a typing mistake. Every unknown key is
  // named at once, each with the known key it most likely meant, so a file is mended in one go.
  //   unknown keys "colour", "devise" (did you mean device?); expected one of: name, …
  void allowOnly(const json& obj, const std::string& place, std::initializer_list<const char*> keys) {
    const std::vector<std::string_view> known(keys.begin(), keys.end());
    std::string unknown;
    int count = 0;
    constexpr int kNamed = 5;  // the error stays one readable line
    for (auto it = obj.begin(); it != obj.end(); ++it) {
      if (std::find(known.begin(), known.end(), it.key()) != known.end()) continue;
      if (count++ >= kNamed) continue;
      unknown += (count > 1 ? ", \"" : "\"") + it.key() + "\"";
      unknown += didYouMean(it.key(), known);
    }
    if (count == 0) return;
    if (count > kNamed) unknown += " and " + std::to_string(count - kNamed) + " more";
    fail(place, (count == 1 ? "unknown key " : "unknown keys ") + unknown + "; expected one of: " + commaList(known));
  }

 private:
  std::string file_;
  std::string error_;
  struct Warning {
    std::string text;
    bool ofSettings;
  };
  std::vector<Warning> warnings_;
};

// The reader has refused documents nested deeper than kDeepestScenarioJson, so the recursion is
// bounded. None when a null is inside (see nullIn).
std::optional<pl::Value> toPlist(const json& v) {
  switch (v.type()) {
    case json::value_t::boolean:
      return pl::Value(v.get<bool>());
    case json::value_t::number_integer:
      return pl::Value(v.get<std::int64_t>());
    case json::value_t::number_unsigned: {
      auto u = v.get<std::uint64_t>();
      return u > static_cast<std::uint64_t>(INT64_MAX) ? pl::Value::unsignedInteger(u)
                                                       : pl::Value(static_cast<std::int64_t>(u));
    }
    case json::value_t::number_float:
      return pl::Value(v.get<double>());
    case json::value_t::string:
      return pl::Value(v.get<std::string>());
    case json::value_t::array: {
      pl::Array a;
      for (const json& e : v) {
        auto p = toPlist(e);
        if (!p) return std::nullopt;
        a.push_back(std::move(*p));
      }
      return pl::Value(std::move(a));
    }
    case json::value_t::object: {
      pl::Dict d;
      for (auto it = v.begin(); it != v.end(); ++it) {
        auto p = toPlist(it.value());
        if (!p) return std::nullopt;
        d.emplace(it.key(), std::move(*p));
      }
      return pl::Value(std::move(d));
    }
    default:
      return std::nullopt;  // null, binary, discarded
  }
}

// The place of the first null in `v` (at `place`), which no property list can hold.
std::string nullIn(const json& v, const std::string& place) {
  if (v.is_array())
    for (std::size_t i = 0; i < v.size(); ++i)
      if (std::string at = nullIn(v[i], place + "[" + std::to_string(i) + "]"); !at.empty()) return at;
  if (v.is_object())
    for (auto it = v.begin(); it != v.end(); ++it)
      if (std::string at = nullIn(it.value(), join(place, it.key())); !at.empty()) return at;
  return v.is_null() ? place : std::string();
}

constexpr const char* kNoNull = "null has no property-list form; leave the key or element out";

bool readDict(Reader& r, const json& obj, const char* key, const std::string& place, std::optional<pl::Dict>* out) {
  auto it = obj.find(key);
  if (it == obj.end()) return false;
  if (!it->is_object()) {
    r.fail(join(place, key), "expected an object (a dictionary), got " + r.describe(*it));
    return false;
  }
  auto v = toPlist(*it);
  if (!v) {
    r.fail(nullIn(*it, join(place, key)), kNoNull);
    return false;
  }
  *out = *v->ifDict();
  return true;
}

// A real settings file named by a scenario, read whole and known to be a property-list dictionary.
struct SettingsFileRead {
  pl::Data bytes;
  pl::Dict values;
  std::string source;  // "my-phone.plist (binary)"
  std::string path;    // where it was read, for messages
};

constexpr std::uintmax_t kLargestSettingsFile = 16u << 20;

// `name` is relative to the scenario's folder unless absolute. Only a regular file is read, so a
// device node can never stall the reader.
std::optional<SettingsFileRead> readSettingsFile(Reader& r, const std::string& place, const std::string& name,
                                                 const std::string& baseDirectory) {
  namespace fs = std::filesystem;
  fs::path path(name);
  if (path.is_relative() && !baseDirectory.empty()) path = fs::path(baseDirectory) / path;
  std::error_code ec;
  if (name.empty() || !fs::is_regular_file(path, ec)) {
    r.fail(place, "expected the path of a property-list file, but \"" + path.string() + "\" is no file");
    return std::nullopt;
  }
  if (fs::file_size(path, ec) > kLargestSettingsFile) {
    r.fail(place, "\"" + path.string() + "\" is larger than 16 MiB; not a settings file");
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  pl::Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    r.fail(place, "cannot read \"" + path.string() + "\"");
    return std::nullopt;
  }
  auto value = pl::parse(bytes);
  if (!value) {
    r.fail(place, "\"" + path.string() + "\" is no property list the device can read: " + value.error());
    return std::nullopt;
  }
  if (!value->ifDict()) {
    const std::string type = pl::typeName(value->type());
    r.fail(place, "\"" + path.string() + "\" holds " + (type[0] == 'a' || type[0] == 'i' ? "an " : "a ") + type +
                      ", not a dictionary of settings");
    return std::nullopt;
  }
  const char* format = pl::detectFormat(bytes) == pl::Format::Binary ? "binary" : "XML";
  SettingsFileRead read{std::move(bytes), *value->ifDict(), name + " (" + format + ")", path.string()};
  r.warnOfSettings(checkRepeatedKeys(pl::repeatedTopKeys(read.bytes), read.values), read.path);
  r.warnOfSettings(checkSettings(read.values, ""), read.path);
  return read;
}

constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2200;

// Between `fewest` and `most` decimal digits at `pos` (no sign, no spaces); moves past them.
bool digitsAt(std::string_view s, std::size_t& pos, std::size_t fewest, std::size_t most, int* out) {
  std::size_t n = 0;
  int value = 0;
  while (pos + n < s.size() && n < most && std::isdigit(static_cast<unsigned char>(s[pos + n])))
    value = value * 10 + (s[pos + n++] - '0');
  if (n < fewest) return false;
  pos += n;
  *out = value;
  return true;
}

// "7:30", "07:30" or "07:30:15" at `pos` on the 24-hour clock; moves past it.
std::optional<std::array<int, 3>> clockAt(std::string_view s, std::size_t& pos) {
  int h, m, sec = 0;
  if (!digitsAt(s, pos, 1, 2, &h) || pos >= s.size() || s[pos] != ':') return std::nullopt;
  ++pos;
  if (!digitsAt(s, pos, 2, 2, &m)) return std::nullopt;
  if (pos < s.size() && s[pos] == ':' && (++pos, !digitsAt(s, pos, 2, 2, &sec))) return std::nullopt;
  if (h > 23 || m > 59 || sec > 59) return std::nullopt;
  return std::array<int, 3>{h, m, sec};
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The date part "2026-12-07" and the separator at `pos`; moves past them.
std::optional<std::array<int, 3>> dateAt(std::string_view s, std::size_t& pos) {
  int y, mo, d;
  if (!digitsAt(s, pos, 4, 4, &y) || pos >= s.size() || s[pos++] != '-') return std::nullopt;
  if (!digitsAt(s, pos, 1, 2, &mo) || pos >= s.size() || s[pos++] != '-') return std::nullopt;
  if (!digitsAt(s, pos, 1, 2, &d) || pos >= s.size() || (s[pos] != 'T' && s[pos] != ' ')) return std::nullopt;
  ++pos;
  // The virtual clock counts nanoseconds in 64 bits, which reach to the year 2262.
  if (y < kFirstYear || y > kLastYear || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo)) return std::nullopt;
  return std::array<int, 3>{y, mo, d};
}

// "2026-12-07T07:30:00" or "2026-12-07 07:30", in the years kFirstYear to kLastYear, nothing after.
std::optional<host::CalendarDate> parseDateTime(std::string_view s) {
  std::size_t pos = 0;
  auto date = dateAt(s, pos);
  auto clock = date ? clockAt(s, pos) : std::nullopt;
  if (!clock || pos != s.size()) return std::nullopt;
  return host::CalendarDate{(*date)[0], (*date)[1], (*date)[2], (*clock)[0], (*clock)[1], (*clock)[2]};
}

// "07:30" or "07:30:15" on the start day, nothing after.
std::optional<std::array<int, 3>> parseClock(std::string_view s) {
  std::size_t pos = 0;
  auto clock = clockAt(s, pos);
  if (!clock || pos != s.size()) return std::nullopt;
  return clock;
}

// What follows a time that reads well up to there ("pm" in "09:31pm"); empty when none does.
std::string textAfterTime(std::string_view s) {
  std::size_t pos = 0;
  if (auto date = dateAt(s, pos); !date) pos = 0;
  if (!clockAt(s, pos) || pos == s.size()) return {};
  return std::string(s.substr(pos));
}

// What to write instead of a time followed by `after`, fitting what that is.
std::string mendTime(std::string_view after) {
  std::string word;
  for (char c : after)
    if (c != ' ') word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (word == "am" || word == "pm" || word == "a.m." || word == "p.m.")
    return "times are on the 24-hour clock (\"21:31\", not \"09:31pm\")";
  if (word[0] == '.' || word[0] == ',')
    return "a time takes whole seconds (\"07:31:15\"); for parts of a second use an offset (\"+90.5s\")";
  if (word == "z" || word[0] == '+' || word[0] == '-')
    return "a time is local to the scenario's \"timeZone\" and takes no zone or offset of its own";
  return "write the time alone";
}

// How a local time the clocks skip or show twice is taken ("02:10 does not exist on 2026-03-29:
// taken as 03:10"); empty for any other time and for offsets.
std::string clockChangeNote(std::string_view text, const host::CalendarDate& start, const tz::TimeZone& zone) {
  host::CalendarDate d = start;
  if (auto full = parseDateTime(text)) {
    d = *full;
  } else if (auto clock = parseClock(text)) {
    d.hour = (*clock)[0], d.minute = (*clock)[1], d.second = (*clock)[2];
  } else {
    return {};
  }
  const tz::CivilTime civil{d.year, d.month, d.day, d.hour, d.minute, d.second};
  const std::size_t instants = tz::candidatesForCivil(civil, zone).size();
  if (instants == 1) return {};
  auto hhmm = [](const tz::CivilTime& c) {
    char out[16];
    std::snprintf(out, sizeof out, "%02d:%02d", c.hour, c.minute);
    std::string text = out;
    if (c.second) std::snprintf(out, sizeof out, ":%02d", c.second), text += out;
    return text;
  };
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year, d.month, d.day);
  if (instants == 0)
    return hhmm(civil) + " does not exist on " + date + ": taken as " +
           hhmm(tz::toCivil(tz::fromCivil(civil, zone), zone));
  return hhmm(civil) + " happens twice on " + date + ", as the clocks go back: taken as the first";
}

}  // namespace

Result<dispatch::Duration> offsetFromStart(std::string_view text, const host::CalendarDate& start,
                                           const std::function<dispatch::Instant(const host::CalendarDate&)>& zone) {
  if (!text.empty() && text[0] == '+') {
    // "+0:05" reads as minutes to some and seconds to others: only the three-part form is taken.
    if (std::count(text.begin(), text.end(), ':') == 1)
      return Error{"\"" + std::string(text) + "\" could be hours:minutes or minutes:seconds: write \"+H:MM:SS\" " +
                   "(\"+0:05:00\" is five minutes) or a unit (\"+5m\", \"+5s\")"};
    auto d = parseDuration(text.substr(1));
    if (!d)
      return Error{"expected a duration after \"+\" such as \"90s\", \"5m\", \"1h30m\" or \"0:05:00\", got \"" +
                   std::string(text) + "\""};
    return *d;
  }
  dispatch::Instant at;
  if (auto full = parseDateTime(text)) {
    at = zone(*full);
  } else if (auto clock = parseClock(text)) {
    host::CalendarDate d = start;
    d.hour = (*clock)[0];
    d.minute = (*clock)[1];
    d.second = (*clock)[2];
    at = zone(d);
  } else if (std::string after = textAfterTime(text); !after.empty()) {
    return Error{"\"" + std::string(text) + "\" has \"" + after + "\" after the time: " + mendTime(after)};
  } else {
    return Error{"expected a time like \"07:31\", \"07:31:15\", \"2026-12-07T07:31\", \"+90s\" or \"+1h30m\", got \"" +
                 std::string(text) + "\""};
  }
  if (at < zone(start)) {
    std::string hint;
    if (parseClock(text)) {  // a time of day earlier than the start: most likely the next day's
      using namespace std::chrono;
      const year_month_day next{sys_days{year{start.year} / start.month / start.day} + days{1}};
      char date[16];
      std::snprintf(date, sizeof date, "%04d-%02u-%02u", int(next.year()), unsigned(next.month()),
                    unsigned(next.day()));
      hint = " (the next day's is \"" + std::string(date) + "T" + std::string(text) + "\")";
    }
    return Error{"\"" + std::string(text) + "\" is before the scenario starts" + hint};
  }
  return at - zone(start);
}

namespace {

struct ActionSpecs {
  const char* name;
  ActionType type;
};
constexpr ActionSpecs kActions[] = {
    {"notification", ActionType::Notification},
    {"incoming-call", ActionType::IncomingCall},
    {"answer-call", ActionType::AnswerCall},
    {"end-call", ActionType::EndCall},
    {"open-app", ActionType::OpenApp},
    {"leave-app", ActionType::LeaveApp},
    {"read-messages", ActionType::ReadMessages},
    {"set-badge", ActionType::SetBadge},
    {"remove-notification", ActionType::RemoveNotification},
    {"act-on-notification", ActionType::ActOnNotification},
    {"tap-banner", ActionType::TapBanner},
    {"lock", ActionType::Lock},
    {"unlock", ActionType::Unlock},
    {"auto-lock", ActionType::AutoLock},
    {"quiet-mode", ActionType::QuietMode},
    {"settings", ActionType::Settings},
    {"settings-file", ActionType::SettingsFile},
    {"respring", ActionType::Respring},
    {"note", ActionType::Note},
};

class Parser {
 public:
  Parser(Reader& r, Scenario& s) : r_(r), s_(s) {}

  void device(const json& d) {
    const std::string place = "device";
    if (!d.is_object()) return r_.fail(place, "expected an object");
    r_.allowOnly(d, place, {"ios", "kind", "torch", "flash", "language", "processor", "answersInterfaceIdiom"});
    std::string ios, kind, processor;
    if (r_.string(d, "ios", place, &ios)) {
      if (!device::findRelease(ios)) return r_.fail(place + ".ios", device::findRelease(ios).error());
      s_.world.release = ios;
    }
    if (r_.string(d, "kind", place, &kind)) {
      // In any case, as --device takes it ("ipad").
      std::string lower = kind;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
      if (lower == "iphone")
        s_.world.idiom = device::Idiom::Phone;
      else if (lower == "ipad")
        s_.world.idiom = device::Idiom::Pad;
      else
        return r_.fail(place + ".kind", "expected \"iPhone\" or \"iPad\", got \"" + kind + "\"");
    }
    r_.boolean(d, "torch", place, &s_.world.hasTorch);
    r_.boolean(d, "flash", place, &s_.world.hasFlash);
    r_.boolean(d, "answersInterfaceIdiom", place, &s_.world.answersInterfaceIdiom);
    if (r_.string(d, "language", place, &s_.world.language))
      if (auto unknown = unknownLanguage(s_.world.language)) return r_.fail(place + ".language", *unknown);
    if (r_.string(d, "processor", place, &processor)) {
      if (processor != "64-bit" && processor != "32-bit")
        return r_.fail(place + ".processor", "expected \"64-bit\" or \"32-bit\", got \"" + processor + "\"");
      s_.world.is64Bit = processor == "64-bit";
    }
  }

  void apps(const json& a) {
    if (!a.is_array()) return r_.fail("apps", "expected an array of apps");
    for (std::size_t i = 0; i < a.size(); ++i) {
      const std::string place = "apps[" + std::to_string(i) + "]";
      const json& app = a[i];
      if (!app.is_object()) return r_.fail(place, "expected an object with \"bundleId\"");
      r_.allowOnly(app, place, {"bundleId", "name", "badge"});
      AppSpec appSpec;
      if (!r_.string(app, "bundleId", place, &appSpec.bundleId, true)) return;
      if (appSpec.bundleId.empty()) return r_.fail(place + ".bundleId", "expected a bundle identifier, got \"\"");
      if (!r_.string(app, "name", place, &appSpec.name)) appSpec.name = appSpec.bundleId;
      r_.integer(app, "badge", place, &appSpec.badge, 0);
      if (auto problem = declaredBefore(appSpec.bundleId)) return r_.fail(place + ".bundleId", *problem);
      s_.apps.push_back(appSpec);
    }
  }

  // Why `bundleId` cannot be declared again: an app of the device (whose badge follows its own
  // state) or one declared earlier in "apps".
  std::optional<std::string> declaredBefore(const std::string& bundleId) const {
    for (const apps::AppSpec& known : apps::knownApps())
      if (known.bundleId == bundleId)
        return "\"" + bundleId + "\" is an app of the device (quorvel-sim --list-apps): declare only other apps; " +
               "set its badge with a \"set-badge\" action";
    for (std::size_t i = 0; i < s_.apps.size(); ++i)
      if (s_.apps[i].bundleId == bundleId)
        return "\"" + bundleId + "\" is declared already, at apps[" + std::to_string(i) + "]";
    return std::nullopt;
  }

  std::optional<dispatch::Duration> when(const json& v, const std::string& place) {
    if (!v.is_string()) {
      r_.fail(place, "expected a time like \"07:31\", \"07:31:15\", \"+90s\" or \"+1h30m\", got " + r_.describe(v));
      return std::nullopt;
    }
    auto offset = offsetFromStart(v.get<std::string>(), s_.world.start, zoneInstant);
    if (!offset) {
      r_.fail(place, offset.error());
      return std::nullopt;
    }
    if (std::string note = clockChange(v.get<std::string>()); !note.empty())
      s_.clockNotes.push_back({*offset, place, note});
    return *offset;
  }

  // How a local time the clocks skip or show twice is taken; empty for any other time.
  std::string clockChange(const std::string& text) const { return clockChangeNote(text, s_.world.start, *timeZone); }

  void notification(const json& a, const std::string& place, Action& action) {
    r_.allowOnly(a, place,
                 {"at", "do", "event", "app", "categoryIdentifier", "remote", "local", "localArchive", "context",
                  "localFire", "badge", "title", "message", "label"});
    NotificationSpec& n = action.notification;
    r_.string(a, "event", place, &n.preset);
    r_.string(a, "app", place, &n.app);
    r_.string(a, "categoryIdentifier", place, &n.categoryIdentifier);
    readDict(r_, a, "remote", place, &n.remote);
    readDict(r_, a, "local", place, &n.local);
    r_.boolean(a, "localFire", place, &n.localFire);
    rawContext(a, place, n);
    std::int64_t badge;
    if (r_.integer(a, "badge", place, &badge, 0)) n.badge = badge;
    r_.string(a, "title", place, &n.title);
    r_.string(a, "message", place, &n.message);
    if (r_.string(a, "label", place, &n.label) && n.label.empty())
      return r_.fail(place + ".label", "expected a name for later actions, got \"\"");
    if (!n.preset.empty()) {
      const Preset* p = findPreset(n.preset);
      if (!p) {
        const std::vector<std::string> names = presetList();
        return r_.fail(place + ".event", "unknown event \"" + n.preset + "\"" +
                                             didYouMean(n.preset, {names.begin(), names.end()}) +
                                             "; known: " + presetNames());
      }
      if (p->needsApp && n.app.empty())
        return r_.fail(place, "event \"" + n.preset + "\" needs \"app\" (the listed app's bundle identifier)");
      if (!p->needsApp && !n.app.empty() && n.app != p->app)
        return r_.fail(place + ".app",
                       "event \"" + n.preset + "\" belongs to " + std::string(p->app) + ", not " + n.app);
    } else if (n.app.empty()) {
      r_.fail(place,
              "expected \"event\" (a known notification) or \"app\" (a bundle identifier for a raw notification)");
    }
  }

  // A local payload as archived bytes and a context of any type, played as they are.
  void rawContext(const json& a, const std::string& place, NotificationSpec& n) {
    std::string archive;
    if (r_.string(a, "localArchive", place, &archive)) {
      n.localArchive = fromBase64(archive);
      if (!n.localArchive)
        return r_.fail(place + ".localArchive",
                       "expected the archive's bytes as base64 (A-Z, a-z, 0-9, + and /, = padding), got " +
                           r_.describe(a.at("localArchive")));
      if (n.local) return r_.fail(place + ".localArchive", "give \"local\" or \"localArchive\", not both");
      if (n.localFire)
        return r_.fail(place + ".localFire",
                       "a local notification that fires needs \"local\" (its userInfo), not a raw archive");
    }
    auto context = a.find("context");
    if (context == a.end()) return;
    if (n.remote || n.local || n.localArchive)
      return r_.fail(place + ".context",
                     "\"context\" is the whole context: give it without \"remote\", \"local\" or \"localArchive\"");
    if (context->is_null()) return r_.fail(place + ".context", "expected a context of any JSON type but null");
    auto value = toPlist(*context);
    if (!value) return r_.fail(nullIn(*context, place + ".context"), kNoNull);
    n.context = std::move(*value);
  }

  void settingsFile(const json& a, const std::string& place, Action& action) {
    if (a.contains("set") || a.contains("remove"))
      return r_.fail(place + ".file", "give \"file\" (a whole settings file) or \"set\" and \"remove\", not both");
    if (!r_.string(a, "file", place, &action.settingsFileName)) return;
    if (auto read = readSettingsFile(r_, place + ".file", action.settingsFileName, baseDirectory)) {
      action.settingsFile = std::move(read->bytes);
      action.settingsFilePath = std::filesystem::absolute(read->path).lexically_normal().string();
      action.values = std::move(read->values);
    }
  }

  void settingsValues(const json& a, const std::string& place, Action& action) {
    auto set = a.find("set");
    if (set != a.end()) {
      if (!set->is_object()) return r_.fail(place + ".set", "expected an object of settings keys");
      for (auto it = set->begin(); it != set->end(); ++it) {
        if (it->is_null()) {
          action.removals.push_back(it.key());
          continue;
        }
        auto v = toPlist(it.value());
        if (!v)
          return r_.fail(nullIn(it.value(), place + ".set." + it.key()),
                         "null removes a whole key only (\"key\": null directly in \"set\"); inside a value it has "
                         "no property-list form");
        action.values.emplace(it.key(), std::move(*v));
      }
      r_.warnOfSettings(checkSettings(action.values, place + ".set"));
      r_.warnOfSettings(checkRemovedKeys(action.removals, place + ".set"));
    }
    auto remove = a.find("remove");
    if (remove != a.end()) {
      if (!remove->is_array()) return r_.fail(place + ".remove", "expected an array of keys");
      std::vector<std::string> removed;
      for (const json& k : *remove) {
        if (!k.is_string()) return r_.fail(place + ".remove", "expected key names (strings)");
        removed.push_back(k.get<std::string>());
      }
      r_.warnOfSettings(checkRemovedKeys(removed, place + ".remove"));
      for (const std::string& key : removed)
        if (action.values.count(key))
          return r_.fail(place + ".remove", "\"" + key + "\" is both set and removed; give it in one of them");
      action.removals.insert(action.removals.end(), removed.begin(), removed.end());
    }
    if (action.values.empty() && action.removals.empty())
      r_.fail(place, "nothing to do: expected keys in \"set\" or \"remove\"");
  }

  void action(const json& a, std::size_t i) {
    const std::string place = "actions[" + std::to_string(i) + "]";
    if (!a.is_object()) return r_.fail(place, "expected an object with \"at\" and \"do\"");
    Action action;
    action.place = place;
    std::string kind;
    if (!r_.string(a, "do", place, &kind, true)) return;
    auto appSpec =
        std::find_if(std::begin(kActions), std::end(kActions), [&](const ActionSpecs& s) { return kind == s.name; });
    if (appSpec == std::end(kActions)) {
      std::vector<std::string_view> names;
      for (const auto& row : kActions) names.emplace_back(row.name);
      return r_.fail(place + ".do",
                     "unknown action \"" + kind + "\"" + didYouMean(kind, names) + "; known: " + commaList(names));
    }
    action.type = appSpec->type;
    auto at = a.find("at");
    if (at == a.end()) return r_.fail(place, "expected \"at\" (when it happens)");
    auto offset = when(*at, place + ".at");
    if (!offset) return;
    action.at = *offset;
    action.when = at->get<std::string>();
    switch (action.type) {
      case ActionType::Notification:
        notification(a, place, action);
        break;
      case ActionType::IncomingCall:
        r_.allowOnly(a, place, {"at", "do", "from"});
        r_.string(a, "from", place, &action.app);
        break;
      case ActionType::OpenApp:
      case ActionType::LeaveApp:
        r_.allowOnly(a, place, {"at", "do", "app"});
        r_.string(a, "app", place, &action.app, true);
        break;
      case ActionType::ReadMessages:
        r_.allowOnly(a, place, {"at", "do", "count"});
        action.count = -1;  // all
        action.countGiven = r_.integer(a, "count", place, &action.count);
        break;
      case ActionType::SetBadge:
        r_.allowOnly(a, place, {"at", "do", "app", "value"});
        r_.string(a, "app", place, &action.app, true);
        if (!r_.integer(a, "value", place, &action.count, 0) && !r_.failed())
          r_.fail(place, "expected \"value\" (the badge number)");
        break;
      case ActionType::RemoveNotification:
        r_.allowOnly(a, place, {"at", "do", "notification"});
        r_.string(a, "notification", place, &action.target);
        break;
      case ActionType::ActOnNotification:
        r_.allowOnly(a, place, {"at", "do", "notification", "from"});
        r_.string(a, "notification", place, &action.target);
        action.origin = "notification-centre";
        r_.string(a, "from", place, &action.origin);
        if (action.origin != "lock-screen" && action.origin != "notification-centre")
          r_.fail(place + ".from", "expected \"lock-screen\" or \"notification-centre\"");
        break;
      case ActionType::QuietMode:
        r_.allowOnly(a, place, {"at", "do", "on"});
        if (!r_.boolean(a, "on", place, &action.on) && !r_.failed()) r_.fail(place, "expected \"on\": true or false");
        break;
      case ActionType::Settings:
        r_.allowOnly(a, place, {"at", "do", "set", "remove"});
        settingsValues(a, place, action);
        break;
      case ActionType::SettingsFile:
        r_.allowOnly(a, place, {"at", "do", "set", "remove", "file"});
        if (a.contains("file"))
          settingsFile(a, place, action);
        else
          settingsValues(a, place, action);
        break;
      case ActionType::Note:
        r_.allowOnly(a, place, {"at", "do", "text"});
        r_.string(a, "text", place, &action.text, true);
        break;
      default:
        r_.allowOnly(a, place, {"at", "do"});
        break;
    }
    s_.actions.push_back(std::move(action));
  }

  std::function<dispatch::Instant(const host::CalendarDate&)> zoneInstant;
  const tz::TimeZone* timeZone = nullptr;
  std::string baseDirectory;  // where paths in the scenario start from

 private:
  Reader& r_;
  Scenario& s_;
};

}  // namespace

const char* actionName(ActionType t) {
  for (const auto& s : kActions)
    if (s.type == t) return s.name;
  return "?";
}

namespace {

// A switch reads "on" or "off"; inside a list a boolean is shown as the file has it ("[true]"),
// since no switch is read from a list and "[on]" would read as a switch that is on.
std::string settingValue(const pl::Value& v, bool inList = false) {
  if (const pl::Data* d = v.ifData()) return "<" + std::to_string(d->size()) + " bytes of data>";
  if (v.ifDate()) return "(a date)";
  if (const bool* b = v.ifBool()) return inList ? (*b ? "true" : "false") : (*b ? "on" : "off");
  if (const std::int64_t* i = v.ifInteger())
    return v.isUnsigned64() ? std::to_string(static_cast<std::uint64_t>(*i)) : std::to_string(*i);
  if (const double* r = v.ifReal()) {
    if (std::isnan(*r)) return "nan";  // JSON would print null, which the file does not hold
    return std::isinf(*r) ? (*r > 0 ? "inf" : "-inf") : json(*r).dump();
  }
  if (const std::string* s = v.ifString()) return json(*s).dump();
  if (const pl::Array* a = v.ifArray()) {
    std::string out;
    for (const pl::Value& e : *a) out += (out.empty() ? "" : ", ") + settingValue(e, true);
    return "[" + out + "]";
  }
  return "(" + std::string(v.ifDict() ? "dictionary" : "value") + ")";
}

}  // namespace

std::string describeSettings(const pl::Dict& values, const std::vector<std::string>& removals) {
  std::string out;
  for (const auto& [key, value] : values) out += (out.empty() ? "" : ", ") + key + " " + settingValue(value);
  for (const std::string& key : removals) out += (out.empty() ? "" : ", ") + key + " removed";
  return out;
}

namespace {

// " (did you mean Europe/Berlin?)" for "europe/berlin" or "Europe/Berln": each part of the name
// matched against the zone folder's own entries at that level.
std::string nearestZone(const std::string& name, const std::filesystem::path& zoneinfo = "/usr/share/zoneinfo") {
  std::filesystem::path found = zoneinfo;
  std::string spelled;
  std::stringstream parts(name);
  for (std::string part; std::getline(parts, part, '/');) {
    std::vector<std::string> entries;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(found, ec)) entries.push_back(entry.path().filename());
    const std::vector<std::string> near = nearestNames(part, {entries.begin(), entries.end()}, 1);
    if (near.empty()) return "";
    found /= near.front();
    spelled += (spelled.empty() ? "" : "/") + near.front();
  }
  std::error_code ec;
  return spelled != name && std::filesystem::is_regular_file(found, ec) ? " (did you mean " + spelled + "?)" : "";
}

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

std::optional<pl::Data> fromBase64(std::string_view text) {
  pl::Data out;
  std::uint32_t bits = 0;
  int pending = 0, padding = 0;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const std::size_t value = kBase64.find(c);
    if (value == std::string_view::npos || padding > 0) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    pending += 6;
    if (pending >= 8) {
      pending -= 8;
      out.push_back(static_cast<std::uint8_t>(bits >> pending));
    }
  }
  // A lone character of a final group carries too few bits for a byte.
  if (pending >= 6 || padding > 2) return std::nullopt;
  return out;
}

std::string toBase64(const pl::Data& bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) group = (group << 8) | (k < n ? bytes[i + k] : 0);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kBase64[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// A scenario spans at most 400 days; longer spans are mistakes (and would leave the clock's range).
constexpr int kLongestHours = kLongestRunDays * 24;

std::optional<dispatch::Duration> parseDuration(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // "H:MM:SS", hours of any number of digits.
  if (text.find(':') != std::string_view::npos) {
    std::size_t pos = 0;
    int h, m, sec;
    if (!digitsAt(text, pos, 1, 7, &h) || pos >= text.size() || text[pos++] != ':' || !digitsAt(text, pos, 2, 2, &m) ||
        pos >= text.size() || text[pos++] != ':' || !digitsAt(text, pos, 2, 2, &sec) || pos != text.size())
      return std::nullopt;
    if (h > kLongestHours || m > 59 || sec > 59) return std::nullopt;
    return std::chrono::seconds(std::int64_t{h} * 3600 + m * 60 + sec);
  }
  // A sequence of number+unit: "1h30m", "90s", "2d", "1.5s", "500ms"; the units from the largest
  // down, each once ("1h1h" or "30m1h" is a slip, not a sum).
  dispatch::Duration total{};
  std::size_t i = 0;
  bool any = false;
  double lastUnit = 1e9;  // above a day
  while (i < text.size()) {
    std::size_t j = i;
    while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '.')) ++j;
    if (j == i || std::count(text.begin() + i, text.begin() + j, '.') > 1) return std::nullopt;
    double number = std::strtod(std::string(text.substr(i, j - i)).c_str(), nullptr);
    std::size_t k = j;
    while (k < text.size() && std::isalpha(static_cast<unsigned char>(text[k]))) ++k;
    std::string_view unit = text.substr(j, k - j);
    double unitSeconds;
    if (unit == "ms")
      unitSeconds = 0.001;
    else if (unit == "s")
      unitSeconds = 1;
    else if (unit == "m" || unit == "min")
      unitSeconds = 60;
    else if (unit == "h")
      unitSeconds = 3600;
    else if (unit == "d")
      unitSeconds = 86400;
    else
      return std::nullopt;
    if (unitSeconds >= lastUnit) return std::nullopt;
    lastUnit = unitSeconds;
    const double seconds = number * unitSeconds;
    if (seconds > kLongestHours * 3600.0) return std::nullopt;
    // To the millisecond, as a dump writes it back.
    total += std::chrono::round<std::chrono::milliseconds>(std::chrono::duration<double>(seconds));
    if (total > std::chrono::hours(kLongestHours)) return std::nullopt;
    any = true;
    i = k;
  }
  if (!any) return std::nullopt;
  return total;
}

Result<Scenario> parseScenario(std::string_view text, std::string_view fileName) {
  Reader r(fileName);
  Result<json> read = readScenarioJson(text, fileName);
  if (!read) return Error{read.error()};
  const json& doc = *read;
  if (!doc.is_object()) return Error{std::string(fileName) + ": expected a JSON object at the top"};
  Scenario s;
  s.sourceFile = std::string(fileName);
  r.allowOnly(doc, "",
              {"name", "description", "device", "start", "timeZone", "settings", "apps", "locked", "actions", "run",
               "seed", "$schema"});
  r.string(doc, "name", "", &s.name);
  r.string(doc, "description", "", &s.description);
  Parser p(r, s);
  p.baseDirectory = std::filesystem::path(fileName).parent_path().string();
  if (auto d = doc.find("device"); d != doc.end()) p.device(*d);
  std::string zone;
  if (r.string(doc, "timeZone", "", &zone)) s.world.timeZone = zone;
  tz::TimeZone timeZone = tz::TimeZone::utc();
  if (s.world.timeZone != "UTC") {
    auto z = tz::TimeZone::load(s.world.timeZone);
    if (!z)
      r.fail("timeZone",
             "expected a time-zone name such as \"Europe/Berlin\": " + z.error() + nearestZone(s.world.timeZone));
    else
      timeZone = *z;
  }
  p.timeZone = &timeZone;
  p.zoneInstant = [&timeZone](const host::CalendarDate& d) {
    return dispatch::Instant(
        tz::fromCivil(tz::CivilTime{d.year, d.month, d.day, d.hour, d.minute, d.second}, timeZone));
  };
  std::string start;
  if (r.string(doc, "start", "", &start)) {
    auto d = parseDateTime(start);
    if (!d) {
      r.fail("start", "expected a local date and time like \"2026-12-07T07:30:00\" in the years 1970 to 2200, got \"" +
                          start + "\"");
    } else {
      s.world.start = *d;
      if (std::string note = p.clockChange(start); !note.empty()) s.clockNotes.push_back({{}, "start", note});
    }
  }
  std::string settingsFileRead;  // as its warnings name it
  if (auto set = doc.find("settings"); set != doc.end()) {
    if (set->is_string()) {
      if (auto file = readSettingsFile(r, "settings", set->get<std::string>(), p.baseDirectory)) {
        s.world.settingsFile = std::move(file->bytes);
        s.world.settings = std::move(file->values);
        s.settingsSource = std::move(file->source);
        s.settingsPath = std::filesystem::absolute(file->path).lexically_normal().string();
        settingsFileRead = file->path;
      }
    } else if (!set->is_object()) {
      r.fail("settings", "expected an object of settings or the path of a property-list file, got " + r.describe(*set));
    } else {
      std::optional<pl::Dict> settings;
      if (readDict(r, doc, "settings", "", &settings)) r.warnOfSettings(checkSettings(*settings, "settings"));
      s.world.settings = settings;
    }
  }
  if (auto a = doc.find("apps"); a != doc.end()) p.apps(*a);
  r.boolean(doc, "locked", "", &s.world.startLocked);
  if (auto seed = doc.find("seed"); seed != doc.end()) {
    // As --seed takes it: every seed of the random source, none wrapped from a number below zero.
    if (seed->is_number_unsigned())
      s.seed = seed->get<std::uint64_t>();
    else
      r.fail("seed", "expected a whole number from 0 to 18446744073709551615, got " + r.describe(*seed));
  }
  std::string schema;  // for editors only; the reader takes it as it is
  r.string(doc, "$schema", "", &schema);
  if (auto acts = doc.find("actions"); acts != doc.end()) {
    if (!acts->is_array())
      r.fail("actions", "expected an array of actions");
    else
      for (std::size_t i = 0; i < acts->size() && !r.failed(); ++i) p.action((*acts)[i], i);
  }
  auto run = doc.find("run");
  if (run == doc.end()) {
    r.fail("", "expected \"run\" (how long to play, such as \"2h\", or until a time such as \"12:00\")");
  } else if (!r.failed()) {
    // A clock time ("12:00") runs until then; a duration ("2h", "+2h") runs that long.
    const std::string text = run->is_string() ? run->get<std::string>() : std::string();
    if (!text.empty() && text.find(':') == std::string::npos) {
      auto d = parseDuration(text[0] == '+' ? text.substr(1) : text);
      if (!d)
        r.fail("run",
               "expected a duration such as \"2h\" or \"90m\", or a time such as \"12:00\", got \"" + text + "\"");
      else
        s.duration = *d;
    } else if (auto until = p.when(*run, "run")) {
      s.duration = *until;
    }
    if (!r.failed() && s.duration <= dispatch::Duration::zero())
      r.fail("run", "\"" + text + "\" ends where the scenario starts: nothing would play");
  }
  if (r.failed()) return Error{r.error()};
  if (auto label = unknownLabel(s.actions)) return Error{std::string(fileName) + ": " + *label};
  r.warn(checkActions(s.actions, s.apps));
  if (s.world.settings)
    r.warnOfSettings(checkListedApps(*s.world.settings, settingsFileRead.empty() ? "settings" : "", s.actions, s.apps),
                     settingsFileRead);
  for (const Action& a : s.actions)
    if (a.type == ActionType::Settings || a.type == ActionType::SettingsFile)
      r.warnOfSettings(checkListedApps(a.values, a.place + ".set", s.actions, s.apps));
  r.takeWarnings(releaseReadsSettings(s.world.release), &s.warnings, &s.unreadSettingsWarnings);
  for (const Action& a : s.actions)
    if (a.at > s.duration)
      return Error{std::string(fileName) + ": " + a.place + ".at: \"" + a.when + "\" comes after the end of the run (\"run\")"};
  std::stable_sort(s.actions.begin(), s.actions.end(), [](const Action& a, const Action& b) { return a.at < b.at; });
  std::stable_sort(s.clockNotes.begin(), s.clockNotes.end(),
                   [](const ClockNote& a, const ClockNote& b) { return a.at < b.at; });
  return s;
}

namespace {

// The scenario's time zone, read again from the system's zone files.
Result<tz::TimeZone> zoneOf(const Scenario& scenario) {
  if (scenario.world.timeZone == "UTC") return tz::TimeZone::utc();
  return tz::TimeZone::load(scenario.world.timeZone);
}

}  // namespace

Result<dispatch::Duration> offsetInScenario(const Scenario& scenario, std::string_view text) {
  const Result<tz::TimeZone> zone = zoneOf(scenario);
  if (!zone) return Error{zone.error()};
  return offsetFromStart(text, scenario.world.start, [&zone](const host::CalendarDate& d) {
    return dispatch::Instant(tz::fromCivil(tz::CivilTime{d.year, d.month, d.day, d.hour, d.minute, d.second}, *zone));
  });
}

std::string clockChangeInScenario(const Scenario& scenario, std::string_view text) {
  const Result<tz::TimeZone> zone = zoneOf(scenario);
  return zone ? clockChangeNote(text, scenario.world.start, *zone) : std::string();
}

namespace {

constexpr std::size_t kLargestScenario = 16u << 20;

// Reads `in` whole; an error (errno's text) when a read fails or the text outgrows a scenario.
Result<std::string> readAll(std::FILE* in, std::string_view name) {
  std::string text;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
    text.append(buffer, n);
    if (text.size() > kLargestScenario) return Error{std::string(name) + ": larger than 16 MiB; not a scenario"};
  }
  if (std::ferror(in)) return Error{std::string(name) + ": cannot be read: " + std::strerror(errno)};
  return text;
}

}  // namespace

Result<Scenario> loadScenarioFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return Error{path + ": no such file"};
  if (status.type() == fs::file_type::directory) return Error{path + ": is a directory, not a scenario file"};
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return Error{path + ": cannot be read: " + std::strerror(errno)};
  Result<std::string> text = readAll(in, path);
  std::fclose(in);
  if (!text) return Error{text.error()};
  return parseScenario(*text, path);
}

Result<Scenario> loadScenarioStream(std::FILE* in, std::string_view name) {
  Result<std::string> text = readAll(in, name);
  if (!text) return Error{text.error()};
  return parseScenario(*text, name);
}

}  // namespace qv::sim
