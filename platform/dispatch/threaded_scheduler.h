// Real threads in real time, for concurrency tests under ThreadSanitizer: every queue runs its
// work on a thread of its own (a main queue on one long-lived thread, a serial queue on a
// thread that lives while it has work). Order guarantees are those of Scheduler; across
// queues there is no order but what locks and queues give.
// `speed` scales the world clock and sleeps (10 = ten virtual seconds per real second).
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/dispatch/scheduler.h"

namespace qv::dispatch {

class ThreadedScheduler final : public Scheduler {
 public:
  explicit ThreadedScheduler(Instant start, double speed = 1.0);
  ~ThreadedScheduler() override;  // stops every queue and joins its thread

  Instant now() const override;
  QueueRef createQueue(std::string label, std::string process, bool isMain) override;
  void async(const QueueRef& q, Task task) override;
  void asyncWork(const QueueRef& q, std::function<Work()> make) override;
  void after(const QueueRef& q, Duration delay, Task task) override;
  std::shared_ptr<TimerHandle> at(const QueueRef& q, Instant due, Task task) override;
  const Queue* currentQueue() const override;
  Trace trace() const override;
  void setTrace(Trace t) override;
  void retireProcess(const std::string& process) override;

  // Runs `fn` on `q` and waits for it to finish (call from outside every queue).
  void runSync(const QueueRef& q, std::function<void()> fn);
  // Waits until no queue runs anything or has anything due; false on timeout.
  bool waitQuiet(std::chrono::milliseconds timeout);

 protected:
  bool sleepInPlace(Duration d) override;
  void resumeAfter(Duration, std::coroutine_handle<>) override {}

 private:
  struct TQueue;
  void submit(const std::shared_ptr<TQueue>& q, Instant due, Task task,
              std::function<Work()> work, std::shared_ptr<TimerHandle> timer);
  void workerLoop(const std::shared_ptr<TQueue>& q);

  Instant start_;
  std::chrono::steady_clock::time_point steadyStart_;
  double speed_;
  std::atomic<std::uint64_t> seq_{0};
  std::mutex queuesMutex_;
  std::vector<std::shared_ptr<TQueue>> queues_;
  std::atomic<bool> stopping_{false};
};

}  // namespace qv::dispatch
