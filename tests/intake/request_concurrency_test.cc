// The iOS 10 request rules on real threads: every request's queue runs on a thread of its own
// and races the others to hand its rules to the main queue. Built to be run under
// ThreadSanitizer (-DQV_SANITIZE=thread).
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "assembly/startup.h"
#include "core/registry.h"
#include "platform/dispatch/threaded_scheduler.h"
#include "platform/statusbar/status_bar.h"
#include "sim/world.h"
#include "tests/scratch_folder.h"

namespace qv::intake {
namespace {

using namespace std::chrono_literals;
using springboard::IncomingNotification;
using timeline::Kind;

pl::Dict stressSettings() {
  pl::Dict d{{"imInt", 1},    {"smsInt", 1},    {"mailInt", 1}, {"phInt", 1},         {"imCount", 3},
             {"smsCount", 3}, {"mailCount", 3}, {"phCount", 3}, {"showStatus", true}, {"globalMail", true}};
  for (const char* key : {"imCalWats", "imSMSWats", "imSMSFBMess", "imSMSTeleg", "thremaIm", "ViperImMess"})
    d[key] = true;
  return d;
}

// An iOS 10 home screen with the library loaded, its queues on real threads at 20 times real speed.
class RequestConcurrency : public ::testing::Test {
 protected:
  RequestConcurrency() {
    (void)prefs.setValues(stressSettings(), {}, core::kSettingsDomain, prefs::User::Current, prefs::HostScope::Any);
    library = assembly::load(host);
    library->intake.intakeReady = true;
    timeline.addListener(
        [this](const timeline::Event& e) {
          std::lock_guard lock(seenMutex);
          if (e.kind == Kind::ReminderFired) ++fires;
          if (e.kind == Kind::Decision && e.detail.starts_with("request rules, ") &&
              e.detail.ends_with("taken by this block"))
            decided.push_back(e.subject);
        },
        true);
  }
  ~RequestConcurrency() override {
    // Stop every reminder so nothing fires into a library that is going away.
    clock.runSync(host.mainQueue(), [this] {
      for (const core::CategoryInfo& row : core::kCategories) core::clearCategory(*library, row.category);
    });
    // A fire's delayed steps (its vibration) are not due yet when the queues first fall quiet.
    std::this_thread::sleep_for(300ms);
    clock.waitQuiet(5000ms);
    // Banners still waiting go on showing one another (each a timer), through the library's
    // hooks: end the process's queues and let a running task finish before the library goes.
    clock.retireProcess(host.processName());
    clock.waitQuiet(5000ms);
    library.reset();
  }

  ScratchFolder scratch{"quorvel-requests"};  // first, so it goes after all that writes in it
  dispatch::ThreadedScheduler clock{dispatch::Instant{} + 1000s, 20.0};
  timeline::Timeline timeline{clock};
  fs::Root root{scratch.path()};
  darwin::NotifyCenter darwin{clock, timeline};
  prefs::Store prefs{root, "5A1E1C2B-7D4F-4E8A-9B3C-0F6D2E1A4B7C"};
  audio::SystemSounds sounds{clock, timeline, root};
  device::Profile profile;  // iOS 10.3
  tz::TimeZone zone = tz::TimeZone::utc();
  host::WorldServices services{clock, timeline, darwin, prefs, root, sounds, profile, zone};
  host::SimulatedHost host{services, "SpringBoard", "com.apple.springboard", "/var/mobile"};
  foundation::Foundation foundation{host, {}};
  springboard::HomeScreen home{host, {.hasTorch = false}, false};
  statusbar::StatusBar statusBar{host, home};
  springboard::Notifications notes{host, home, foundation};
  std::unique_ptr<core::Library> library;

  std::mutex seenMutex;
  std::vector<std::string> decided;
  std::size_t fires = 0;
};

TEST_F(RequestConcurrency, RequestsPostedTogetherAreDecidedOnceEachInArrivalOrder) {
  // Request rules off the main thread.
  const std::vector<IncomingNotification> burst = {
      {.bundleId = "ph.telegra.Telegraph", .categoryIdentifier = "message"},
      {.bundleId = "net.whatsapp.WhatsApp", .categoryIdentifier = "message"},
      {.bundleId = "com.viber", .categoryIdentifier = "CAT_INCOMING_MESSAGE"},
      {.bundleId = "com.apple.mobilemail", .badge = 2},
      {.bundleId = "com.facebook.Messenger", .categoryIdentifier = "reply_mute"},
      {.bundleId = "net.whatsapp.WhatsApp", .categoryIdentifier = "missed-call"},
      {.bundleId = "com.apple.MobileSMS", .badge = 4},
      {.bundleId = "ch.threema.iapp"},
      {.bundleId = "com.apple.mobilephone"},
  };
  std::vector<std::string> posted;
  for (int round = 0; round < 12; ++round) {
    clock.runSync(host.mainQueue(), [&] {
      springboard::NotificationHandle last;
      for (const IncomingNotification& n : burst) {
        last = notes.deliver(n);
        posted.push_back(n.bundleId);
      }
      // Clears and actions land between the waiting requests' hand-offs.
      core::clearCategory(*library, core::kCategories[round % core::kCategoryCount].category);
      notes.actOn(last, springboard::kOriginNotificationCentre);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(round % 2 ? 70 : 10));
  }
  ASSERT_TRUE(clock.waitQuiet(10000ms));
  bool drained = false;
  clock.runSync(host.mainQueue(), [&] { drained = library->intake.waitingRequests.empty(); });
  EXPECT_TRUE(drained);
  std::lock_guard lock(seenMutex);
  EXPECT_EQ(decided, posted);
  EXPECT_GT(fires, 0u) << "reminders fired while requests were being decided";
}

}  // namespace
}  // namespace qv::intake
