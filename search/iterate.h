// Iterative deepening, the root search and reporting.
#pragma once

#include "board/types.h"

// Runs one whole search of the game position at currentPly; returns when it is over.
void startSearch();
