// What the engine needs from the operating system, behind one small interface: standard input
// without blocking (pipe, file or console), the output mode, a short wait for input, and starting
// the match script of "millora" with its output collected. platform_posix.cpp and
// platform_windows.cpp implement it; nothing else in the engine calls the operating system itself.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Called once before any output: standard output leaves every write at once (the protocol's
// lines are flushed by emitLine; this covers the few plain printf messages too).
void initOutput();
// Called once at start-up, before the first input test.
void initInput();

enum class InputState { NOTHING_WAITING, READABLE };
// Whether standard input can be read without waiting. The end of the input (or an input that can
// no longer be queried) counts as readable, so that the following read reports it.
InputState inputState();
// Reads at most `capacity` bytes that inputState found waiting. Returns the number read, 0 at the
// end of the input, -1 when nothing could be read now (interrupted; try again later).
long readInput(char* buffer, size_t capacity);

// Returns as soon as input arrives (or ends), or after `milliseconds` when none does.
void waitForInput(int milliseconds);

// Whether the match script can be started at all; otherwise `reason` says why.
bool scriptRunnable(const char* path, std::string& reason);
// Runs `path` with one argument in the working directory, standard input empty, and collects its
// standard output (only the last `keptBytes` or more are kept). Returns the exit code, or -1 with
// `startError` set to the system's error code when it could not be started.
int runScript(const char* path, const std::string& argument, std::string& output,
              size_t keptBytes, int& startError);

// Self-play workers (datagen). Zero-filled memory that stays shared with the worker processes
// started after it; null when it cannot be had.
void* sharedMemory(size_t bytes);
// Starts `count` worker processes, each a copy of this one. Returns the worker's index (0 to
// count - 1) in a worker, -1 in the starting process once all are started, and -2 where the
// system cannot start copies of a process (Windows: the caller runs a single worker itself).
// `started` receives the number actually started (a refused start leaves fewer).
int startWorkerProcesses(int count, int& started);
// Whether any started worker is still running; reaps those that ended. `failed` counts the
// workers that ended with an error or a signal so far.
bool workersRunning(int& failed);
// Ends the calling worker process at once, without the engine's shutdown.
[[noreturn]] void endWorkerProcess(int code);
// The index of the worker running this code since startWorkerProcesses, -1 in the starting
// process.
int currentWorker();

}  // namespace platform
