#include "core/settings.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/host/messages.h"

namespace qv::core {

std::vector<std::string> stringList(const pl::Value* value) {
  std::vector<std::string> out;
  const pl::Array* array = value ? value->ifArray() : nullptr;
  if (!array) return out;
  for (const pl::Value& v : *array)
    if (const std::string* s = v.ifString()) out.push_back(*s);
  return out;
}

bool Settings::load(host::Host& process) {
  ++loads_;
  // Held until the end, so an unchanged dictionary handed back is recognised by its address. The
  // places found in it stay until then too: nothing reads the settings while they load, and the
  // usual reload (at every gate) gets the same dictionary back.
  const std::shared_ptr<const pl::Dict> previous = std::move(dictionary_);
  dictionary_.reset();
  objc::Class* deviceClass = process.runtime().getClass("UIDevice");
  objc::Id device = host::send(deviceClass, host::msg::currentDevice);
  systemVersion_ = host::send(device, host::msg::systemVersion);
  // Every process of a device reports the same version at every load.
  thread_local std::pair<std::string, float> lastVersion{"", 0.0f};
  if (lastVersion.first != systemVersion_)
    lastVersion = {systemVersion_, std::strtof(systemVersion_.c_str(), nullptr)};
  const float version = lastVersion.second;
  // Before 8.0 the domain is never read: everything runs on defaults, and the derived values
  // keep what they had.
  if (version < 8.0f) {
    values_.fill(nullptr);
    return false;
  }
  const std::shared_ptr<const std::vector<std::string>> keys =
      process.prefsCopyKeyList(kSettingsDomain, host::PrefsUser::Current, host::PrefsHost::Any);
  dictionary_ = process.prefsCopyMultiple(*keys, kSettingsDomain, host::PrefsUser::Current, host::PrefsHost::Any);
  // The same dictionary as at the last load: what was derived from it still holds.
  if (dictionary_ && dictionary_ == previous) return true;
  values_.fill(nullptr);
  // Every process loads the same shared dictionary after a change: the first one finds the keys.
  thread_local std::weak_ptr<const pl::Dict> lastDictionary;
  thread_local std::array<const pl::Value*, kSettingKeys.size()> lastValues{};
  if (dictionary_ && lastDictionary.lock() == dictionary_) {
    values_ = lastValues;
  } else if (dictionary_) {
    // One walk through the sorted dictionary beside the key table in name order, no lookup per key.
    static const std::array<const SettingKey*, kSettingKeys.size()> byName = [] {
      std::array<const SettingKey*, kSettingKeys.size()> keys;
      for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = &kSettingKeys[i];
      std::sort(keys.begin(), keys.end(), [](const SettingKey* a, const SettingKey* b) { return a->name < b->name; });
      return keys;
    }();
    auto it = dictionary_->begin();
    const auto end = dictionary_->end();
    for (const SettingKey* key : byName) {
      int order = -1;  // of the stored key against the wanted one
      while (it != end && (order = std::string_view(it->first).compare(key->name)) < 0) ++it;
      if (it == end) break;
      if (order == 0) values_[static_cast<std::size_t>(key->key)] = &it->second;
    }
    lastDictionary = dictionary_;
    lastValues = values_;
  }
  otherApplicationsList_ = stringList(find(Key::otherApplications));
  showStatusEnabled_ = flag(Key::showStatus);
  return true;
}

const pl::Value* Settings::find(Key k) const {
  const auto i = static_cast<std::size_t>(k);
  return i < values_.size() ? values_[i] : nullptr;
}

std::optional<bool> Settings::storedBool(Key k) const {
  const pl::Value* v = find(k);
  return v ? v->boolValue() : std::nullopt;
}

bool readFlag(const SettingKey& key, const pl::Value* value) {
  const std::optional<bool> stored = value ? value->boolValue() : std::nullopt;
  return stored.value_or(key.rule == Rule::FlagDefaultOn);
}

std::int64_t readNumber(const SettingKey& key, const pl::Value* value) {
  const std::int64_t n = value ? value->numberAsInteger().value_or(0) : 0;
  switch (key.rule) {
    case Rule::Interval: return n > 0 ? n : key.numberDefault;
    // Out of range, the calendar would carry the value into the next hour or day.
    case Rule::Hour: return n > 0 && n <= 23 ? n : key.numberDefault;
    case Rule::Minute: return n > 0 && n <= 59 ? n : key.numberDefault;
    default: return n != 0 ? n : key.numberDefault;
  }
}

std::string readString(const SettingKey& key, const pl::Value* value) {
  const std::string* s = value ? value->ifString() : nullptr;
  return s ? *s : std::string(key.stringDefault);
}

bool Settings::flag(Key k) const { return readFlag(settingKey(k), find(k)); }

std::int64_t Settings::number(Key k) const { return readNumber(settingKey(k), find(k)); }

std::string Settings::string(Key k) const { return readString(settingKey(k), find(k)); }

bool Settings::listsApp(std::string_view bundleId) const {
  const pl::Value* v = find(Key::otherApplications);
  const pl::Array* array = v ? v->ifArray() : nullptr;
  if (!array) return false;
  return std::any_of(array->begin(), array->end(), [&](const pl::Value& e) {
    const std::string* s = e.ifString();
    return s && *s == bundleId;
  });
}

}  // namespace qv::core
