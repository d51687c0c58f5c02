// The Foundation-level host classes every simulated process has: NSRunLoop (mainRunLoop),
// PCSimpleTimer (one-shot timers on the main run loop, subclassable), UIDevice, UIColor,
// NSSortDescriptor (sortDescriptorWithKey:ascending:, key, ascending), and
// NSObject's delayed performs (performSelector:withObject:afterDelay: and
// cancelPreviousPerformRequestsWithTarget:selector:object:). Main-queue use only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/dispatch/scheduler.h"
#include "platform/host/host.h"
#include "platform/objc/runtime.h"

namespace qv::foundation {

struct DeviceTraits {
  std::string systemVersion = "10.3";
  std::int64_t idiom = 0;    // 1 = iPad
  bool answersIdiom = true;  // whether UIDevice responds to userInterfaceIdiom
};

class Foundation {
 public:
  // Defines the classes in the host's runtime; call once per process, before the library loads.
  Foundation(host::Host& host, DeviceTraits device);
  Foundation(const Foundation&) = delete;
  Foundation& operator=(const Foundation&) = delete;

  host::Host& host() { return host_; }
  const DeviceTraits& device() const { return device_; }
  // Timers armed and not yet fired or invalidated in this process.
  std::size_t armedTimers() const { return armed_.size(); }
  // The armed timers in the order they were armed, into `out` (cleared first), without copying
  // names or holding the timers: for a watcher that looks after every instant. The pointers hold
  // until the process runs again.
  struct ArmedTimerRef {
    objc::Object* timer;
    objc::Sel selector;
    std::uint64_t order;
  };
  void armedTimerRefs(std::vector<ArmedTimerRef>& out) const;
  // performSelector:withObject:afterDelay: (no argument) on the main queue.
  void performAfterDelay(const objc::Id& target, objc::Sel sel, dispatch::Duration delay);
  // Delayed performs still pending for a target and selector.
  std::size_t pendingPerforms(const objc::Object* target, objc::Sel sel) const;

  // Internal to the timer class.
  void timerArmed(objc::Object* timer, std::uint64_t order);
  void timerDisarmed(std::uint64_t order);
  void cancelPerforms(const objc::Object* target, objc::Sel sel);

 private:
  struct Perform {
    std::uint64_t id;
    const objc::Object* targetKey;
    objc::Sel sel;
    std::shared_ptr<dispatch::TimerHandle> handle;
  };
  host::Host& host_;
  DeviceTraits device_;
  // A few at a time, armed and disarmed once a minute each: a vector in no order, so that a
  // disarm moves one entry, not all those armed after it.
  std::vector<std::pair<std::uint64_t, std::weak_ptr<objc::Object>>> armed_;

 public:
  std::uint64_t nextTimerOrder = 0;
  std::vector<Perform> performs_;
  std::uint64_t nextPerformId_ = 0;

 public:  // the process's singletons, reached from the class methods
  objc::Id mainRunLoop_;
  objc::Id currentDevice_;
};

}  // namespace qv::foundation
