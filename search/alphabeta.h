// The recursive search below the root and the quiescence search.
#pragma once

#include "board/types.h"
#include "search/constants.h"
#include "search/thread.h"

// The move a node must not search (exclusion searches only) and the opponent's threat found by
// the parent's null move, handed to every child.
struct ExclusionPair {
  Move excluded;
  Move threat;
};
constexpr ExclusionPair NO_EXCLUSION = {NO_MOVE, NO_MOVE};

int searchNode(SearchThread& t, int alpha, int beta, int ply, int pvIndex, bool nullAllowed,
               NodeType nodeType, int horizon, ExclusionPair exclusion, Board& board, PlyState& state);
int quiesce(SearchThread& t, int alpha, int beta, int ply, int allMoves, int inCheckKnown,
            int qdepth, Board& board, PlyState& state);
