// Process-wide state of the front end. The main thread owns everything here except the flags
// marked as shared with the timer thread, which are atomics with relaxed order: a stale read only
// delays a reaction by one tick.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

extern const char* versionString;  // "0.64n", "0.64" or "0.6432n", chosen at build time
extern std::string paramFileName;  // "-av" parameter file, empty when none
extern bool quitRequested;         // set by "quit"; the main loop ends
// What the main loop is doing about searches. Main thread only.
enum SearchMode {
  SEARCH_IDLE,       // no search pending or running (or it was ended by input)
  SEARCH_OWN_CLOCK,  // a search on the engine's own limits is pending or running
  SEARCH_PONDERING,  // a "go ponder" search, open-ended until "ponderhit" or "stop"
};
extern SearchMode searchMode;
extern bool infoOutput;            // the search prints its info lines while true
extern int multiPvLines;           // "MultiPV": principal variations per search
extern bool showWdl;               // "UCI_ShowWDL": info lines carry win/draw/loss figures
extern bool limitStrength;         // "UCI_LimitStrength": play at the level of strengthElo
extern int strengthElo;            // "UCI_Elo"
extern bool inputClosed;           // standard input has reached its end

// Shared with the timer thread (the search's own flags are in search/search.h).
extern std::atomic<int> timerTicks;      // ticks since the input was last looked at
extern std::atomic<int> ticksPerPoll;    // ticks between two looks at the input during a search

// MinGW's "printf" format checks the Windows runtime's formats; the engine uses the C99 ones.
#ifdef __MINGW32__
#define CORVANEL_PRINTF_FORMAT gnu_printf
#else
#define CORVANEL_PRINTF_FORMAT printf
#endif

// Writes one protocol line (the text must end with '\n') and flushes it at once.
void emitLine(const char* format, ...) __attribute__((format(CORVANEL_PRINTF_FORMAT, 1, 2)));
