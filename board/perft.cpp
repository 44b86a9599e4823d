#include "board/perft.h"

#include <memory>

#include "board/bitops.h"
#include "board/castling.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movewriter.h"
#include "board/tables.h"

namespace {

// The line a count walks: the move of ply p is made from slot p into slot p + 1.
struct PerftLine {
  Board boards[MAX_PLY + 1];
  PlyState states[MAX_PLY + 1];
};

// The legal moves of a position, counted from the generated list.
int countListed(const Board& board, PlyState& state, int ply) {
  MoveList list;
  if (!generateNodeMoves(board, state, list, ply, MoveScoring{noHistory}))
    filterLegal(board, state, list.moves, list.count);
  int count = 0;
  for (int i = 0; i < list.count; ++i) count += list.moves[i].from != NO_SQUARE;
  return count;
}

// The last ply: the legal moves counted without writing them down. Out of check, a piece off
// every line that could open onto its king moves freely, so its targets are simply counted;
// only pieces on such lines, en passant and castling take the legality test one move at a
// time, and a king step is legal when the enemy does not attack its goal (with no check, no
// enemy line runs through the king, so the king's own square hides nothing). Positions in check
// or without a king go through the list.
int countLegal(const Board& board, PlyState& state, int ply) {
  const int us = state.side;
  if (board.kingSquare[us] >= 64 || kingAttacked(board, state))
    return countListed(board, state, ply);
  const LegalityView view = legalityView(board, state);
  const Bitboard own = board.occupancy[us], enemy = board.occupancy[us ^ 1];
  int count = 0;
  auto countTargets = [&](int from, Bitboard targets, int weight) {
    if (!((view.exposed >> from) & 1)) {
      count += weight * popCount(targets);
      return;
    }
    while (targets) {
      const int to = popLowestBit(targets);
      count += weight * moveIsLegal(board, state, view, Move{uint8_t(from), uint8_t(to),
                                                              board.squares[to], MOVE_NORMAL});
    }
  };

  for (uint8_t kind = KNIGHT; kind <= QUEEN; ++kind) {
    const uint8_t code = codeFor(us, kind);
    for (int i = 0; i < board.pieceCount[code]; ++i) {
      const int s = board.pieceList[code][i];
      const Bitboard attacks = kind == KNIGHT ? pieceAttacks[code][s] : sliderSlot(board, code, i);
      countTargets(s, attacks & ~own, 1);
    }
  }

  // Pawns as the generator makes them: pushes, captures and en passant; a move onto the last
  // rank counts four times. Pawns off the exposed lines are counted a set at a time; those on
  // them one by one, and en passant always takes the full test.
  const int forward = us == WHITE ? 8 : -8;
  const int startRank = us == WHITE ? 1 : 6, lastRank = us == WHITE ? 7 : 0;
  const uint8_t pawn = codeFor(us, PAWN);
  const Bitboard empty = ~(own | enemy), lastRankSquares = rankMask[lastRank];
  const Bitboard pawns = board.pieceBitboards[pawn] & ~lastRankSquares;
  const Bitboard freePawns = pawns & ~view.exposed;
  auto ahead = [us](Bitboard b, int step) { return us == WHITE ? b << step : b >> step; };
  const Bitboard single = ahead(freePawns, 8) & empty;
  const Bitboard twice = ahead(single & rankMask[startRank + forward / 8], 8) & empty;
  const Bitboard east = ahead(freePawns & ~fileMask[7], us == WHITE ? 9 : 7) & enemy;
  const Bitboard west = ahead(freePawns & ~fileMask[0], us == WHITE ? 7 : 9) & enemy;
  for (const Bitboard targets : {single, east, west})
    count += popCount(targets & ~lastRankSquares) + 4 * popCount(targets & lastRankSquares);
  count += popCount(twice);
  for (Bitboard pinned = pawns & view.exposed; pinned;) {
    const int s = popLowestBit(pinned);
    const int to = s + forward, file = fileOf(s);
    Bitboard targets = 0;
    if (board.squares[to] == EMPTY) {
      targets |= bitOf(to);
      if (rankOf(s) == startRank && board.squares[to + forward] == EMPTY)
        targets |= bitOf(to + forward);
    }
    if (file != 7) targets |= bitOf(to + 1) & enemy;
    if (file != 0) targets |= bitOf(to - 1) & enemy;
    countTargets(s, targets, rankOf(to) == lastRank ? 4 : 1);
  }
  const int ep =
      us == WHITE ? usableEpSquare<WHITE>(board, state) : usableEpSquare<BLACK>(board, state);
  if (ep >= 0) {
    const Bitboard beside =
        (fileOf(ep) != 0 ? bitOf(ep - 1) : 0) | (fileOf(ep) != 7 ? bitOf(ep + 1) : 0);
    for (Bitboard takers = pawns & beside; takers;) {
      const int s = popLowestBit(takers);
      count += moveIsLegal(board, state, view, Move{uint8_t(s), uint8_t(ep + forward),
                                                    codeFor(us ^ 1, PAWN), MOVE_NORMAL});
    }
  }

  const int k = board.kingSquare[us];
  for (const uint8_t* n = kingNeighbours[k]; *n != NO_SQUARE; ++n)
    count += !(((own | state.attacksAll[us ^ 1]) >> *n) & 1);
  for (const uint8_t kind : {CASTLE_SHORT, CASTLE_LONG}) {
    if (!(board.castling[us * 2] | board.castling[us * 2 + 1])) break;
    const Move castle = castlingMove(board, us, kind);
    if (!isNoMove(castle)) count += moveIsLegal(board, state, view, castle);
  }
  return count;
}

int64_t countFrom(PerftLine& line, int ply, int depth) {
  const Board& board = line.boards[ply];
  PlyState& state = line.states[ply];
  if (ply + 1 >= depth) return countLegal(board, state, ply);
  MoveList list;
  const bool evasions = generateNodeMoves(board, state, list, ply, MoveScoring{noHistory});
  int64_t count = 0;
  const LegalityView legality = legalityView(board, state);
  for (int i = 0; i < list.count; ++i) {
    Move& move = list.moves[i];
    if (move.from == NO_SQUARE) continue;
    if (!evasions && !moveIsLegal(board, state, legality, move)) continue;
    makeMove(move, board, line.boards[ply + 1], state, line.states[ply + 1]);
    count += countFrom(line, ply + 1, depth);
  }
  return count;
}

}  // namespace

int64_t perft(const Board& board, const PlyState& state, int depth) {
  if (depth > MAX_PLY) depth = MAX_PLY;
  // Left uninitialised: each slot is written before it is read, and clearing the whole line
  // would cost more than a shallow count ("divide 1" clears it once per root move).
  std::unique_ptr<PerftLine> line(new PerftLine);
  line->boards[0] = board;
  line->states[0] = state;
  return countFrom(*line, 0, depth < 1 ? 1 : depth);
}
