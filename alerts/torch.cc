#include "alerts/torch.h"

#include <algorithm>
#include <atomic>

#include "core/library.h"
#include "platform/host/messages.h"

namespace qv::alerts {
namespace {
namespace msg = host::msg;

constexpr std::string_view kTorchSubject = "torch";

// Parameters by value: the coroutine outlives the caller's frame.
dispatch::Work blink(core::Library* library) {
  host::Host& host = library->host;
  objc::Class* captureClass = host.runtime().getClass("AVCaptureDevice");
  if (!captureClass) {
    library->explain(kTorchSubject, "no blink: this process has no capture device class");
    co_return;
  }
  objc::Id device = host::send(captureClass, msg::defaultDeviceWithMediaType, std::string(kMediaTypeVideo));
  if (!host::send(device, msg::hasTorch) || !host::send(device, msg::hasFlash)) {
    library->explain(kTorchSubject, "no blink: the camera has no torch or no flash");
    co_return;
  }
  bool idle = false;
  if (!library->alerts.torchBusy.compare_exchange_strong(idle, true)) {
    library->explain(kTorchSubject, "no blink: another blink sequence is running");
    co_return;
  }
  // The flag is cleared on every way out but one: a frame destroyed while it sleeps (its world
  // is gone) must not touch the library.
  try {
    for (int cycle = 1; cycle <= kBlinkCycles; ++cycle) {
      const bool configured = host::send(device, msg::lockForConfiguration, objc::Id());
      if (configured) {
        host::send(device, msg::setTorchMode, 1);
        host::send(device, msg::setFlashMode, 1);
      } else if (host.timeline().wantsDecisions()) {
        library->explain(kTorchSubject,
                         "cycle " + std::to_string(cycle) + " skipped: the camera refused configuration");
      }
      co_await host.scheduler().sleep(kTorchOnFor);
      if (configured) {
        host::send(device, msg::setTorchMode, 0);
        host::send(device, msg::setFlashMode, 0);
      }
      co_await host.scheduler().sleep(kTorchOffFor);
      if (configured) host::send(device, msg::unlockForConfiguration);
    }
  } catch (...) {
    library->alerts.torchBusy.store(false);
    throw;
  }
  library->alerts.torchBusy.store(false);
}

void releaseTorchQueue(core::Library& library, const dispatch::Queue* queue) {
  std::erase_if(library.alerts.torchQueues, [queue](const dispatch::QueueRef& q) { return q.get() == queue; });
}

}  // namespace

void requestTorchBlink(core::Library& library) {
  host::Host& host = library.host;
  dispatch::QueueRef queue = host.createSerialQueue(std::string(kTorchQueueLabel));
  library.alerts.torchQueues.push_back(queue);
  core::Library* lib = &library;
  host.scheduler().asyncWork(queue, [lib] { return blink(lib); });
  // Serial: this runs only once the blink has finished.
  const dispatch::Queue* key = queue.get();
  host.scheduler().async(queue, [lib, key] {
    lib->host.scheduler().async(lib->host.mainQueue(), [lib, key] { releaseTorchQueue(*lib, key); });
  });
}

}  // namespace qv::alerts
