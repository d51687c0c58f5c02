#include "platform/host/simulated_host.h"

#include "platform/plist/io.h"
#include "platform/plist/keyed_archive.h"

namespace qv::host {
namespace {
prefs::User toStore(PrefsUser u) { return u == PrefsUser::Current ? prefs::User::Current : prefs::User::Any; }
prefs::HostScope toStore(PrefsHost h) { return h == PrefsHost::Any ? prefs::HostScope::Any : prefs::HostScope::Current; }
}  // namespace

SimulatedHost::SimulatedHost(WorldServices& world, std::string processName, std::string bundleIdentifier,
                             std::string homeDirectory)
    : world_(world), name_(std::move(processName)), bundleId_(std::move(bundleIdentifier)),
      home_(std::move(homeDirectory)), runtime_(name_),
      mainQueue_(world.scheduler.createQueue("com.apple.main-thread", name_, true)) {
  runtime_.owner_data = this;
}

SimulatedHost::~SimulatedHost() = default;

dispatch::QueueRef SimulatedHost::createSerialQueue(std::string label) {
  return world_.scheduler.createQueue(std::move(label), name_, false);
}

CalendarDate SimulatedHost::calendarDate(dispatch::Instant t) const {
  auto secs = std::chrono::floor<std::chrono::seconds>(t);
  tz::CivilTime c = tz::toCivil(std::chrono::sys_seconds(secs.time_since_epoch()), world_.timeZone);
  return CalendarDate{c.year, c.month, c.day, c.hour, c.minute, c.second};
}

dispatch::Instant SimulatedHost::dateFromCalendar(const CalendarDate& d) const {
  const tz::CivilTime c{d.year, d.month, d.day, d.hour, d.minute, d.second};
  if (convertedZone_ != world_.timeZone.name()) {
    convertedZone_ = world_.timeZone.name();
    converted_.fill(std::nullopt);
  }
  for (const std::optional<Converted>& known : converted_)
    if (known && known->civil == c) return known->instant;
  const dispatch::Instant instant(tz::fromCivil(c, world_.timeZone));
  converted_[nextConverted_] = Converted{c, instant};
  nextConverted_ = (nextConverted_ + 1) % converted_.size();
  return instant;
}

void SimulatedHost::notifyPost(std::string_view name) { world_.darwin.post(name_, name); }

void SimulatedHost::addDarwinObserver(std::string name, std::function<void()> callback) {
  world_.darwin.addObserver(mainQueue_, std::move(name), std::move(callback));
}

std::shared_ptr<const std::vector<std::string>> SimulatedHost::prefsCopyKeyList(std::string_view domain,
                                                                                PrefsUser user, PrefsHost host) {
  return world_.prefs.keyList(domain, toStore(user), toStore(host));
}

std::shared_ptr<const pl::Dict> SimulatedHost::prefsCopyMultiple(const std::vector<std::string>& keys, std::string_view domain,
                                          PrefsUser user, PrefsHost host) {
  return world_.prefs.copyMultiple(keys, domain, toStore(user), toStore(host));
}

void SimulatedHost::prefsSetValue(std::string_view key, const pl::Value* value, std::string_view domain,
                                  PrefsUser user, PrefsHost host) {
  (void)world_.prefs.setValue(key, value, domain, toStore(user), toStore(host));
}

void SimulatedHost::removePersistentDomain(std::string_view domain) {
  (void)world_.prefs.removeDomain(domain, prefs::User::Current, prefs::HostScope::Any);
}

bool SimulatedHost::fileExists(std::string_view path) { return world_.root.exists(path); }

std::optional<pl::Dict> SimulatedHost::dictionaryWithContentsOfFile(std::string_view path) {
  auto bytes = world_.root.read(path);
  if (!bytes) return std::nullopt;
  auto value = pl::parse(*bytes);
  if (!value || !value->ifDict()) return std::nullopt;
  return *value->ifDict();
}

std::optional<pl::Dict> SimulatedHost::unarchiveLocalNotificationUserInfo(const pl::Data& data) {
  return pl::localNotificationUserInfo(data);
}

std::optional<std::uint32_t> SimulatedHost::createSystemSound(std::string_view path) {
  return world_.sounds.create(path);
}

bool SimulatedHost::addSystemSoundCompletion(std::uint32_t sound, std::function<void(std::uint32_t)> done) {
  return world_.sounds.addCompletion(sound, mainQueue_, std::move(done));
}

bool SimulatedHost::playSystemSound(std::uint32_t sound) { return world_.sounds.play(sound, name_); }
void SimulatedHost::removeSystemSoundCompletion(std::uint32_t sound) { world_.sounds.removeCompletion(sound); }
void SimulatedHost::disposeSystemSound(std::uint32_t sound) { world_.sounds.dispose(sound); }
void SimulatedHost::playSystemSoundWithVibration(std::uint32_t sound, const pl::Dict& description) {
  world_.sounds.playWithVibration(sound, description, name_);
}

std::optional<std::string> SimulatedHost::localizedApplicationName(std::string_view bundleId) {
  return appNameLookup ? appNameLookup(bundleId) : std::nullopt;
}

std::optional<std::string> SimulatedHost::localizedString(std::string_view bundlePath, std::string_view key,
                                                          std::string_view value) {
  auto it = lastBundle_ != bundles_.end() && lastBundle_->first == bundlePath ? lastBundle_ : bundles_.find(bundlePath);
  if (it == bundles_.end()) {
    OpenBundle open;
    if (auto real = world_.root.hostPath(bundlePath)) {
      auto opened = l10n::LocalizationBundle::open(*real);
      if (opened) open.bundle = std::move(*opened);
    }
    it = bundles_.emplace(std::string(bundlePath), std::move(open)).first;
  }
  lastBundle_ = it;
  OpenBundle& open = it->second;
  if (!open.bundle) return std::nullopt;
  if (!open.picked || open.language != world_.profile.language) {
    open.language = world_.profile.language;
    open.table = open.bundle->tableFor({open.language});
    open.picked = true;
  }
  return l10n::LocalizationBundle::lookUp(open.table, key, value);
}

void SimulatedHost::dataProviderAddBulletin(objc::Object* dataProvider, const objc::Id& bulletin, bool toLockScreen) {
  if (bulletinSink) bulletinSink(dataProvider, bulletin, toLockScreen);
}

}  // namespace qv::host
