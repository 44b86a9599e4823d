#include "search/history.h"

#include <cstring>

Move killers[MAX_PLY][2];
int32_t history[PIECE_CODES][64];

void clearKillersAndHistory() {
  std::memset(killers, 0, sizeof killers);
  std::memset(history, 0, sizeof history);
}
