// The moves of a node, one at a time and legal, in the order most likely to cut off early: the
// table's move, captures that win or hold material (most valuable victim first, then by capture
// history), the killers, the counter move, quiet moves by their histories, and last the captures
// that lose material. In check every evasion is scored at once; the quiescence search takes
// captures and queen promotions only.
#pragma once

#include "board/movegen.h"
#include "board/types.h"
#include "search/thread.h"

enum PickStage : int {
  PICK_TABLE_MOVE, PICK_GENERATE, PICK_GOOD_CAPTURES, PICK_KILLER_1, PICK_KILLER_2, PICK_COUNTER,
  PICK_QUIETS, PICK_BAD_CAPTURES, PICK_DONE,
  PICK_EVASION_TABLE_MOVE, PICK_EVASION_GENERATE, PICK_EVASIONS,
  PICK_QUIESCENCE_TABLE_MOVE, PICK_QUIESCENCE_GENERATE, PICK_QUIESCENCE_CAPTURES
};

struct MovePicker {
  // A picker for a node of the main search (`inCheck` from the node).
  MovePicker(SearchThread& thread, const Board& board, PlyState& state, int ply, Move tableMove,
             bool inCheck);
  // A picker for the quiescence search.
  MovePicker(SearchThread& thread, const Board& board, PlyState& state, int ply, Move tableMove,
             bool inCheck, bool quiescence);

  // The next legal move, or NO_MOVE when there is none left.
  Move next();
  // Quiet moves are no longer wanted (late-move pruning); captures still come.
  void skipQuiets() { quietsSkipped = true; }
  // The stage the last move came from.
  int stage() const { return lastStage; }

 private:
  SearchThread& t;
  const Board& board;
  PlyState& state;
  int ply;
  Move tableMove, killer1, killer2, counter;
  int current;      // the stage being worked on
  int lastStage = PICK_DONE;
  bool quietsSkipped = false;
  MoveList list;    // generated moves: captures in [0, captureEnd), quiets in [captureEnd, count)
  int cursor = 0, captureEnd = 0;
  Move bad[MAX_LIST_MOVES];  // losing captures, kept for the end
  int badCount = 0, badCursor = 0;
  LegalityView legality;     // worked out on the first legality test of the node
  bool legalityReady = false;

  bool isSpecial(Move m) const;  // one of the moves tried before the generated ones
  bool usable(Move m);           // pseudo-legal here and legal
  bool isLegal(Move m);          // legal here (m pseudo-legal)
  int pickBest(int end);         // swaps the best-scored move of [cursor, end) to the cursor
  void scoreCaptures(int begin, int end);
  void scoreQuiets(int begin, int end);
  void generateAll();
};

// The capture-or-promotion test the search uses to tell quiet moves from the rest.
inline bool isTactical(Move m) { return m.captured != EMPTY || isPromotionKind(m.kind); }
