// Iterative deepening, the root search and reporting.
#pragma once

#include <cstdint>

#include "board/types.h"

// Runs one whole search of the game position at currentPly; returns when it is over.
void startSearch();

// A search that a command runs itself (bench, the test-suite tools, tests): the game position at
// currentPly to `depth` (and at most `nodes` nodes when given), whatever an earlier "go" asked
// for, printing no "bestmove". False when arriving input or "quit" cut it short.
bool searchToDepth(int depth, int64_t nodes = 0);

void iterativeDeepening();
int searchRoot(int alpha, int beta, int depth);

extern MoveList rootMoves;     // the root's moves; after an iteration, scores = subtree nodes
extern int rootInCheck;        // checkers of the root's side to move
extern Move rootBestMove;      // best move so far (none: no legal move yet)
extern Move rootPonderMove;    // the expected reply
extern int lastScore;          // score of the last iteration
extern int rootLegalMoves;     // legal root moves found at depth 1
// A "go" has been answered by no "bestmove" yet.
extern bool bestMoveOwed;

// "bestmove <move>[ ponder <move>]", or "bestmove 0000" without a move.
void printBestMove(Move best, Move ponder);
// Answers the pending "go" once with rootBestMove and rootPonderMove; nothing when none pends.
void reportBestMove();
