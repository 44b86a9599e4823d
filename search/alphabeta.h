// The recursive search below the root and the quiescence search.
#pragma once

#include "board/types.h"
#include "search/constants.h"
#include "search/thread.h"

// A principal-variation search of `depth` plies (fail-soft) from the position at `ply`; `cutNode`
// says the parent expects this node to fail high.
int searchNode(SearchThread& t, int alpha, int beta, int depth, int ply, bool cutNode,
               NodeType nodeType, Board& board, PlyState& state);
// Captures (and evasions in check) until the position is quiet.
int quiesce(SearchThread& t, int alpha, int beta, int ply, Board& board, PlyState& state);

// The first entry of the principal-variation row of `ply`.
constexpr int pvRowStart(int ply) { return ply * MAX_PLY - ply * (ply - 1) / 2; }

// Builds the late-move reduction table (done once before main runs).
void initReductions();
