#include "frontend/engine_state.h"

#include <cstdarg>
#include <cstdio>

#include "search/strength.h"

#ifndef CORVANEL_VERSION
#define CORVANEL_VERSION "0.64n"
#endif

const char* versionString = CORVANEL_VERSION;
std::string paramFileName;
bool quitRequested = false;
SearchMode searchMode = SEARCH_IDLE;
bool infoOutput = true;
int multiPvLines = 1;
bool showWdl = false;
bool limitStrength = false;
int strengthElo = STRENGTH_DEFAULT_ELO;
bool inputClosed = false;

std::atomic<int> timerTicks{0};
std::atomic<int> ticksPerPoll{1};

void emitLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fflush(stdout);
}
