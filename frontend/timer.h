// The timer thread: wakes every tickIntervalMs while a search runs, stores the time-up test into
// stopSearch and asks the search to poll its input. It also wakes at the search's deadlines, so
// a stop never waits for the next tick.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A thread with a wake-up event. The event is auto-reset: a signal stays until one wait takes it,
// so a signal given between the thread's test and its wait is not lost.
class ThreadBase {
 public:
  virtual ~ThreadBase() = default;
  virtual void run() = 0;

  std::mutex lock;                // guards `signalled` and every decision of `run`
  std::condition_variable event;  // rung after `signalled` is set under `lock`
  bool signalled = false;
  std::thread thread;
  std::atomic<bool> exitRequested{false};  // written by the main thread, under `lock`
};

class TimerThread : public ThreadBase {
 public:
  void run() override;
  // Milliseconds between ticks; 0 = disarmed (no search running). Written by the main thread
  // under `lock`.
  std::atomic<int> tickIntervalMs{0};

 private:
  void tick();
};

// Main thread only. Every call is safe without a timer (in-process tools and tests run searches
// without one) and after shutdown, which may come from "quit" inside a running search.
void createTimerThread();
// At the start of every search; "ponderhit" arms again with its new plan. The first tick falls
// at once; the input is read every `ticksPerPoll` ticks.
void armTimer(int tickIntervalMs, int ticksPerPoll);
// After every search. When it returns, no tick of that search can still run.
void disarmTimer();
// Ends the thread and destroys it; a second call does nothing.
void shutdownTimerThread();
