// Copy-make. The child Board starts as a copy of the parent (copyBoard) and is changed
// incrementally; the child PlyState is written field by field:
//   copied/advanced from the parent: halfmoveClock + 1, plyCount + 1, captureRun (+1 or 0),
//                                    checkState (parent's, null move only)
//   reset:       captured, epSquare, staticEval, evalScratch, threatSquare
//   recomputed:  side, checkState, the attack summaries, lastMover*, lastFrom, lastTo,
//                the pieces removed and added
#include "board/makemove.h"

#include <cstring>

#include "board/bitops.h"
#include "board/castling.h"
#include "board/keys.h"
#include "board/sliders.h"
#include "board/tables.h"
#include "eval/derived.h"

namespace {

// The sliders of one move whose attack sets still have to be recomputed, and the occupancies the
// refresh walks with: rooks and queens are transparent on lines, bishops and queens on
// diagonals, so every slider lined up behind another is reached too.
struct SliderRefresh {
  Bitboard pendingRookLikes, pendingBishopLikes;
  Bitboard occupiedNoRookQueen, occupiedNoBishopQueen;
  Bitboard occupied;       // the board after the move
  unsigned changedGroups;  // bit g: a slot of group g was recomputed
};

void addPawnFile(Board& b, int side, int file) {
  if (b.pawnsOnFile[side][file]++ == 0) b.pawnFileMask[side] |= fileBit[file];
}

void removePawnFile(Board& b, int side, int file) {
  if (--b.pawnsOnFile[side][file] == 0) b.pawnFileMask[side] &= uint8_t(~fileBit[file]);
}

// Takes the piece off `sq` with every sum, list and bitboard; the last list entry fills the gap.
void removePiece(Board& b, int sq, uint8_t code) {
  int side = sideOfCode(code);
  b.materialMg[side] -= PieceValueMgByCode[code];
  b.materialEg[side] -= PieceValueEgByCode[code];
  b.pstMg -= PstMg[code][sq];
  b.pstEg -= PstEg[code][sq];
  b.key ^= pieceKey[code][sq];
  b.materialSignature[side] -= signatureWeight[code];
  b.pieceBitboards[code] ^= bitOf(sq);
  b.occupancy[side] ^= bitOf(sq);
  int last = --b.pieceCount[code];
  int index = b.listIndex[sq];
  int lastSquare = b.pieceList[code][last];
  b.pieceList[code][index] = uint8_t(lastSquare);
  b.listIndex[lastSquare] = uint8_t(index);
  b.pieceList[code][last] = NO_SQUARE;
  if (isSliderCode(code)) sliderSlot(b, code, index) = sliderSlot(b, code, last);
  if (kindOf(code) == PAWN) removePawnFile(b, side, fileOf(sq));
  b.squares[sq] = EMPTY;
}

// Puts a new piece on an empty square at the end of its list.
void addPiece(Board& b, int sq, uint8_t code) {
  int side = sideOfCode(code);
  b.materialMg[side] += PieceValueMgByCode[code];
  b.materialEg[side] += PieceValueEgByCode[code];
  b.pstMg += PstMg[code][sq];
  b.pstEg += PstEg[code][sq];
  b.key ^= pieceKey[code][sq];
  b.materialSignature[side] += signatureWeight[code];
  b.pieceBitboards[code] |= bitOf(sq);
  b.occupancy[side] |= bitOf(sq);
  int index = b.pieceCount[code]++;
  b.pieceList[code][index] = uint8_t(sq);
  b.listIndex[sq] = uint8_t(index);
  if (kindOf(code) == PAWN) addPawnFile(b, side, fileOf(sq));
  b.squares[sq] = code;
}

// Moves a piece to an empty square, keeping its list position (and so its slider slot).
void shiftPiece(Board& b, int from, int to, uint8_t code) {
  int side = sideOfCode(code);
  b.pstMg += PstMg[code][to] - PstMg[code][from];
  b.pstEg += PstEg[code][to] - PstEg[code][from];
  b.key ^= pieceKey[code][from] ^ pieceKey[code][to];
  Bitboard change = bitOf(from) | bitOf(to);
  b.pieceBitboards[code] ^= change;
  b.occupancy[side] ^= change;
  int index = b.listIndex[from];
  b.listIndex[to] = uint8_t(index);
  b.pieceList[code][index] = uint8_t(to);
  if (kindOf(code) == PAWN && fileOf(from) != fileOf(to)) {
    removePawnFile(b, side, fileOf(from));
    addPawnFile(b, side, fileOf(to));
  }
  b.squares[from] = EMPTY;
  b.squares[to] = code;
}

void clearCastlingRight(Board& b, int right) {
  if (b.castling[right]) {
    b.castling[right] = 0;
    b.key ^= castleKey[right];
  }
}

// A right is lost when its king moves, when its rook leaves its square and when that rook is
// captured there.
void updateCastlingRights(Board& b, int side, int from, int to) {
  uint32_t held;
  std::memcpy(&held, b.castling, sizeof held);
  if (held == 0) return;
  const int own = side * 2, enemy = (side ^ 1) * 2;
  const bool kingMoves = from == b.kingSquare[side];
  for (int right = own; right < own + 2; ++right)
    if (kingMoves || from == b.castlingRook[right]) clearCastlingRight(b, right);
  for (int right = enemy; right < enemy + 2; ++right)
    if (to == b.castlingRook[right]) clearCastlingRight(b, right);
}

// King and rook of a castling move. In Chess960 the king may stay on its square or land on the
// rook's and the other way round, so both are lifted before either is set down.
void castlePieces(Board& b, int side, int kingFrom, int kingTo, int rookFrom, int rookTo) {
  const uint8_t king = codeFor(side, KING), rook = codeFor(side, ROOK);
  const int kingIndex = b.listIndex[kingFrom], rookIndex = b.listIndex[rookFrom];
  b.pstMg += PstMg[king][kingTo] - PstMg[king][kingFrom];
  b.pstMg += PstMg[rook][rookTo] - PstMg[rook][rookFrom];
  b.pstEg += PstEg[king][kingTo] - PstEg[king][kingFrom];
  b.pstEg += PstEg[rook][rookTo] - PstEg[rook][rookFrom];
  b.key ^= pieceKey[king][kingFrom] ^ pieceKey[king][kingTo] ^ pieceKey[rook][rookFrom] ^
           pieceKey[rook][rookTo];
  const Bitboard kingChange = bitOf(kingFrom) ^ bitOf(kingTo);
  const Bitboard rookChange = bitOf(rookFrom) ^ bitOf(rookTo);
  b.pieceBitboards[king] ^= kingChange;
  b.pieceBitboards[rook] ^= rookChange;
  b.occupancy[side] ^= kingChange ^ rookChange;
  b.squares[kingFrom] = b.squares[rookFrom] = EMPTY;
  b.squares[kingTo] = king;
  b.squares[rookTo] = rook;
  b.listIndex[kingTo] = uint8_t(kingIndex);
  b.listIndex[rookTo] = uint8_t(rookIndex);
  b.pieceList[king][kingIndex] = uint8_t(kingTo);
  b.pieceList[rook][rookIndex] = uint8_t(rookTo);
  b.kingSquare[side] = uint8_t(kingTo);
}


void recomputeSlider(Board& b, SliderRefresh& r, int sq) {
  const uint8_t code = b.squares[sq];
  const int group = sliderGroup(code);
  b.sliderAttacks[group][b.listIndex[sq]] = sliderAttacksFrom(code, sq, r.occupied);
  r.changedGroups |= 1u << group;
  // A queen is in both pending sets; once recomputed it needs neither.
  r.pendingRookLikes &= ~bitOf(sq);
  r.pendingBishopLikes &= ~bitOf(sq);
}

void refreshSlidersThrough(Board& board, SliderRefresh& r, int sq) {
  Bitboard reached = rookAttacks(sq, r.occupiedNoRookQueen) & r.pendingRookLikes;
  while (reached) {
    int s = popLowestBit(reached);
    if (r.pendingRookLikes & bitOf(s)) recomputeSlider(board, r, s);
  }
  reached = bishopAttacks(sq, r.occupiedNoBishopQueen) & r.pendingBishopLikes;
  while (reached) {
    int s = popLowestBit(reached);
    if (r.pendingBishopLikes & bitOf(s)) recomputeSlider(board, r, s);
  }
}

// Starts the refresh of a move's sliders with the board after the move and walks its two squares.
SliderRefresh refreshAfterMove(int from, int to, Board& board) {
  SliderRefresh r;
  Bitboard occupied = board.occupancy[WHITE] | board.occupancy[BLACK];
  Bitboard queens = board.pieceBitboards[WHITE_QUEEN] | board.pieceBitboards[BLACK_QUEEN];
  r.pendingRookLikes = board.pieceBitboards[WHITE_ROOK] | board.pieceBitboards[BLACK_ROOK] | queens;
  r.pendingBishopLikes =
      board.pieceBitboards[WHITE_BISHOP] | board.pieceBitboards[BLACK_BISHOP] | queens;
  r.occupiedNoRookQueen = occupied & ~r.pendingRookLikes;
  r.occupiedNoBishopQueen = occupied & ~r.pendingBishopLikes;
  r.occupied = occupied;
  r.changedGroups = 0;
  refreshSlidersThrough(board, r, from);
  refreshSlidersThrough(board, r, to);
  return r;
}

// refreshAfterMove covers the king's and the castling move's squares; these are the rest.
void refreshAfterCastling(Board& b, SliderRefresh& r, int side, uint8_t kind, int rookFrom) {
  refreshSlidersThrough(b, r, castlingKingGoal(side, kind));
  refreshSlidersThrough(b, r, rookFrom);
  refreshSlidersThrough(b, r, castlingRookGoal(side, kind));
}

}  // namespace

Bitboard attacksOfPieceOn(const Board& board, int sq) {
  uint8_t code = board.squares[sq];
  if (isSliderCode(code)) return sliderSlot(board, code, board.listIndex[sq]);
  return pieceAttacks[code][sq];
}

void computeSliderAttacks(Board& board, int sq, uint8_t code) {
  sliderSlot(board, code, board.listIndex[sq]) =
      sliderAttacksFrom(code, sq, board.occupancy[WHITE] | board.occupancy[BLACK]);
}

namespace {

// All knights at once: the eight jumps as shifts, each masked against wrapping round.
Bitboard knightSpread(Bitboard n) {
  constexpr Bitboard FILE_A = 0x0101010101010101ULL, FILE_H = FILE_A << 7;
  constexpr Bitboard FILES_AB = FILE_A | (FILE_A << 1), FILES_GH = FILE_H | (FILE_H >> 1);
  return ((n & ~FILE_H) << 17) | ((n & ~FILE_A) << 15) | ((n & ~FILES_GH) << 10) |
         ((n & ~FILES_AB) << 6) | ((n & ~FILE_A) >> 17) | ((n & ~FILE_H) >> 15) |
         ((n & ~FILES_AB) >> 10) | ((n & ~FILES_GH) >> 6);
}

// What the sliders of one slot group attack together.
Bitboard groupUnion(const Board& board, int group) {
  const Bitboard* slots = board.sliderAttacks[group];
  const int count = board.pieceCount[SLIDER_OF_GROUP[group]];
  Bitboard attacks = 0;
  for (int i = 0; i < count; ++i) attacks |= slots[i];
  return attacks;
}

// The pawn attacks and the combined sets, from the knight and slider sets already in `state`.
void combineSummaries(const Board& board, PlyState& state) {
  constexpr Bitboard FILE_A = 0x0101010101010101ULL, FILE_H = FILE_A << 7;
  const Bitboard whitePawns = board.pieceBitboards[WHITE_PAWN];
  const Bitboard blackPawns = board.pieceBitboards[BLACK_PAWN];
  state.pawnAttacks[WHITE] = ((whitePawns & ~FILE_A) << 7) | ((whitePawns & ~FILE_H) << 9);
  state.pawnAttacks[BLACK] = ((blackPawns & ~FILE_A) >> 9) | ((blackPawns & ~FILE_H) >> 7);
  for (int side = WHITE; side <= BLACK; ++side) {
    state.attacksMinorRook[side] = state.pawnAttacks[side] | state.knightAttacks[side] |
                                   state.bishopAttacks[side] | state.rookAttacks[side];
    state.attacksNoKing[side] = state.attacksMinorRook[side] | state.queenAttacks[side];
    const int king = board.kingSquare[side];
    state.attacksAll[side] =
        state.attacksNoKing[side] | (king < 64 ? pieceAttacks[codeFor(side, KING)][king] : 0);
  }
}

// The summaries after a move: knights that stayed where they were and slot groups the move left
// alone keep the parent's sets.
void summariesAfterMove(const Board& parent, const Board& child, const PlyState& parentState,
                        PlyState& childState, unsigned changedGroups) {
  for (int side = WHITE; side <= BLACK; ++side) {
    const Bitboard knights = child.pieceBitboards[codeFor(side, KNIGHT)];
    childState.knightAttacks[side] = knights == parent.pieceBitboards[codeFor(side, KNIGHT)]
                                         ? parentState.knightAttacks[side]
                                         : knightSpread(knights);
    childState.bishopAttacks[side] = changedGroups & (1u << side) ? groupUnion(child, side)
                                                                  : parentState.bishopAttacks[side];
    childState.rookAttacks[side] = changedGroups & (4u << side) ? groupUnion(child, 2 + side)
                                                                : parentState.rookAttacks[side];
    childState.queenAttacks[side] = changedGroups & (16u << side) ? groupUnion(child, 4 + side)
                                                                  : parentState.queenAttacks[side];
  }
  combineSummaries(child, childState);
}

}  // namespace

void computeAttackSummaries(const Board& board, PlyState& state) {
  for (int side = WHITE; side <= BLACK; ++side) {
    state.knightAttacks[side] = knightSpread(board.pieceBitboards[codeFor(side, KNIGHT)]);
    state.bishopAttacks[side] = groupUnion(board, side);
    state.rookAttacks[side] = groupUnion(board, 2 + side);
    state.queenAttacks[side] = groupUnion(board, 4 + side);
  }
  combineSummaries(board, state);
}

void makeMove(Move move, const Board& parent, Board& child, const PlyState& parentState,
              PlyState& childState) {
  const int from = move.from, to = move.to;
  const int side = parentState.side;
  const uint8_t mover = parent.squares[from];
  // A Chess960 castling move may name the square of the king's own rook.
  const bool castles = isCastlingKind(move.kind);
  const uint8_t captured = castles ? EMPTY : parent.squares[to];

  // 1-2. Copy the board; reset the child state.
  copyBoard(child, parent);
  childState.captured = captured;
  childState.staticEval = NO_EVAL;
  childState.halfmoveClock = uint8_t(parentState.halfmoveClock + 1);
  childState.epSquare = NO_SQUARE;
  childState.plyCount = uint8_t(parentState.plyCount + 1);
  childState.evalScratch = SCRATCH_UNSET;
  childState.threatSquare = NO_SQUARE;
  childState.removed[0] = {mover, uint8_t(from)};
  childState.removedCount = 1;
  childState.addedCount = 1;

  // 3. The old en-passant chance is gone.
  if (parentState.epSquare != NO_SQUARE) child.key ^= epKey[parentState.epSquare];

  // 4. Castling rights.
  updateCastlingRights(child, side, from, to);

  // 5. Could the move give check?
  const int enemyKing = parent.kingSquare[side ^ 1];
  childState.checkState =
      (lineHint[enemyKing][from] | lineHint[enemyKing][to]) ? CHECK_POSSIBLE : CHECK_NONE;

  // 6. Capture.
  unsigned changedGroups = 0;  // slot groups that lose or gain a slider
  if (captured != EMPTY) {
    childState.halfmoveClock = 0;
    if (isSliderCode(captured)) changedGroups |= 1u << sliderGroup(captured);
    removePiece(child, to, captured);
    childState.removed[1] = {captured, uint8_t(to)};
    childState.removedCount = 2;
    childState.captureRun = uint8_t(parentState.captureRun + 1);
  } else {
    childState.captureRun = 0;
  }

  // 7. Pawn moves reset the clock; kings track their square.
  const uint8_t moverKind = kindOf(mover);
  if (moverKind == PAWN) childState.halfmoveClock = 0;
  if (moverKind == KING) child.kingSquare[side] = uint8_t(to);

  // 8. The move itself.
  int enPassantVictim = NO_SQUARE;
  int landing = to;  // where the mover now stands
  int rookFrom = NO_SQUARE, rookTo = NO_SQUARE;
  if (isPromotionKind(move.kind)) {
    removePiece(child, from, mover);
    addPiece(child, to, codeFor(side, promotionPieceKind(move.kind)));
    child.origin[to] = NO_SQUARE;
  } else if (castles) {
    rookFrom = parent.castlingRook[castlingRight(side, move.kind)];
    rookTo = castlingRookGoal(side, move.kind);
    landing = castlingKingGoal(side, move.kind);
    castlePieces(child, side, from, landing, rookFrom, rookTo);
    const uint8_t rook = codeFor(side, ROOK);
    childState.removed[1] = {rook, uint8_t(rookFrom)};
    childState.added[1] = {rook, uint8_t(rookTo)};
    childState.removedCount = 2;
    childState.addedCount = 2;
    child.origin[landing] = uint8_t(from);
    child.origin[rookTo] = uint8_t(rookFrom);
    // The rook may give check from its new square or uncover one from its old.
    if (lineHint[enemyKing][rookTo] | lineHint[enemyKing][rookFrom])
      childState.checkState = CHECK_POSSIBLE;
  } else {
    shiftPiece(child, from, to, mover);
    child.origin[to] = uint8_t(from);
    if (moverKind == PAWN) {
      if (to - from == 16 || from - to == 16) {
        childState.epSquare = uint8_t(to);
        child.key ^= epKey[to];
      } else if (fileOf(from) != fileOf(to) && captured == EMPTY) {
        enPassantVictim = side == WHITE ? to - 8 : to + 8;
        childState.removed[1] = {parent.squares[enPassantVictim], uint8_t(enPassantVictim)};
        childState.removedCount = 2;
        removePiece(child, enPassantVictim, parent.squares[enPassantVictim]);
        if (lineHint[enemyKing][enPassantVictim]) childState.checkState = CHECK_POSSIBLE;
      }
    }
  }

  // 9. Side to move.
  child.key ^= sideKey[side] ^ sideKey[side ^ 1];
  childState.side = uint8_t(side ^ 1);

  // 10. Slider attack sets through every changed square.
  SliderRefresh refresh = refreshAfterMove(from, to, child);
  if (enPassantVictim != NO_SQUARE) refreshSlidersThrough(child, refresh, enPassantVictim);
  if (castles) refreshAfterCastling(child, refresh, side, move.kind, rookFrom);
  if (isPromotionKind(move.kind) && move.kind != PROMOTE_KNIGHT) {
    computeSliderAttacks(child, to, child.squares[to]);
    changedGroups |= 1u << sliderGroup(child.squares[to]);
  }

  // 11-12. Attack summaries and what the mover now attacks.
  summariesAfterMove(parent, child, parentState, childState, changedGroups | refresh.changedGroups);
  const uint8_t now = child.squares[landing];
  childState.added[0] = {now, uint8_t(landing)};
  childState.lastMoverAttacks = attacksOfPieceOn(child, landing);
  childState.lastMoverValue = ExchangeValue[now];
  childState.lastFrom = uint8_t(from);
  childState.lastTo = uint8_t(landing);
}

void makeNullMove(const Board& parent, Board& child, const PlyState& parentState,
                  PlyState& childState) {
  copyBoard(child, parent);
  childState = parentState;
  childState.captured = EMPTY;
  childState.staticEval = NO_EVAL;
  childState.plyCount = 0;
  childState.captureRun = 0;
  childState.removedCount = childState.addedCount = 0;
  childState.epSquare = NO_SQUARE;
  childState.halfmoveClock = uint8_t(parentState.halfmoveClock + 1);
  if (parentState.epSquare != NO_SQUARE) child.key ^= epKey[parentState.epSquare];
  child.key ^= sideKey[parentState.side] ^ sideKey[parentState.side ^ 1];
  childState.side = uint8_t(parentState.side ^ 1);
  childState.lastMoverAttacks = 0;
  childState.lastMoverValue = 0;
  childState.lastFrom = NO_SQUARE;
  childState.lastTo = NO_SQUARE;
  childState.threatSquare = NO_SQUARE;
}
