#include "platform/dispatch/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace qv::dispatch {
namespace {

using namespace std::chrono_literals;

class VirtualQueues : public ::testing::Test {
 protected:
  VirtualScheduler s{Instant{} + 1000s};
  QueueRef main = s.createQueue("main", "SpringBoard", true);
  std::string trace;
};

TEST_F(VirtualQueues, EqualDueTimesRunInSchedulingOrder) {
  s.after(main, 1s, [&] { trace += "1"; });
  s.at(main, s.now() + 1s, [&] { trace += "2"; });
  s.after(main, 500ms, [&] {
    trace += "0";
    s.after(main, 500ms, [&] { trace += "3"; });
  });
  s.async(main, [&] { trace += "a"; });
  s.runUntilIdle();
  EXPECT_EQ(trace, "a");
  s.advanceBy(1s);
  EXPECT_EQ(trace, "a0123");
  EXPECT_EQ(s.now(), Instant{} + 1001s);
}

Work blink(Scheduler& s, std::string& trace, const Queue*& seenOn) {
  seenOn = s.currentQueue();
  for (int i = 0; i < 2; ++i) {
    trace += "on@" + std::to_string((s.now() - Instant{}).count() / 100'000'000) + " ";
    co_await s.sleep(200ms);
    trace += "off@" + std::to_string((s.now() - Instant{}).count() / 100'000'000) + " ";
    co_await s.sleep(500ms);
  }
}

TEST_F(VirtualQueues, SleepingWorkInterleavesWithMainQueueAndHoldsItsOwnQueue) {
  VirtualScheduler v{Instant{}};
  QueueRef mainQ = v.createQueue("main", "SpringBoard", true);
  QueueRef torch = v.createQueue("com.tarnwick.serverDelay", "SpringBoard", false);
  const Queue* seenOn = nullptr;
  std::string t;
  v.asyncWork(torch, [&] { return blink(v, t, seenOn); });
  v.async(torch, [&] { t += "release@" + std::to_string((v.now() - Instant{}).count() / 100'000'000) + " "; });
  v.after(mainQ, 300ms, [&] { t += "main@3 "; });
  v.runUntil(Instant{} + 10s);
  EXPECT_EQ(t, "on@0 off@2 main@3 on@7 off@9 release@14 ");
  EXPECT_EQ(seenOn, torch.get());
  EXPECT_NE(seenOn, mainQ.get());
}

Work tracedSleeper(Scheduler& s, std::string& seen) {
  seen += "s" + std::to_string(s.trace().alert) + " ";
  co_await s.sleep(1s);
  seen += "s" + std::to_string(s.trace().alert) + " ";
}

TEST_F(VirtualQueues, TheTraceOfWorkFollowsWhatItSchedulesAndNothingElse) {
  QueueRef serial = s.createQueue("serial", "SpringBoard", false);
  std::string seen;
  auto note = [&] { seen += std::to_string(s.trace().alert) + " "; };
  {
    TraceScope scope(s, Trace{3, 1, 7});
    s.async(main, note);
    s.after(main, 2s, note);
    s.at(main, s.now() + 3s, note);
    s.asyncWork(serial, [&] { return tracedSleeper(s, seen); });
    s.async(main, [&] {
      TraceScope inner(s, Trace{3, 1, 8});
      s.after(main, 1s, note);
    });
  }
  EXPECT_EQ(s.trace().alert, 0u) << "the scope restores the trace before it";
  s.async(main, note);
  s.advanceBy(4s);
  // Posted untraced: 0; the inner scope's timer: 8; the sleeper keeps 7 across its sleep.
  EXPECT_EQ(seen, "7 s7 0 s7 8 7 7 ");
}

TEST_F(VirtualQueues, DriverStopsAtTheEventLimitInsteadOfHanging) {
  std::function<void()> loop = [&] { s.async(main, loop); };
  s.async(main, loop);
  s.maxEventsPerCall = 1000;
  EXPECT_FALSE(s.runUntilIdle());
}

TEST_F(VirtualQueues, ACancelledTimerNeverRunsEvenWhenItsTurnWasAlreadyQueued) {
  auto early = s.at(main, s.now() + 1s, [&] { trace += "early "; });
  early->cancel();
  // Both come due at once; the first, ahead in the queue, cancels the second before its turn.
  std::shared_ptr<TimerHandle> second;
  s.at(main, s.now() + 2s, [&] {
    trace += "first ";
    second->cancel();
  });
  second = s.at(main, s.now() + 2s, [&] { trace += "second "; });
  s.after(main, 2s, [&] { trace += "after "; });
  s.advanceBy(3s);
  EXPECT_EQ(trace, "first after ");
  EXPECT_TRUE(second->cancelled());
}

TEST_F(VirtualQueues, ResetDropsEverythingPendingAndStartsTheClockAfresh) {
  QueueRef torch = s.createQueue("torch", "SpringBoard", false);
  const Queue* seenOn = nullptr;
  s.asyncWork(torch, [&] { return blink(s, trace, seenOn); });
  s.after(main, 5s, [&] { trace += "late "; });
  s.runUntilIdle();
  s.afterEachEvent = [&] { trace += "."; };
  s.reset(Instant{} + 50s);
  EXPECT_EQ(s.now(), Instant{} + 50s);
  EXPECT_EQ(s.pendingEvents(), 0u);
  EXPECT_EQ(s.eventsRun(), 0u);
  EXPECT_FALSE(s.afterEachEvent);
  const std::string before = trace;
  s.runUntil(Instant{} + 100s);
  EXPECT_EQ(trace, before) << "nothing scheduled before the reset may run after it";
  QueueRef fresh = s.createQueue("main", "SpringBoard", true);
  s.after(fresh, 1s, [&] { trace += "fresh"; });
  s.advanceBy(1s);
  EXPECT_EQ(trace, before + "fresh");
}


TEST_F(VirtualQueues, AQueueKeepsSubmissionOrderWhileItsWorkGrowsAndWrapsAround) {
  // Tasks added while others wait make the queue's ring wrap and grow; order must not change.
  std::string expected;
  for (int i = 0; i < 3; ++i) s.async(main, [&, i] { trace += std::to_string(i); });
  s.runNext();  // one taken from the front, so the next ones wrap around
  for (int i = 3; i < 40; ++i) s.async(main, [&, i] { trace += std::to_string(i); });
  s.runUntilIdle();
  for (int i = 0; i < 40; ++i) expected += std::to_string(i);
  EXPECT_EQ(trace, expected);
}

// A web of timers, hand-offs between queues, work for the current instant, cancellations and
// sleeping work, played by `s`. Each task leaves its name and instant in `trace`.
void playWeb(VirtualScheduler& s, std::string& trace) {
  QueueRef queues[3] = {s.createQueue("main", "SpringBoard", true), s.createQueue("a", "SpringBoard", false),
                        s.createQueue("b", "MobileSMS", false)};
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  std::vector<std::shared_ptr<TimerHandle>> timers;
  const Queue* seenOn = nullptr;
  std::function<void(int, int)> task = [&](int id, int depth) {
    trace += std::to_string(id) + "@" + std::to_string((s.now() - Instant{}).count() / 1'000'000) + " ";
    if (depth > 2) return;
    const QueueRef& q = queues[next(3)];
    switch (next(5)) {
      case 0: s.async(q, [&, id, depth] { task(id * 10 + 1, depth + 1); }); break;
      case 1: s.after(q, Duration::zero(), [&, id, depth] { task(id * 10 + 2, depth + 1); }); break;
      case 2: s.after(q, std::chrono::milliseconds(100 * next(3)), [&, id, depth] { task(id * 10 + 3, depth + 1); }); break;
      case 3: if (!timers.empty()) timers[next(static_cast<std::uint32_t>(timers.size()))]->cancel(); break;
      default: break;
    }
  };
  for (int i = 1; i <= 60; ++i) {
    const QueueRef& q = queues[next(3)];
    const Instant due = s.now() + std::chrono::milliseconds(100 * next(6));
    if (next(4) == 0)
      timers.push_back(s.at(q, due, [&, i] { task(i, 0); }));
    else
      s.after(q, due - s.now(), [&, i] { task(i, 0); });
    if (i % 20 == 0) s.asyncWork(queues[1], [&] { return blink(s, trace, seenOn); });
  }
  s.runUntil(s.now() + 5s);
}

TEST(VirtualScheduler, TakingAQueuesNextTurnAtOnceKeepsTheOrderOfOneTurnPerEvent) {
  // Without an observer the scheduler runs a queue's next turn within the running event when
  // nothing else waits at that instant; with one, every turn is an event of its own. The order
  // of work must be the same either way.
  VirtualScheduler fused{Instant{}}, apart{Instant{}};
  std::string fusedTrace, apartTrace;
  int observed = 0;
  apart.afterEachEvent = [&] { ++observed; };
  playWeb(fused, fusedTrace);
  playWeb(apart, apartTrace);
  EXPECT_GT(observed, 100);
  EXPECT_GT(apart.eventsRun(), fused.eventsRun()) << "no turn was taken at once: the test lost its point";
  EXPECT_EQ(fusedTrace, apartTrace);
}

// A list of tasks at given instants, played either with `at` for each or with `atEach`, among
// other work at the same instants: work waiting when the list is made, work the list's tasks
// schedule for their own instant, timers and other queues. Returns what ran, in order, with the
// most events pending at once.
std::string playList(bool asList, std::vector<int> seconds, std::size_t* mostPending) {
  VirtualScheduler v{Instant{} + 100s};
  QueueRef mainQ = v.createQueue("main", "SpringBoard", true);
  QueueRef other = v.createQueue("other", "SpringBoard", false);
  QueueRef list = v.createQueue("list", "Scenario", false);
  std::string t;
  const auto at = [&](std::string_view what) { t += std::string(what) + "@" + std::to_string((v.now() - Instant{}) / 1s) + " "; };
  // Waiting when the list is made: at the list's first instant and at later ones.
  v.async(mainQ, [&] { at("w0"); v.async(other, [&] { at("w0'"); }); });
  v.async(other, [&] { at("w1"); });
  v.after(mainQ, 3s, [&] { at("w2"); });
  v.at(other, Instant{} + 103s, [&] { at("w3"); });
  std::vector<Instant> dues;
  for (int sec : seconds) dues.push_back(Instant{} + std::chrono::seconds(sec));
  const auto run = [&](std::size_t i) {
    at("L" + std::to_string(i));
    // What a listed task schedules for its own instant and a little later.
    if (i % 2 == 0) v.async(mainQ, [&, i] { at("m" + std::to_string(i)); });
    if (i % 3 == 0) v.after(other, 0s, [&, i] { at("o" + std::to_string(i)); });
    if (i % 4 == 1) v.at(list, v.now() + 2s, [&, i] { at("t" + std::to_string(i)); });
  };
  if (asList) {
    v.atEach(list, dues, run);
  } else {
    for (std::size_t i = 0; i < dues.size(); ++i) v.at(list, dues[i], [&run, i] { run(i); });
  }
  v.after(mainQ, 0s, [&] { at("w4"); });
  *mostPending = 0;
  v.afterEachEvent = [&] { *mostPending = std::max(*mostPending, v.pendingEvents()); };
  *mostPending = v.pendingEvents();
  v.runUntil(Instant{} + 200s);
  return t;
}

TEST(VirtualScheduler, AListOfTasksRunsAsTimersMadeOneByOneWouldWhileOnlyItsNextWaits) {
  // Out of order, with ties, times already past (now) and the present; then in time order.
  for (const std::vector<int>& seconds : {std::vector<int>{103, 100, 90, 103, 101, 100, 110, 103, 95, 120, 101},
                                          std::vector<int>{90, 95, 100, 100, 100, 101, 101, 103, 103, 110, 120}}) {
    std::size_t pendingTimers = 0, pendingList = 0;
    const std::string timers = playList(false, seconds, &pendingTimers);
    const std::string listed = playList(true, seconds, &pendingList);
    EXPECT_EQ(listed, timers);
    EXPECT_NE(timers.find("L5@1"), std::string::npos) << timers;  // the list's tasks ran
    EXPECT_LT(pendingList + 8, pendingTimers) << "the list's tasks all waited as events";
  }
}

TEST_F(VirtualQueues, WorkOfARetiredProcessIsReleasedAtOnceAndNeverRuns) {
  auto held = std::make_shared<int>(0);
  s.async(main, [&, held] { trace += "ran"; });
  s.async(main, [&, held] { trace += "ran"; });
  EXPECT_EQ(held.use_count(), 3);
  s.retireProcess("SpringBoard");
  EXPECT_EQ(held.use_count(), 1) << "the queue still held its tasks' closures";
  s.runUntilIdle();
  EXPECT_EQ(trace, "");
}

// Counts live copies of a closure, to see that Task destroys each exactly once.
struct Counted {
  int* live;
  std::string* trace;
  char padding[64] = {};  // too big for the inline room: goes to the heap
  Counted(int* l, std::string* t) : live(l), trace(t) { ++*live; }
  Counted(const Counted& o) : live(o.live), trace(o.trace) { ++*live; }
  ~Counted() { --*live; }
  void operator()() { *trace += "big "; }
};

TEST(Task, SmallAndLargeClosuresRunAfterMovesAndAreDestroyedExactlyOnce) {
  int live = 0;
  std::string trace;
  {
    auto held = std::make_shared<int>(7);
    Task small([held, &trace] { trace += "small" + std::to_string(*held) + " "; });
    Task big{Counted(&live, &trace)};
    EXPECT_EQ(live, 1);
    Task movedSmall = std::move(small);
    Task movedBig;
    movedBig = std::move(big);
    EXPECT_FALSE(small);
    EXPECT_FALSE(big);
    movedSmall();
    movedBig();
    EXPECT_EQ(held.use_count(), 2);
    movedSmall = nullptr;
    EXPECT_EQ(held.use_count(), 1) << "a reset Task still holds its closure";
    EXPECT_EQ(live, 1);
  }
  EXPECT_EQ(live, 0);
  EXPECT_EQ(trace, "small7 big ");
}

TEST(Task, AnEmptyFunctionOrNullPointerMakesAnEmptyTask) {
  EXPECT_FALSE(Task(std::function<void()>()));
  EXPECT_FALSE(Task(static_cast<void (*)()>(nullptr)));
  EXPECT_FALSE(Task(nullptr));
  EXPECT_TRUE(Task(std::function<void()>([] {})));
}

}  // namespace
}  // namespace qv::dispatch
