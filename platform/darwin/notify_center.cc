#include "platform/darwin/notify_center.h"

#include <algorithm>
#include <iterator>

namespace qv::darwin {

void NotifyCenter::addObserver(const dispatch::QueueRef& mainQueue, std::string name,
                               std::function<void()> callback) {
  std::lock_guard lock(mutex_);
  observers_[std::move(name)].push_back(
      Observer{mainQueue, std::make_shared<const std::function<void()>>(std::move(callback))});
}

void NotifyCenter::removeObservers(std::string_view process) {
  std::lock_guard lock(mutex_);
  for (auto named = observers_.begin(); named != observers_.end();) {
    std::erase_if(named->second, [&](const Observer& o) { return o.queue->process() == process; });
    named = named->second.empty() ? observers_.erase(named) : std::next(named);
  }
}

int NotifyCenter::post(std::string_view process, std::string_view name) {
  if (timeline_.active()) timeline_.record(process, timeline::Kind::DarwinPost, name, {}, {{"name", timeline::Borrowed{name}}});
  // Who observes at the post hears it, whatever the callbacks add or remove later. A post hands
  // work on under the lock and calls nothing back itself, so the list needs no copy.
  std::lock_guard lock(mutex_);
  auto named = observers_.find(name);
  if (named == observers_.end()) return 0;
  for (const Observer& o : named->second) scheduler_.async(o.queue, [callback = o.callback] { (*callback)(); });
  return static_cast<int>(named->second.size());
}

int NotifyCenter::observerCount(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto named = observers_.find(name);
  return named == observers_.end() ? 0 : static_cast<int>(named->second.size());
}

int NotifyCenter::observerCount(std::string_view name, std::string_view process) const {
  std::lock_guard lock(mutex_);
  auto named = observers_.find(name);
  if (named == observers_.end()) return 0;
  return static_cast<int>(std::count_if(named->second.begin(), named->second.end(),
                                        [&](const Observer& o) { return o.queue->process() == process; }));
}

}  // namespace qv::darwin
