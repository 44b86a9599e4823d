#include "frontend/timer.h"

#include <chrono>

#include "frontend/engine_state.h"
#include "search/search.h"
#include "search/time_control.h"

namespace {

// The one timer object, from start-up to shutdown. Owned and used by the main thread only; null
// before createTimerThread and after shutdownTimerThread.
TimerThread* timerThread = nullptr;

std::chrono::steady_clock::time_point clockPoint(int64_t ms) {
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms));
}

// Wakes the thread; the caller holds its lock.
void signalLocked(ThreadBase& thread) {
  thread.signalled = true;
  thread.event.notify_one();
}

}  // namespace

void TimerThread::tick() {
  timerTicks.fetch_add(1, std::memory_order_relaxed);
  // Only ever sets the flag: a stop made by the search itself (node limit, proved mate) or by
  // "stop" must not be undone by a tick that finds the time not yet up.
  if (timeUp()) stopSearch.store(true, std::memory_order_relaxed);
  pollRequested.store(true, std::memory_order_relaxed);
}

// Ticks fall on a fixed grid from the arming moment; between two ticks the thread also wakes at
// each deadline still ahead, so the stop comes when it is due and not up to a tick later. All
// decisions are made under the lock, so arming and disarming never meet a tick half done.
void TimerThread::run() {
  std::unique_lock<std::mutex> held(lock);
  int64_t nextTickMs = 0;
  int64_t wakeMs = 0;
  while (!exitRequested.load(std::memory_order_relaxed)) {
    if (signalled) {
      signalled = false;
      nextTickMs = wakeMs = nowMs();
    }
    const int interval = tickIntervalMs.load(std::memory_order_relaxed);
    if (interval == 0) {
      event.wait(held,
                 [this] { return signalled || exitRequested.load(std::memory_order_relaxed); });
      continue;
    }
    const int64_t now = nowMs();
    if (now >= wakeMs) {
      tick();
      if (now >= nextTickMs) {
        nextTickMs += interval;
        if (nextTickMs <= now) nextTickMs = now + interval;  // late: no burst of ticks
      }
    }
    wakeMs = nextTickMs;
    for (int64_t deadline : {softDeadlineMs.load(std::memory_order_relaxed),
                             hardDeadlineMs.load(std::memory_order_relaxed)})
      if (deadline > now && deadline < wakeMs) wakeMs = deadline;
    event.wait_until(held, clockPoint(wakeMs), [this] {
      return signalled || exitRequested.load(std::memory_order_relaxed);
    });
  }
}

void createTimerThread() {
  if (timerThread) return;
  timerThread = new TimerThread;
  TimerThread* object = timerThread;
  object->thread = std::thread([object] { object->run(); });
}

void armTimer(int tickIntervalMs, int pollEvery) {
  ticksPerPoll.store(pollEvery, std::memory_order_relaxed);
  timerTicks.store(0, std::memory_order_relaxed);
  if (!timerThread) return;
  std::lock_guard<std::mutex> guard(timerThread->lock);
  timerThread->tickIntervalMs.store(tickIntervalMs, std::memory_order_relaxed);
  signalLocked(*timerThread);
}

void disarmTimer() {
  if (!timerThread) return;
  std::lock_guard<std::mutex> guard(timerThread->lock);
  timerThread->tickIntervalMs.store(0, std::memory_order_relaxed);
}

void shutdownTimerThread() {
  if (!timerThread) return;
  {
    std::lock_guard<std::mutex> guard(timerThread->lock);
    timerThread->exitRequested.store(true, std::memory_order_relaxed);
    signalLocked(*timerThread);
  }
  timerThread->thread.join();
  ThreadBase* object = timerThread;
  timerThread = nullptr;
  delete object;
}
