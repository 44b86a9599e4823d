// Endgame knowledge that answers before the general evaluation: dead draws, the
// king-bishop-knight mate, the king-and-pawn table, rook-and-pawn drawing patterns, rook against
// a minor piece, and a bare king against mating material.
#include "board/kpk.h"
#include "eval/eval_internal.h"
#include "eval/params.h"

// Distance of a square from the middle of the board; drives a bare king to the edge.
const int EdgeBonus[64] = {
    100, 90, 80, 70, 70, 80, 90, 100,  //
    90,  70, 60, 50, 50, 60, 70, 90,   //
    80,  60, 40, 30, 30, 40, 60, 80,   //
    70,  50, 30, 20, 20, 30, 50, 70,   //
    70,  50, 30, 20, 20, 30, 50, 70,   //
    80,  60, 40, 30, 30, 40, 60, 80,   //
    90,  70, 60, 50, 50, 60, 70, 90,   //
    100, 90, 80, 70, 70, 80, 90, 100,
};

// By the distance between the kings: the attacking king must come close.
const int KingProximity[8] = {0, 0, 100, 80, 60, 40, 20, 10};

// The defending king's square against bishop and knight with a dark-squared bishop (rank 1
// first): highest in the two dark corners, where the mate can be forced.
const int MateCornerBN[64] = {
    200, 190, 180, 170, 160, 150, 140, 130,  //
    190, 180, 170, 160, 150, 140, 130, 140,  //
    180, 170, 155, 140, 140, 125, 140, 150,  //
    170, 160, 140, 120, 110, 140, 150, 160,  //
    160, 150, 140, 110, 120, 140, 160, 170,  //
    150, 140, 125, 140, 140, 155, 170, 180,  //
    140, 130, 140, 150, 160, 170, 180, 190,  //
    130, 140, 150, 160, 170, 180, 190, 200,
};

constexpr int WON_ENDING = 6000;

namespace {

inline bool isLightSquare(int sq) { return ((rankOf(sq) + fileOf(sq)) & 1) != 0; }

EndgameVerdict finalScore(int score) { return {true, score, 0}; }

// King, bishop and knight against the bare king of `weak`, good for the other side.
int bishopKnightMate(const Board& board, int strong) {
  const int weak = strong ^ 1;
  int corner = board.kingSquare[weak];
  // The table assumes a dark-squared bishop; a light one mates in the other two corners.
  if (isLightSquare(board.pieceList[codeFor(strong, BISHOP)][0])) corner ^= 7;
  return WON_ENDING +
         KingProximity[kingDistance[board.kingSquare[WHITE]][board.kingSquare[BLACK]]] +
         MateCornerBN[corner];
}

// King and pawn against king: true when the side with the pawn wins.
bool kingPawnWins(const Board& board, const PlyState& state, int strong) {
  const int flip = strong == WHITE ? 0 : 56;  // the table has the pawn on white's side
  const int strongToMove = state.side == strong ? 0 : 1;
  const int entry = kpkTable[kpkIndex(strongToMove, board.kingSquare[strong] ^ flip,
                                      board.pieceList[codeFor(strong, PAWN)][0] ^ flip,
                                      board.kingSquare[strong ^ 1] ^ flip)];
  // Positive entries are wins; 0 is a draw and -2 marks a stalemate, also a draw.
  return entry > 0;
}

}  // namespace

bool isRookPawnDraw(const Board& board, const PlyState& state, int strongSide) {
  const int weakSide = strongSide ^ 1;
  // Normalise: the strong side plays up the board with its pawn on files a-d.
  int flip = strongSide == WHITE ? 0 : 56;
  if (fileOf(board.pieceList[codeFor(strongSide, PAWN)][0]) >= 4) flip ^= 7;
  const int pawn = board.pieceList[codeFor(strongSide, PAWN)][0] ^ flip;
  const int strongKing = board.kingSquare[strongSide] ^ flip;
  const int weakKing = board.kingSquare[weakSide] ^ flip;
  const int strongRook = board.pieceList[codeFor(strongSide, ROOK)][0] ^ flip;
  const int weakRook = board.pieceList[codeFor(weakSide, ROOK)][0] ^ flip;
  const bool strongToMove = state.side == strongSide;

  const int pawnRank = rankOf(pawn), pawnFile = fileOf(pawn);
  const bool kingInFront = fileOf(weakKing) == pawnFile && rankOf(weakKing) > pawnRank;
  const bool kingOnLastTwoRanks = rankOf(weakKing) >= 6;

  // Defending king in front of a pawn not yet on the sixth, rook on the third rank from home.
  if (pawnRank < 5 && kingOnLastTwoRanks && fileOf(weakKing) == pawnFile && rankOf(weakRook) == 5)
    return true;
  // Once the pawn is on the sixth: king in front, rook checking from behind.
  if (pawnRank >= 5 && kingInFront && rankOf(weakRook) == 0) return true;
  if (pawnRank == 5 && kingOnLastTwoRanks && fileOf(weakKing) == pawnFile && rankOf(strongKing) < 5)
    return true;
  // Rook pawn on the seventh with the rook in front of it and the defending king near the corner.
  constexpr int a7 = 48, a8 = 56, b7 = 49, b6 = 41, g7 = 54, h7 = 55;
  if (pawn == a7 && strongRook == a8 && (weakKing == g7 || weakKing == h7)) {
    if (fileOf(weakRook) == 0) return !(strongToMove && (strongKing == b7 || strongKing == b6));
    if (fileOf(weakRook) == 1) return !strongToMove && rankOf(strongKing) - rankOf(weakRook) >= 2;
  }
  return false;
}

EndgameVerdict probeEndgameKnowledge(const Board& board, const PlyState& state) {
  const int whiteMaterial = board.materialMg[WHITE], blackMaterial = board.materialMg[BLACK];
  const int32_t whiteSig = board.materialSignature[WHITE],
                blackSig = board.materialSignature[BLACK];
  const int rookValue = PieceValueMg[3];
  const int whiteKing = board.kingSquare[WHITE], blackKing = board.kingSquare[BLACK];
  const int proximity = KingProximity[kingDistance[whiteKing][blackKing]];

  if (whiteMaterial < 1101 && blackMaterial < 1101) {
    // Nothing to mate with, or rook against rook without pawns.
    const bool noPawns = board.pieceCount[WHITE_PAWN] + board.pieceCount[BLACK_PAWN] == 0;
    if (noPawns && ((whiteMaterial < rookValue && blackMaterial < rookValue) ||
                    (whiteSig == SIG_KR && blackSig == SIG_KR)))
      return finalScore(0);

    if (whiteSig == SIG_KBN && blackSig == SIG_K) return finalScore(bishopKnightMate(board, WHITE));
    if (blackSig == SIG_KBN && whiteSig == SIG_K)
      return finalScore(-bishopKnightMate(board, BLACK));

    if (whiteSig == SIG_KRP && blackSig == SIG_KR) {
      if (isRookPawnDraw(board, state, WHITE)) return finalScore(0);
    } else if (blackSig == SIG_KRP && whiteSig == SIG_KR) {
      if (isRookPawnDraw(board, state, BLACK)) return finalScore(0);
    }

    // A won king-and-pawn ending still goes through the general evaluation, which tells the
    // quicker wins apart.
    if (whiteSig == SIG_KP && blackSig == SIG_K)
      return kingPawnWins(board, state, WHITE) ? EndgameVerdict{false, 0, WON_ENDING}
                                               : finalScore(0);
    if (blackSig == SIG_KP && whiteSig == SIG_K)
      return kingPawnWins(board, state, BLACK) ? EndgameVerdict{false, 0, -WON_ENDING}
                                               : finalScore(0);

    // Rook against a lone minor: a small edge for the rook, the more the closer the defending
    // king is to the edge and to the attacking king.
    if (whiteSig == SIG_KR && (blackSig == SIG_KB || blackSig == SIG_KN))
      return finalScore((proximity + EdgeBonus[blackKing]) >> 3);
    if (blackSig == SIG_KR && (whiteSig == SIG_KB || whiteSig == SIG_KN))
      return finalScore(-((proximity + EdgeBonus[whiteKing]) >> 3));
  }

  // A bare king against a rook or more: drive it to the edge.
  if (whiteMaterial == 0 && blackMaterial >= rookValue)
    return finalScore(-WON_ENDING - proximity - EdgeBonus[whiteKing]);
  if (blackMaterial == 0 && whiteMaterial >= rookValue)
    return finalScore(WON_ENDING + proximity + EdgeBonus[blackKing]);
  return {false, 0, 0};
}
