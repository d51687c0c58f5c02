#include "platform/darwin/notify_center.h"

namespace qv::darwin {

void NotifyCenter::addObserver(const dispatch::QueueRef& mainQueue, std::string name,
                               std::function<void()> callback) {
  std::lock_guard lock(mutex_);
  observers_.push_back(Observer{mainQueue, std::move(name), std::move(callback)});
}

void NotifyCenter::removeObservers(std::string_view process) {
  std::lock_guard lock(mutex_);
  std::erase_if(observers_, [&](const Observer& o) { return o.queue->process() == process; });
}

int NotifyCenter::post(std::string_view process, std::string_view name) {
  if (timeline_.active()) timeline_.record(process, timeline::Kind::DarwinPost, name, {}, {{"name", std::string(name)}});
  std::vector<std::pair<dispatch::QueueRef, std::function<void()>>> targets;
  {
    std::lock_guard lock(mutex_);
    for (const Observer& o : observers_)
      if (o.name == name) targets.emplace_back(o.queue, o.callback);
  }
  for (auto& [queue, callback] : targets) scheduler_.async(queue, callback);
  return static_cast<int>(targets.size());
}

int NotifyCenter::observerCount(std::string_view name) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const Observer& o : observers_)
    if (o.name == name) ++n;
  return n;
}

int NotifyCenter::observerCount(std::string_view name, std::string_view process) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const Observer& o : observers_)
    if (o.name == name && o.queue->process() == process) ++n;
  return n;
}

}  // namespace qv::darwin
