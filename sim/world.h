// A whole simulated device in virtual time: one clock and time zone, a device profile, the
// preferences daemon, a file-system root with the package installed, the home-screen process
// and the app processes, each with the library loaded when the loader's filter names it.
// Also the tests' fixture: build a world in a few lines, play actions, read the timeline.
//   sim::World world({.release = "10.3"});
//   world.writeSettings({{"showStatus", true}});
//   world.runFor(60s);
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/library.h"
#include "platform/apps/app.h"
#include "platform/audio/system_sounds.h"
#include "platform/darwin/notify_center.h"
#include "platform/device/profile.h"
#include "platform/dispatch/virtual_scheduler.h"
#include "platform/foundation/foundation_classes.h"
#include "platform/fs/root.h"
#include "platform/host/loader.h"
#include "platform/host/simulated_host.h"
#include "platform/messaging/message_center.h"
#include "platform/prefs/store.h"
#include "platform/springboard/home_screen.h"
#include "platform/springboard/notifications.h"
#include "platform/statusbar/status_bar.h"
#include "platform/telephony/call_manager.h"
#include "platform/time/timezone.h"
#include "platform/timeline/timeline.h"

namespace qv::sim {

using namespace std::chrono_literals;

inline constexpr const char* kSpringBoardBundle = "com.apple.springboard";
inline constexpr const char* kSoundsDirectory = "/Library/Application Support/Quorvel/Sounds/";
inline constexpr const char* kLocalizationsDirectory = "/Library/Application Support/Quorvel/Localizations";
inline constexpr const char* kLoaderFilterPath = "/Library/Loader/DynamicLibraries/Quorvel.plist";

class Process;

struct WorldConfig {
  std::string release = "10.3";
  // The CoreFoundation version number the device reports, when not the release's own (for
  // versions between releases: 1347.99, 1348.23).
  std::optional<double> coreFoundationVersion{};
  device::Idiom idiom = device::Idiom::Phone;
  bool hasTorch = true;
  bool hasFlash = true;
  bool answersInterfaceIdiom = true;
  bool is64Bit = true;
  std::string language = "en";
  std::string timeZone = "UTC";
  host::CalendarDate start{2026, 12, 7, 8, 0, 0};  // local time in `timeZone`
  // Where the device's files live; empty: a fresh temporary folder, removed with the world.
  std::string rootDirectory{};
  // The package to install (Sounds, Localizations, Filter.plist); empty: the source tree's.
  std::string packageDirectory{};
  // Settings written to the preferences file before anything starts (none: no file).
  std::optional<pl::Dict> settings{};
  // The settings file's own bytes (a real device's file, binary or XML), put in place as they are
  // before anything starts; wins over `settings`, which then only tells what the file holds.
  std::optional<pl::Data> settingsFile{};
  // Launch the home screen at once (run its launch hook); intake then opens 10 s later.
  bool launchHomeScreen = true;
  bool startLocked = false;
  // Load the library where the loader's filter says (false: a device without it, for host tests).
  bool loadLibrary = true;
  // The status-bar library in the home screen (LSStatusBarItem, UIStatusBarCustomItemView).
  bool statusBarLibrary = true;
  // The status bar's clock changes at every whole minute (it never stops; off by default).
  bool statusBarClock = false;
  // Classes a process lacks, by bundle identifier (fault injection).
  std::map<std::string, std::vector<std::string>, std::less<>> missingClasses{};
  // The delegate class of apps the catalogue does not know, by bundle identifier ("AppDelegate"
  // when absent).
  std::map<std::string, std::string, std::less<>> appDelegateClasses{};
  // Runs on each new process after its host classes exist and before the loader loads the
  // library (tests hook host methods here to see what runs inside the library's hooks).
  std::function<void(Process&)> beforeLibraryLoads{};
};

class Process {
 public:
  // `missingClasses` are left undefined in the process's runtime.
  Process(host::WorldServices& services, std::string name, std::string bundleId, std::string home,
          const foundation::DeviceTraits& device, std::vector<std::string> missingClasses = {});
  ~Process();

  host::SimulatedHost host;
  std::unique_ptr<foundation::Foundation> foundation;
  std::unique_ptr<springboard::HomeScreen> homeScreen;        // the home-screen process only
  std::unique_ptr<statusbar::StatusBar> statusBar;            // the home-screen process only
  std::unique_ptr<telephony::CallManager> calls;              // the home-screen process only
  std::unique_ptr<apps::App> app;                             // app processes
  std::unique_ptr<springboard::Notifications> notifications;  // the home-screen process only
  std::unique_ptr<core::Library> library;                     // when the loader loaded it
  // Where the process has the messaging framework.
  std::unique_ptr<messaging::MessagingClasses> messaging;
};

class World {
 public:
  explicit World(WorldConfig config = {});
  ~World();
  // Makes this world what `World(config)` would make, reusing its folder (and so much cheaper):
  // everything a run wrote there is undone, every process and service is made again, the clock
  // starts afresh and the timeline has no listeners. A world on a folder of the caller's
  // (`rootDirectory`) keeps that folder's files as they are, as a new world on it would see them.
  // Throws, leaving the world as it was, where the constructor would throw.
  void reset(WorldConfig config = {});
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // --- The world's services ---
  dispatch::VirtualScheduler& clock() { return clock_; }
  timeline::Timeline& timeline() { return timeline_; }
  prefs::Store& prefs() { return *prefs_; }
  fs::Root& root() { return *root_; }
  device::Profile& profile() { return profile_; }
  darwin::NotifyCenter& darwin() { return *darwin_; }
  audio::SystemSounds& sounds() { return *sounds_; }
  messaging::MessageCenter& messages() { return *messages_; }
  const WorldConfig& config() const { return config_; }
  const tz::TimeZone& timeZone() const { return timeZone_; }

  // --- Processes ---
  Process& springBoard() { return *springBoard_; }
  springboard::HomeScreen& home() { return *springBoard_->homeScreen; }
  statusbar::StatusBar& statusBar() { return *springBoard_->statusBar; }
  telephony::CallManager& calls() { return *springBoard_->calls; }
  // The home screen's notifications: deliver, remove, act on, tap banners, open apps.
  springboard::Notifications& notifications() { return *springBoard_->notifications; }
  // The library in the home screen (it is always loaded there unless the filter says otherwise).
  core::Library& library() { return *springBoard_->library; }
  Process* process(std::string_view bundleId);
  // Starts an app process (if not running) with the library loaded when the filter names it.
  Process& startProcess(const std::string& bundleId, const std::string& name);
  // The same, named as the app catalogue names the app's process.
  Process& startProcess(const std::string& bundleId);
  // The app of a bundle identifier, its process started (not the app launched) when needed:
  //   world.app<apps::WhatsAppApp>("net.whatsapp.WhatsApp").launch();
  template <class T = apps::App>
  T& app(const std::string& bundleId) {
    Process& p = startProcess(bundleId);
    if (!p.app) throw std::invalid_argument(bundleId + " runs no app");
    return dynamic_cast<T&>(*p.app);
  }
  // The process ends (the app is killed); a later start is a fresh process.
  void endProcess(std::string_view bundleId);

  // --- What the user does, as the device does it ---
  // Opens an app from its icon: the home screen activates it, then the app launches, returns
  // to the front or becomes active, as its state asks.
  void openApp(const std::string& bundleId);
  // Goes back to the home screen from the app in front.
  // False, and nothing happens, when that app is not the one in front.
  bool leaveApp(const std::string& bundleId);
  // Reads `count` unread messages in Messages (all when none), opening it first.
  void readMessages(std::optional<std::int64_t> count);
  // The home screen restarts: a new home-screen process, its library loaded afresh. What the
  // device keeps stays (icons, badges, do-not-disturb, a call in progress); the home screen comes
  // back locked.
  void respring();
  // The notification the Phone app posted for the latest missed call (none before one).
  springboard::NotificationHandle lastMissedCallNotification() const { return lastMissedCall_; }

  // --- Time ---
  dispatch::Instant now() const { return clock_.now(); }
  void runFor(dispatch::Duration d) { clock_.advanceBy(d); }
  void runUntil(dispatch::Instant t) { clock_.runUntil(t); }
  void runUntilIdle() { clock_.runUntilIdle(); }
  // The instant of a local time in the world's time zone.
  dispatch::Instant localTime(const host::CalendarDate& d) const;

  // --- The settings pane: writes keys (null removes) and posts the change notification ---
  void writeSettings(const pl::Dict& values, const std::vector<std::string>& removals = {}, bool notify = true);
  // Another tool edits the settings file on disk (XML), behind the preferences daemon's back.
  void editSettingsFile(const pl::Dict& values, const std::vector<std::string>& removals = {});
  // Another tool puts a whole settings file in place as it is (no change notification).
  void replaceSettingsFile(const pl::Data& bytes);

 private:
  void makeRoot();
  void removeRoot();
  void restoreRoot();
  void start();
  void stop();
  void installPackage();
  std::vector<std::string> missingClassesOf(std::string_view bundleId) const;
  void wireProcess(Process& p);
  // What the home-screen process hands its successor at a restart.
  struct KeptAtRestart {
    springboard::HomeScreen::Kept home;
    telephony::CallManager::Kept calls;  // the telephony service's, not the home screen's
  };
  // A restart (`before`: what the home screen it replaces kept) keeps its icons, badges,
  // do-not-disturb and the call in progress, and comes back locked.
  void buildHomeScreen(const KeptAtRestart* before = nullptr);
  void retire(Process& p);
  void postMissedCall(const telephony::CallRecord& call);
  void recordLostReminders();
  // Under --explain: a reminder whose banner names `app`, which runs without the library, is
  // not cleared by opening it.
  void explainOpenedWithoutLibrary(const Process& app);

  WorldConfig config_;
  device::Profile profile_;
  tz::TimeZone timeZone_;
  bool ownsRoot_ = false;
  dispatch::VirtualScheduler clock_;
  timeline::Timeline timeline_;
  std::unique_ptr<fs::Root> root_;
  std::unique_ptr<darwin::NotifyCenter> darwin_;
  std::unique_ptr<prefs::Store> prefs_;
  std::unique_ptr<audio::SystemSounds> sounds_;
  std::unique_ptr<messaging::MessageCenter> messages_;
  std::unique_ptr<host::WorldServices> services_;
  std::optional<host::LoaderFilter> filter_;
  std::unique_ptr<Process> springBoard_;
  std::map<std::string, std::unique_ptr<Process>, std::less<>> apps_;
  springboard::NotificationHandle lastMissedCall_{};
};

}  // namespace qv::sim
