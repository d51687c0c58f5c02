#include "platform/dispatch/virtual_scheduler.h"

#include <algorithm>
#include <cstdio>

namespace qv::dispatch {

struct VirtualScheduler::VQueue final : Queue {
  using Queue::Queue;
  struct Item {
    std::function<void()> task;
    std::function<Work()> work;
  };
  std::deque<Item> fifo;
  bool retired = false;
  bool drainScheduled = false;
  bool busy = false;  // sleeping work in progress
};

namespace {
struct VirtualTimer final : TimerHandle {
  bool isCancelled = false;
  void cancel() override { isCancelled = true; }
  bool cancelled() const override { return isCancelled; }
};
}  // namespace

VirtualScheduler::VirtualScheduler(Instant start) : now_(start) {}
VirtualScheduler::~VirtualScheduler() {
  for (std::coroutine_handle<> h : sleeping_) h.destroy();
}

QueueRef VirtualScheduler::createQueue(std::string label, std::string process, bool isMain) {
  auto q = std::make_shared<VQueue>(std::move(label), std::move(process), isMain);
  std::erase_if(queues_, [](const std::weak_ptr<VQueue>& w) { return w.expired(); });
  queues_.push_back(q);
  return q;
}

void VirtualScheduler::retireProcess(const std::string& process) {
  for (const auto& weak : queues_) {
    auto q = weak.lock();
    if (!q || q->process() != process) continue;
    q->retired = true;
    q->fifo.clear();
  }
}

void VirtualScheduler::push(Instant due, std::function<void()> action) {
  events_.push_back(Event{due, seq_++, std::move(action)});
  std::push_heap(events_.begin(), events_.end(), Later{});
}

void VirtualScheduler::scheduleDrain(const std::shared_ptr<VQueue>& q) {
  if (q->drainScheduled || q->busy || q->fifo.empty()) return;
  q->drainScheduled = true;
  push(now_, [this, q] { drain(q); });
}

void VirtualScheduler::enqueue(const std::shared_ptr<VQueue>& q, std::function<void()> task,
                               std::function<Work()> work) {
  if (q->retired) return;
  q->fifo.push_back(VQueue::Item{std::move(task), std::move(work)});
  scheduleDrain(q);
}

void VirtualScheduler::drain(const std::shared_ptr<VQueue>& q) {
  q->drainScheduled = false;
  if (q->retired || q->busy || q->fifo.empty()) return;
  VQueue::Item item = std::move(q->fifo.front());
  q->fifo.pop_front();
  const Queue* previous = current_;
  current_ = q.get();
  if (item.work) {
    q->busy = true;
    Work w = item.work();
    w.start([this, q] {
      q->busy = false;
      scheduleDrain(q);
    });
  } else {
    item.task();
  }
  current_ = previous;
  // One item per event, so queues with work at the same instant take turns in order.
  scheduleDrain(q);
}

void VirtualScheduler::async(const QueueRef& q, std::function<void()> task) {
  enqueue(std::static_pointer_cast<VQueue>(q), std::move(task), nullptr);
}

void VirtualScheduler::asyncWork(const QueueRef& q, std::function<Work()> make) {
  enqueue(std::static_pointer_cast<VQueue>(q), nullptr, std::move(make));
}

void VirtualScheduler::after(const QueueRef& q, Duration delay, std::function<void()> task) {
  auto vq = std::static_pointer_cast<VQueue>(q);
  if (delay < Duration::zero()) delay = Duration::zero();
  push(now_ + delay, [this, vq, task = std::move(task)]() mutable { enqueue(vq, std::move(task), nullptr); });
}

std::shared_ptr<TimerHandle> VirtualScheduler::at(const QueueRef& q, Instant due,
                                                  std::function<void()> task) {
  auto vq = std::static_pointer_cast<VQueue>(q);
  auto handle = std::make_shared<VirtualTimer>();
  push(std::max(due, now_), [this, vq, handle, task = std::move(task)]() mutable {
    if (handle->isCancelled) return;
    enqueue(vq, [handle, task = std::move(task)] {
      if (!handle->isCancelled) task();
    }, nullptr);
  });
  return handle;
}

void VirtualScheduler::resumeAfter(Duration d, std::coroutine_handle<> h) {
  const Queue* q = current_;
  std::weak_ptr<VQueue> weak;
  for (const auto& w : queues_)
    if (auto locked = w.lock(); locked.get() == q) weak = locked;
  sleeping_.push_back(h);
  push(now_ + std::max(d, Duration::zero()), [this, q, h, weak] {
    std::erase(sleeping_, h);
    auto queue = weak.lock();
    // Work of a process that has ended is dropped, not resumed into objects that are gone.
    if (queue && queue->retired) {
      h.destroy();
      return;
    }
    const Queue* previous = current_;
    current_ = q;
    h.resume();
    current_ = previous;
  });
}

void VirtualScheduler::runOne() {
  std::pop_heap(events_.begin(), events_.end(), Later{});
  Event e = std::move(events_.back());
  events_.pop_back();
  if (e.due > now_) now_ = e.due;
  ++eventsRun_;
  e.action();
  if (afterEachEvent) afterEachEvent();
}

bool VirtualScheduler::runUntilIdle() { return runUntil(now_); }

bool VirtualScheduler::runUntil(Instant until) {
  std::uint64_t budget = maxEventsPerCall;
  while (!events_.empty() && events_.front().due <= until) {
    if (budget-- == 0) {
      std::fprintf(stderr, "virtual scheduler: stopped after %llu events without reaching the target time\n",
                   static_cast<unsigned long long>(maxEventsPerCall));
      return false;
    }
    runOne();
  }
  if (until > now_) now_ = until;
  return true;
}

bool VirtualScheduler::runNext() {
  if (events_.empty()) return false;
  runOne();
  return true;
}

bool VirtualScheduler::nextDue(Instant* due) const {
  if (events_.empty()) return false;
  *due = events_.front().due;
  return true;
}

}  // namespace qv::dispatch
