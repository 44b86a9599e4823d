// What the search does with the endgame tables: the options, the root's ranking for the running
// search, and the scores of the probes below the root.
#pragma once

#include <cstdint>

#include "search/search.h"
#include "search/syzygy.h"

// "SyzygyProbeDepth", "Syzygy50MoveRule", "SyzygyProbeLimit"; written only while no search runs.
struct SyzygyOptions {
  int probeDepth = 1;   // nodes with less depth left are not probed
  bool rule50 = true;   // a win the fifty-move rule spoils counts as a draw
  int probeLimit = 7;   // positions with more pieces are not probed
};
extern SyzygyOptions syzygyOptions;

// The tables' verdict on the running search's root. Written by the main thread before the
// helpers start; read-only while they search.
struct TablebaseRoot {
  bool ranked = false;   // the root moves are restricted to those of the best rank
  int bestRank = 0;
  int score = 0;         // the root's score by the tables, for the side to move
  int probePieces = 0;   // nodes below the root are probed with at most this many pieces (0: none)
  SyzygyRootRanking ranking;
};
extern TablebaseRoot tablebaseRoot;

// Ranks the root moves (when the tables hold the root) and decides whether the search probes.
// Returns the number of probes made.
int prepareTablebaseRoot(const SearchRequest& request, const Board& root, const PlyState& state);

// Strikes out the root moves the tables rank below the best of those left. A list the tables
// would empty (no ranked move among them) is left as it is.
void keepTablebaseBestMoves(MoveList& rootMoves);

// The score of a probe's result (-2..2, as probeSyzygyWdl) found at `ply`.
int tablebaseScore(int wdl, int ply);

// The root score to report: the tables' when they rank the root, unless the search proved a mate.
int reportedRootScore(int searched);
