// Deterministic virtual time: every queue of every process runs on the calling OS thread, in
// the order (due instant, sequence number). Time moves only when driven. Equal input gives
// identical order, run after run.
//
// How the drivers can hang: work that keeps scheduling new work at the current instant never
// lets time move; each driver stops after `maxEventsPerCall` events and reports it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "platform/dispatch/ring.h"
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
  // Tasks known in advance (a scenario's actions), `run(i)` handed to `q` at `dues[i]`. Each takes
  // the place in the order of events that `at` called for each in turn would give it, but only the
  // earliest waits as an event: each one that comes due brings in the next. A long list so costs
  // one pending event, not one each. No handles: they cannot be cancelled.
  void atEach(const QueueRef& q, std::vector<Instant> dues, std::function<void(std::size_t)> run);
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
  std::size_t pendingEvents() const { return events_.size() + inOrder_.size() + atNow_.size(); }
  std::uint64_t eventsRun() const { return eventsRun_; }

  // Called after every event with the instant it ran at (for invariant checks). While it is set,
  // every queue turn is an event of its own, so it sees the state between any two turns.
  std::function<void()> afterEachEvent;
  static constexpr std::uint64_t kDefaultMaxEventsPerCall = 50'000'000;
  std::uint64_t maxEventsPerCall = kDefaultMaxEventsPerCall;

 protected:
  bool sleepInPlace(Duration) override { return false; }
  void resumeAfter(Duration d, std::coroutine_handle<> h) override;

 private:
  struct VQueue;
  struct Timer;
  struct Feed;
  // An item of a queue's ring. Filled in place and emptied by moves, so a room of the ring holds
  // nothing between its items.
  struct Item {
    Task task;
    std::shared_ptr<Timer> timer;                  // a timer's task, skipped when cancelled meanwhile
    std::unique_ptr<std::function<Work()>> work;   // sleeping work (rare, so kept out of the item)
    Trace trace;                                   // of the work that scheduled it
  };
  // What an event does: a queue's turn, the turn of a task handed to an idle queue (it waits in
  // the event, not in the queue), a task handed to its queue when due (after, at), or sleeping
  // work woken. Each keeps what it needs in its slot, wrapped in no closure of ours.
  // An event takes what it needs out of its slot before it runs (what runs may add slots).
  enum class Step : std::uint8_t { Drain, Turn, Enqueue, Resume };
  struct Slot {
    Step step = Step::Drain;
    Task action;                      // Turn, Enqueue: the task for `queue`
    // Drain, Turn, Enqueue: counted in its pending events, which keeps it alive until the event
    // has run. Resume: the queue the work sleeps on, kept while it is busy with the work.
    VQueue* queue = nullptr;
    std::shared_ptr<Timer> timer;     // Enqueue from at(): dropped once cancelled
    Feed* feed = nullptr;             // Enqueue from atEach(): brings in the list's next task
    std::coroutine_handle<> handle;   // Resume
    Trace trace;                      // of the work that scheduled it
  };
  // The heap holds only the order; what to do waits in `slots_`. The sequence number and the
  // slot share one word, the slot in its low bits, so a key is two words and keys with the same
  // due instant compare by sequence number.
  static constexpr unsigned kSlotBits = 24;
  static constexpr std::uint32_t kMaxSlots = std::uint32_t{1} << kSlotBits;
  struct Key {
    Instant due;
    std::uint64_t order;  // sequence number << kSlotBits | slot
    std::uint32_t slot() const { return static_cast<std::uint32_t>(order & (kMaxSlots - 1)); }
  };
  struct Later {
    bool operator()(const Key& a, const Key& b) const { return a.due != b.due ? a.due > b.due : a.order > b.order; }
  };

  Slot& push(Instant due, Step step);
  std::uint32_t newSlot();
  // Places a key due later than now, or one taking a place kept for it (see pushFed).
  void addLater(const Key& key);
  // The next task of `feed`'s list as an event, in the place kept for it.
  void pushFed(Feed& feed);
  // An event of `q`'s, counted in its pending events until it has run.
  Slot& pushFor(VQueue& q, Instant due, Step step);
  // Adds an item at the back of `q` for the caller to fill (its room is empty), or null once the
  // queue's process has ended.
  Item* append(VQueue& q);
  void scheduleDrain(VQueue& q);
  void drain(VQueue& q);
  // Runs `task` as `q`'s turn in the current event, then whatever `q` has next.
  void runNow(VQueue& q, Task& task);
  void resume(VQueue* q, std::coroutine_handle<> h);
  // Sleeping work never resumed is destroyed with the scheduler, in the order it went to sleep.
  void destroySleepingWork();

  // Every queue, so that events can name theirs by a plain pointer: one that nobody else holds,
  // with no pending event and no sleeping work, is let go when the next queue is made.
  std::vector<std::shared_ptr<VQueue>> queues_;
  Instant now_;
  std::uint64_t seq_ = 0;
  std::uint64_t eventsRun_ = 0;
  const Queue* current_ = nullptr;
  Trace trace_{};
  // The pending events, in three parts whose fronts are compared: a heap ordered by Later; a run
  // already in order (an event later than every one of the run joins it: timers made in time
  // order wait there at no cost); and the events scheduled for the current instant while it is
  // current (a queue's turn, a task handed on at once), which come after every other event of
  // this instant (their sequence numbers are the latest, but for a listed task's: see pushFed)
  // and before every later one, so they need no heap. Time moves only once that run is empty.
  std::vector<Key> events_;
  Ring<Key> inOrder_;
  Ring<Key> atNow_;
  bool hasEvents() const { return !events_.empty() || !inOrder_.empty() || !atNow_.empty(); }
  // The part that holds the next event, if any.
  enum class Part : std::uint8_t { None, Heap, InOrder, AtNow };
  Part nextPart() const {
    // What waits at this instant elsewhere was scheduled before everything in atNow_.
    if (!atNow_.empty() && !dueNowElsewhere()) return Part::AtNow;
    if (events_.empty()) return inOrder_.empty() ? Part::None : Part::InOrder;
    if (inOrder_.empty()) return Part::Heap;
    return Later{}(events_.front(), inOrder_.front()) ? Part::InOrder : Part::Heap;
  }
  // Whether the heap or the run in order holds an event due at the current instant (nothing
  // pending is due before it; everything in atNow_ is due at it).
  bool dueNowElsewhere() const {
    return (!events_.empty() && events_.front().due == now_) || (!inOrder_.empty() && inOrder_.front().due == now_);
  }
  // Whether a queue's next turn may be taken within the running event: no other event waits at
  // the current instant, so that turn would be the very next event anyway. Not while something
  // watches every event (the invariant checker), which then sees each turn apart as before.
  bool nextTurnIsNow() const { return !afterEachEvent && atNow_.empty() && !dueNowElsewhere(); }
  const Key& front(Part part) const {
    return part == Part::Heap ? events_.front() : part == Part::InOrder ? inOrder_.front() : atNow_.front();
  }
  Key pop(Part part);
  void runOne(Part part);
  std::vector<Slot> slots_;
  std::vector<std::uint32_t> freeSlots_;
  std::vector<std::unique_ptr<Feed>> feeds_;
};

}  // namespace qv::dispatch
