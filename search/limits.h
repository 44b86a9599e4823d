// The limits of one search, as a "go" line gives them.
#pragma once

#include <cstdint>

#include "board/types.h"

constexpr uint8_t GO_TIME = 0x01, GO_INC = 0x02, GO_MOVESTOGO = 0x04, GO_DEPTH = 0x08,
                  GO_NODES = 0x10, GO_MATE = 0x20, GO_MOVETIME = 0x40, GO_INFINITE = 0x80;

constexpr int MAX_SEARCH_MOVES = 256;

// goFlags says which of the values count for a search.
struct GoLimits {
  uint8_t goFlags = GO_MOVETIME;
  int32_t time[2] = {0, 0};       // milliseconds left, white and black
  int32_t increment[2] = {0, 0};  // milliseconds per move, white and black
  int32_t movesToGo = 0;
  int32_t depth = 0;
  int64_t nodes = 0;
  // No new iteration starts once the search has passed this many nodes (0: no such limit). Not
  // a "go" word: self-play data generation sets it.
  int64_t softNodes = 0;
  int32_t mate = 0;               // moves
  int64_t moveTime = 5000;        // milliseconds
  int32_t defaultMovesToGo = 20;  // moves the clock is planned for when no movestogo is given
  // "searchmoves": the root is restricted to these (none listed = every move).
  Move searchMoves[MAX_SEARCH_MOVES];
  int searchMoveCount = 0;
};
