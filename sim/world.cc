#include "sim/world.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include <filesystem>
#include <stdexcept>

#include "alerts/banner.h"
#include "assembly/startup.h"
#include "core/other_apps.h"
#include "core/registry.h"
#include "platform/apps/catalog.h"
#include "platform/plist/io.h"

namespace qv::sim {
namespace {

tz::TimeZone loadZone(const std::string& name) {
  if (name == "UTC") return tz::TimeZone::utc();
  auto z = tz::TimeZone::load(name);
  if (!z) throw std::invalid_argument("time zone '" + name + "': " + z.error());
  return *z;
}

dispatch::Instant instantOf(const host::CalendarDate& d, const tz::TimeZone& zone) {
  return dispatch::Instant(tz::fromCivil(tz::CivilTime{d.year, d.month, d.day, d.hour, d.minute, d.second}, zone));
}

// Worlds are made and thrown away by the thousand in tests; a memory-backed folder keeps that
// cheap (a disk with synchronous discard makes each removal cost milliseconds).
std::filesystem::path temporaryBase() {
  if (const char* dir = std::getenv("QV_WORLD_TMPDIR"); dir && *dir) return dir;
  std::error_code ec;
  if (::access("/dev/shm", W_OK) == 0 && std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

std::string makeTemporaryRoot() {
  std::string base = temporaryBase() / "quorvel-world-XXXXXX";
  if (!::mkdtemp(base.data())) throw std::runtime_error("cannot create a temporary folder for the world");
  return base;
}

device::Profile profileOf(const WorldConfig& c) {
  auto release = device::findRelease(c.release);
  if (!release) throw std::invalid_argument(release.error());
  device::Profile p;
  p.release = *release;
  if (c.coreFoundationVersion) p.release.coreFoundationVersion = *c.coreFoundationVersion;
  p.idiom = c.idiom;
  p.model = c.idiom == device::Idiom::Pad ? "iPad" : "iPhone";
  p.hasTorch = c.hasTorch;
  p.hasFlash = c.hasFlash;
  p.is64Bit = c.is64Bit;
  p.language = c.language;
  return p;
}

// Links each file of a package folder into the world's root, so removing one from the root
// (a sound file that disappears) never touches the package itself.
void linkTree(const std::filesystem::path& from, const std::filesystem::path& to) {
  namespace fs = std::filesystem;
  if (!fs::exists(from)) return;
  fs::create_directories(to);
  for (const auto& entry : fs::recursive_directory_iterator(from)) {
    // Lexical: the entry lies under `from` as listed (no symlink resolution, no system call).
    fs::path target = to / entry.path().lexically_relative(from);
    if (entry.is_directory())
      fs::create_directories(target);
    else
      fs::create_symlink(fs::absolute(entry.path()), target);
  }
}

}  // namespace

Process::Process(host::WorldServices& services, std::string name, std::string bundleId, std::string home,
                 const foundation::DeviceTraits& device, std::vector<std::string> missingClasses)
    : host(services, std::move(name), std::move(bundleId), std::move(home)) {
  host.runtime().leaveUndefined(std::move(missingClasses));
  foundation = std::make_unique<foundation::Foundation>(host, device);
}

Process::~Process() = default;

World::World(WorldConfig config)
    : config_(std::move(config)), profile_(profileOf(config_)), timeZone_(loadZone(config_.timeZone)),
      clock_(instantOf(config_.start, timeZone_)), timeline_(clock_) {
  makeRoot();
  start();
}

void World::makeRoot() {
  std::string rootDir = config_.rootDirectory;
  ownsRoot_ = rootDir.empty();
  if (ownsRoot_) rootDir = makeTemporaryRoot();
  root_ = std::make_unique<fs::Root>(rootDir);
  installPackage();
  root_->forgetChanges();
}

void World::removeRoot() {
  if (!ownsRoot_) return;
  root_->discardUnwritten();
  std::error_code ec;
  std::filesystem::remove_all(root_->hostDirectory(), ec);
}

void World::start() {
  // From here on every change to the folder goes through the root (virtual time: nothing else
  // runs meanwhile), so it may answer reads and stamps from memory. Real-time play turns it off.
  root_->setSoleWriter(true);
  darwin_ = std::make_unique<darwin::NotifyCenter>(clock_, timeline_);
  prefs_ = std::make_unique<prefs::Store>(*root_, profile_.hostIdentifier);
  prefs_->onProblem = [this](const std::string& message) {
    timeline_.record("cfprefsd", timeline::Kind::Host, "preferences", message);
  };
  sounds_ = std::make_unique<audio::SystemSounds>(clock_, timeline_, *root_);
  messages_ = std::make_unique<messaging::MessageCenter>(timeline_);
  services_ = std::unique_ptr<host::WorldServices>(
      new host::WorldServices{clock_, timeline_, *darwin_, *prefs_, *root_, *sounds_, profile_, timeZone_});
  if (config_.settingsFile) {
    replaceSettingsFile(*config_.settingsFile);
  } else if (config_.settings) {
    auto bytes = pl::serialize(pl::Value(*config_.settings), pl::Format::Binary);
    if (bytes) (void)root_->writeAtomic(prefs_->devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any), *bytes);
  }
  auto filter = host::readLoaderFilter(*root_, kLoaderFilterPath);
  if (filter) filter_ = *filter;

  buildHomeScreen();
}

// The processes end first, then the services they used, in the reverse of their making.
void World::stop() {
  for (auto& [id, p] : apps_) retire(*p);
  apps_.clear();
  if (springBoard_) retire(*springBoard_);
  springBoard_.reset();
  lastMissedCall_ = {};
  filter_.reset();
  services_.reset();
  messages_.reset();
  sounds_.reset();
  prefs_.reset();
  darwin_.reset();
}

void World::reset(WorldConfig config) {
  // What can fail is checked before anything is torn down: a bad configuration leaves the world
  // as it was.
  device::Profile profile = profileOf(config);
  tz::TimeZone zone = config.timeZone == config_.timeZone ? timeZone_ : loadZone(config.timeZone);
  const bool sameFolder =
      config.rootDirectory == config_.rootDirectory && config.packageDirectory == config_.packageDirectory;
  stop();
  clock_.reset(instantOf(config.start, zone));
  timeline_.clearListeners();
  config_ = std::move(config);
  profile_ = std::move(profile);
  timeZone_ = std::move(zone);
  if (!sameFolder) {
    removeRoot();
    makeRoot();
  } else if (ownsRoot_) {
    restoreRoot();
  }
  start();
}

// The folder as installPackage() left it. Worlds write under /private/var only (preferences);
// anything else changed (a sound removed or added by a test) lays the whole package again.
void World::restoreRoot() {
  namespace fs = std::filesystem;
  const fs::path root = root_->hostDirectory();
  const std::string var = (root / "private/var").string();
  root_->discardUnwritten();
  bool onlyUnderVar = true;
  for (const std::string& changed : root_->changes())
    onlyUnderVar = onlyUnderVar && changed.size() > var.size() && changed.compare(0, var.size(), var) == 0 &&
                   changed[var.size()] == '/';
  std::error_code ec;
  if (onlyUnderVar) {
    // Each file goes, and each folder a write made for it once empty; the folders the package
    // laid stay (removing one that is not empty fails, as wanted).
    const fs::path laid = root / "private/var/mobile/Library/Preferences";
    for (const std::string& changed : root_->changes()) {
      fs::remove(changed, ec);
      for (fs::path folder = fs::path(changed).parent_path(); folder != laid && folder.string().size() > var.size();
           folder = folder.parent_path())
        if (!fs::remove(folder, ec)) break;
    }
  } else {
    for (const auto& entry : fs::directory_iterator(root, ec)) fs::remove_all(entry.path(), ec);
    installPackage();
  }
  root_->forgetChanges();
}

void World::buildHomeScreen(const KeptAtRestart* before) {
  foundation::DeviceTraits device{profile_.release.version, profile_.isPad() ? 1 : 0, config_.answersInterfaceIdiom};
  springBoard_ = std::make_unique<Process>(*services_, "SpringBoard", kSpringBoardBundle, "/var/mobile", device,
                                           missingClassesOf(kSpringBoardBundle));
  springboard::TorchHardware torch{profile_.hasTorch, profile_.hasFlash, false};
  springBoard_->homeScreen = std::make_unique<springboard::HomeScreen>(
      springBoard_->host, torch, profile_.release.coreFoundationVersion < 1240.0);
  // Every app the simulator knows is on the home screen, so its name and badge are there.
  for (const apps::AppSpec& app : apps::knownApps()) home().installApp(app.bundleId, app.displayName);
  for (const apps::HomeScreenApp& app : apps::otherHomeScreenApps()) home().installApp(app.bundleId, app.displayName);
  if (before) home().carryOver(before->home);
  springBoard_->statusBar = std::make_unique<statusbar::StatusBar>(springBoard_->host, home());
  if (config_.statusBarClock) statusBar().stock().startClock();
  springBoard_->calls = std::make_unique<telephony::CallManager>(springBoard_->host);
  if (before) calls().carryOver(before->calls);
  springBoard_->messaging = messages_->attach(springBoard_->host);
  messages_->onTotalChanged = [this](std::int64_t total) { home().setBadge("com.apple.MobileSMS", total); };
  springBoard_->notifications = std::make_unique<springboard::Notifications>(
      springBoard_->host, *springBoard_->homeScreen, *springBoard_->foundation);
  springBoard_->host.bulletinSink = [this](objc::Object* provider, const objc::Id& bulletin, bool toLockScreen) {
    notifications().addFromDataProvider(provider, bulletin, toLockScreen);
  };
  // Taps on banners, notifications and their actions bring the app's process to the front.
  notifications().openApp = [this](const std::string& bundleId) {
    Process& p = startProcess(bundleId);
    if (p.app) (void)p.app->open();
    explainOpenedWithoutLibrary(p);
  };
  calls().onCallEnded = [this](const telephony::CallRecord& call) {
    if (call.outcome == telephony::CallOutcome::Missed) postMissedCall(call);
  };
  if (!config_.startLocked && !before) springBoard_->homeScreen->setLocked(false, "start");
  wireProcess(*springBoard_);
  if (config_.launchHomeScreen) {
    clock_.async(springBoard_->host.mainQueue(), [this] { springBoard_->homeScreen->finishLaunching(); });
    clock_.runUntilIdle();
  }
}

void World::retire(Process& p) {
  clock_.retireProcess(p.host.processName());
  darwin_->removeObservers(p.host.processName());
}

World::~World() {
  stop();
  removeRoot();
}

void World::installPackage() {
  namespace fs = std::filesystem;
  fs::path package = config_.packageDirectory.empty() ? fs::path(QV_SOURCE_DIR) / "package"
                                                       : fs::path(config_.packageDirectory);
  fs::path root = root_->hostDirectory();
  linkTree(package / "Sounds", root / "Library/Application Support/Quorvel/Sounds");
  linkTree(package / "Localizations", root / "Library/Application Support/Quorvel/Localizations");
  if (fs::exists(package / "Filter.plist")) {
    fs::create_directories(root / "Library/Loader/DynamicLibraries");
    fs::copy_file(package / "Filter.plist", root / "Library/Loader/DynamicLibraries/Quorvel.plist",
                  fs::copy_options::overwrite_existing);
  }
  fs::create_directories(root / "private/var/mobile/Library/Preferences");
}

void World::wireProcess(Process& p) {
  p.host.appNameLookup = [this](std::string_view bundleId) { return home().displayName(bundleId); };
  if (config_.beforeLibraryLoads) config_.beforeLibraryLoads(p);
  if (config_.loadLibrary && filter_ && filter_->matches(p.host.mainBundleIdentifier()))
    p.library = assembly::load(p.host);
}

std::vector<std::string> World::missingClassesOf(std::string_view bundleId) const {
  std::vector<std::string> missing;
  if (auto it = config_.missingClasses.find(bundleId); it != config_.missingClasses.end()) missing = it->second;
  if (bundleId == kSpringBoardBundle && !config_.statusBarLibrary)
    for (const char* name : statusbar::kStatusBarLibraryClasses) missing.emplace_back(name);
  return missing;
}

Process* World::process(std::string_view bundleId) {
  if (bundleId == kSpringBoardBundle) return springBoard_.get();
  auto it = apps_.find(bundleId);
  return it == apps_.end() ? nullptr : it->second.get();
}

Process& World::startProcess(const std::string& bundleId, const std::string& name) {
  if (Process* p = process(bundleId)) return *p;
  foundation::DeviceTraits device{profile_.release.version, profile_.isPad() ? 1 : 0, config_.answersInterfaceIdiom};
  auto p = std::make_unique<Process>(*services_, name, bundleId, "/var/mobile/Containers/Data/Application/" + name,
                                     device, missingClassesOf(bundleId));
  auto delegate = config_.appDelegateClasses.find(bundleId);
  const apps::AppSpec appSpec =
      apps::appSpecFor(bundleId, home().displayName(bundleId).value_or(name),
                       delegate == config_.appDelegateClasses.end() ? apps::kGenericDelegateClass : delegate->second);
  p->app = apps::installApp(p->host, appSpec);
  if (appSpec.messaging) p->messaging = messages_->attach(p->host);
  Process& ref = *p;
  apps_.emplace(bundleId, std::move(p));
  wireProcess(ref);
  return ref;
}

Process& World::startProcess(const std::string& bundleId) {
  if (Process* p = process(bundleId)) return *p;
  const apps::AppSpec appSpec = apps::appSpecFor(bundleId, home().displayName(bundleId).value_or(bundleId));
  return startProcess(bundleId, appSpec.processName);
}

void World::openApp(const std::string& bundleId) {
  notifications().activateApp(bundleId);
  Process& p = startProcess(bundleId);
  if (p.app) (void)p.app->open();
  explainOpenedWithoutLibrary(p);
}

// The loader's filter leaves some apps out, and an app without the library posts no clear
// notification: a reminder whose banner names it (the call reminder names FaceTime on an iPad)
// goes on when the user opens it, which --explain says.
void World::explainOpenedWithoutLibrary(const Process& app) {
  if (app.library || !springBoard_->library || !springBoard_->library->sharedHelper) return;
  core::Library& library = *springBoard_->library;
  const std::string& bundleId = app.host.mainBundleIdentifier();
  const std::string& name = home().nameOr(bundleId);
  for (const core::CategoryInfo& row : core::kCategories)
    if (library.alerts.runOpen[core::index(row.category)] && alerts::reminderSection(library, row) == bundleId)
      timeline_.decision(app.host.processName(), row.name,
                         "not cleared: the library does not load into " + name +
                             ", so opening it posts no clear notification; the reminder goes on");
}

bool World::leaveApp(const std::string& bundleId) {
  if (notifications().applications().frontmost() != bundleId) return false;
  notifications().returnToHomeScreen();
  if (Process* p = process(bundleId); p && p->app) (void)p->app->enterBackground();
  return true;
}

void World::readMessages(std::optional<std::int64_t> count) {
  Process& messagesApp = startProcess("com.apple.MobileSMS");
  if (!messagesApp.messaging) return;
  for (const std::string& chat : messages_->chatsWithUnread()) {
    std::int64_t unread = messages_->unread(chat);
    std::int64_t take = count ? std::min(*count, unread) : unread;
    if (take <= 0) break;
    (void)messages_->read(*messagesApp.messaging, chat, take);
    if (count) *count -= take;
  }
}

void World::postMissedCall(const telephony::CallRecord& call) {
  const bool faceTime = call.kind != telephony::CallKind::Phone;
  const std::string app = faceTime ? "com.apple.facetime" : "com.apple.mobilephone";
  springboard::IncomingNotification n;
  n.bundleId = app;
  n.title = faceTime ? "Missed FaceTime Call" : "Missed Call";
  n.message = call.party;
  if (notifications().ios10()) n.categoryIdentifier = app + ".missed-call";
  n.badge = home().badge(app) + 1;
  lastMissedCall_ = notifications().deliver(n);
}

// The reminders of a home screen that restarts end with it: nothing carries them over. Only a
// run still open ends here; one that ended already (its repeat limit, a new call) has ended once,
// and the icon it left goes with the status bar (icon-hidden).
void World::recordLostReminders() {
  if (!timeline_.active() || !springBoard_->library) return;
  core::Library& library = *springBoard_->library;
  auto lost = [&](std::string_view subject, std::string id) {
    timeline_.record("SpringBoard", timeline::Kind::ReminderEnded, subject, "lost: the home screen restarted",
                     {{"category", std::move(id)}, {"reason", std::string("lost-at-respring")}});
  };
  for (const core::CategoryInfo& row : core::kCategories)
    if (library.alerts.runOpen[core::index(row.category)]) lost(row.name, std::string(row.id));
  for (const std::string& app : core::appsWithListEntries(library))
    if (core::hasArmedListEntry(library, app)) lost(app, core::listedAppId(app));
}

void World::respring() {
  timeline_.record("SpringBoard", timeline::Kind::Host, "home screen", "restarts");
  recordLostReminders();
  statusBar().items().hideAll();
  // The new home screen has no app in front: said, so that no one reads the old one as still there.
  // The app that was in front goes to the background as when the user leaves it, so opening it
  // again brings it to the front (and clears what that clears).
  const std::string front = notifications().applications().frontmost();
  notifications().applications().returnToHomeScreen();
  if (Process* p = front.empty() ? nullptr : process(front); p && p->app) (void)p->app->enterBackground();
  const std::uint64_t nextHandle = notifications().restarting();
  // Apps and calls keep going; the new home screen's library starts with nothing pending.
  const KeptAtRestart kept{home().kept(), calls().kept()};
  retire(*springBoard_);
  springBoard_.reset();
  buildHomeScreen(&kept);
  notifications().continueHandlesFrom(nextHandle);
}

void World::endProcess(std::string_view bundleId) {
  auto it = apps_.find(bundleId);
  if (it == apps_.end()) return;
  timeline_.record(it->second->host.processName(), timeline::Kind::Host, "process", "ended");
  retire(*it->second);
  apps_.erase(it);
}

dispatch::Instant World::localTime(const host::CalendarDate& d) const { return instantOf(d, timeZone_); }

void World::writeSettings(const pl::Dict& values, const std::vector<std::string>& removals, bool notify) {
  (void)prefs_->setValues(values, removals, core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  if (notify) darwin_->post("Preferences", core::kSettingsChangedNotification);
}

void World::replaceSettingsFile(const pl::Data& bytes) {
  (void)root_->writeAtomic(prefs_->devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any),
                           bytes);
}

void World::editSettingsFile(const pl::Dict& values, const std::vector<std::string>& removals) {
  const std::string path = prefs_->devicePath(core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
  pl::Dict contents;
  if (auto bytes = root_->read(path))
    if (auto v = pl::parse(*bytes); v && v->ifDict()) contents = *v->ifDict();
  for (const std::string& k : removals) contents.erase(k);
  for (const auto& [k, v] : values) contents[k] = v;
  auto bytes = pl::serialize(pl::Value(std::move(contents)), pl::Format::Xml);
  if (bytes) (void)root_->writeAtomic(path, *bytes);
}

}  // namespace qv::sim
