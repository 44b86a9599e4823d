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

}  // namespace platform
