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
constexpr int ALPHA_MATE_GATE = 9000;     // futility and late-move pruning need |alpha| below

// ---- Node kinds ----
// An exclusion node searches a position with one move left out (singular extension); it then
// goes on as a non-PV node.
enum NodeType : int { NODE_NONPV, NODE_PV, NODE_EXCLUSION };

// ---- Extensions ----
constexpr int RECAPTURE_HORIZON_LIMIT = 8;  // recaptures extend only while the horizon is below
constexpr int EXTENSION_ROOM = 10;          // how far extensions may push the horizon past depth

// ---- Pruning margins ----
constexpr int STATIC_NULL_MARGIN = 90;        // per remaining ply, any node
constexpr int STATIC_NULL_WIDE_MARGIN = 250;  // per remaining ply, non-PV nodes
constexpr int STATIC_NULL_MAX_REMAINING = 3;
constexpr int RAZOR_MARGIN = 105;
constexpr int RAZOR_WIDE_MARGIN = 350;
constexpr int RAZOR_MAX_REMAINING = 4;
constexpr int RAZOR_WIDE_MAX_REMAINING = 3;
constexpr int FUTILITY_MARGIN[3] = {0, 120, 370};  // by remaining depth
constexpr int FUTILITY_MIN_HORIZON = 3;
constexpr int NULL_MOVE_MIN_MATERIAL = 800;  // middle-game material the mover needs for a null move
constexpr int NULL_MOVE_MIN_REMAINING = 3;
constexpr int NULL_MOVE_VETO_DEPTH = 3;      // an upper bound this close vetoes the null move
constexpr int IID_MIN_REMAINING_NONPV = 8;
constexpr int IID_MIN_REMAINING_PV = 5;
constexpr int IID_MARGIN = 95;
constexpr int SINGULAR_MIN_REMAINING = 4;
constexpr int SINGULAR_DEPTH_SLACK = 3;
constexpr int LMR_FIRST_ITERATIONS = 5;      // ply-1 moves are spared at these shallow iterations
constexpr int LMR_SPARED_ROOT_REPLIES = 5;
constexpr int LMR_ENDGAME_MATERIAL = 2000;
constexpr int LMR_ENDGAME_AFTER_MOVES = 5;
constexpr int LMP_MAX_REMAINING = 6;
constexpr int FRONTIER_NONPV_MOVES = 4;      // a non-PV node at remaining 1 stops after these
constexpr int FRONTIER_DEFERRED_MOVES = 10;  // remaining 1: deferred moves skipped after these
constexpr int SEE_QUIET_MIN_REMAINING = 3;

// ---- Quiescence ----
constexpr int QS_SEVENTH_RANK_DELTA = 775;   // delta margin extra when a pawn may promote
constexpr int QS_GAIN_MARGIN = 140;          // captures that cannot lift alpha by this are skipped
constexpr int QS_ENDGAME_MATERIAL = 800;     // below this the opponent is in a pawn ending
constexpr int QS_RECAPTURE_ONLY_DEPTH = -5;  // from this quiescence depth on only recaptures

// ---- Iterative deepening ----
constexpr int ASPIRATION_DELTA = 32;
constexpr int ASPIRATION_MIN_DEPTH = 4;
constexpr int SINGLE_REPLY_DEPTH = 4;  // a root with one move stops after this iteration

// ---- Move ordering ----
constexpr int HISTORY_LIMIT = 500;
constexpr int64_t HASH_MOVE_SCORE = 1500;
constexpr int64_t FIRST_KILLER_SCORE = 43;
constexpr int64_t SECOND_KILLER_SCORE = 42;
constexpr int64_t THREAT_MOVE_BONUS = 200;
constexpr int64_t RETURN_MOVE_PENALTY = 10;   // a piece going straight back where it came from
constexpr int64_t ROOT_PREVIOUS_BEST = int64_t(1) << 62;
constexpr int SEE_PAWN_GUARD_LOSS = -100;     // losses beyond this into a pawn guard need no swap

// Stage tags of a node's move list.
constexpr uint8_t TAG_HASH = 0, TAG_CAPTURE = 1, TAG_KILLER = 2, TAG_QUIET = 3, TAG_DEFERRED = 4,
                  TAG_UNSORTED = 6;
constexpr uint8_t QTAG_HASH = 7, QTAG_CAPTURE = 8, QTAG_QUIET = 9, QTAG_CHECKS = 10, QTAG_END = 11;
