#include "search/tt.h"

TtEntry* transpositionTable = nullptr;
uint32_t ttMask = 0;
uint64_t hashBytes = 134217728;
