#include "platform/prefs/store.h"

#include <algorithm>

#include "platform/plist/io.h"

namespace qv::prefs {

Store::Store(const fs::Root& root, std::string hostIdentifier) : root_(root), hostId_(std::move(hostIdentifier)) {}

std::string Store::devicePath(std::string_view domain, User user, HostScope host) const {
  std::string base = user == User::Current ? "/var/mobile/Library/Preferences/" : "/Library/Preferences/";
  if (host == HostScope::Current) return base + "ByHost/" + std::string(domain) + "." + hostId_ + ".plist";
  return base + std::string(domain) + ".plist";
}

void Store::problem(const std::string& message) {
  if (onProblem) onProblem(message);
}

Store::Named& Store::named(std::string_view domain, User user, HostScope host) {
  for (Named& n : named_)
    if (n.user == user && n.host == host && n.domain == domain) return n;
  std::string path = devicePath(domain, user, host);
  Domain* d = &domains_[path];
  return named_.emplace_back(Named{std::string(domain), user, host, std::move(path), d});
}

Store::Domain& Store::refresh(const std::string& path, Domain& d) {
  // A sole writer's files change only through it: while its version stays, the file does too.
  const std::uint64_t version = root_.version();
  if (d.loadedOnce && root_.soleWriter() && version == d.rootVersion) return d;
  fs::Stamp now = root_.stamp(path);
  d.rootVersion = version;
  if (d.loadedOnce && now == d.stamp) return d;
  d.whole.reset();
  d.keys.reset();
  d.loadedOnce = true;
  d.stamp = now;
  if (!now.exists) {
    d.values.clear();
    return d;
  }
  auto bytes = root_.readShared(path);
  if (!bytes) {
    problem("preferences file " + path + " cannot be read (" + bytes.error() + "); keeping the values read before");
    d.needsRepair = true;
    return d;
  }
  auto parsed = pl::parse(**bytes);
  const pl::Dict* dict = parsed ? parsed->ifDict() : nullptr;
  if (!dict) {
    problem("preferences file " + path + " is not a readable property-list dictionary (" +
            (parsed ? std::string("root is ") + pl::typeName(parsed->type()) : parsed.error()) +
            "); keeping the values read before");
    d.needsRepair = true;
    return d;
  }
  d.values = *dict;
  d.needsRepair = false;
  d.binary = pl::detectFormat(**bytes) == pl::Format::Binary;
  return d;
}

Status Store::writeBack(const std::string& path, Domain& d) {
  auto bytes = pl::serialize(pl::Value(d.values), d.binary ? pl::Format::Binary : pl::Format::Xml);
  if (!bytes) return Error{bytes.error()};
  Status s = root_.writeAtomic(path, *bytes);
  if (!s) {
    problem("preferences file " + path + " could not be written (" + s.error() + "); the old file is kept");
    // The change stays in memory, as the daemon keeps it; the next successful write saves it.
    d.stamp = root_.stamp(path);
    d.needsRepair = true;
    return s;
  }
  d.stamp = root_.stamp(path);
  d.needsRepair = false;
  return s;
}

std::shared_ptr<const std::vector<std::string>> Store::keyList(std::string_view domain, User user, HostScope host) {
  std::lock_guard lock(mutex_);
  Named& n = named(domain, user, host);
  Domain& d = refresh(n.path, *n.d);
  if (!d.keys) {
    auto keys = std::make_shared<std::vector<std::string>>();
    keys->reserve(d.values.size());
    for (const auto& [k, v] : d.values) keys->push_back(k);
    d.keys = std::move(keys);
  }
  return d.keys;
}

std::shared_ptr<const pl::Dict> Store::copyMultiple(const std::vector<std::string>& keys, std::string_view domain,
                                                    User user, HostScope host) {
  std::lock_guard lock(mutex_);
  Named& n = named(domain, user, host);
  Domain& d = refresh(n.path, *n.d);
  // The very list keyList handed out while the domain is unchanged: every key, no comparison.
  const bool everyKey = &keys == d.keys.get() ||
                        (keys.size() == d.values.size() &&
                         std::equal(keys.begin(), keys.end(), d.values.begin(),
                                    [](const std::string& k, const auto& entry) { return k == entry.first; }));
  if (everyKey) {
    if (!d.whole) d.whole = std::make_shared<const pl::Dict>(d.values);
    return d.whole;
  }
  auto out = std::make_shared<pl::Dict>();
  for (const std::string& k : keys) {
    auto it = d.values.find(k);
    if (it != d.values.end()) out->emplace(k, it->second);
  }
  return out;
}

std::optional<pl::Value> Store::copyValue(std::string_view key, std::string_view domain, User user, HostScope host) {
  std::lock_guard lock(mutex_);
  Named& n = named(domain, user, host);
  Domain& d = refresh(n.path, *n.d);
  auto it = d.values.find(key);
  if (it == d.values.end()) return std::nullopt;
  return it->second;
}

Status Store::setValue(std::string_view key, const pl::Value* value, std::string_view domain, User user,
                       HostScope host) {
  pl::Dict values;
  std::vector<std::string> removals;
  if (value)
    values.emplace(std::string(key), *value);
  else
    removals.emplace_back(key);
  return setValues(values, removals, domain, user, host);
}

Status Store::setValues(const pl::Dict& values, const std::vector<std::string>& removals, std::string_view domain,
                        User user, HostScope host) {
  std::lock_guard lock(mutex_);
  Named& n = named(domain, user, host);
  const std::string& path = n.path;
  Domain& d = refresh(path, *n.d);
  bool changed = false;
  for (const std::string& k : removals) changed |= d.values.erase(k) > 0;
  for (const auto& [k, v] : values) {
    auto [it, inserted] = d.values.try_emplace(k, v);
    if (inserted) {
      changed = true;
    } else if (!(it->second == v)) {
      it->second = v;
      changed = true;
    }
  }
  // Nothing changed: no write, and no file is created for a domain that has none.
  if (!changed && !d.needsRepair) return Ok{};
  if (changed) d.whole.reset(), d.keys.reset();
  return writeBack(path, d);
}

Status Store::removeDomain(std::string_view domain, User user, HostScope host) {
  std::lock_guard lock(mutex_);
  Named& n = named(domain, user, host);
  const std::string& path = n.path;
  Domain& d = *n.d;
  d.values.clear();
  d.whole.reset();
  d.keys.reset();
  Status s = root_.remove(path);
  d.loadedOnce = true;
  d.stamp = root_.stamp(path);
  return s;
}

}  // namespace qv::prefs
