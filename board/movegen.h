// Move generation with ordering scores, check detection, evasions and the lazy legality filter.
#pragma once

#include "board/types.h"

struct MoveListCache;

// What the generators read besides the position: the caller's history scores for quiet moves
// and, for the main search thread, its move-list cache, which stores the lists of the shallow
// iterations near the root.
struct MoveScoring {
  const HistoryTable& history;
  MoveListCache* cache = nullptr;  // null: lists are neither looked up nor stored
  int iterationDepth = 0;          // lists are stored only while this is shallow
};

void generateMoves(const Board& board, PlyState& state, MoveList& list, int ply,
                   const MoveScoring& scoring);
void generateCaptures(const Board& board, PlyState& state, MoveList& list,
                      const HistoryTable& history);
// Where a check comes from, seen from the king: a line or diagonal direction, a knight or a pawn.
// DIR_NONE: no checker found, or the attacking king alone.
enum CheckDirection : int {
  DIR_NONE, DIR_NORTH, DIR_SOUTH, DIR_EAST, DIR_WEST,
  DIR_NORTH_EAST, DIR_NORTH_WEST, DIR_SOUTH_EAST, DIR_SOUTH_WEST, DIR_KNIGHT, DIR_PAWN
};

// Counts (up to 2, or up to 1 when countBoth is 0) the pieces of `attacker` that attack `sq`.
// For every non-king attacker found it writes the direction and its square. The
// attacker's record alone decides the pawn directions and pieces examined, so the test works
// whichever side is to move in `state`.
int findCheckers(const Board& board, const PlyState& state, const SideCodes& attacker, int sq,
                 int countBoth, CheckDirection& direction, int& checkerSquare);
void generateEvasions(const Board& board, PlyState& state, MoveList& list, CheckDirection direction,
                      int checkerSquare, bool doubleCheck, const HistoryTable& history);
// Strikes out (from = NO_SQUARE) those of the n moves starting at `first` that leave the
// mover's king attacked.
void filterLegal(const Board& board, const PlyState& state, Move* first, int n);

// What the legality test of one position needs for each of its moves, worked out once: the
// side to move's king, its enemy, and the lines through which a move could uncover a check.
struct LegalityView {
  Bitboard exposed;
  int king;  // NO_SQUARE: no king to protect, every move passes
  const SideCodes* enemy;
};
LegalityView legalityView(const Board& board, const PlyState& state);
// Whether the pseudo-legal `move` (not struck out) leaves the mover's king unattacked.
bool moveIsLegal(const Board& board, const PlyState& state, const LegalityView& view, Move move);

// True when the side to move stands in check (the test the search and perft use).
inline bool kingAttacked(const Board& board, const PlyState& state);

// Generates the moves of a node by the shared calling protocol: evasions when in check (the list
// is then already legal), otherwise pseudo-legal moves. Returns true for an evasion list;
// `checkers`, when given, receives the number of checking pieces (0, 1 or 2).
bool generateNodeMoves(const Board& board, PlyState& state, MoveList& list, int ply,
                       const MoveScoring& scoring, int* checkers = nullptr);

// All legal moves of a position, for the protocol and tools (not for the search): struck-out
// moves are removed and the rest keep their order. Returns the count.
int legalMoves(const Board& board, PlyState& state, MoveList& list);

// A history table of zeros, for generating moves outside the search.
extern const HistoryTable noHistory;

inline bool kingAttacked(const Board& board, const PlyState& state) {
  int side = state.side;
  return state.checkState != CHECK_NONE &&
         ((state.attacksAll[side ^ 1] >> board.kingSquare[side]) & 1) != 0;
}
