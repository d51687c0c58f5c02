// Queues and time for a whole simulated world: every process's main queue (which also carries
// its run-loop timers and notification deliveries) and every serial queue the system creates.
//
// Guarantees: each queue is serial; work on one queue runs in submission order, and work due
// at the same instant runs in the order it was scheduled (a sequence number breaks ties).
// Work may be a coroutine that sleeps (`co_await scheduler.sleep(d)`); while it sleeps its
// queue runs nothing else, other queues go on, and it never runs on a main queue's thread.
// Two implementations: VirtualScheduler (deterministic, one OS thread, virtual time) and
// ThreadedScheduler (a thread per queue, real time) for concurrency tests.
// Each piece of work carries the Trace of the work that scheduled it (tasks, timers and every
// step of sleeping work), so what happens later can be traced back to what started it.
#pragma once

#include <chrono>
#include <coroutine>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace qv::dispatch {

using Duration = std::chrono::nanoseconds;
using Instant = std::chrono::sys_time<std::chrono::nanoseconds>;

inline constexpr Duration seconds(double s) {
  return Duration(static_cast<std::int64_t>(s * 1e9 + (s >= 0 ? 0.5 : -0.5)));
}

// What a piece of work descends from: the scenario action and the reminder alert whose work
// scheduled it, as numbers the timeline gives meaning to (0: none). Copied into every task,
// timer and sleeping step scheduled while it is current.
struct Trace {
  std::uint32_t action = 0;
  std::uint32_t reminder = 0;
  std::uint32_t alert = 0;
};

// A serial queue. Shared by whoever holds it; the scheduler keeps it alive while it has work.
class Queue {
 public:
  Queue(std::string label, std::string process, bool isMain)
      : label_(std::move(label)), process_(std::move(process)), isMain_(isMain) {}
  virtual ~Queue() = default;
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  const std::string& label() const { return label_; }
  const std::string& process() const { return process_; }
  bool isMain() const { return isMain_; }

 private:
  std::string label_;
  std::string process_;
  bool isMain_;
};
using QueueRef = std::shared_ptr<Queue>;

// A piece of queue work that can sleep. Created suspended; the scheduler starts it on its
// queue and learns when it has finished.
class Work {
 public:
  struct promise_type {
    std::function<void()> onDone;
    Work get_return_object() { return Work(std::coroutine_handle<promise_type>::from_promise(*this)); }
    std::suspend_always initial_suspend() noexcept { return {}; }
    struct FinalAwaiter {
      bool await_ready() noexcept { return false; }
      void await_suspend(std::coroutine_handle<promise_type> h) noexcept {
        auto done = std::move(h.promise().onDone);
        h.destroy();
        if (done) done();
      }
      void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void return_void() {}
    void unhandled_exception() { throw; }
  };

  Work(Work&& o) noexcept : h_(std::exchange(o.h_, {})) {}
  Work& operator=(Work&&) = delete;
  ~Work() {
    if (h_) h_.destroy();
  }
  // Starts the work; `onDone` runs when it has finished (at once if it never sleeps).
  void start(std::function<void()> onDone) {
    auto h = std::exchange(h_, {});
    h.promise().onDone = std::move(onDone);
    h.resume();
  }

 private:
  explicit Work(std::coroutine_handle<promise_type> h) : h_(h) {}
  std::coroutine_handle<promise_type> h_;
};

// A piece of queue work: a move-only callable. A closure of up to 48 bytes that moves without
// throwing is kept in place, so handing work to a queue allocates nothing (a std::function
// allocates for any closure that holds a shared_ptr, and most of ours do). Larger closures go to
// the heap. An empty std::function or null pointer makes an empty Task.
class Task {
 public:
  Task() noexcept = default;
  Task(std::nullptr_t) noexcept {}
  template <class F, class D = std::decay_t<F>,
            class = std::enable_if_t<!std::is_same_v<D, Task> && !std::is_same_v<D, std::nullptr_t> &&
                                     std::is_invocable_r_v<void, D&>>>
  Task(F&& f) {  // NOLINT: converts like std::function
    if constexpr (std::is_constructible_v<bool, const D&> && !std::is_class_v<D>) {
      if (!f) return;
    } else if constexpr (std::is_same_v<D, std::function<void()>>) {
      if (!f) return;
    }
    if constexpr (sizeof(D) <= kInline && alignof(D) <= kAlign && std::is_nothrow_move_constructible_v<D>) {
      ::new (static_cast<void*>(buf_)) D(std::forward<F>(f));
      ops_ = &kInlineOps<D>;
    } else {
      ::new (static_cast<void*>(buf_)) D*(new D(std::forward<F>(f)));
      ops_ = &kHeapOps<D>;
    }
  }
  Task(Task&& o) noexcept : ops_(std::exchange(o.ops_, nullptr)) {
    if (ops_) ops_->move(buf_, o.buf_);
  }
  Task& operator=(Task&& o) noexcept {
    if (this != &o) {
      reset();
      if (o.ops_) {
        o.ops_->move(buf_, o.buf_);
        ops_ = std::exchange(o.ops_, nullptr);
      }
    }
    return *this;
  }
  Task& operator=(std::nullptr_t) noexcept {
    reset();
    return *this;
  }
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  ~Task() { reset(); }

  explicit operator bool() const noexcept { return ops_ != nullptr; }
  void operator()() { ops_->invoke(buf_); }
  // Destroys the closure (and what it holds) now.
  void reset() noexcept {
    if (const Ops* ops = std::exchange(ops_, nullptr)) ops->destroy(buf_);
  }

 private:
  static constexpr std::size_t kInline = 48;
  static constexpr std::size_t kAlign = alignof(std::max_align_t);
  struct Ops {
    void (*invoke)(void*);
    void (*move)(void* to, void* from) noexcept;  // leaves `from` destroyed
    void (*destroy)(void*) noexcept;
  };
  template <class D>
  static constexpr Ops kInlineOps{
      [](void* p) { (*std::launder(static_cast<D*>(p)))(); },
      [](void* to, void* from) noexcept {
        D* f = std::launder(static_cast<D*>(from));
        ::new (to) D(std::move(*f));
        f->~D();
      },
      [](void* p) noexcept { std::launder(static_cast<D*>(p))->~D(); },
  };
  template <class D>
  static constexpr Ops kHeapOps{
      [](void* p) { (**static_cast<D**>(p))(); },
      [](void* to, void* from) noexcept { *static_cast<D**>(to) = *static_cast<D**>(from); },
      [](void* p) noexcept { delete *static_cast<D**>(p); },
  };
  alignas(kAlign) unsigned char buf_[kInline];
  const Ops* ops_ = nullptr;
};

// Cancels a scheduled timer; harmless once it has fired or was cancelled.
class TimerHandle {
 public:
  virtual ~TimerHandle() = default;
  virtual void cancel() = 0;
  virtual bool cancelled() const = 0;
};

class Scheduler {
 public:
  virtual ~Scheduler() = default;

  // The world's current instant (virtual or real).
  virtual Instant now() const = 0;
  virtual QueueRef createQueue(std::string label, std::string process, bool isMain) = 0;
  // dispatch_async: run `task` on `q` after what is already there.
  virtual void async(const QueueRef& q, Task task) = 0;
  // Run a sleeping piece of work on `q`; `q` runs nothing else until it has finished.
  virtual void asyncWork(const QueueRef& q, std::function<Work()> make) = 0;
  // dispatch_after: submit `task` to `q` once `delay` has passed.
  virtual void after(const QueueRef& q, Duration delay, Task task) = 0;
  // A one-shot run-loop timer: submits `task` to `q` at `due` unless cancelled first.
  virtual std::shared_ptr<TimerHandle> at(const QueueRef& q, Instant due, Task task) = 0;
  // The queue whose work is running on the calling thread, or null outside any queue.
  virtual const Queue* currentQueue() const = 0;
  // The trace of the work running on the calling thread (none outside any work).
  virtual Trace trace() const = 0;
  // Replaces it for the rest of the running work and what it schedules; see TraceScope.
  virtual void setTrace(Trace t) = 0;
  // A process has ended: every queue it made so far runs nothing more; what was waiting on
  // them (tasks, timers, sleeping work) is dropped.
  virtual void retireProcess(const std::string& process) = 0;
  // True when every queue runs on the one thread that drives the scheduler, so what only queue
  // work touches needs no lock.
  virtual bool singleThreaded() const { return false; }

  // co_await sleep(d) inside Work: the work resumes on its own queue once `d` has passed.
  struct SleepAwaiter {
    Scheduler* scheduler;
    Duration duration;
    bool await_ready() { return scheduler->sleepInPlace(duration); }
    void await_suspend(std::coroutine_handle<> h) { scheduler->resumeAfter(duration, h); }
    void await_resume() {}
  };
  SleepAwaiter sleep(Duration d) { return SleepAwaiter{this, d}; }

 protected:
  // True when the scheduler slept the calling thread itself (real time); false to suspend.
  virtual bool sleepInPlace(Duration d) = 0;
  virtual void resumeAfter(Duration d, std::coroutine_handle<> h) = 0;
};

// Makes `t` the current trace until the scope ends, then restores the one before.
class TraceScope {
 public:
  TraceScope(Scheduler& scheduler, Trace t) : scheduler_(scheduler), saved_(scheduler.trace()) { scheduler.setTrace(t); }
  ~TraceScope() { scheduler_.setTrace(saved_); }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  Scheduler& scheduler_;
  Trace saved_;
};

}  // namespace qv::dispatch
