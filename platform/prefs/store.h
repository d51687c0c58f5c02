// The world's preferences daemon: one store shared by every process, domains held in memory,
// loaded from and written through to property-list files under the world's root, laid out as
// on the device (/var/mobile/Library/Preferences/<domain>.plist, current-host values under
// ByHost/<domain>.<host id>.plist). XML and binary files are read; writes keep the file's format
// (binary for new files) and are atomic. A file changed on disk by another tool is picked up at
// the next read. A file that turns unreadable keeps the last values read from it, and the next
// write repairs it with them, so no stored setting is lost. Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/root.h"
#include "platform/plist/value.h"
#include "platform/result.h"

namespace qv::prefs {

enum class User { Current, Any };  // kCFPreferencesCurrentUser / kCFPreferencesAnyUser
enum class HostScope { Any, Current };  // kCFPreferencesAnyHost / kCFPreferencesCurrentHost

class Store {
 public:
  Store(const fs::Root& root, std::string hostIdentifier);
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // CFPreferencesCopyKeyList: every key of the domain in that scope (sorted), one list shared by
  // every caller until the domain changes.
  std::shared_ptr<const std::vector<std::string>> keyList(std::string_view domain, User user, HostScope host);
  // CFPreferencesCopyMultiple: the values of those keys that exist, as an immutable dictionary.
  // Asked for every key of the domain (keyList's answer), it is one copy shared by every caller
  // until the domain changes: the system reloads its settings at every gate.
  std::shared_ptr<const pl::Dict> copyMultiple(const std::vector<std::string>& keys, std::string_view domain,
                                               User user, HostScope host);
  std::optional<pl::Value> copyValue(std::string_view key, std::string_view domain, User user, HostScope host);
  // CFPreferencesSetValue: sets the key, or removes it when `value` is null; written through.
  Status setValue(std::string_view key, const pl::Value* value, std::string_view domain, User user,
                  HostScope host);
  // Several keys at once, in one write (what a settings pane does on save).
  Status setValues(const pl::Dict& values, const std::vector<std::string>& removals, std::string_view domain,
                   User user, HostScope host);
  // removePersistentDomainForName: forgets every value of the domain and removes its file.
  Status removeDomain(std::string_view domain, User user, HostScope host);
  // The device path of the domain's file in that scope.
  std::string devicePath(std::string_view domain, User user, HostScope host) const;

  // Told about files that could not be read or written (for the timeline).
  std::function<void(const std::string& message)> onProblem;

 private:
  struct Domain {
    pl::Dict values;
    std::shared_ptr<const pl::Dict> whole;  // a copy of `values` handed out; dropped when they change
    std::shared_ptr<const std::vector<std::string>> keys;  // the keys of `values` handed out, likewise
    fs::Stamp stamp;
    std::uint64_t rootVersion = 0;  // the root's version() when `stamp` was last looked at
    bool loadedOnce = false;
    bool binary = true;
    // The file lacks what memory holds (it could not be read, or a write failed): the next
    // write saves everything, even when it changes no value.
    bool needsRepair = false;
  };
  // A domain asked for by name in one scope: its path and its place among the domains, found
  // once (the system reloads its settings at every gate; building the path and finding it cost
  // more than the rest of the reload).
  struct Named {
    std::string domain;
    User user;
    HostScope host;
    std::string path;
    Domain* d;
  };
  Named& named(std::string_view domain, User user, HostScope host);
  Domain& refresh(const std::string& path, Domain& d);
  Status writeBack(const std::string& path, Domain& d);
  void problem(const std::string& message);

  const fs::Root& root_;
  std::string hostId_;
  std::mutex mutex_;
  std::map<std::string, Domain, std::less<>> domains_;  // by device path; never erased
  std::vector<Named> named_;
};

}  // namespace qv::prefs
