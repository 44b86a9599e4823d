// The evaluation driver: the two caches, endgame knowledge, then the general evaluation in a
// fixed order of steps, the blend, the scaling and the fifty-move damping. The terms that only
// the driver computes (material, tempo, mobility, long-range pieces, pawn runs, bishop details)
// live here too; the other terms are in their own files.
#include "eval/evaluate.h"

#include "eval/derived.h"
#include "eval/eval_cache.h"
#include "eval/eval_internal.h"
#include "eval/params.h"

namespace {

constexpr Bitboard DARK_SQUARES = 0xAA55AA55AA55AA55ULL;  // rank + file even, a1 among them
constexpr int squareOf(char file, int rank) { return (file - 'a') + 8 * (rank - 1); }
inline bool isDarkSquare(int sq) { return ((rankOf(sq) + fileOf(sq)) & 1) == 0; }

}  // namespace

void prepareEvalScratch(const Board& board, const PlyState& state, EvalScratch& scratch) {
  for (int side = WHITE; side <= BLACK; ++side) {
    const int them = side ^ 1;
    const int king = board.kingSquare[side];
    const Bitboard zone = pieceAttacks[codeFor(side, KING)][king];
    // Squares the king's own pawns hold, or the attacker's pawns block, are no use to attack.
    const Bitboard excluded = state.pawnAttacks[side] | piecesOf(board, them, PAWN);
    scratch.masks.kingZone[side] = zone;
    scratch.masks.attackTarget[side] = zone & ~excluded;
    scratch.masks.knightTarget[side] = (zone | pieceAttacks[KNIGHT][king]) & ~excluded;
    scratch.masks.kingNear[side] = zone & ~state.attacksNoKing[side] & ~board.occupancy[them];
    scratch.masks.minorRookAttacks[side] =
        state.knightAttacks[side] | state.bishopAttacks[side] | state.rookAttacks[side];
    scratch.kingAttackWeight[side] = scratch.kingAttackSquares[side] = 0;
    scratch.kingZoneHits[side] = 0;
  }
  scratch.masks.allPawns = board.pieceBitboards[WHITE_PAWN] | board.pieceBitboards[BLACK_PAWN];
  scratch.developmentCount = 0;
}

namespace {

// Step 9: mobility of knights, bishops, rooks and queens. Squares held by own pawns do not
// count, nor empty squares or enemy pawns that an enemy pawn covers.
template <int Us>
int mobility(const Board& board, const PlyState& state) {
  constexpr int Them = Us ^ 1;
  const Bitboard enemyPawns = piecesOf(board, Them, PAWN);
  const Bitboard empty = ~(board.occupancy[WHITE] | board.occupancy[BLACK]);
  const Bitboard usable =
      ~(piecesOf(board, Us, PAWN) | (state.pawnAttacks[Them] & (empty | enemyPawns)));
  int value = 0;
  const uint8_t knight = codeFor(Us, KNIGHT);
  for (int i = 0; i < board.pieceCount[knight]; ++i) {
    const int sq = board.pieceList[knight][i];
    value += MobilityTable[knight][popCount(pieceAttacks[knight][sq] & usable)];
  }
  for (uint8_t kind : {BISHOP, ROOK, QUEEN}) {
    const uint8_t code = codeFor(Us, kind);
    for (int i = 0; i < board.pieceCount[code]; ++i)
      value += MobilityTable[code][popCount(sliderSlot(board, code, i) & usable)];
  }
  return value;
}

// Step 15, per bishop: pawns on the bishop's colour, and a centre pawn of that colour blocked
// by an enemy piece. Us's view (positive = good for Us).
template <int Us>
void bishopDetails(const Board& board, int& mg, int& eg) {
  constexpr int Them = Us ^ 1;
  const uint8_t bishop = codeFor(Us, BISHOP), ownPawn = codeFor(Us, PAWN);
  const Bitboard ownPawns = board.pieceBitboards[ownPawn];
  for (int i = 0; i < board.pieceCount[bishop]; ++i) {
    const int sq = board.pieceList[bishop][i];
    const Bitboard sameColour = isDarkSquare(sq) ? DARK_SQUARES : ~DARK_SQUARES;
    const int pawnsOnColour = popCount(ownPawns & sameColour);
    mg -= pawnsOnColour * BishopPawnColourMg;
    eg -= pawnsOnColour * BishopPawnColourEg;

    // In white's frame a dark bishop looks at d4 (full) and f4 (half), a light one at e4 and c4.
    const bool darkInOwnFrame = isDarkSquare(relativeSquare(Us, sq));
    const int full = relativeSquare(Us, darkInOwnFrame ? squareOf('d', 4) : squareOf('e', 4));
    const int half = relativeSquare(Us, darkInOwnFrame ? squareOf('f', 4) : squareOf('c', 4));
    const int ahead = forwardStep(Us);
    if (board.squares[full] == ownPawn && (board.occupancy[Them] & bitOf(full + ahead))) {
      mg -= BishopCentreBlockMg;
      eg -= BishopCentreBlockEg;
    }
    if (board.squares[half] == ownPawn && (board.occupancy[Them] & bitOf(half + ahead))) {
      mg -= BishopCentreBlockMg >> 1;
      eg -= BishopCentreBlockEg >> 1;
    }
  }
}

// Step 15, once per side: the bishop pair, and pieces still blocking the back rank.
template <int Us>
void pairAndBackRank(const Board& board, int& mg, int& eg, EvalScratch& scratch) {
  constexpr int Them = Us ^ 1;
  const int bishops = board.pieceCount[codeFor(Us, BISHOP)];
  if (bishops > 1 && bishops != board.pieceCount[codeFor(Them, BISHOP)]) {
    mg += BishopPairMg;
    eg += BishopPairEg;
    if (board.pieceCount[codeFor(Them, PAWN)] > 5) {
      mg -= BishopPairManyPawns;
      eg -= BishopPairManyPawns;
    }
    if (board.pieceCount[codeFor(Them, BISHOP)] + board.pieceCount[codeFor(Them, KNIGHT)] == 0) {
      mg += BishopPairNoMinors;
      eg += BishopPairNoMinors;
    }
  }
  const int step = Us == WHITE ? -1 : 1;
  const uint8_t rook = codeFor(Us, ROOK), knight = codeFor(Us, KNIGHT);
  auto on = [&](char file, uint8_t code) {
    return board.squares[relativeSquare(Us, squareOf(file, 1))] == code;
  };
  for (const char* pair : {"ab", "hg"}) {  // rook's file, knight's file
    if (on(pair[0], rook) && on(pair[1], knight)) {
      scratch.developmentCount += step;
      mg -= CornerKnightRook;
      eg -= CornerKnightRook;
    }
  }
  const Bitboard homeCentre = Us == WHITE ? 0x3CULL : 0x3CULL << 56;  // c1-f1 / c8-f8
  scratch.developmentCount +=
      step * popCount(board.pieceBitboards[codeFor(Us, BISHOP)] & homeCentre);
}

// Steps 3 to 19: the score from white's view before the fifty-move damping.
int whiteScore(const Board& board, const PlyState& state, EvalScratch& scratch) {
  // 3. Endgame knowledge.
  const EndgameVerdict verdict = probeEndgameKnowledge(board, state);
  if (verdict.final) return verdict.score;

  // 4. Shared scratch.
  prepareEvalScratch(board, state, scratch);

  // 5. Material, with a bonus for trading down when ahead.
  const int whiteMaterial = board.materialMg[WHITE], blackMaterial = board.materialMg[BLACK];
  int mg = whiteMaterial - blackMaterial + verdict.pendingBonus;
  int eg = verdict.pendingBonus;
  if (mg >= 90 || mg <= -90) {
    // A tuned shift outside 0..31 would be undefined; keep it in range.
    const int shift = TradeDownShift < 0 ? 0 : TradeDownShift > 31 ? 31 : TradeDownShift;
    int onBoard = (whiteMaterial + blackMaterial) >> shift;
    if (onBoard > TradeDownBonus) onBoard = TradeDownBonus;
    const int tradeDown = mg >= 90 ? TradeDownBonus - onBoard : onBoard - TradeDownBonus;
    mg += tradeDown;
    eg += tradeDown;
  }

  // 6. Tempo.
  if (state.side == WHITE) {
    mg += TempoMg;
    eg += TempoEg;
  } else {
    mg -= TempoMg;
    eg -= TempoEg;
  }

  // 7. Terms counted in both phases.
  int both = evalTrappedBishops(board) + evalRookShutIn(board, scratch);
  if (board.pawnsOnFile[WHITE][3] == 2 || board.pawnsOnFile[WHITE][4] == 2)
    both += CentreFileDoubled;
  if (board.pawnsOnFile[BLACK][3] == 2 || board.pawnsOnFile[BLACK][4] == 2)
    both -= CentreFileDoubled;

  // 8. Rooks and queens on files and ranks.
  int egExtra;
  both += evalMajors<WHITE>(board, state, ROOK, egExtra, scratch);
  eg += egExtra;
  both += evalMajors<WHITE>(board, state, QUEEN, egExtra, scratch);
  eg += egExtra;
  both -= evalMajors<BLACK>(board, state, ROOK, egExtra, scratch);
  eg -= egExtra;
  both -= evalMajors<BLACK>(board, state, QUEEN, egExtra, scratch);
  eg -= egExtra;

  // 9. Mobility.
  const int blackMobility = mobility<BLACK>(board, state);
  both += mobility<WHITE>(board, state) - blackMobility;

  // 10. Bishops and rooks gain as the centre files empty of pawns.
  const int whiteLong = board.pieceCount[WHITE_BISHOP] + board.pieceCount[WHITE_ROOK];
  const int blackLong = board.pieceCount[BLACK_BISHOP] + board.pieceCount[BLACK_ROOK];
  if (whiteLong != blackLong) {
    int centrePawns = board.pawnsOnFile[WHITE][3] + board.pawnsOnFile[WHITE][4] +
                      board.pawnsOnFile[BLACK][3] + board.pawnsOnFile[BLACK][4];
    if (centrePawns > 8) centrePawns = 8;
    const int value = LongRangeByCentrePawns[centrePawns];
    mg += whiteLong > blackLong ? value : -value;
    eg += whiteLong > blackLong ? value : -value;
  }

  // 11. Pawn runs over the files.
  mg += PawnRunTableMg[board.pawnFileMask[WHITE]] - PawnRunTableMg[board.pawnFileMask[BLACK]];
  eg += PawnRunTableEg[board.pawnFileMask[WHITE]] - PawnRunTableEg[board.pawnFileMask[BLACK]];

  // 12. Material imbalance.
  evalImbalance(board, mg, eg);

  // 13. Pawn structure and passed pawns, then the piece-square sums and end-game material.
  int whitePawnsMg, whitePawnsEg, blackPawnsMg, blackPawnsEg;
  evalPawns<WHITE>(board, state, whitePawnsMg, whitePawnsEg);
  evalPawns<BLACK>(board, state, blackPawnsMg, blackPawnsEg);
  mg += whitePawnsMg - blackPawnsMg + board.pstMg + both;
  eg += whitePawnsEg - blackPawnsEg + board.materialEg[WHITE] - board.materialEg[BLACK] +
        board.pstEg + both;

  // 14. Knights, bishops on both wings, diagonal pieces.
  int whiteMinor = evalKnights<WHITE>(board, state, egExtra, scratch);
  eg += egExtra;
  int blackMinor = evalKnights<BLACK>(board, state, egExtra, scratch);
  eg -= egExtra;
  if ((scratch.masks.allPawns & queensideFiles) && (scratch.masks.allPawns & kingsideFiles)) {
    const int bishopGap = board.pieceCount[WHITE_BISHOP] - board.pieceCount[BLACK_BISHOP];
    mg += bishopGap * BishopBothWingsMg;
    eg += bishopGap * BishopBothWingsEg;
  }
  whiteMinor += evalDiagonals<WHITE>(board, BISHOP, scratch);
  blackMinor += evalDiagonals<BLACK>(board, BISHOP, scratch);
  const bool whiteQueen = board.pieceCount[WHITE_QUEEN] > 0;
  const bool blackQueen = board.pieceCount[BLACK_QUEEN] > 0;
  if (whiteQueen) whiteMinor += evalDiagonals<WHITE>(board, QUEEN, scratch);
  if (blackQueen) blackMinor += evalDiagonals<BLACK>(board, QUEEN, scratch);
  if (whiteQueen) eg += whiteMinor;
  if (blackQueen) eg -= blackMinor;
  mg += whiteMinor - blackMinor;

  // 15. Bishop and development details.
  int whiteMg = 0, whiteEg = 0, blackMg = 0, blackEg = 0;
  bishopDetails<WHITE>(board, whiteMg, whiteEg);
  bishopDetails<BLACK>(board, blackMg, blackEg);
  pairAndBackRank<WHITE>(board, whiteMg, whiteEg, scratch);
  pairAndBackRank<BLACK>(board, blackMg, blackEg, scratch);
  mg += whiteMg - blackMg;
  eg += whiteEg - blackEg;

  // 16. King safety.
  const int whiteDanger = evalKingSafety<WHITE>(board, state, eg, scratch);
  const int blackDanger = evalKingSafety<BLACK>(board, state, eg, scratch);
  mg += blackDanger - whiteDanger;

  // 17. Development: the table ends at ten; more counts as ten.
  const int behind =
      scratch.developmentCount < 0 ? -scratch.developmentCount : scratch.developmentCount;
  const int developmentPenalty = DevelopmentPenalty[behind < 10 ? behind : 10];
  if (scratch.developmentCount >= 1) mg += developmentPenalty;
  if (scratch.developmentCount <= -1) mg -= developmentPenalty;

  // 18. Threats.
  evalThreats(board, state, mg, eg);

  // 19. Blend and scale.
  return blendAndScale(board, mg, eg);
}

}  // namespace

int finishStaticScore(int score, int halfmoveClock) {
  score = dampByHalfmoveClock(score, halfmoveClock);
  // Piles of promoted pieces could push the sum into the range the search keeps for mates.
  if (score > EVAL_SCORE_LIMIT) score = EVAL_SCORE_LIMIT;
  if (score < -EVAL_SCORE_LIMIT) score = -EVAL_SCORE_LIMIT;
  return score;
}

int Evaluate(const Board& board, PlyState& state) {
  // 1. Already known for this ply.
  if (state.staticEval != NO_EVAL) return state.staticEval;

  // 2. The evaluation cache. The halfmove clock is not part of the key, so positions that
  // differ only in the clock share an entry.
  EvalCacheEntry* entry = evalCache ? &evalCache[uint32_t(board.key) & EVAL_CACHE_MASK] : nullptr;
  int cached;
  if (entry && probeEvalCache(*entry, board.key, cached)) return state.staticEval = cached;

  // 3-19.
  EvalScratch scratch;
  int score = whiteScore(board, state, scratch);
  // 20. Fifty-move damping and the limit.
  score = finishStaticScore(score, state.halfmoveClock);
  // 21. For the side to move.
  const int result = state.side == WHITE ? score : -score;
  state.staticEval = result;
  if (entry) storeEvalCache(*entry, board.key, result);
  return result;
}
