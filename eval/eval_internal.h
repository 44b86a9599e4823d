// What the evaluation's own files share: the per-call scratch that the driver fills before the
// term routines run, the fixed tables of the endgame knowledge, and the term routines.
// Only eval/*.cpp include this.
#pragma once

#include <cstdint>

#include "board/bitops.h"
#include "board/makemove.h"
#include "board/tables.h"
#include "board/types.h"

// ---- Per-call scratch ----
// Filled by the driver at the start of every evaluation that is not answered by a cache, then
// read and moved by the term routines of the same call. It lives on the caller's stack, so
// evaluations on several threads never share it.
struct EvalMasks {
  Bitboard kingZone[2];          // each king's neighbourhood (without the king's square)
  Bitboard attackTarget[2];      // zone minus squares its own pawns cover minus enemy pawns on it
  Bitboard knightTarget[2];      // attackTarget plus the knight-check squares, same exclusions
  Bitboard kingNear[2];          // zone squares no own non-king piece covers, no enemy piece on
  Bitboard minorRookAttacks[2];  // squares the side's knights, bishops or rooks attack
  Bitboard allPawns;
};
struct EvalScratch {
  EvalMasks masks;
  // King-attack counters, indexed by the side whose king is attacked. The enemy's piece terms
  // fill them; that king's safety routine reads them.
  int kingAttackWeight[2];   // attacked target squares times the attacker kind's weight
  int kingAttackSquares[2];  // attacked target squares the defender's minors and rooks miss
  int kingZoneHits[2];       // attacked squares of the king's 3x3 zone, no exclusions
  // Undeveloped or obstructed structures: -1 for each white one, +1 for each black one.
  int developmentCount;
};
// Fills the masks for the position and clears the counters.
void prepareEvalScratch(const Board& board, const PlyState& state, EvalScratch& scratch);

// ---- Fixed tables ----
extern const int EdgeBonus[64];
extern const int KingProximity[8];
extern const int MateCornerBN[64];
extern const int ConnectedPassedBonus[9];
extern const int AdvancedPawnAttacked[5];

// Material signatures, king included.
constexpr int32_t SIG_K = 4096, SIG_KP = 4097, SIG_KR = 4160, SIG_KRP = 4161, SIG_KB = 4352,
                  SIG_KN = 5120, SIG_KBN = 5376, SIG_KRB = 4416, SIG_KRN = 5184, SIG_KQ = 4112,
                  SIG_KQB = 4368, SIG_KQN = 5136, SIG_KBB = 4608, SIG_KNN = 6144;
// A signature with its pawns taken out.
inline int32_t withoutPawns(int32_t signature) { return signature & 0x1FF0; }

// ---- Colour helpers ----
// A square seen from `side`: white squares unchanged, black ones mirrored top to bottom.
inline int relativeSquare(int side, int sq) { return sq ^ (side * 56); }
inline int relativeRank(int side, int sq) { return rankOf(sq) ^ (side * 7); }
inline int forwardStep(int side) { return side == WHITE ? 8 : -8; }
// Pieces of a code, empty board for codes other than pieces.
inline Bitboard piecesOf(const Board& board, int side, uint8_t kind) {
  return board.pieceBitboards[codeFor(side, kind)];
}

// ---- Term routines ----
// Each is instantiated for WHITE and BLACK; the black one is the white one with the colours
// exchanged and the board mirrored top to bottom. Unless said otherwise a routine returns its
// colour's value as a positive number (good for that colour); the driver subtracts black's.
//
// Rooks (kind ROOK) or queens (kind QUEEN) on files and ranks. `egExtra` receives the
// end-game-only part.
template <int Us>
int evalMajors(const Board& board, const PlyState& state, uint8_t kind, int& egExtra,
               EvalScratch& scratch);
template <int Us>
int evalKnights(const Board& board, const PlyState& state, int& egExtra, EvalScratch& scratch);
// Bishops (kind BISHOP) or queens (kind QUEEN) on diagonals.
template <int Us>
int evalDiagonals(const Board& board, uint8_t kind, EvalScratch& scratch);
// Penalty for Us's king (positive = bad for it); its end-game placement terms go straight into
// `egSum`, which is kept from white's view.
template <int Us>
int evalKingSafety(const Board& board, const PlyState& state, int& egSum, EvalScratch& scratch);
template <int Us>
void evalPawns(const Board& board, const PlyState& state, int& mgOut, int& egOut);

// White minus black.
int evalTrappedBishops(const Board& board);
int evalRookShutIn(const Board& board, EvalScratch& scratch);
// White minus black, added into both sums.
void evalThreats(const Board& board, const PlyState& state, int& mgSum, int& egSum);
// Material imbalance of unequal piece sets; adds into both sums.
void evalImbalance(const Board& board, int& mgSum, int& egSum);

// ---- Endgame knowledge ----
struct EndgameVerdict {
  bool final;  // the score below ends the evaluation (white's view)
  int score;
  int pendingBonus;  // otherwise: carried into the general evaluation (KPK wins)
};
EndgameVerdict probeEndgameKnowledge(const Board& board, const PlyState& state);
// The rook-and-pawn recogniser: true (a draw) when the position with `strongSide` holding the
// pawn is a known drawing pattern.
bool isRookPawnDraw(const Board& board, const PlyState& state, int strongSide);
// Blend of the two sums by the material left, and the scaling of drawish material.
int blendAndScale(const Board& board, int mgSum, int egSum);
// The fifty-move counter damps every score once the clock passes 50.
int dampByHalfmoveClock(int score, int halfmoveClock);
