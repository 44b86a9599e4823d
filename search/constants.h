// Every fixed number of the search in one place: score bounds, pruning margins, extension limits
// and ordering scores. The search files use these names only.
#pragma once

#include <cstdint>

// ---- Scores ----
constexpr int MATE_BASE = 10000;          // mated at ply p scores p - MATE_BASE
constexpr int ROOT_BOUND = 9999;          // the root's widest window; also mate in one
constexpr int MATE_THRESHOLD = 9871;      // |score| at or above this is a mate score
constexpr int TT_MATE_THRESHOLD = 9700;   // scores the table corrects for mate distance
constexpr int WINNING_EVAL_LIMIT = 5000;  // evaluations beyond this are won endings
// Endgame tables: a win they prove at ply p scores TABLEBASE_WIN - p, below every mate and above
// every evaluation; the table corrects these for distance like mates.
constexpr int TABLEBASE_WIN = 9860;
constexpr int TABLEBASE_WIN_THRESHOLD = TABLEBASE_WIN - 128;  // |score| at or above: proven
constexpr int TABLEBASE_CURSED = 2;  // a win the fifty-move rule spoils: barely better than a draw
constexpr int TABLEBASE_DEPTH_BONUS = 6;  // a probe's table entry claims this much more depth

// ---- Node kinds ----
enum NodeType : int { NODE_NONPV, NODE_PV };

// ---- Selectivity before the moves (all by remaining depth) ----
constexpr int RAZOR_MAX_DEPTH = 3;
constexpr int RAZOR_BASE = 200;                  // hopeless below alpha by this
constexpr int RAZOR_PER_DEPTH_SQUARED = 120;     // plus this times depth squared
constexpr int REVERSE_FUTILITY_MAX_DEPTH = 8;
constexpr int REVERSE_FUTILITY_MARGIN = 75;      // per ply (one ply less when improving)
constexpr int NULL_MOVE_MIN_DEPTH = 2;
constexpr int NULL_MOVE_EVAL_DIVISOR = 180;      // extra reduction per this much eval over beta
constexpr int NULL_MOVE_MIN_MATERIAL = 800;      // middle-game material the mover needs
constexpr int PROBCUT_MIN_DEPTH = 5;
constexpr int PROBCUT_MARGIN = 180;
constexpr int PROBCUT_REDUCTION = 4;
constexpr int INTERNAL_REDUCTION_MIN_DEPTH = 4;  // no table move: search one ply less

// ---- Selectivity among the moves ----
constexpr int LATE_MOVE_MAX_DEPTH = 8;           // move-count pruning of quiet moves
constexpr int FUTILITY_MAX_DEPTH = 7;
constexpr int FUTILITY_BASE = 90;
constexpr int FUTILITY_PER_DEPTH = 110;
constexpr int HISTORY_PRUNE_MAX_DEPTH = 3;
constexpr int HISTORY_PRUNE_PER_DEPTH = 3000;    // quiet moves this far below zero per ply go
constexpr int SEE_QUIET_MARGIN = 22;             // quiet moves losing more than this x depth^2
constexpr int SEE_CAPTURE_MARGIN = 95;           // captures losing more than this x depth
constexpr int SEE_CAPTURE_MAX_DEPTH = 8;

// ---- Extensions ----
constexpr int SINGULAR_MIN_DEPTH = 7;
constexpr int SINGULAR_DEPTH_SLACK = 3;          // the table entry may be this much shallower
constexpr int SINGULAR_DOUBLE_MARGIN = 20;       // far below the singular bound: two plies
constexpr int DOUBLE_EXTENSION_LIMIT = 6;        // per line of the search

// ---- Late-move reductions ----
constexpr int REDUCTION_HISTORY_DIVISOR = 9000;  // a ply less (or more) per this much history
constexpr int CUTOFF_COUNT_LIMIT = 3;            // a ply more when the children failed high more often
constexpr int DEEPER_MARGIN = 40;  // a re-search beating the best by this goes a ply deeper

// ---- Quiescence ----
constexpr int QS_FUTILITY_MARGIN = 160;          // a capture must be able to lift alpha by this
constexpr int QS_TABLE_DEPTH = 0;                // the depth its table entries carry

// ---- Iterative deepening ----
constexpr int ASPIRATION_DELTA = 18;
constexpr int ASPIRATION_MIN_DEPTH = 4;
constexpr int SINGLE_REPLY_DEPTH = 4;  // a root with one move stops after this iteration

// ---- Move ordering at the root ----
constexpr int64_t ROOT_PREVIOUS_BEST = int64_t(1) << 62;
constexpr int SEE_PAWN_GUARD_LOSS = -100;     // losses beyond this into a pawn guard need no swap
