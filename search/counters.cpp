#include "search/counters.h"

int iterationDepth = 0;
int64_t nodeCount = 0;
