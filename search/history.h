// Killer moves and the history counters of move ordering. Written by the search, read by the
// move generator's scores.
#pragma once

#include "board/types.h"

extern Move killers[MAX_PLY][2];
extern int32_t history[PIECE_CODES][64];  // [moving piece code][to-square], kept in -500..500

void clearKillersAndHistory();
