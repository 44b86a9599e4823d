// From the two sums to one score: the blend by the material left on the board, the scaling of
// material that rarely wins, and the damping by the fifty-move counter.
#include "eval/eval_internal.h"

namespace {

inline bool isLightSquare(int sq) { return ((rankOf(sq) + fileOf(sq)) & 1) != 0; }
inline int threeQuarters(int score) { return (score >> 1) + (score >> 2); }

bool isTwoMinors(int32_t signature) {
  return signature == SIG_KBB || signature == SIG_KBN || signature == SIG_KNN;
}

// Material that is ahead but seldom converts. Each rule that applies shifts the score again.
int scaleDrawishMaterial(const Board& board, int score) {
  const int32_t whiteSig = board.materialSignature[WHITE],
                blackSig = board.materialSignature[BLACK];
  const int whitePawns = board.pieceCount[WHITE_PAWN], blackPawns = board.pieceCount[BLACK_PAWN];

  // Rook and minor against rook (the defender may have pawns).
  if ((whiteSig == SIG_KRB || whiteSig == SIG_KRN) && withoutPawns(blackSig) == SIG_KR &&
      score >= 101)
    score >>= 3;
  if ((blackSig == SIG_KRB || blackSig == SIG_KRN) && withoutPawns(whiteSig) == SIG_KR &&
      score <= -101)
    score >>= 3;
  // Queen and minor against queen.
  if ((whiteSig == SIG_KQB || whiteSig == SIG_KQN) && blackSig == SIG_KQ && score >= 101)
    score >>= 3;
  if ((blackSig == SIG_KQB || blackSig == SIG_KQN) && whiteSig == SIG_KQ && score <= -101)
    score >>= 3;
  // Two minors against a rook.
  if (((blackSig == SIG_KR && score >= 101) || (whiteSig == SIG_KR && score <= -101)) &&
      (isTwoMinors(whiteSig) || isTwoMinors(blackSig)))
    score >>= 2;
  // One bishop each, with pawns.
  if (withoutPawns(whiteSig) == SIG_KB && withoutPawns(blackSig) == SIG_KB) {
    if (isLightSquare(board.pieceList[WHITE_BISHOP][0]) !=
        isLightSquare(board.pieceList[BLACK_BISHOP][0]))
      score = threeQuarters(score);
    if (whitePawns + blackPawns == 1) {
      if (whitePawns == 1 && rankOf(board.pieceList[WHITE_PAWN][0]) <= 4) score >>= 2;
      if (blackPawns == 1 && rankOf(board.pieceList[BLACK_PAWN][0]) >= 3) score >>= 2;
    }
  }
  // The side ahead has no pawn left to promote.
  if ((score > 0 && whitePawns == 0) || (score < 0 && blackPawns == 0))
    score = threeQuarters(score);
  return score;
}

}  // namespace

int blendAndScale(const Board& board, int mgSum, int egSum) {
  const int whiteMaterial = board.materialMg[WHITE], blackMaterial = board.materialMg[BLACK];
  const int whitePawns = board.pieceCount[WHITE_PAWN], blackPawns = board.pieceCount[BLACK_PAWN];
  int score;
  if (whitePawns == 0 && whiteMaterial < 400 && egSum > 0) {
    // A lone minor (or less) cannot win.
    score = blackPawns == 0 ? 0 : -1;
  } else if (blackPawns == 0 && blackMaterial < 400 && egSum < 0) {
    score = whitePawns == 0 ? 0 : 1;
  } else if (mgSum == egSum) {
    score = mgSum;
  } else {
    const int pieces = board.pieceCount[WHITE_KNIGHT] + board.pieceCount[BLACK_KNIGHT] +
                       board.pieceCount[WHITE_BISHOP] + board.pieceCount[BLACK_BISHOP] +
                       2 * (board.pieceCount[WHITE_ROOK] + board.pieceCount[BLACK_ROOK]) +
                       4 * (board.pieceCount[WHITE_QUEEN] + board.pieceCount[BLACK_QUEEN]);
    // Phase 0 with all pieces on, 20 or more near the end; negative with promoted extras.
    int phase = 24 - pieces;
    if (phase > 20) phase = 20;
    const int egWeight = (256 * phase + 10) / 20;
    score = (egWeight * egSum + (256 - egWeight) * mgSum) / 256;
  }
  if (whiteMaterial <= 1500 && blackMaterial <= 1500) score = scaleDrawishMaterial(board, score);
  return score;
}

int dampByHalfmoveClock(int score, int halfmoveClock) {
  if (halfmoveClock <= 50) return score;
  return halfmoveClock <= 85 ? threeQuarters(score) : score >> 2;
}
