// Iterative deepening and the root search of one thread.
#pragma once

#include "search/thread.h"

// The limits the main thread decides by; "ponderhit" changes them during the search.
extern GoLimits mainLimits;

// Runs the iterations on the thread's copy of the root until its limits or stopSearch end them.
// The main thread also reports and decides when the search ends; helpers only search.
void iterativeDeepening(SearchThread& t);
int searchRoot(SearchThread& t, int alpha, int beta, int depth);
