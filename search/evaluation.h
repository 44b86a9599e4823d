// The search's one way to the static evaluation: the parameter table (Evaluate) or the network,
// whichever is selected. The network's accumulators follow the search line lazily: a node that
// needs its evaluation brings the accumulators up to date from the nearest ply that has one.
#pragma once

#include "board/types.h"

struct SearchThread;

// Whether the searches use the table. True until the engine applies its option, so that programs
// built on the engine's code (corvanel-quiet, corvanel-tune) measure the table.
bool tableEvaluationInUse();
// Selects the evaluation of the searches to come (only while no search runs). A change forgets
// every stored evaluation (transposition table, evaluation cache). Returns false, leaving the
// table in use, when the network is asked for and none is installed.
bool useTableEvaluation(bool table);
// Another net was installed: the old one's stored evaluations are forgotten.
void networkChanged();

// At the start of a search, for each thread: the root's accumulator from scratch and, with the
// network, the root's evaluation from it (the game line holds the table's).
void prepareEvaluation(SearchThread& t);
// The static evaluation for the side to move of `board`, the position at `ply` of the thread's
// line (t.boards[ply]); stored in state.staticEval like Evaluate's.
int staticEvaluation(SearchThread& t, int ply, const Board& board, PlyState& state);
