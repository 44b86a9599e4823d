// The pool of search threads. Helper threads live from one "Threads" setting to the next and
// sleep between searches; the main thread's record lives as long as the process.
#include "search/thread.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

SearchThread mainRecord;

// Written only while no search runs (setSearchThreads, main thread); read by everyone.
SearchThread* records[MAX_SEARCH_THREADS] = {&mainRecord};
std::thread helpers[MAX_SEARCH_THREADS];
int threadCount = 1;

// The hand-over between the main thread and the helpers, all under poolLock.
std::mutex poolLock;
std::condition_variable workReady;  // a new search (or the end) for the helpers
std::condition_variable workDone;   // the last helper has returned
uint64_t searchSerial = 0;          // bumped for every search the helpers join
int helpersBusy = 0;
bool helpersExit = false;
void (*helperWork)(SearchThread&) = nullptr;

// `seen` is the serial when the thread was created, not when it first runs: a search ordered
// before the new thread gets the processor is still its business (the main thread waits for it).
void helperLoop(SearchThread* self, uint64_t seen) {
  std::unique_lock<std::mutex> lock(poolLock);
  for (;;) {
    workReady.wait(lock, [&] { return helpersExit || searchSerial != seen; });
    if (helpersExit) return;
    seen = searchSerial;
    void (*work)(SearchThread&) = helperWork;
    lock.unlock();
    work(*self);
    lock.lock();
    if (--helpersBusy == 0) workDone.notify_all();
  }
}

void stopAllHelpers() {
  {
    std::lock_guard<std::mutex> guard(poolLock);
    helpersExit = true;
  }
  workReady.notify_all();
  for (int i = 1; i < threadCount; ++i) {
    helpers[i].join();
    delete records[i];
    records[i] = nullptr;
  }
  threadCount = 1;
  std::lock_guard<std::mutex> guard(poolLock);
  helpersExit = false;
}

}  // namespace

SearchThread& searchThread(int index) { return *records[index]; }

int searchThreadCount() { return threadCount; }

int setSearchThreads(int count) {
  if (count < 1) count = 1;
  if (count > MAX_SEARCH_THREADS) count = MAX_SEARCH_THREADS;
  if (count == threadCount) return threadCount;
  stopAllHelpers();
  for (int i = 1; i < count; ++i) {
    SearchThread* record = new SearchThread;
    record->index = i;
    try {
      helpers[i] = std::thread(helperLoop, record, searchSerial);
    } catch (const std::system_error&) {
      // The system refuses more threads: search with those we have.
      delete record;
      break;
    }
    records[i] = record;
    threadCount = i + 1;
  }
  return threadCount;
}

int64_t totalNodes() {
  int64_t total = 0;
  for (int i = 0; i < threadCount; ++i) total += records[i]->nodes.load(std::memory_order_relaxed);
  return total;
}

int64_t totalTbHits() {
  int64_t total = 0;
  for (int i = 0; i < threadCount; ++i) total += records[i]->tbHits.load(std::memory_order_relaxed);
  return total;
}

void startHelpers(void (*work)(SearchThread&)) {
  if (threadCount == 1) return;
  {
    std::lock_guard<std::mutex> guard(poolLock);
    helperWork = work;
    helpersBusy = threadCount - 1;
    ++searchSerial;
  }
  workReady.notify_all();
}

void waitForHelpers() {
  std::unique_lock<std::mutex> lock(poolLock);
  workDone.wait(lock, [] { return helpersBusy == 0; });
}

void clearKillers(SearchThread& thread) {
  for (StackEntry& entry : thread.stackEntries) entry = StackEntry();
}

void clearKillersAndHistory(SearchThread& thread) {
  clearKillers(thread);
  clearMoveHistory(thread.history);
}
