// The recursive search below the root and the quiescence search, with the tables they share
// with the root: principal-variation texts, best move per ply, the last cut-off move.
#pragma once

#include <cstdint>

#include "board/types.h"

// The move a node must not search (exclusion searches only) and the opponent's threat found by
// the parent's null move, handed to every child.
struct ExclusionPair {
  Move excluded;
  Move threat;
};
constexpr ExclusionPair NO_EXCLUSION = {NO_MOVE, NO_MOVE};

// Principal variations: a triangle of move texts. The row of ply p holds MAX_PLY - p entries; a
// node's children use the row that starts where its own ends.
constexpr int PV_TEXT_BYTES = 6;
constexpr int PV_TABLE_ENTRIES = MAX_PLY * (MAX_PLY + 1) / 2 + 1;
constexpr int ROOT_CHILD_PV_INDEX = MAX_PLY;
extern char pvText[PV_TABLE_ENTRIES][PV_TEXT_BYTES];

extern Move bestMoveAtPly[MAX_PLY + 1];  // the move that raised alpha at each ply
extern Move lastCutoffMove;              // the move of the latest beta cut-off
extern char pendingCurrmove[96];         // currmove line parked by the root, printed at a poll
extern int selDepth;                     // deepest quiescence ply since the last report
extern int64_t nodeLimit;                // the search stops once nodeCount passes this

int searchNode(int alpha, int beta, int ply, int pvIndex, bool nullAllowed, int nodeType,
               int horizon, ExclusionPair exclusion, Board& board, PlyState& state);
int quiesce(int alpha, int beta, int ply, int allMoves, int inCheckKnown, int qdepth, Board& board,
            PlyState& state);
