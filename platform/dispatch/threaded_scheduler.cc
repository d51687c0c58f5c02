#include "platform/dispatch/threaded_scheduler.h"

#include <algorithm>

namespace qv::dispatch {
namespace {
thread_local const Queue* tlsCurrentQueue = nullptr;
thread_local Trace tlsTrace{};

struct ThreadTimer final : TimerHandle {
  std::atomic<bool> isCancelled{false};
  void cancel() override { isCancelled.store(true); }
  bool cancelled() const override { return isCancelled.load(); }
};
}  // namespace

struct ThreadedScheduler::TQueue final : Queue {
  using Queue::Queue;
  struct Item {
    Instant due;
    std::uint64_t seq;
    Task task;
    std::function<Work()> work;
    std::shared_ptr<TimerHandle> timer;
    Trace trace;
  };
  struct Later {
    bool operator()(const Item& a, const Item& b) const {
      return a.due != b.due ? a.due > b.due : a.seq > b.seq;
    }
  };
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<Item> heap;
  bool workerRunning = false;
  bool retired = false;
  bool running = false;  // an item is executing now
  std::thread worker;
};

ThreadedScheduler::ThreadedScheduler(Instant start, double speed)
    : start_(start), steadyStart_(std::chrono::steady_clock::now()), speed_(speed > 0 ? speed : 1.0) {}

ThreadedScheduler::~ThreadedScheduler() {
  stopping_.store(true);
  std::vector<std::shared_ptr<TQueue>> queues;
  {
    std::lock_guard lock(queuesMutex_);
    queues = queues_;
  }
  for (auto& q : queues) {
    {
      std::lock_guard lock(q->mutex);
    }
    q->cv.notify_all();
  }
  for (auto& q : queues)
    if (q->worker.joinable()) q->worker.join();
}

Instant ThreadedScheduler::now() const {
  auto real = std::chrono::steady_clock::now() - steadyStart_;
  return start_ + std::chrono::duration_cast<Duration>(real * speed_);
}

const Queue* ThreadedScheduler::currentQueue() const { return tlsCurrentQueue; }
Trace ThreadedScheduler::trace() const { return tlsTrace; }
void ThreadedScheduler::setTrace(Trace t) { tlsTrace = t; }

void ThreadedScheduler::retireProcess(const std::string& process) {
  std::lock_guard lock(queuesMutex_);
  for (auto& q : queues_) {
    if (q->process() != process) continue;
    std::lock_guard qlock(q->mutex);
    q->retired = true;
    q->heap.clear();
  }
}

QueueRef ThreadedScheduler::createQueue(std::string label, std::string process, bool isMain) {
  auto q = std::make_shared<TQueue>(std::move(label), std::move(process), isMain);
  std::lock_guard lock(queuesMutex_);
  queues_.push_back(q);
  return q;
}

void ThreadedScheduler::submit(const std::shared_ptr<TQueue>& q, Instant due, Task task,
                               std::function<Work()> work, std::shared_ptr<TimerHandle> timer) {
  if (stopping_.load()) return;
  std::unique_lock lock(q->mutex);
  if (q->retired) return;
  q->heap.push_back(TQueue::Item{due, seq_.fetch_add(1), std::move(task), std::move(work), std::move(timer), tlsTrace});
  std::push_heap(q->heap.begin(), q->heap.end(), TQueue::Later{});
  if (!q->workerRunning) {
    q->workerRunning = true;
    if (q->worker.joinable()) q->worker.join();  // the previous worker has finished its loop
    q->worker = std::thread([this, q] { workerLoop(q); });
  }
  q->cv.notify_one();
}

void ThreadedScheduler::workerLoop(const std::shared_ptr<TQueue>& q) {
  tlsCurrentQueue = q.get();
  std::unique_lock lock(q->mutex);
  while (!stopping_.load()) {
    if (q->heap.empty()) {
      if (!q->isMain()) break;  // a serial queue's thread lives only while it has work
      q->cv.wait(lock, [&] { return stopping_.load() || !q->heap.empty(); });
      continue;
    }
    const Instant due = q->heap.front().due;
    const Instant current = now();
    if (due > current) {
      auto realWait = std::chrono::duration_cast<std::chrono::nanoseconds>((due - current) / speed_);
      q->cv.wait_for(lock, realWait);
      continue;
    }
    std::pop_heap(q->heap.begin(), q->heap.end(), TQueue::Later{});
    TQueue::Item item = std::move(q->heap.back());
    q->heap.pop_back();
    if (item.timer && item.timer->cancelled()) continue;
    q->running = true;
    lock.unlock();
    tlsTrace = item.trace;
    if (item.work) {
      // Sleeps happen in place on this thread, so the work has finished when start returns.
      Work w = item.work();
      w.start(nullptr);
    } else {
      item.task();
    }
    tlsTrace = {};
    lock.lock();
    q->running = false;
  }
  q->workerRunning = false;
}

void ThreadedScheduler::async(const QueueRef& q, Task task) {
  submit(std::static_pointer_cast<TQueue>(q), now(), std::move(task), nullptr, nullptr);
}

void ThreadedScheduler::asyncWork(const QueueRef& q, std::function<Work()> make) {
  submit(std::static_pointer_cast<TQueue>(q), now(), nullptr, std::move(make), nullptr);
}

void ThreadedScheduler::after(const QueueRef& q, Duration delay, Task task) {
  submit(std::static_pointer_cast<TQueue>(q), now() + std::max(delay, Duration::zero()), std::move(task),
         nullptr, nullptr);
}

std::shared_ptr<TimerHandle> ThreadedScheduler::at(const QueueRef& q, Instant due, Task task) {
  auto handle = std::make_shared<ThreadTimer>();
  submit(std::static_pointer_cast<TQueue>(q), due, std::move(task), nullptr, handle);
  return handle;
}

bool ThreadedScheduler::sleepInPlace(Duration d) {
  if (d > Duration::zero())
    std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::nanoseconds>(d / speed_));
  return true;
}

void ThreadedScheduler::runSync(const QueueRef& q, std::function<void()> fn) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  async(q, [&] {
    fn();
    std::lock_guard lock(m);
    done = true;
    cv.notify_one();
  });
  std::unique_lock lock(m);
  cv.wait(lock, [&] { return done; });
}

bool ThreadedScheduler::waitQuiet(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    bool quiet = true;
    {
      std::lock_guard lock(queuesMutex_);
      const Instant current = now();
      for (auto& q : queues_) {
        std::lock_guard qlock(q->mutex);
        if (q->running || (!q->heap.empty() && q->heap.front().due <= current)) {
          quiet = false;
          break;
        }
      }
    }
    if (quiet) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace qv::dispatch
