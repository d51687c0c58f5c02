// SettingsDictionary and the values derived from it. `load` is loadPreferences: it replaces the
// dictionary whole (systems before 8.0 never read the domain, so every key takes its default).
// Readers never cache: each decision asks for its key when it is taken, through the key's
// rule in kSettingKeys. A flag is the value's boolean whatever its type ("NO" is off); a value
// with no reading for its rule (an array for a flag, a string for a number) reads as absent.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings_keys.h"
#include "platform/host/host.h"
#include "platform/plist/value.h"

namespace qv::core {

class Settings {
 public:
  Settings() = default;
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  // loadPreferences. False when the system is older than 8.0, which never reads the domain.
  bool load(host::Host& process);

  // The key read by its rule (flags, numbers with their 0-means-default rule, strings).
  bool flag(Key k) const;
  std::int64_t number(Key k) const;
  std::string string(Key k) const;
  // The stored value's boolean (a boolean, number or string, read as the platform's `boolValue`);
  // none when absent or of a type with no boolean. For the tests written as "present and false".
  std::optional<bool> storedBool(Key k) const;
  // Whether "otherApplications" lists the bundle identifier.
  bool listsApp(std::string_view bundleId) const;

  // Derived at each load that reads the domain.
  const std::vector<std::string>& otherApplicationsList() const { return otherApplicationsList_; }
  bool showStatusEnabled() const { return showStatusEnabled_; }
  // The dictionary itself; null while absent.
  const pl::Dict* dictionary() const { return dictionary_.get(); }
  std::uint64_t loadCount() const { return loads_; }
  // The system version the last load read ("7.1").
  const std::string& systemVersion() const { return systemVersion_; }

 private:
  const pl::Value* find(Key k) const;

  std::shared_ptr<const pl::Dict> dictionary_;  // immutable: the host may share it
  // Where each key's value sits in `dictionary_` (null: absent), found once per dictionary: a
  // reload that hands back the same unchanged dictionary keeps it.
  std::array<const pl::Value*, kSettingKeys.size()> values_{};
  std::vector<std::string> otherApplicationsList_;
  bool showStatusEnabled_ = false;
  std::uint64_t loads_ = 0;
  std::string systemVersion_;
};

// A stored value (null when absent) as its key's rule reads it: what Settings answers for a
// dictionary that holds it. For readers that have a value but no Settings (scenario checks).
bool readFlag(const SettingKey& key, const pl::Value* value);
std::int64_t readNumber(const SettingKey& key, const pl::Value* value);
std::string readString(const SettingKey& key, const pl::Value* value);

// The strings of a property-list array, skipping entries of other types; empty for a non-array.
std::vector<std::string> stringList(const pl::Value* value);

}  // namespace qv::core
