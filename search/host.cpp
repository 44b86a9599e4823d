#include "search/host.h"

#include <cstdarg>
#include <cstdio>

namespace {
SearchHost installedHost;  // written at start-up (and by tests) while no search runs
}

void installSearchHost(const SearchHost& host) { installedHost = host; }

void pollHost() {
  if (installedHost.poll) installedHost.poll();
}

void emitSearchLine(const char* format, ...) {
  if (!installedHost.emit) return;
  char line[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  installedHost.emit(line);
}

void armHostTimer(int tickIntervalMs, int ticksPerPoll) {
  if (installedHost.armTimer) installedHost.armTimer(tickIntervalMs, ticksPerPoll);
}

void disarmHostTimer() {
  if (installedHost.disarmTimer) installedHost.disarmTimer();
}
