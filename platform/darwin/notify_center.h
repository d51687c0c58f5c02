// The Darwin notification centre of one world: any process posts a name, every process that
// observes the name gets its callback on its own main queue, once per post. A post that no
// one observes is lost. Posts carry nothing but the name. Thread-safe.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch/scheduler.h"
#include "platform/string_map.h"
#include "platform/timeline/timeline.h"

namespace qv::darwin {

class NotifyCenter {
 public:
  NotifyCenter(dispatch::Scheduler& scheduler, timeline::Timeline& timeline)
      : scheduler_(scheduler), timeline_(timeline) {}
  NotifyCenter(const NotifyCenter&) = delete;
  NotifyCenter& operator=(const NotifyCenter&) = delete;

  // CFNotificationCenterAddObserver with immediate delivery: `callback` runs on `mainQueue`
  // for every later post of `name`, in post order.
  void addObserver(const dispatch::QueueRef& mainQueue, std::string name, std::function<void()> callback);
  // A process has ended: its observers hear nothing more.
  void removeObservers(std::string_view process);
  // notify_post from `process`; returns how many observers it reached.
  int post(std::string_view process, std::string_view name);
  // How many observers a name has in all (for tests and start-up checks).
  int observerCount(std::string_view name) const;
  int observerCount(std::string_view name, std::string_view process) const;

 private:
  struct Observer {
    dispatch::QueueRef queue;
    // Shared with the deliveries in flight: a post hands each queue a reference, not a copy.
    std::shared_ptr<const std::function<void()>> callback;
  };
  dispatch::Scheduler& scheduler_;
  timeline::Timeline& timeline_;
  mutable std::mutex mutex_;
  // The observers of each name, in the order they were added (the order a post reaches them).
  StringMap<std::vector<Observer>> observers_;
};

}  // namespace qv::darwin
