// Check detection (who attacks a square) and the lazy legality filter that strikes out moves
// leaving the mover's king attacked.
#include "board/bitops.h"
#include "board/castling.h"
#include "board/movegen.h"
#include "board/tables.h"

namespace {

// The first piece met from a square along a ray: rays that grow in square number meet their
// lowest occupied bit first, the others their highest.
inline int nearestOnRisingRay(Bitboard blockers) { return lowestBit(blockers); }
inline int nearestOnFallingRay(Bitboard blockers) { return highestBit(blockers); }

// One ray from a square: its mask, whether it rises in square number, its direction code.
struct RayView {
  const Bitboard* masks;
  bool rising;
  CheckDirection direction;
};
const RayView ROOK_RAYS_CHECK_ORDER[4] = {{rayWest, false, DIR_WEST},
                                          {rayEast, true, DIR_EAST},
                                          {raySouth, false, DIR_SOUTH},
                                          {rayNorth, true, DIR_NORTH}};
const RayView BISHOP_RAYS_CHECK_ORDER[4] = {{rayNorthEast, true, DIR_NORTH_EAST},
                                            {rayNorthWest, true, DIR_NORTH_WEST},
                                            {raySouthEast, false, DIR_SOUTH_EAST},
                                            {raySouthWest, false, DIR_SOUTH_WEST}};

// True when the first piece on the ray (under `occupied`) is one of `sliders`; gives its square.
inline bool rayHits(const RayView& ray, int sq, Bitboard occupied, Bitboard sliders, int& hit) {
  const Bitboard blockers = ray.masks[sq] & occupied;
  if (blockers == 0) return false;
  hit = ray.rising ? nearestOnRisingRay(blockers) : nearestOnFallingRay(blockers);
  return ((sliders >> hit) & 1) != 0;
}

// Counts attackers of colour `attacker` on `q` as seen with the given occupancy; stops at the
// first one (countBoth 0) or the second. The order is fixed: pawns, rank, file, diagonals,
// knights, king; the last non-king attacker found gives the direction and square.
int countAttackers(const Board& board, const SideCodes& attacker, int q, Bitboard occupied,
                   int countBoth, CheckDirection& direction, int& checkerSquare) {
  int count = 0;
  auto found = [&](CheckDirection dir, int sq) {
    ++count;
    direction = dir;
    checkerSquare = sq;
    return countBoth == 0 || count == 2;
  };
  const int file = fileOf(q);

  // 1. Pawns.
  if (attacker.side == WHITE) {
    if (q > 15) {
      if (file != 0 && board.squares[q - 9] == attacker.pawn && found(DIR_PAWN, q - 9))
        return count;
      if (file != 7 && board.squares[q - 7] == attacker.pawn && found(DIR_PAWN, q - 7))
        return count;
    }
  } else if (q < 48) {
    if (file != 0 && board.squares[q + 7] == attacker.pawn && found(DIR_PAWN, q + 7)) return count;
    if (file != 7 && board.squares[q + 9] == attacker.pawn && found(DIR_PAWN, q + 9)) return count;
  }

  // 2, 3. Rooks and queens along the rank, then the file.
  const Bitboard rooksQueens =
      board.pieceBitboards[attacker.rook] | board.pieceBitboards[attacker.queen];
  if (rooksQueens & rookRays[q]) {
    for (const RayView& ray : ROOK_RAYS_CHECK_ORDER) {
      int hit;
      if ((ray.masks[q] & rooksQueens) && rayHits(ray, q, occupied, rooksQueens, hit) &&
          found(ray.direction, hit))
        return count;
    }
  }

  // 4. Bishops and queens along the diagonals.
  const Bitboard bishopsQueens =
      board.pieceBitboards[attacker.bishop] | board.pieceBitboards[attacker.queen];
  if (bishopsQueens & bishopRays[q]) {
    for (const RayView& ray : BISHOP_RAYS_CHECK_ORDER) {
      int hit;
      if ((ray.masks[q] & bishopsQueens) && rayHits(ray, q, occupied, bishopsQueens, hit) &&
          found(ray.direction, hit))
        return count;
    }
  }

  // 5. Knights.
  Bitboard knights = board.pieceBitboards[attacker.knight] & pieceAttacks[WHITE_KNIGHT][q];
  while (knights) {
    if (found(DIR_KNIGHT, popLowestBit(knights))) return count;
  }

  // 6. The king adds to the count without a direction.
  if (board.pieceBitboards[attacker.king] & pieceAttacks[WHITE_KING][q]) ++count;
  return count;
}

inline bool squareAttacked(const Board& board, const SideCodes& attacker, int q,
                           Bitboard occupied) {
  CheckDirection direction = DIR_NONE;
  int square = NO_SQUARE;
  return countAttackers(board, attacker, q, occupied, 0, direction, square) != 0;
}

// Castling: no square from the king's start to its goal may be attacked, seen with king and
// rook both taken off the board (in Chess960 the rook may be what shields the king's path).
bool castlingIsLegal(const Board& board, const SideCodes& enemy, Move move, Bitboard occupied) {
  const int side = enemy.side ^ 1;
  const int rook = board.castlingRook[castlingRight(side, move.kind)];
  const Bitboard seenWith = occupied & ~(bitOf(move.from) | bitOf(rook));
  Bitboard path = rankSpan(move.from, castlingKingGoal(side, move.kind));
  while (path)
    if (squareAttacked(board, enemy, popLowestBit(path), seenWith)) return false;
  return true;
}

// The king steps with itself taken off the board, so that it cannot hide behind its own square
// on the checking line.
bool kingMoveIsLegal(const Board& board, const SideCodes& enemy, Move move, Bitboard occupied) {
  if (isCastlingKind(move.kind)) return castlingIsLegal(board, enemy, move, occupied);
  const Bitboard withoutKing = occupied & ~bitOf(move.from);
  return !squareAttacked(board, enemy, move.to, withoutKing);
}

inline bool isEnPassant(const Board& board, Move move) {
  return kindOf(board.squares[move.from]) == PAWN && fileOf(move.from) != fileOf(move.to) &&
         board.squares[move.to] == EMPTY;
}

// Any other move can only uncover a line onto the king through the squares it empties: the
// from-square and, for en passant, the captured pawn's square. Every ray from the king through
// one of them is walked on the board after the move.
bool otherMoveIsLegal(const Board& board, const SideCodes& enemy, int k, Move move,
                      Bitboard occupied) {
  Bitboard vacated = bitOf(move.from);
  if (isEnPassant(board, move)) vacated |= bitOf(enemy.side == BLACK ? move.to - 8 : move.to + 8);

  const Bitboard toBit = bitOf(move.to);
  const Bitboard after = (occupied & ~vacated) | toBit;
  // A captured slider checks no more.
  const Bitboard rooksQueens =
      (board.pieceBitboards[enemy.rook] | board.pieceBitboards[enemy.queen]) & ~toBit;
  const Bitboard bishopsQueens =
      (board.pieceBitboards[enemy.bishop] | board.pieceBitboards[enemy.queen]) & ~toBit;
  int hit;
  if ((rookRays[k] & vacated) && (rookRays[k] & rooksQueens)) {
    for (const RayView& ray : ROOK_RAYS_CHECK_ORDER)
      if ((ray.masks[k] & vacated) && rayHits(ray, k, after, rooksQueens, hit)) return false;
  }
  if ((bishopRays[k] & vacated) && (bishopRays[k] & bishopsQueens)) {
    for (const RayView& ray : BISHOP_RAYS_CHECK_ORDER)
      if ((ray.masks[k] & vacated) && rayHits(ray, k, after, bishopsQueens, hit)) return false;
  }
  return true;
}

// The squares from which a move could uncover a line onto the king: the king's rays that hold
// an enemy slider able to move along them. Any other piece (not the king) moves freely.
inline Bitboard exposedLines(const Board& board, const SideCodes& enemy, int k) {
  const Bitboard rooksQueens =
      board.pieceBitboards[enemy.rook] | board.pieceBitboards[enemy.queen];
  const Bitboard bishopsQueens =
      board.pieceBitboards[enemy.bishop] | board.pieceBitboards[enemy.queen];
  Bitboard lines = 0;
  if (rookRays[k] & rooksQueens) {
    for (const RayView& ray : ROOK_RAYS_CHECK_ORDER)
      if (ray.masks[k] & rooksQueens) lines |= ray.masks[k];
  }
  if (bishopRays[k] & bishopsQueens) {
    for (const RayView& ray : BISHOP_RAYS_CHECK_ORDER)
      if (ray.masks[k] & bishopsQueens) lines |= ray.masks[k];
  }
  return lines;
}

// Most moves are cleared at once: a non-king move from a square off every exposed line cannot
// uncover a check. En passant also empties the captured pawn's square, so it always takes the
// full test.
inline bool clearlyLegal(const Board& board, const PlyState& state, Bitboard exposed, int k,
                         Move move) {
  if (move.from == k || ((exposed >> move.from) & 1) != 0) return false;
  return state.epSquare == NO_SQUARE || !isEnPassant(board, move);
}

__attribute__((noinline)) bool fullLegalityTest(const Board& board, const SideCodes& enemy, int k,
                                                Move move) {
  const Bitboard occupied = board.occupancy[WHITE] | board.occupancy[BLACK];
  return move.from == k ? kingMoveIsLegal(board, enemy, move, occupied)
                        : otherMoveIsLegal(board, enemy, k, move, occupied);
}

}  // namespace

int findCheckers(const Board& board, const PlyState& /*state*/, const SideCodes& attacker, int sq,
                 int countBoth, CheckDirection& direction, int& checkerSquare) {
  // The attacking colour's record fixes the pawn directions and the bitboards examined, so the
  // test also serves a position whose side to move is the attacker.
  return countAttackers(board, attacker, sq, board.occupancy[WHITE] | board.occupancy[BLACK],
                        countBoth, direction, checkerSquare);
}

LegalityView legalityView(const Board& board, const PlyState& state) {
  LegalityView view;
  view.king = board.kingSquare[state.side];
  view.enemy = state.side == WHITE ? &blackCodes : &whiteCodes;
  view.exposed = view.king < 64 ? exposedLines(board, *view.enemy, view.king) : 0;
  return view;
}

bool moveIsLegal(const Board& board, const PlyState& state, const LegalityView& view, Move move) {
  if (view.king >= 64) return true;  // no king to protect
  return clearlyLegal(board, state, view.exposed, view.king, move) ||
         fullLegalityTest(board, *view.enemy, view.king, move);
}

void filterLegal(const Board& board, const PlyState& state, Move* first, int n) {
  const LegalityView view = legalityView(board, state);
  if (view.king >= 64) return;
  for (Move* m = first; m != first + n; ++m) {
    if (isNoMove(*m) || clearlyLegal(board, state, view.exposed, view.king, *m)) continue;
    if (!fullLegalityTest(board, *view.enemy, view.king, *m)) m->from = NO_SQUARE;
  }
}
