// The term routines one by one, on positions built to hit their edge cases. Each white case is
// also run mirrored through the black routine, which must give the same numbers.
#include <gtest/gtest.h>

#include "eval/derived.h"
#include "eval/eval_internal.h"
#include "eval/params.h"
#include "tests/eval_test_support.h"

using EvalTerms = EvalTest;

namespace {

// A position ready for the term routines: set up, scratch masks filled, counters cleared.
struct TermPosition : EvalPosition {
  explicit TermPosition(const std::string& fen) {
    EXPECT_TRUE(setEvalPosition(*this, fen)) << fen;
    prepareEvalScratch(board, state);
  }
};

struct MajorsResult {
  int value, egExtra;
};

template <int Us>
MajorsResult majors(const std::string& fen, uint8_t kind) {
  TermPosition p(fen);
  MajorsResult r{};
  r.value = evalMajors<Us>(p.board, p.state, kind, r.egExtra);
  return r;
}

// Temporarily gives a parameter another value.
struct ParamOverride {
  int32_t& param;
  int32_t saved;
  ParamOverride(int32_t& p, int32_t value) : param(p), saved(p) { param = value; }
  ~ParamOverride() { param = saved; }
};

}  // namespace

TEST_F(EvalTerms, RookFileScores) {
  ParamOverride attacked(RookFileAttacked, 2);
  struct Case {
    const char* fen;
    int expected;
  } cases[] = {
      // Open file whose d6, d7 and d8 are covered by a pawn, a knight and a rook.
      {"r6k/2p5/5n2/8/8/8/8/3R2K1 w - - 0 1", RookOpenFile - 3 * RookFileAttacked},
      // Only d7 and d8 covered.
      {"r6k/8/5n2/8/8/8/8/3R2K1 w - - 0 1", RookOpenFile - 2 * RookFileAttacked},
      // Half-open, and closed by an own pawn in front.
      {"7k/8/8/3p4/8/8/8/3R2K1 w - - 0 1", RookHalfOpenFile},
      {"7k/8/8/3p4/8/3P4/8/3R2K1 w - - 0 1", 0},
      // The second rook on the first one's file gets the bonus; a third one does not.
      {"6k1/8/8/8/8/8/3R4/3R2K1 w - - 0 1", 2 * RookOpenFile + RooksSameFile},
      {"6k1/8/8/8/8/3R4/3R4/3R2K1 w - - 0 1", 3 * RookOpenFile + RooksSameFile},
      // An enemy queen on the file.
      {"3q2k1/8/8/8/8/8/8/3R2K1 w - - 0 1", RookOpenFile + RookFileEnemyQueen},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(majors<WHITE>(c.fen, ROOK).value, c.expected) << c.fen;
    EXPECT_EQ(majors<BLACK>(mirrorFen(c.fen), ROOK).value, c.expected) << mirrorFen(c.fen);
  }
  // An enemy knight on the file halves the running total of the routine: a1 then d1 give
  // (10 + 10) / 2. Black's rooks are listed d8 then a8: 10 / 2 + 10.
  EXPECT_EQ(majors<WHITE>("3n2k1/8/8/8/8/8/8/R2R2K1 w - - 0 1", ROOK).value,
            (RookOpenFile + RookOpenFile) >> 1);
  EXPECT_EQ(majors<BLACK>("r2r2k1/8/8/8/8/8/8/3N2K1 b - - 0 1", ROOK).value,
            (RookOpenFile >> 1) + RookOpenFile);
  // The second rook in list order is not on the first one's file (c1, d1, d2): no bonus.
  EXPECT_EQ(majors<WHITE>("6k1/8/8/8/8/8/3R4/2RR2K1 w - - 0 1", ROOK).value, 3 * RookOpenFile);
}

TEST_F(EvalTerms, MajorsOnTheSeventhAndKingAttacks) {
  const std::string seventh = "6k1/3R4/8/8/8/8/8/6K1 w - - 0 1";
  MajorsResult r = majors<WHITE>(seventh, ROOK);
  EXPECT_EQ(r.value, MajorOnSeventh + RookOpenFile);
  EXPECT_EQ(r.egExtra, MajorOnSeventh + MajorOnSeventhKingBehind);
  r = majors<BLACK>(mirrorFen(seventh), ROOK);
  EXPECT_EQ(r.value, MajorOnSeventh + RookOpenFile);
  EXPECT_EQ(r.egExtra, MajorOnSeventh + MajorOnSeventhKingBehind);

  // A rook reaching d7 and d8 next to the king on e8.
  {
    TermPosition p("4k3/8/8/8/8/8/8/3R2K1 w - - 0 1");
    int eg;
    evalMajors<WHITE>(p.board, p.state, ROOK, eg);
    EXPECT_EQ(kingAttackWeight[BLACK], 2 * RookKingAttackWeight);
    EXPECT_EQ(kingAttackSquares[BLACK], 2);
    EXPECT_EQ(kingZoneHits[BLACK], 2);
  }
  // Aimed at the king through one pawn counts one square; through two, nothing.
  for (const auto& [fen, squares] :
       {std::pair<const char*, int>{"4k3/8/8/8/4p3/8/8/4R1K1 w - - 0 1", 1},
        {"4k3/8/8/4p3/4p3/8/8/4R1K1 w - - 0 1", 0}}) {
    TermPosition p(fen);
    int eg;
    evalMajors<WHITE>(p.board, p.state, ROOK, eg);
    EXPECT_EQ(kingAttackSquares[BLACK], squares) << fen;
    TermPosition m(mirrorFen(fen));
    evalMajors<BLACK>(m.board, m.state, ROOK, eg);
    EXPECT_EQ(kingAttackSquares[WHITE], squares) << mirrorFen(fen);
  }
}

TEST_F(EvalTerms, KnightWithoutSafeSquareAndFarFromTheKing) {
  // Knight on h8 hemmed in by its own pawn and bishop, seven squares from the king on a1.
  const std::string fen = "7N/5P2/6B1/8/8/8/8/k1K5 w - - 0 1";
  const int expected = KnightOutpostMg[7] - KnightAdvancedNoRetreat - KnightNoSafeSquare;
  for (int side : {WHITE, BLACK}) {
    TermPosition p(side == WHITE ? fen : mirrorFen(fen));
    int eg;
    const int value = side == WHITE ? evalKnights<WHITE>(p.board, p.state, eg)
                                    : evalKnights<BLACK>(p.board, p.state, eg);
    EXPECT_EQ(value, expected);
    EXPECT_EQ(eg, KnightOutpostEg[7]);
  }
  // A knight on c3 in front of its c-pawn, supported by the b-pawn, two squares from the king.
  TermPosition blocker("8/8/8/8/8/2N5/1PP5/k3K3 w - - 0 1");
  int eg;
  EXPECT_EQ(evalKnights<WHITE>(blocker.board, blocker.state, eg),
            KnightPawnSupport + KnightKingDistance[2] + KnightOutpostMg[2] - KnightBlocksCPawn);
}

TEST_F(EvalTerms, BishopsInFrontOfCentrePawnsAndTrapped) {
  TermPosition p("4k3/8/8/8/8/3B4/3P4/4K3 w - - 0 1");
  EXPECT_EQ(evalDiagonals<WHITE>(p.board, BISHOP), -BishopBlocksCentrePawn);
  EXPECT_EQ(developmentCount, -1);
  TermPosition m(mirrorFen("4k3/8/8/8/8/3B4/3P4/4K3 w - - 0 1"));
  EXPECT_EQ(evalDiagonals<BLACK>(m.board, BISHOP), -BishopBlocksCentrePawn);
  EXPECT_EQ(developmentCount, 1);

  struct Case {
    const char* fen;
    int expected;
  } cases[] = {
      {"4k3/B7/1p6/8/8/8/8/4K3 w - - 0 1", -BishopTrapped},
      {"4k3/8/B7/1p6/8/8/8/4K3 w - - 0 1", -BishopTrappedSixth},
      {"4k3/7B/6p1/8/8/8/8/4K3 w - - 0 1", -BishopTrapped},
      {"1B2k3/2p5/8/8/8/8/8/4K3 w - - 0 1", -BishopTrapped},
      {"4k3/B7/8/1p6/8/8/8/4K3 w - - 0 1", 0},
  };
  for (const Case& c : cases) {
    TermPosition white(c.fen), black(mirrorFen(c.fen));
    EXPECT_EQ(evalTrappedBishops(white.board), c.expected) << c.fen;
    EXPECT_EQ(evalTrappedBishops(black.board), -c.expected) << mirrorFen(c.fen);
  }
}

TEST_F(EvalTerms, RookShutInByTheKing) {
  struct Case {
    const char* fen;
    int expected, development;
  } cases[] = {
      {"4k3/8/8/8/8/8/8/R1K5 w - - 0 1", -(RookShutInByKing + RookShutInNoCastling), -2},
      {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", -RookShutInByKing, -1},
      {"4k3/8/8/8/8/8/8/R3K3 w Q - 0 1", 0, 0},
  };
  for (const Case& c : cases) {
    TermPosition white(c.fen);
    EXPECT_EQ(evalRookShutIn(white.board), c.expected) << c.fen;
    EXPECT_EQ(developmentCount, c.development) << c.fen;
    TermPosition black(mirrorFen(c.fen));
    EXPECT_EQ(evalRookShutIn(black.board), -c.expected) << mirrorFen(c.fen);
    EXPECT_EQ(developmentCount, -c.development) << mirrorFen(c.fen);
  }
}

namespace {

struct SafetyResult {
  int penalty, eg, development;
};

SafetyResult kingSafety(const std::string& fen, int side) {
  TermPosition p(fen);
  SafetyResult r{};
  r.penalty = side == WHITE ? evalKingSafety<WHITE>(p.board, p.state, r.eg)
                            : evalKingSafety<BLACK>(p.board, p.state, r.eg);
  r.development = developmentCount;
  return r;
}

}  // namespace

TEST_F(EvalTerms, KingShelterAndCastlingRights) {
  const int quiet = KingDangerTable[0] + KingAttackersBonus[0];  // no attack at all
  struct Case {
    const char* fen;
    int penalty, development;
  } cases[] = {
      // Three pawns in front: the shelter terms are skipped.
      {"k7/8/8/8/8/8/5PPP/6K1 w - - 0 1", quiet, 0},
      {"k7/8/8/8/8/8/5PP1/6K1 w - - 0 1", quiet, 0},
      // One pawn: the attackers' bonus twice, the unit, and twice more for no defenders.
      {"k7/8/8/8/8/8/6P1/6K1 w - - 0 1", quiet + KingAttackersBonus[0] + 3 * ShelterUnit, 0},
      // King on e1 without rights: both lost castlings.
      {"1k6/8/8/8/8/8/3PPP2/R3K2R w - - 0 1", quiet + 2 * KingLostCastling, -2},
      {"1k6/8/8/8/8/8/3PPP2/R3K2R w K - 0 1", quiet + KingLostCastling, -1},
      {"1k6/8/8/8/8/8/3PPP2/R3K2R w KQ - 0 1", quiet, 0},
  };
  for (const Case& c : cases) {
    const SafetyResult white = kingSafety(c.fen, WHITE);
    EXPECT_EQ(white.penalty, c.penalty) << c.fen;
    EXPECT_EQ(white.development, c.development) << c.fen;
    const SafetyResult black = kingSafety(mirrorFen(c.fen), BLACK);
    EXPECT_EQ(black.penalty, c.penalty) << mirrorFen(c.fen);
    EXPECT_EQ(black.development, -c.development) << mirrorFen(c.fen);
    EXPECT_EQ(black.eg, -white.eg) << mirrorFen(c.fen);
  }
}

TEST_F(EvalTerms, ContactSquaresCountTwiceWhenTheAttackerIsToMove) {
  // Queen on g3 and knight on f4 both hit g2 next to the king on h1.
  const int whiteToMove = kingSafety("k7/8/8/8/5n2/6q1/8/7K w - - 0 1", WHITE).penalty;
  const int blackToMove = kingSafety("k7/8/8/8/5n2/6q1/8/7K b - - 0 1", WHITE).penalty;
  EXPECT_EQ(blackToMove - whiteToMove, KingAttackWeight[0] * KingDangerStep);
}

namespace {

struct PawnResult {
  int mg, eg;
};

PawnResult pawns(const std::string& fen, int side) {
  TermPosition p(fen);
  PawnResult r{};
  if (side == WHITE)
    evalPawns<WHITE>(p.board, p.state, r.mg, r.eg);
  else
    evalPawns<BLACK>(p.board, p.state, r.mg, r.eg);
  return r;
}

}  // namespace

TEST_F(EvalTerms, PassedPawnRunsFollowTheListOrder) {
  // White's pawns are listed c, d, e: runs 1, 2, 3. The mirrored black pawns are listed e, d, c:
  // runs 1, 1, 1. Everything else is the same.
  const std::string fen = "4k3/8/8/2PPP3/8/8/8/4K3 w - - 0 1";
  const PawnResult white = pawns(fen, WHITE), black = pawns(mirrorFen(fen), BLACK);
  EXPECT_EQ(white.mg, black.mg);
  EXPECT_EQ(white.eg - black.eg, ConnectedPassedBonus[2] + ConnectedPassedBonus[3]);
}

TEST_F(EvalTerms, PassedPawnWithANegativeEndGameValueAddsNothing) {
  // A far-behind passer with its own king far away and the enemy king close.
  const std::string fen = "8/8/8/8/1k6/8/P7/7K w - - 0 1";
  for (int side : {WHITE, BLACK}) {
    const PawnResult r = pawns(side == WHITE ? fen : mirrorFen(fen), side);
    EXPECT_EQ(r.mg, PassedPawnTableMg[WHITE][8]);
    EXPECT_EQ(r.eg, 0);
  }
}

TEST_F(EvalTerms, BackwardAndDoubledPawns) {
  struct Case {
    const char* fen;
    int mg, eg;
  } cases[] = {
      // d3 behind its neighbours, stop square d4 hit by two pawns, no black pawn on the d-file.
      {"4k3/8/8/2p1p3/2P1P3/3P4/8/4K3 w - - 0 1",
       -(BackwardPawnByFile[3] + BackwardPawnHalfOpen + BackwardStopAttacked),
       -(BackwardPawnByFile[3] + BackwardPawnHalfOpen + BackwardStopAttacked)},
      // The same with the stop square held by a black pawn.
      {"4k3/8/8/2p1p3/2PpP3/3P4/8/4K3 w - - 0 1", -BackwardBlockedByPawn, -BackwardBlockedByPawn},
      // Isolated pawns on the a-file: each is backward; doubled they pay once more each.
      {"4k3/p7/8/8/8/8/P7/4K3 w - - 0 1", -BackwardPawnByFile[0], -BackwardPawnByFile[0]},
      {"4k3/p7/8/8/8/P7/P7/4K3 w - - 0 1", -2 * BackwardPawnByFile[0] - 2 * DoubledPawnMg,
       -2 * BackwardPawnByFile[0] - 2 * DoubledPawnEg},
  };
  for (const Case& c : cases) {
    for (int side : {WHITE, BLACK}) {
      const PawnResult r = pawns(side == WHITE ? c.fen : mirrorFen(c.fen), side);
      EXPECT_EQ(r.mg, c.mg) << c.fen << " side " << side;
      EXPECT_EQ(r.eg, c.eg) << c.fen << " side " << side;
    }
  }
}

TEST_F(EvalTerms, ThreatPairsOnceAndPawnThreatsPerPiece) {
  struct Case {
    const char* fen;
    int mg, eg;
  } cases[] = {
      // Two rooks on two undefended knights: the rook-minor pair once.
      {"4k3/8/8/n6n/8/8/8/R3K2R w - - 0 1", ThreatTable[ROOK][KNIGHT][0],
       ThreatTable[ROOK][KNIGHT][1]},
      // Two pawns on two knights: twice.
      {"4k3/8/8/2n3n1/3P1P2/8/8/4K3 w - - 0 1", 2 * ThreatTable[PAWN][KNIGHT][0],
       2 * ThreatTable[PAWN][KNIGHT][1]},
      // A side without minors pays for unprotected minors.
      {"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", 0, 0},
      {"4k3/8/8/8/8/8/8/2NQK3 w - - 0 1", MinorsUnprotectedMg, MinorsUnprotectedEg},
  };
  for (const Case& c : cases) {
    TermPosition white(c.fen), black(mirrorFen(c.fen));
    int mg = 0, eg = 0;
    evalThreats(white.board, white.state, mg, eg);
    EXPECT_EQ(mg, c.mg) << c.fen;
    EXPECT_EQ(eg, c.eg) << c.fen;
    mg = eg = 0;
    evalThreats(black.board, black.state, mg, eg);
    EXPECT_EQ(mg, -c.mg) << mirrorFen(c.fen);
    EXPECT_EQ(eg, -c.eg) << mirrorFen(c.fen);
  }
}
