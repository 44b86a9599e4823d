// Moves out of check: captures of the checker, interpositions and king steps, already filtered
// for legality.
#include "board/bitops.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movewriter.h"
#include "board/tables.h"
#include "eval/derived.h"

namespace {

constexpr int64_t SCORE_EVASION_EN_PASSANT = 140;
constexpr int64_t SCORE_EVASION_QUIET_BASE = 20;  // plus history, minus the piece code

// The squares that resolve a single check: those between king and checker, and the checker.
Bitboard checkResolvingSquares(int k, CheckDirection direction, int checker) {
  const int rank = rankOf(checker), file = fileOf(checker);
  switch (direction) {
    case DIR_NORTH: return rayNorth[k] & ranksUpTo[rank];
    case DIR_SOUTH: return raySouth[k] & ranksFrom[rank];
    case DIR_EAST: return rayEast[k] & filesUpTo[file];
    case DIR_WEST: return rayWest[k] & filesFrom[file];
    case DIR_NORTH_EAST: return rayNorthEast[k] & ranksUpTo[rank];
    case DIR_NORTH_WEST: return rayNorthWest[k] & ranksUpTo[rank];
    case DIR_SOUTH_EAST: return raySouthEast[k] & ranksFrom[rank];
    case DIR_SOUTH_WEST: return raySouthWest[k] & ranksFrom[rank];
    case DIR_KNIGHT:
    case DIR_PAWN: return bitOf(checker);
    case DIR_NONE:
    default: return 0;  // a "check" by the king alone: only king steps can answer it
  }
}

inline int64_t quietEvasionScore(const MoveWriter& out, uint8_t code, int to) {
  return out.history[code][to] - code + SCORE_EVASION_QUIET_BASE;
}

inline int64_t captureEvasionScore(const PlyState& state, uint8_t captured, uint8_t mover, int to) {
  return to == state.lastTo ? SCORE_RECAPTURE
                            : int64_t(ExchangeValue[captured]) - ExchangeValue[mover];
}

// Pawn moves in the order of the full generator, each kept only when it lands on `targets`;
// an en-passant capture may also answer a check by removing the checking pawn.
template <int Us>
void addPawnEvasions(const Board& board, const PlyState& state, MoveWriter& out, Bitboard targets,
                     CheckDirection direction, int checker) {
  using G = PawnGeometry<Us>;
  const uint8_t pawn = codeFor(Us, PAWN);
  const Bitboard enemy = board.occupancy[Us ^ 1];
  const int ep = usableEpSquare<Us>(board, state);
  const bool epRemovesChecker = direction == DIR_PAWN && ep == checker;

  for (int i = 0; i < board.pieceCount[pawn]; ++i) {
    const int s = board.pieceList[pawn][i];
    if (rankOf(s) == G::lastRank) continue;
    const int file = fileOf(s);
    const bool besideEp = ep >= 0 && ((file != 7 && s + 1 == ep) || (file != 0 && s - 1 == ep));
    if ((pawnReach[Us][s] & targets) == 0 && !besideEp) continue;

    const int to = s + G::forward;
    if (board.squares[to] == EMPTY) {
      const int twoAhead = to + G::forward;
      if (rankOf(s) == G::startRank && board.squares[twoAhead] == EMPTY &&
          ((targets >> twoAhead) & 1))
        out.add(s, twoAhead, EMPTY, MOVE_NORMAL, quietEvasionScore(out, pawn, twoAhead));
      if ((targets >> to) & 1)
        out.addPawnMove(s, to, EMPTY, G::lastRank, quietEvasionScore(out, pawn, to));
    }
    const int east = s + G::captureEast, west = s + G::captureWest;
    if (file != 7 && (((enemy & targets) >> east) & 1))
      out.addPawnMove(s, east, board.squares[east], G::lastRank,
                      captureEvasionScore(state, board.squares[east], pawn, east));
    if (file != 0 && (((enemy & targets) >> west) & 1))
      out.addPawnMove(s, west, board.squares[west], G::lastRank,
                      captureEvasionScore(state, board.squares[west], pawn, west));
    if (besideEp) {
      const uint8_t victim = codeFor(Us ^ 1, PAWN);
      const int dest = s + 1 == ep && file != 7 ? east : west;
      if (epRemovesChecker || ((targets >> dest) & 1))
        out.add(s, dest, victim, MOVE_NORMAL, SCORE_EVASION_EN_PASSANT);
    }
  }
}

void addPieceEvasions(const Board& board, const PlyState& state, MoveWriter& out, uint8_t code,
                      Bitboard targets) {
  for (int i = 0; i < board.pieceCount[code]; ++i) {
    const int s = board.pieceList[code][i];
    Bitboard attacks =
        (kindOf(code) == KNIGHT ? pieceAttacks[code][s] : sliderSlot(board, code, i)) & targets;
    while (attacks) {
      const int to = popLowestBit(attacks);
      const uint8_t captured = board.squares[to];
      out.add(s, to, captured, MOVE_NORMAL,
              captured == EMPTY ? quietEvasionScore(out, code, to)
                                : captureEvasionScore(state, captured, code, to));
    }
  }
}

// King steps onto squares the opponent does not attack; stepping back along the checking line
// is left to the legality filter, which looks through the king's own square.
void addKingEvasions(const Board& board, const PlyState& state, MoveWriter& out, int us) {
  const uint8_t king = codeFor(us, KING);
  const int k = board.kingSquare[us];
  const Bitboard blocked = board.occupancy[us] | state.attacksAll[us ^ 1];
  for (const uint8_t* n = kingNeighbours[k]; *n != NO_SQUARE; ++n) {
    const int to = *n;
    if ((blocked >> to) & 1) continue;
    const uint8_t captured = board.squares[to];
    const int64_t score =
        to == state.lastTo ? SCORE_RECAPTURE : out.history[king][to] + ExchangeValue[captured];
    out.add(k, to, captured, MOVE_NORMAL, score);
  }
}

}  // namespace

void generateEvasions(const Board& board, PlyState& state, MoveList& list, CheckDirection direction,
                      int checkerSquare, bool doubleCheck, const HistoryTable& history) {
  const int us = state.side;
  const int k = board.kingSquare[us];
  MoveWriter out(list, history);
  if (!doubleCheck && checkerSquare < 64) {
    const Bitboard targets = checkResolvingSquares(k, direction, checkerSquare);
    if (us == WHITE)
      addPawnEvasions<WHITE>(board, state, out, targets, direction, checkerSquare);
    else
      addPawnEvasions<BLACK>(board, state, out, targets, direction, checkerSquare);
    for (uint8_t kind = KNIGHT; kind <= QUEEN; ++kind)
      addPieceEvasions(board, state, out, codeFor(us, kind), targets);
  }
  addKingEvasions(board, state, out, us);
  list.count = out.count;
  resetTags(list);
  filterLegal(board, state, list.moves, list.count);
}
