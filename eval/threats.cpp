// Threats: minor pieces that nothing defends, pieces attacked by lesser pieces and pawns.
#include "eval/derived.h"
#include "eval/eval_internal.h"
#include "eval/params.h"

namespace {

// Us's threats as (mg, eg), good for Us.
template <int Us>
void threatsBy(const Board& board, const PlyState& state, int& mg, int& eg) {
  constexpr int Them = Us ^ 1;
  mg = eg = 0;

  // Minors that no own piece defends (also when there are none).
  const Bitboard ownMinors = piecesOf(board, Us, KNIGHT) | piecesOf(board, Us, BISHOP);
  if (!(ownMinors & state.attacksAll[Us])) {
    mg -= MinorsUnprotectedMg;
    eg -= MinorsUnprotectedEg;
  }

  // Enemy pieces we attack that no enemy pawn defends: each attacker kind scores each victim
  // kind once, however many pieces are involved.
  const Bitboard targets = board.occupancy[Them] & ~state.pawnAttacks[Them] & state.attacksAll[Us];
  if (targets) {
    const Bitboard attacksByKind[4] = {state.knightAttacks[Us], state.bishopAttacks[Us],
                                       state.rookAttacks[Us], state.queenAttacks[Us]};
    for (int a = 0; a < 4; ++a) {
      const uint8_t attacker = uint8_t(KNIGHT + a);
      const Bitboard hit = attacksByKind[a] & targets;
      if (!hit) continue;
      for (uint8_t victim = PAWN; victim <= QUEEN; ++victim) {
        if (hit & piecesOf(board, Them, victim)) {
          mg += ThreatTable[attacker][victim][0];
          eg += ThreatTable[attacker][victim][1];
        }
      }
    }
  }

  // Pawn attacks count per piece attacked.
  for (uint8_t victim = KNIGHT; victim <= QUEEN; ++victim) {
    const int hits = popCount(state.pawnAttacks[Us] & piecesOf(board, Them, victim));
    mg += hits * ThreatTable[PAWN][victim][0];
    eg += hits * ThreatTable[PAWN][victim][1];
  }
}

}  // namespace

void evalThreats(const Board& board, const PlyState& state, int& mgSum, int& egSum) {
  int whiteMg, whiteEg, blackMg, blackEg;
  threatsBy<WHITE>(board, state, whiteMg, whiteEg);
  threatsBy<BLACK>(board, state, blackMg, blackEg);
  mgSum += whiteMg - blackMg;
  egSum += whiteEg - blackEg;
}
