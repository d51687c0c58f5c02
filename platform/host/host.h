// The host services the system calls as plain functions, one Host per process it is loaded
// into: process identity, queues and time, Darwin notifications, preferences and files, keyed
// archives, system sounds, and the home screen's C functions. Everything the system reaches
// through classes (the home screen, apps, timers, status bar, capture device) it reaches
// through `runtime()` instead, so a class missing from a process is simply absent.
// Threads: call from the process's main queue unless a function says otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch/scheduler.h"
#include "platform/objc/runtime.h"
#include "platform/plist/value.h"
#include "platform/timeline/timeline.h"

namespace qv::host {

enum class PrefsUser { Current, Any };   // kCFPreferencesCurrentUser / kCFPreferencesAnyUser
enum class PrefsHost { Any, Current };   // kCFPreferencesAnyHost / kCFPreferencesCurrentHost

// Gregorian calendar fields in the device's time zone.
struct CalendarDate {
  int year = 2001, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Host {
 public:
  virtual ~Host() = default;

  // --- The process ---------------------------------------------------------------------
  virtual const std::string& processName() const = 0;
  // NSBundle mainBundle bundleIdentifier.
  virtual const std::string& mainBundleIdentifier() const = 0;
  virtual objc::Runtime& runtime() = 0;
  // kCFCoreFoundationVersionNumber.
  virtual double coreFoundationVersion() const = 0;
  // Whether the processor is 64-bit (decides CGFloat in type strings).
  virtual bool is64BitProcessor() const = 0;
  virtual timeline::Timeline& timeline() = 0;

  // --- Queues and time -----------------------------------------------------------------
  virtual dispatch::Scheduler& scheduler() = 0;
  virtual const dispatch::QueueRef& mainQueue() const = 0;
  // dispatch_queue_create(label, serial). Any thread.
  virtual dispatch::QueueRef createSerialQueue(std::string label) = 0;
  // NSCalendar (Gregorian, current time zone) components:fromDate: and dateFromComponents:.
  // A local time that does not exist (clock jumped forward) moves forward by the jump; one
  // that exists twice gives the earlier instant.
  virtual CalendarDate calendarDate(dispatch::Instant t) const = 0;
  virtual dispatch::Instant dateFromCalendar(const CalendarDate& d) const = 0;
  bool onMainThread() { return scheduler().currentQueue() == mainQueue().get(); }

  // --- Darwin notifications --------------------------------------------------------------
  // notify_post. Any thread.
  virtual void notifyPost(std::string_view name) = 0;
  // CFNotificationCenterAddObserver with immediate delivery on this process's main queue.
  virtual void addDarwinObserver(std::string name, std::function<void()> callback) = 0;

  // --- Preferences and files (paths are device paths) ------------------------------------
  // Immutable, as the dictionary: while the domain is unchanged the host may hand out the same
  // list, and a copy of every key asked with that very list costs no comparison.
  virtual std::shared_ptr<const std::vector<std::string>> prefsCopyKeyList(std::string_view domain, PrefsUser user,
                                                                           PrefsHost host) = 0;
  // The dictionary is immutable; while the domain is unchanged the host may hand out the same one.
  virtual std::shared_ptr<const pl::Dict> prefsCopyMultiple(const std::vector<std::string>& keys,
                                                            std::string_view domain, PrefsUser user,
                                                            PrefsHost host) = 0;
  // CFPreferencesSetValue; a null value removes the key.
  virtual void prefsSetValue(std::string_view key, const pl::Value* value, std::string_view domain,
                             PrefsUser user, PrefsHost host) = 0;
  // NSUserDefaults standardUserDefaults removePersistentDomainForName: / synchronize.
  virtual void removePersistentDomain(std::string_view domain) = 0;
  virtual bool synchronizeUserDefaults() = 0;
  // NSFileManager fileExistsAtPath:.
  virtual bool fileExists(std::string_view path) = 0;
  // NSDictionary dictionaryWithContentsOfFile:; none when missing, unreadable or no dictionary.
  virtual std::optional<pl::Dict> dictionaryWithContentsOfFile(std::string_view path) = 0;
  // NSHomeDirectory().
  virtual std::string homeDirectory() const = 0;

  // --- Keyed archives ------------------------------------------------------------------
  // NSKeyedUnarchiver unarchiveObjectWithData: of a local notification, then its userInfo;
  // none for anything that is not such an archive.
  virtual std::optional<pl::Dict> unarchiveLocalNotificationUserInfo(const pl::Data& data) = 0;

  // --- System sounds (AudioToolbox) --------------------------------------------------------
  // AudioServicesCreateSystemSoundID from a file URL; none when the file is missing or unreadable.
  virtual std::optional<std::uint32_t> createSystemSound(std::string_view path) = 0;
  // AudioServicesAddSystemSoundCompletion; the callback arrives on the main queue.
  virtual bool addSystemSoundCompletion(std::uint32_t sound, std::function<void(std::uint32_t)> done) = 0;
  // AudioServicesPlaySystemSound; false when it could not start (our host reports it).
  virtual bool playSystemSound(std::uint32_t sound) = 0;
  virtual void removeSystemSoundCompletion(std::uint32_t sound) = 0;
  virtual void disposeSystemSound(std::uint32_t sound) = 0;
  // AudioServicesPlaySystemSoundWithVibration.
  virtual void playSystemSoundWithVibration(std::uint32_t sound, const pl::Dict& description) = 0;

  // --- Home-screen functions -------------------------------------------------------------
  // SBSCopyLocalizedApplicationNameForDisplayIdentifier; none for an unknown app.
  virtual std::optional<std::string> localizedApplicationName(std::string_view bundleId) = 0;
  // NSBundle bundleWithPath: then localizedStringForKey:value:table: (table nil); none when
  // there is no bundle at the path.
  virtual std::optional<std::string> localizedString(std::string_view bundlePath, std::string_view key,
                                                     std::string_view value) = 0;
  // BBDataProviderAddBulletin / BBDataProviderAddBulletinToLockScreen.
  virtual void dataProviderAddBulletin(objc::Object* dataProvider, const objc::Id& bulletin, bool toLockScreen) = 0;
};

}  // namespace qv::host
