// The torch blink on real threads (each serial queue on a thread of its own), as it runs on the
// device; built to be run under ThreadSanitizer (-DQV_SANITIZE=thread).
#include <gtest/gtest.h>

#include "alerts/torch.h"
#include "assembly/startup.h"
#include "core/library.h"
#include "platform/dispatch/threaded_scheduler.h"
#include "platform/foundation/foundation_classes.h"
#include "platform/host/simulated_host.h"
#include "platform/springboard/home_screen.h"
#include "tests/scratch_folder.h"

namespace qv::alerts {
namespace {

using namespace std::chrono_literals;
using timeline::Kind;

// A home screen with the library loaded, its queues on real threads at 20 times real speed.
class TorchOnRealThreads : public ::testing::Test {
 protected:
  ~TorchOnRealThreads() override { clock.waitQuiet(5000ms); }

  ScratchFolder scratch{"quorvel-torch"};  // first, so it goes after all that writes in it
  dispatch::ThreadedScheduler clock{dispatch::Instant{} + 1000s, 20.0};
  timeline::Timeline timeline{clock};
  timeline::Recorder rec{timeline};
  fs::Root root{scratch.path()};
  darwin::NotifyCenter darwin{clock, timeline};
  prefs::Store prefs{root, "5A1E1C2B-7D4F-4E8A-9B3C-0F6D2E1A4B7C"};
  audio::SystemSounds sounds{clock, timeline, root};
  device::Profile profile;
  tz::TimeZone zone = tz::TimeZone::utc();
  host::WorldServices services{clock, timeline, darwin, prefs, root, sounds, profile, zone};
  host::SimulatedHost host{services, "SpringBoard", "com.apple.springboard", "/var/mobile"};
  foundation::Foundation foundation{host, {}};
  springboard::HomeScreen home{host, {}, false};
  std::unique_ptr<core::Library> library = assembly::load(host);
};

TEST_F(TorchOnRealThreads, RequestsRacingOnTwoQueuesGiveOneSequence) {
  // Torch when the capture device refuses configuration: the busy flag's test-and-set must be atomic.
  for (int round = 0; round < 3; ++round) {
    clock.runSync(host.mainQueue(), [&] {
      requestTorchBlink(*library);
      requestTorchBlink(*library);
      requestTorchBlink(*library);
    });
    ASSERT_TRUE(clock.waitQuiet(5000ms));
    EXPECT_EQ(rec.count(Kind::TorchOn), 5u * (round + 1)) << "round " << round;
    EXPECT_FALSE(library->alerts.torchBusy);
  }
  bool released = false;
  clock.runSync(host.mainQueue(), [&] { released = library->alerts.torchQueues.empty(); });
  EXPECT_TRUE(released) << "every torch queue was released on the main queue";
  EXPECT_FALSE(home.torchOn());
}

}  // namespace
}  // namespace qv::alerts
