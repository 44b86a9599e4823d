// King and pawn against king by retrograde iteration over the table itself. The white half says
// whether White to move wins; the black half whether Black to move is lost. Positions where the
// side to move could take the enemy king are marked so that illegal king moves count as losing.
#include "board/kpk.h"

#include "board/types.h"

int8_t kpkTable[2 * 64 * 64 * 64];

namespace {

constexpr int ROUNDS = 25;

// Every square's king steps, found on the 0x88 board: off-board steps show as a set 0x88 bit.
struct KingSteps {
  uint8_t count;
  uint8_t to[8];
};
KingSteps kingSteps[64];

void buildKingSteps() {
  static constexpr int offsets[8] = {1, -1, 16, -16, 15, -15, 17, -17};
  for (int sq = 0; sq < 64; sq++) {
    int x88 = sq + (sq & 56);
    kingSteps[sq].count = 0;
    for (int offset : offsets) {
      int target = x88 + offset;
      if (target & 0x88) continue;
      kingSteps[sq].to[kingSteps[sq].count++] = uint8_t(target - ((target >> 1) & 56));
    }
  }
}

int8_t& whiteToMove(int k, int p, int b) { return kpkTable[kpkIndex(0, k, p, b)]; }
int8_t& blackToMove(int k, int p, int b) { return kpkTable[kpkIndex(1, k, p, b)]; }

void initialise() {
  for (int k = 0; k < 64; k++) {
    for (int p = 0; p < 64; p++) {
      for (int b = 0; b < 64; b++) {
        int8_t w = 0, bl = 0;
        if (b == k) {
          bl = 3, w = -1;
        } else if (k == p) {
          bl = -1, w = -1;
        } else if (b == p) {
          bl = -3;
        } else if (rankOf(p) == 7) {
          w = 1;  // promoted: won unless Black takes the new piece at once
        }
        whiteToMove(k, p, b) = w;
        blackToMove(k, p, b) = bl;
      }
    }
  }
}

// A pawn push wins when Black to move is worse than `limit` after it. The double step needs
// both squares in front free: the pawn may not jump over either king.
bool pushWins(int k, int p, int b, int limit) {
  int single = p + 8;
  if (single == b || single == k) return false;
  if (blackToMove(k, single, b) > limit) return true;
  if (p > 15) return false;
  int twice = p + 16;
  return twice != b && blackToMove(k, twice, b) > limit;
}

bool pawnAttacksKing(int p, int b) {
  return (b == p + 7 && fileOf(p) != 0) || (b == p + 9 && fileOf(p) != 7);
}

// Marks with `mark` every undecided White-to-move position with a move into a Black-to-move
// position above `limit`.
void whiteStep(int limit, int8_t mark) {
  for (int k = 0; k < 64; k++) {
    for (int p = 0; p < 64; p++) {
      for (int b = 0; b < 64; b++) {
        int8_t& entry = whiteToMove(k, p, b);
        if (entry != 0) continue;
        if (b != p) {
          if (pushWins(k, p, b, limit)) {
            entry = mark;
            continue;
          }
          if (pawnAttacksKing(p, b)) {
            entry = 2;
            continue;
          }
        }
        // Stepping onto the black king meets 3 and onto the own pawn -1: no special cases.
        const KingSteps& steps = kingSteps[k];
        for (int i = 0; i < steps.count; i++) {
          if (blackToMove(steps.to[i], p, b) > limit) {
            entry = mark;
            break;
          }
        }
      }
    }
  }
}

// Black to move with every king step into a position where White takes the king: stalemate.
void markStalemates() {
  for (int k = 0; k < 64; k++) {
    for (int p = 0; p < 64; p++) {
      for (int b = 0; b < 64; b++) {
        int8_t& entry = blackToMove(k, p, b);
        if (entry != 0) continue;
        entry = -2;
        const KingSteps& steps = kingSteps[b];
        for (int i = 0; i < steps.count; i++) {
          if (whiteToMove(k, p, steps.to[i]) < 2) {
            entry = 0;
            break;
          }
        }
      }
    }
  }
}

// Black is lost when every king step leads to a White win (or to the king being taken).
void blackStep() {
  for (int k = 0; k < 64; k++) {
    for (int p = 0; p < 64; p++) {
      for (int b = 0; b < 64; b++) {
        int8_t& entry = blackToMove(k, p, b);
        if (entry != 0) continue;
        entry = 1;
        const KingSteps& steps = kingSteps[b];
        for (int i = 0; i < steps.count; i++) {
          if (whiteToMove(k, p, steps.to[i]) < 1) {
            entry = 0;
            break;
          }
        }
      }
    }
  }
}

}  // namespace

void buildKpkTable() {
  buildKingSteps();
  initialise();
  whiteStep(2, 2);
  markStalemates();
  for (int round = 0; round < ROUNDS; round++) {
    whiteStep(0, 1);
    blackStep();
  }
}
