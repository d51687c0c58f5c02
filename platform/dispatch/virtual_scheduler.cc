#include "platform/dispatch/virtual_scheduler.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace qv::dispatch {

struct VirtualScheduler::VQueue final : Queue {
  using Queue::Queue;
  Ring<Item> fifo;
  bool retired = false;
  bool drainScheduled = false;  // its next turn is a pending event (Drain or Turn)
  bool busy = false;            // sleeping work in progress
  std::uint32_t pendingEvents = 0;  // events naming it (Drain, Turn, Enqueue) not yet run
  // Nothing waits on it and nothing runs on it that holds it: a task handed to it is its next turn.
  bool idle() const { return !retired && !drainScheduled && !busy && fifo.empty(); }
};

// A list of atEach(): the sequence numbers it took when made, one for each task in list order,
// and the tasks in the order they come due (none when that is the list's own). Its queue is
// kept alive by the pending event of its next task, as any event's is.
struct VirtualScheduler::Feed {
  VQueue* queue;
  std::vector<Instant> dues;
  std::vector<std::uint32_t> byDue;
  std::size_t next = 0;
  std::uint64_t firstSeq = 0;
  Trace trace;
  std::function<void(std::size_t)> run;
};

struct VirtualScheduler::Timer final : TimerHandle {
  bool isCancelled = false;
  void cancel() override { isCancelled = true; }
  bool cancelled() const override { return isCancelled; }
};

VirtualScheduler::VirtualScheduler(Instant start) : now_(start) {}
VirtualScheduler::~VirtualScheduler() { destroySleepingWork(); }

void VirtualScheduler::destroySleepingWork() {
  // Each piece of sleeping work waits in one pending Resume event; sequence numbers give the
  // order in which they went to sleep.
  std::vector<Key> resumes;
  auto collect = [&](const Key& key) {
    if (slots_[key.slot()].step == Step::Resume) resumes.push_back(key);
  };
  std::for_each(events_.begin(), events_.end(), collect);
  inOrder_.forEach(collect);
  atNow_.forEach(collect);
  std::sort(resumes.begin(), resumes.end(), [](const Key& a, const Key& b) { return a.order < b.order; });
  for (const Key& key : resumes) slots_[key.slot()].handle.destroy();
}

void VirtualScheduler::reset(Instant start) {
  // The same order as destruction: sleeping work first, then what was still to run.
  destroySleepingWork();
  events_.clear();
  inOrder_.clear();
  atNow_.clear();
  slots_.clear();
  freeSlots_.clear();
  feeds_.clear();
  queues_.clear();
  now_ = start;
  seq_ = 0;
  eventsRun_ = 0;
  current_ = nullptr;
  trace_ = {};
  afterEachEvent = nullptr;
  maxEventsPerCall = kDefaultMaxEventsPerCall;
}

QueueRef VirtualScheduler::createQueue(std::string label, std::string process, bool isMain) {
  auto q = std::make_shared<VQueue>(std::move(label), std::move(process), isMain);
  std::erase_if(queues_, [](const std::shared_ptr<VQueue>& held) {
    return held.use_count() == 1 && held->pendingEvents == 0 && !held->busy;
  });
  queues_.push_back(q);
  return q;
}

void VirtualScheduler::retireProcess(const std::string& process) {
  for (const auto& q : queues_) {
    if (q->process() != process) continue;
    q->retired = true;
    q->fifo.clear();
  }
  // Tasks waiting in their turn's event are released now too, as those in a queue are.
  for (Slot& slot : slots_)
    if (slot.step == Step::Turn && slot.queue && slot.queue->retired) slot.action = nullptr;
}

// push and pop run once for every event and are short: inlined, they save the calls and
// their register saves and restores.
[[gnu::always_inline]] inline std::uint32_t VirtualScheduler::newSlot() {
  if (!freeSlots_.empty()) {
    const std::uint32_t index = freeSlots_.back();
    freeSlots_.pop_back();
    return index;
  }
  const auto index = static_cast<std::uint32_t>(slots_.size());
  if (index == kMaxSlots) {
    std::fprintf(stderr, "virtual scheduler: more than %u events pending at once\n", kMaxSlots);
    std::abort();
  }
  slots_.emplace_back();
  return index;
}

[[gnu::always_inline]] inline void VirtualScheduler::addLater(const Key& key) {
  if (inOrder_.empty() || Later{}(key, inOrder_.back())) {
    inOrder_.push_back(key);
    return;
  }
  // Rises from the bottom of the heap as far as it belongs.
  std::size_t hole = events_.size();
  events_.emplace_back();
  while (hole != 0 && Later{}(events_[(hole - 1) / 2], key)) {
    events_[hole] = events_[(hole - 1) / 2];
    hole = (hole - 1) / 2;
  }
  events_[hole] = key;
}

[[gnu::always_inline]] inline VirtualScheduler::Slot& VirtualScheduler::push(Instant due, Step step) {
  const std::uint32_t index = newSlot();
  const Key key{due, seq_++ << kSlotBits | index};
  if (due == now_)
    atNow_.push_back(key);
  else
    addLater(key);
  Slot& slot = slots_[index];
  slot.step = step;
  slot.trace = trace_;
  return slot;
}

[[gnu::always_inline]] inline VirtualScheduler::Slot& VirtualScheduler::pushFor(VQueue& q, Instant due, Step step) {
  ++q.pendingEvents;
  Slot& slot = push(due, step);
  slot.queue = &q;
  return slot;
}

void VirtualScheduler::scheduleDrain(VQueue& q) {
  if (q.drainScheduled || q.busy || q.fifo.empty()) return;
  q.drainScheduled = true;
  pushFor(q, now_, Step::Drain);
}

VirtualScheduler::Item* VirtualScheduler::append(VQueue& q) {
  if (q.retired) return nullptr;
  Item& item = q.fifo.push_back();
  item.trace = trace_;
  scheduleDrain(q);
  return &item;
}

void VirtualScheduler::drain(VQueue& q) {
  q.drainScheduled = false;
  // One item per turn, so queues with work at the same instant take turns in order. While no
  // other event waits at this instant, the queue's next turn would be the very next event, so
  // it is taken at once.
  do {
    if (q.retired || q.busy || q.fifo.empty()) return;
    // The item is moved out before it runs: what runs may add to the queue and so move its items.
    Item& front = q.fifo.front();
    Task task = std::move(front.task);
    const std::shared_ptr<Timer> timer = std::move(front.timer);
    const std::unique_ptr<std::function<Work()>> work = std::move(front.work);
    const Trace trace = front.trace;
    q.fifo.pop_front();
    const Queue* previous = current_;
    current_ = &q;
    const Trace outer = trace_;
    trace_ = trace;
    if (work) {
      q.busy = true;
      Work w = (*work)();
      w.start([this, queue = &q] {
        queue->busy = false;
        scheduleDrain(*queue);
      });
    } else if (!timer || !timer->isCancelled) {
      task();
    }
    current_ = previous;
    trace_ = outer;
  } while (!q.fifo.empty() && nextTurnIsNow());
  scheduleDrain(q);
}

void VirtualScheduler::runNow(VQueue& q, Task& task) {
  const Queue* previous = current_;
  current_ = &q;
  task();
  current_ = previous;
  task = nullptr;
  // Most turns leave nothing behind them on their queue: no next turn to take or schedule.
  if (q.fifo.empty()) return;
  if (nextTurnIsNow())
    drain(q);
  else
    scheduleDrain(q);
}

void VirtualScheduler::async(const QueueRef& q, Task task) {
  auto& queue = static_cast<VQueue&>(*q);
  if (!queue.idle()) {
    if (Item* item = append(queue)) item->task = std::move(task);
    return;
  }
  // The task would be the only item of the queue's next turn: it waits in that turn's event
  // (the same place in the order) instead of passing through the queue.
  queue.drainScheduled = true;
  pushFor(queue, now_, Step::Turn).action = std::move(task);
}

void VirtualScheduler::asyncWork(const QueueRef& q, std::function<Work()> make) {
  if (Item* item = append(static_cast<VQueue&>(*q)))
    item->work = std::make_unique<std::function<Work()>>(std::move(make));
}

void VirtualScheduler::after(const QueueRef& q, Duration delay, Task task) {
  if (delay < Duration::zero()) delay = Duration::zero();
  pushFor(static_cast<VQueue&>(*q), now_ + delay, Step::Enqueue).action = std::move(task);
}

std::shared_ptr<TimerHandle> VirtualScheduler::at(const QueueRef& q, Instant due, Task task) {
  auto timer = std::make_shared<Timer>();
  Slot& slot = pushFor(static_cast<VQueue&>(*q), std::max(due, now_), Step::Enqueue);
  slot.action = std::move(task);
  slot.timer = timer;
  return timer;
}

void VirtualScheduler::atEach(const QueueRef& q, std::vector<Instant> dues, std::function<void(std::size_t)> run) {
  if (dues.empty()) return;
  auto feed = std::make_unique<Feed>();
  feed->queue = &static_cast<VQueue&>(*q);
  // A time already past is now, as for `at`; ties go in list order, as their sequence numbers do.
  for (Instant& due : dues) due = std::max(due, now_);
  // A list in time order (a scenario's, as a rule) needs no order of its own.
  if (!std::is_sorted(dues.begin(), dues.end())) {
    feed->byDue.resize(dues.size());
    for (std::uint32_t i = 0; i < feed->byDue.size(); ++i) feed->byDue[i] = i;
    std::stable_sort(feed->byDue.begin(), feed->byDue.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return dues[a] < dues[b]; });
  }
  feed->dues = std::move(dues);
  feed->firstSeq = seq_;
  seq_ += feed->dues.size();
  feed->trace = trace_;
  feed->run = std::move(run);
  pushFed(*feeds_.emplace_back(std::move(feed)));
}

void VirtualScheduler::pushFed(Feed& feed) {
  if (feed.next == feed.dues.size()) return;
  const auto i = feed.byDue.empty() ? static_cast<std::uint32_t>(feed.next) : feed.byDue[feed.next];
  ++feed.next;
  const Instant due = std::max(feed.dues[i], now_);
  const std::uint32_t index = newSlot();
  const Key key{due, (feed.firstSeq + i) << kSlotBits | index};
  // Its sequence number is older than that of anything scheduled since the list was made. What
  // waits at this instant in atNow_ is all younger once the list's earlier tasks have run (the
  // key goes before it, among the others); only when the list is made is it all older (the key
  // goes after it).
  if (due == now_ && !atNow_.empty() && atNow_.front().order < key.order) {
    if (atNow_.back().order > key.order) {
      std::fprintf(stderr, "virtual scheduler: a listed task has no place among the events of its instant\n");
      std::abort();
    }
    atNow_.push_back(key);
  } else {
    addLater(key);
  }
  ++feed.queue->pendingEvents;
  Slot& slot = slots_[index];
  slot.step = Step::Enqueue;
  slot.trace = feed.trace;
  slot.queue = feed.queue;
  slot.feed = &feed;
  slot.action = [&feed, i] { feed.run(i); };
}

void VirtualScheduler::resumeAfter(Duration d, std::coroutine_handle<> h) {
  Slot& slot = push(now_ + std::max(d, Duration::zero()), Step::Resume);
  // Every queue here is a VQueue.
  slot.queue = const_cast<VQueue*>(static_cast<const VQueue*>(current_));
  slot.handle = h;
}

void VirtualScheduler::resume(VQueue* q, std::coroutine_handle<> h) {
  // Work of a process that has ended is dropped, not resumed into objects that are gone.
  if (q && q->retired) {
    h.destroy();
    return;
  }
  const Queue* previous = current_;
  current_ = q;
  h.resume();
  current_ = previous;
}

[[gnu::always_inline]] inline VirtualScheduler::Key VirtualScheduler::pop(Part part) {
  if (part == Part::AtNow) {
    const Key key = atNow_.front();
    atNow_.pop_front();
    return key;
  }
  if (part == Part::InOrder) {
    const Key key = inOrder_.front();
    inOrder_.pop_front();
    return key;
  }
  // The heap holds a few events at a time: the last one sinks from the top, stopping as soon as
  // it is in place (std::pop_heap takes the hole down to a leaf first).
  const Key key = events_.front();
  const Key last = events_.back();
  events_.pop_back();
  const std::size_t size = events_.size();
  std::size_t hole = 0;
  for (std::size_t child = 1; child < size; child = 2 * hole + 1) {
    if (child + 1 < size && Later{}(events_[child], events_[child + 1])) ++child;
    if (!Later{}(last, events_[child])) break;
    events_[hole] = events_[child];
    hole = child;
  }
  if (size != 0) events_[hole] = last;
  return key;
}

// Inlined into the drivers' loops: it runs once for every event, and its own call saved and
// restored half a dozen registers each time.
[[gnu::always_inline]] inline void VirtualScheduler::runOne(Part part) {
  const Key key = pop(part);
  // What the event needs is moved out of its slot before it runs: what runs may push events and
  // so grow `slots_`. The slot left behind holds no closure and no reference any more.
  Slot& slot = slots_[key.slot()];
  if (key.due > now_) now_ = key.due;
  ++eventsRun_;
  trace_ = slot.trace;
  freeSlots_.push_back(key.slot());
  const Step step = slot.step;
  VQueue* const q = std::exchange(slot.queue, nullptr);
  switch (step) {
    case Step::Drain:
      drain(*q);
      break;
    case Step::Turn: {
      Task task = std::move(slot.action);
      q->drainScheduled = false;
      if (!q->retired) runNow(*q, task);
      break;
    }
    case Step::Enqueue: {
      std::shared_ptr<Timer> timer = std::move(slot.timer);
      Task task = std::move(slot.action);
      // The list's next task waits as an event before this one runs, as if it had all along
      // (being later, it changes no decision taken now). It may take this very slot.
      if (Feed* feed = std::exchange(slot.feed, nullptr)) pushFed(*feed);
      // A timer cancelled before it came due never reaches its queue.
      if (timer && timer->isCancelled) break;
      // An idle queue with nothing else waiting at this instant would run the task as the very
      // next event: it runs now, as that turn.
      if (q->idle() && nextTurnIsNow()) {
        runNow(*q, task);
      } else if (Item* item = append(*q)) {
        item->task = std::move(task);
        item->timer = std::move(timer);
      }
      break;
    }
    case Step::Resume:
      resume(q, slot.handle);
      break;
  }
  // Counted until now, so the queue outlived its own event.
  if (step != Step::Resume) --q->pendingEvents;
  trace_ = {};
  if (afterEachEvent) afterEachEvent();
}

bool VirtualScheduler::runUntilIdle() { return runUntil(now_); }

bool VirtualScheduler::runUntil(Instant until) {
  std::uint64_t budget = maxEventsPerCall;
  for (Part part = nextPart(); part != Part::None && front(part).due <= until; part = nextPart()) {
    if (budget-- == 0) {
      std::fprintf(stderr, "virtual scheduler: stopped after %llu events without reaching the target time\n",
                   static_cast<unsigned long long>(maxEventsPerCall));
      return false;
    }
    runOne(part);
  }
  if (until > now_) now_ = until;
  return true;
}

bool VirtualScheduler::runNext() {
  const Part part = nextPart();
  if (part == Part::None) return false;
  runOne(part);
  return true;
}

bool VirtualScheduler::nextDue(Instant* due) const {
  const Part part = nextPart();
  if (part == Part::None) return false;
  *due = front(part).due;
  return true;
}

}  // namespace qv::dispatch
