// Deterministic virtual time: every queue of every process runs on the calling OS thread, in
// the order (due instant, sequence number). Time moves only when driven. Equal input gives
// identical order, run after run.
//
// How the drivers can hang: work that keeps scheduling new work at the current instant never
// lets time move; each driver stops after `maxEventsPerCall` events and reports it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "platform/dispatch/scheduler.h"

namespace qv::dispatch {

class VirtualScheduler final : public Scheduler {
 public:
  explicit VirtualScheduler(Instant start);
  ~VirtualScheduler() override;

  Instant now() const override { return now_; }
  QueueRef createQueue(std::string label, std::string process, bool isMain) override;
  void async(const QueueRef& q, Task task) override;
  void asyncWork(const QueueRef& q, std::function<Work()> make) override;
  void after(const QueueRef& q, Duration delay, Task task) override;
  std::shared_ptr<TimerHandle> at(const QueueRef& q, Instant due, Task task) override;
  const Queue* currentQueue() const override { return current_; }
  Trace trace() const override { return trace_; }
  void setTrace(Trace t) override { trace_ = t; }
  bool singleThreaded() const override { return true; }
  void retireProcess(const std::string& process) override;

  // Back to a new scheduler's state at `start`: every pending event and sleeping work dropped
  // unrun, queues forgotten, counters and hooks cleared. For a world that is made again.
  void reset(Instant start);

  // Runs everything due now, including what that work schedules for now; time stays.
  // Returns false when it stopped at the event limit.
  bool runUntilIdle();
  // Runs everything due up to `until` in order, moving time to each event, then to `until`.
  bool runUntil(Instant until);
  bool advanceBy(Duration d) { return runUntil(now_ + d); }
  // Runs the next event whatever its time; false when none is left.
  bool runNext();
  // The due instant of the next event, if any.
  bool nextDue(Instant* due) const;
  std::size_t pendingEvents() const { return events_.size() + inOrder_.size(); }
  std::uint64_t eventsRun() const { return eventsRun_; }

  // Called after every event with the instant it ran at (for invariant checks).
  std::function<void()> afterEachEvent;
  static constexpr std::uint64_t kDefaultMaxEventsPerCall = 50'000'000;
  std::uint64_t maxEventsPerCall = kDefaultMaxEventsPerCall;

 protected:
  bool sleepInPlace(Duration) override { return false; }
  void resumeAfter(Duration d, std::coroutine_handle<> h) override;

 private:
  struct VQueue;
  struct Timer;
  // What an event does: a queue's turn, a task handed to its queue when due (after, at), or
  // sleeping work woken. Each keeps what it needs in its slot, wrapped in no closure of ours.
  // An event takes what it needs out of its slot before it runs (what runs may add slots).
  enum class Step : std::uint8_t { Drain, Enqueue, Resume };
  struct Slot {
    Step step = Step::Drain;
    Task action;                      // Enqueue: the task for `queue`
    std::shared_ptr<VQueue> queue;    // Drain, Enqueue
    std::shared_ptr<Timer> timer;     // Enqueue from at(): dropped once cancelled
    std::weak_ptr<VQueue> sleeper;    // Resume: the queue the work sleeps on (it may end)
    const Queue* sleeperQueue = nullptr;
    std::coroutine_handle<> handle;   // Resume
    Trace trace;                      // of the work that scheduled it
  };
  // The heap holds only the order; what to do waits in `slots_`.
  struct Key {
    Instant due;
    std::uint64_t seq;
    std::uint32_t slot;
  };
  struct Later {
    bool operator()(const Key& a, const Key& b) const { return a.due != b.due ? a.due > b.due : a.seq > b.seq; }
  };

  Slot& push(Instant due, Step step);
  void enqueue(const std::shared_ptr<VQueue>& q, Task task, std::function<Work()> work,
               std::shared_ptr<Timer> timer = nullptr);
  void scheduleDrain(const std::shared_ptr<VQueue>& q);
  void drain(const std::shared_ptr<VQueue>& q);
  void resume(const std::weak_ptr<VQueue>& weak, const Queue* q, std::coroutine_handle<> h);
  void runOne();

  std::vector<std::weak_ptr<VQueue>> queues_;       // for retiring a process's queues
  std::vector<std::coroutine_handle<>> sleeping_;   // destroyed with the scheduler if never resumed
  Instant now_;
  std::uint64_t seq_ = 0;
  std::uint64_t eventsRun_ = 0;
  const Queue* current_ = nullptr;
  Trace trace_{};
  // The pending events: a heap ordered by Later, beside a run already in order. An event later
  // than every one of the run joins the run (a scenario's actions, scheduled all at once in time
  // order, wait there at no cost); the next event is the earlier of the two fronts.
  std::vector<Key> events_;
  std::deque<Key> inOrder_;
  bool hasEvents() const { return !events_.empty() || !inOrder_.empty(); }
  // The next event's key; call only when hasEvents().
  const Key& nextKey() const;
  Key popNext();
  std::vector<Slot> slots_;
  std::vector<std::uint32_t> freeSlots_;
};

}  // namespace qv::dispatch
