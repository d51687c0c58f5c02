// The simulated Host of one process: its identity and class runtime, backed by the services of
// its world (clock and queues, Darwin centre, preferences daemon, file system, sound service,
// device profile, time zone). See host.h for each function's contract.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/audio/system_sounds.h"
#include "platform/darwin/notify_center.h"
#include "platform/device/profile.h"
#include "platform/fs/root.h"
#include "platform/host/host.h"
#include "platform/l10n/localization_bundle.h"
#include "platform/prefs/store.h"
#include "platform/time/timezone.h"

namespace qv::host {

// What every process of a world shares. Owned by the world.
struct WorldServices {
  dispatch::Scheduler& scheduler;
  timeline::Timeline& timeline;
  darwin::NotifyCenter& darwin;
  prefs::Store& prefs;
  fs::Root& root;
  audio::SystemSounds& sounds;
  device::Profile& profile;
  tz::TimeZone& timeZone;
};

class SimulatedHost final : public Host {
 public:
  SimulatedHost(WorldServices& world, std::string processName, std::string bundleIdentifier,
                std::string homeDirectory);
  ~SimulatedHost() override;

  const std::string& processName() const override { return name_; }
  const std::string& mainBundleIdentifier() const override { return bundleId_; }
  objc::Runtime& runtime() override { return runtime_; }
  double coreFoundationVersion() const override { return world_.profile.release.coreFoundationVersion; }
  bool is64BitProcessor() const override { return world_.profile.is64Bit; }
  timeline::Timeline& timeline() override { return world_.timeline; }

  dispatch::Scheduler& scheduler() override { return world_.scheduler; }
  const dispatch::QueueRef& mainQueue() const override { return mainQueue_; }
  dispatch::QueueRef createSerialQueue(std::string label) override;
  CalendarDate calendarDate(dispatch::Instant t) const override;
  dispatch::Instant dateFromCalendar(const CalendarDate& d) const override;

  void notifyPost(std::string_view name) override;
  void addDarwinObserver(std::string name, std::function<void()> callback) override;

  std::shared_ptr<const std::vector<std::string>> prefsCopyKeyList(std::string_view domain, PrefsUser user,
                                                                   PrefsHost host) override;
  std::shared_ptr<const pl::Dict> prefsCopyMultiple(const std::vector<std::string>& keys, std::string_view domain, PrefsUser user,
                             PrefsHost host) override;
  void prefsSetValue(std::string_view key, const pl::Value* value, std::string_view domain, PrefsUser user,
                     PrefsHost host) override;
  void removePersistentDomain(std::string_view domain) override;
  bool synchronizeUserDefaults() override { return true; }
  bool fileExists(std::string_view path) override;
  std::optional<pl::Dict> dictionaryWithContentsOfFile(std::string_view path) override;
  std::string homeDirectory() const override { return home_; }

  std::optional<pl::Dict> unarchiveLocalNotificationUserInfo(const pl::Data& data) override;

  std::optional<std::uint32_t> createSystemSound(std::string_view path) override;
  bool addSystemSoundCompletion(std::uint32_t sound, std::function<void(std::uint32_t)> done) override;
  bool playSystemSound(std::uint32_t sound) override;
  void removeSystemSoundCompletion(std::uint32_t sound) override;
  void disposeSystemSound(std::uint32_t sound) override;
  void playSystemSoundWithVibration(std::uint32_t sound, const pl::Dict& description) override;

  std::optional<std::string> localizedApplicationName(std::string_view bundleId) override;
  std::optional<std::string> localizedString(std::string_view bundlePath, std::string_view key,
                                             std::string_view value) override;
  void dataProviderAddBulletin(objc::Object* dataProvider, const objc::Id& bulletin, bool toLockScreen) override;

  // Wiring by the world: where app display names and added bulletins go.
  std::function<std::optional<std::string>(std::string_view)> appNameLookup;
  std::function<void(objc::Object*, const objc::Id&, bool)> bulletinSink;

 private:
  WorldServices& world_;
  std::string name_;
  std::string bundleId_;
  std::string home_;
  objc::Runtime runtime_;
  dispatch::QueueRef mainQueue_;
  struct OpenBundle {
    std::optional<l10n::LocalizationBundle> bundle;
    // The table the device's language picks, looked up once per language.
    std::string language;
    const l10n::StringsTable* table = nullptr;
    bool picked = false;
  };
  std::map<std::string, OpenBundle, std::less<>> bundles_;
  // The bundle asked last (the system reads one bundle's texts at every banner): its path is
  // compared once instead of walking the map.
  std::map<std::string, OpenBundle, std::less<>>::iterator lastBundle_ = bundles_.end();
  // dateFromCalendar's last two answers in the zone named: the alert gate converts the same two
  // window edges of the same day at every gate, each a search of the zone's transitions.
  struct Converted {
    tz::CivilTime civil;
    dispatch::Instant instant;
  };
  mutable std::string convertedZone_;
  mutable std::array<std::optional<Converted>, 2> converted_;
  mutable std::size_t nextConverted_ = 0;
};

}  // namespace qv::host
