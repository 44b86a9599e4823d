// The installed SearchHost, as the search's own files call it. Main search thread only.
#pragma once

#include "search/search.h"

void pollHost();
// Formats one whole line (ending in '\n') and hands it to the host.
void emitSearchLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void armHostTimer(int tickIntervalMs, int ticksPerPoll);
void disarmHostTimer();
