#include "alerts/torch.h"

#include <gtest/gtest.h>

#include "alerts/screen_flash.h"
#include "tests/alerts/alerts_test_support.h"

namespace qv::alerts {
namespace {

using namespace std::chrono_literals;
using core::Category;
using testing::startReminder;
using testing::trace;
using timeline::Kind;

// Watches capture-device calls through hooks: their names in order and the queue of the last.
class DeviceCalls {
 public:
  template <class R, class... A>
  void watch(core::Library& lib, const host::Message<R(A...)>& message) {
    struct Binding {
      objc::Slot<R(A...)> previous;
      DeviceCalls* calls;
      core::Library* lib;
      const char* name;
    };
    auto binding = std::make_shared<Binding>(Binding{{}, this, &lib, message.name()});
    auto replacement = [](void* ctx, objc::Object* self, objc::Sel sel, A... args) -> R {
      auto* b = static_cast<Binding*>(ctx);
      b->calls->names += std::string(b->calls->names.empty() ? "" : " ") + b->name;
      const dispatch::Queue* q = b->lib->host.scheduler().currentQueue();
      b->calls->lastQueue = q ? q->label() : "none";
      return b->previous(self, sel, args...);
    };
    objc::Class* cls = lib.host.runtime().getClass("AVCaptureDevice");
    ASSERT_TRUE(
        lib.host.runtime().hookMessage<R(A...)>(cls, message.sel, +replacement, binding.get(), &binding->previous));
    bindings_.push_back(binding);
  }
  std::string names;
  std::string lastQueue;

 private:
  std::vector<std::shared_ptr<void>> bindings_;
};

class TorchBlink : public testing::AlertWorld {
 protected:
  using AlertWorld::AlertWorld;

  dispatch::Instant start = world.now();
  DeviceCalls device;
};

TEST_F(TorchBlink, OneRequestBlinksFiveTimesOnAQueueOfItsOwnThenReleasesIt) {
  device.watch(lib, host::msg::setTorchMode);
  requestTorchBlink(lib);
  EXPECT_EQ(lib.alerts.torchQueues.size(), 1u);
  world.runFor(4s);
  EXPECT_EQ(trace(rec, start, {Kind::TorchOn, Kind::TorchOff}),
            "torch-on@0 torch-off@200 torch-on@700 torch-off@900 torch-on@1400 torch-off@1600 "
            "torch-on@2100 torch-off@2300 torch-on@2800 torch-off@3000");
  EXPECT_EQ(device.lastQueue, "com.tarnwick.serverDelay");
  EXPECT_FALSE(lib.alerts.torchBusy);
  EXPECT_TRUE(lib.alerts.torchQueues.empty()) << "the main queue released the torch queue";
}

TEST_F(TorchBlink, ARequestDuringASequenceIsDroppedAndOneAfterItBlinksAgain) {
  startReminder(lib, Category::Call);
  world.writeSettings({{"torchSmS", true}});
  world.runFor(1s);
  startReminder(lib, Category::Sms);
  world.runFor(60s);
  EXPECT_EQ(rec.count(Kind::ReminderFired), 2u);
  world.runFor(2s + 600ms);  // 3.6 s after the first request
  EXPECT_EQ(rec.count(Kind::TorchOn), 5u) << "two fires 1 s apart give one sequence";
  requestTorchBlink(lib);
  world.runFor(4s);
  EXPECT_EQ(rec.count(Kind::TorchOn), 10u);
}

TEST_F(TorchBlink, RefusedConfigurationTouchesNothingButHoldsTheSequenceForItsLength) {
  // Torch when the capture device refuses configuration: no change without the lock, flag always cleared.
  device.watch(lib, host::msg::setTorchMode);
  device.watch(lib, host::msg::setFlashMode);
  device.watch(lib, host::msg::unlockForConfiguration);
  world.home().torch().refusesConfiguration = true;
  requestTorchBlink(lib);
  world.runFor(3s);
  requestTorchBlink(lib);
  world.runFor(400ms);
  EXPECT_TRUE(lib.alerts.torchBusy) << "the five cycles keep their timing";
  world.runFor(200ms);
  EXPECT_FALSE(lib.alerts.torchBusy);
  EXPECT_EQ(device.names, "");
  EXPECT_EQ(rec.count(Kind::TorchOn), 0u);
  world.home().torch().refusesConfiguration = false;
  requestTorchBlink(lib);
  world.runFor(4s);
  EXPECT_EQ(rec.count(Kind::TorchOn), 5u) << "the dropped second request left nothing behind";
  EXPECT_TRUE(lib.alerts.torchQueues.empty());
}

class TorchWithoutFlash : public TorchBlink {
 protected:
  TorchWithoutFlash() : TorchBlink({.hasFlash = false}) {}
};

TEST_F(TorchWithoutFlash, NeverBlinks) {
  startReminder(lib, Category::Call);
  world.runFor(65s);
  EXPECT_EQ(rec.count(Kind::ReminderFired), 1u);
  EXPECT_EQ(rec.count(Kind::TorchOn), 0u);
  EXPECT_FALSE(lib.alerts.torchBusy);
  EXPECT_TRUE(lib.alerts.torchQueues.empty());
}

}  // namespace
}  // namespace qv::alerts
