#include "sim/settings_check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "alerts/quiet_hours.h"
#include "alerts/sound.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "sim/nearest_names.h"

namespace qv::sim {
namespace {

using core::Rule;
using core::SettingKey;

// A value as a tester wrote it: JSON for what JSON can say, a word for the rest.
std::string shown(const pl::Value& v) {
  if (const bool* b = v.ifBool()) return *b ? "true" : "false";
  if (const std::int64_t* i = v.ifInteger())
    return v.isUnsigned64() ? std::to_string(static_cast<std::uint64_t>(*i)) : std::to_string(*i);
  if (const double* r = v.ifReal()) return nlohmann::json(*r).dump();
  if (const std::string* s = v.ifString()) return nlohmann::json(*s).dump();
  if (const pl::Array* a = v.ifArray()) {
    std::string out;
    for (const pl::Value& e : *a) out += (out.empty() ? "" : ", ") + shown(e);
    out = "[" + out + "]";
    return out.size() > 40 ? out.substr(0, 36) + "...]" : out;
  }
  if (v.ifDict()) return "a dictionary";
  if (v.ifData()) return "data";
  if (v.ifDate()) return "a date";
  return std::string("a ") + pl::typeName(v.type());
}

std::string numberDefault(const SettingKey& key) {
  if (key.numberDefault == core::kUnlimitedRepeats) return "the default (no limit)";
  return "the default (" + std::to_string(key.numberDefault) + (key.rule == Rule::Interval ? " s)" : ")");
}

std::string numberRead(const SettingKey& key, std::int64_t reads) {
  return reads == key.numberDefault ? numberDefault(key) : std::to_string(reads);
}

// Strings the settings pane or a tester writes for a switch, which read as they say.
bool isSwitchWord(const std::string& text, bool reads) {
  std::string word;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (word == "yes" || word == "true" || word == "on" || word == "1") return reads;
  if (word == "no" || word == "false" || word == "off" || word == "0") return !reads;
  return false;
}

std::string checkFlag(const SettingKey& key, const pl::Value& v) {
  if (v.ifBool() || v.ifInteger() || v.ifReal()) return {};
  const bool reads = core::readFlag(key, &v);
  if (const std::string* s = v.ifString())
    return isSwitchWord(*s, reads) ? "" : shown(v) + " is a string: the library reads its boolean, " + (reads ? "on" : "off");
  return shown(v) + " has no boolean: the library reads the default (" + (reads ? "on" : "off") + ")";
}

std::string checkNumber(const SettingKey& key, const pl::Value& v) {
  const std::optional<std::int64_t> n = v.numberAsInteger();
  const std::int64_t reads = core::readNumber(key, &v);
  std::string as = shown(v);
  // The library keeps the bits of an unsigned number above the signed range: it wraps below zero.
  if (v.isUnsigned64() && n) as += " (above 9223372036854775807: read as " + std::to_string(*n) + ")";
  if (v.ifString()) return as + " is not a number: the library reads " + numberDefault(key);
  if (const double* r = v.ifReal(); r && !n)
    return as + " is beyond the whole numbers the library reads: it reads " + numberDefault(key);
  if (!n) return as + " is not a number: the library reads " + numberDefault(key);
  if (v.ifBool()) return as + " is not a number: the library reads " + numberRead(key, reads);
  if (const double* r = v.ifReal(); r && *r != std::trunc(*r))
    return as + " is not a whole number: the library reads " + numberRead(key, reads);
  if (reads == *n) {
    if (key.rule == Rule::Count && *n < 0) return as + " is below zero: the reminder alerts once, as with 1";
    return {};
  }
  if (*n == 0) return as + " is taken as unset: the library reads " + numberDefault(key);
  switch (key.rule) {
    case Rule::Interval: return as + " is not a positive number of seconds: the library reads " + numberDefault(key);
    case Rule::Hour: return as + " is not an hour (0 to 23): the library reads " + numberDefault(key);
    case Rule::Minute: return as + " is not a minute (0 to 59): the library reads " + numberDefault(key);
    default: return as + ": the library reads " + numberRead(key, reads);
  }
}

// The sounds the package installs, by file name.
std::vector<std::string> packageSounds() {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(QV_SOURCE_DIR) / "package" / "Sounds", ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Every string key names a sound of the Sounds folder.
std::string checkSound(const SettingKey& key, const pl::Value& v) {
  const std::string* name = v.ifString();
  if (!name)
    return shown(v) + " is not a string: the library reads the default (\"" + std::string(key.stringDefault) + "\")";
  if (alerts::reminderSoundPath(*name).empty())
    return shown(v) + " is no file name in the Sounds folder: no sound plays";
  const std::vector<std::string> sounds = packageSounds();
  if (std::find(sounds.begin(), sounds.end(), *name) != sounds.end()) return {};
  const std::vector<std::string_view> known(sounds.begin(), sounds.end());
  const std::vector<std::string> near = nearestNames(*name, known);
  std::string out = shown(v) + " is no sound in the Sounds folder: no sound plays";
  if (!near.empty()) out += "; did you mean " + oneOf(near) + "?";
  return out;
}

void checkList(const pl::Value& v, const std::string& at, std::vector<std::string>& out) {
  const pl::Array* list = v.ifArray();
  if (!list) {
    out.push_back(at + ": " + shown(v) + " is not a list: the library reads an empty list");
    return;
  }
  for (std::size_t i = 0; i < list->size(); ++i)
    if (!(*list)[i].ifString())
      out.push_back(at + "[" + std::to_string(i) + "]: " + shown((*list)[i]) + " is not a bundle identifier (a string): " +
                    "the library skips it");
}

const SettingKey* findKey(std::string_view name) {
  for (const SettingKey& k : core::kSettingKeys)
    if (k.name == name) return &k;
  return nullptr;
}

std::string unknownKey(std::string_view name) {
  std::vector<std::string_view> names;
  for (const SettingKey& k : core::kSettingKeys) names.push_back(k.name);
  const std::vector<std::string> near = nearestNames(name, names);
  if (near.empty()) return "no such setting: the library never reads it";
  return "no such setting; did you mean " + oneOf(near) + "?";
}

std::string at(const std::string& place, const std::string& key) { return place.empty() ? key : place + "." + key; }

// Hours that give a window closing before it opens: the gate compares within one day, so no
// reminder may start at all (a night-time window does not run past midnight). Judged when the
// values hold both hours; the minutes they lack take their defaults.
std::string closedWindow(const pl::Dict& values) {
  if (!values.contains("fromHour") || !values.contains("toHour")) return {};
  auto read = [&](const char* name) {
    const auto it = values.find(name);
    return static_cast<int>(core::readNumber(*findKey(name), it == values.end() ? nullptr : &it->second));
  };
  const alerts::ActiveWindow w{read("fromHour"), read("fromMin"), read("toHour"), read("toMin")};
  const int opens = w.fromHour * 60 + w.fromMinute, closes = w.toHour * 60 + w.toMinute;
  if (opens < closes) return {};
  return "the " + alerts::windowText(w) +
         (opens == closes ? " opens and closes at once" : " closes before it opens (it does not run past midnight)") +
         ": no reminder may start";
}

}  // namespace

std::vector<std::string> checkSettings(const pl::Dict& values, const std::string& place) {
  std::vector<std::string> out;
  for (const auto& [name, value] : values) {
    const std::string where = at(place, name.empty() ? "\"\"" : name);  // "settings.\"\"", not "settings."
    const SettingKey* key = findKey(name);
    if (!key) {
      out.push_back(where + ": " + unknownKey(name));
      continue;
    }
    std::string problem;
    switch (key->rule) {
      case Rule::FlagDefaultOn:
      case Rule::FlagDefaultOff: problem = checkFlag(*key, value); break;
      case Rule::Count:
      case Rule::Interval:
      case Rule::Hour:
      case Rule::Minute: problem = checkNumber(*key, value); break;
      case Rule::String: problem = checkSound(*key, value); break;
      case Rule::StringList: checkList(value, where, out); break;
      case Rule::WrittenOnly: break;
    }
    if (!problem.empty()) out.push_back(where + ": " + problem);
  }
  if (const std::string closed = closedWindow(values); !closed.empty()) out.push_back(at(place, "toHour") + ": " + closed);
  return out;
}

std::vector<std::string> checkRepeatedKeys(const std::vector<std::string>& keys, const pl::Dict& values) {
  std::vector<std::string> out;
  for (const std::string& key : keys) {
    const auto read = values.find(key);
    out.push_back((key.empty() ? "\"\"" : key) + ": given more than once: only the last" +
                  (read == values.end() ? std::string() : ", " + shown(read->second) + ",") + " is read");
  }
  return out;
}

bool releaseReadsSettings(std::string_view version) {
  // As the library decides: the system version read as a number, below 8.0 nothing is read.
  return std::strtof(std::string(version).c_str(), nullptr) >= 8.0f;
}

std::vector<std::string> checkRemovedKeys(const std::vector<std::string>& keys, const std::string& place) {
  std::vector<std::string> out;
  for (const std::string& name : keys)
    if (!findKey(name)) out.push_back(place + ": \"" + name + "\": " + unknownKey(name));
  return out;
}

}  // namespace qv::sim
