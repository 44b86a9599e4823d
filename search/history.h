// What the search learns about moves while it runs, for ordering, reducing and pruning them:
// quiet moves by side and squares, quiet moves after the previous two moves (continuation), and
// captures by piece, square and victim. Each search thread has its own tables; they live from
// one "ucinewgame" (or fresh start of a tool or bench position) to the next.
#pragma once

#include <cstdint>

#include "board/types.h"

// Every entry moves towards +-HISTORY_MAX with each update, never past it.
constexpr int HISTORY_MAX = 16384;

using QuietHistory = int16_t[2][64][64];                     // [side][from][to]
using PieceToHistory = int16_t[PIECE_CODES][64];             // [piece code][to]
using ContinuationHistory = PieceToHistory[PIECE_CODES][64];  // [previous piece][previous to]
using CaptureHistory = int16_t[PIECE_CODES][64][PIECE_CODES];  // [piece][to][captured code]

// How far the search's results at a pawn structure have run from the static evaluation there, by
// side to move: the evaluation misjudges some structures (a blocked centre, a pawn storm), and the
// search corrects it before pruning trusts it. Entries are centipawns times CORRECTION_GRAIN.
constexpr int CORRECTION_ENTRIES = 16384;
constexpr int CORRECTION_GRAIN = 256;
constexpr int CORRECTION_LIMIT = 64 * CORRECTION_GRAIN;  // at most 64 centipawns either way
using CorrectionHistory = int16_t[2][CORRECTION_ENTRIES];

struct MoveHistory {
  QuietHistory quiet;
  CaptureHistory capture;
  ContinuationHistory continuation;
  Move counterMove[PIECE_CODES][64];  // the quiet reply that refuted [previous piece][previous to]
  CorrectionHistory correction;
};

void clearMoveHistory(MoveHistory& h);

// The bonus a move earns (or the malus it pays) for a cut-off found at `depth`.
inline int historyBonus(int depth) { return depth > 13 ? 1600 : depth * depth * 8 + depth * 32; }

// Moves `entry` by `bonus` towards the bound, more slowly the nearer it is.
inline void addHistory(int16_t& entry, int bonus) {
  const int clamped = bonus > HISTORY_MAX    ? HISTORY_MAX
                      : bonus < -HISTORY_MAX ? -HISTORY_MAX
                                             : bonus;
  entry = int16_t(entry + clamped - entry * (clamped < 0 ? -clamped : clamped) / HISTORY_MAX);
}

struct SearchThread;
struct Board;

// The static evaluation `raw` of the side to move corrected by what the search has learnt at this
// pawn structure.
int correctedEval(const MoveHistory& h, const Board& board, int side, int raw);
// A search of `depth` found `searched` where the corrected evaluation said `corrected`.
void updateCorrection(MoveHistory& h, const Board& board, int side, int depth, int searched,
                      int corrected);

// What a cut-off at `ply` teaches: the best move gains, the moves tried before it lose (quiet
// ones in the quiet and continuation histories, captures in the capture history); a quiet best
// move becomes a killer and the counter move of the previous move.
struct TriedMove {
  Move move;
  uint8_t piece;
};
void updateCutoffStats(SearchThread& t, int ply, int side, Move best, uint8_t bestPiece,
                       const TriedMove* quiets, int quietCount, const TriedMove* captures,
                       int captureCount, int depth);

// A quiet move searched again at full depth after its reduced search beat alpha: its
// continuation entries learn whether the full search confirmed it.
void updateAfterResearch(SearchThread& t, int ply, Move move, uint8_t piece, int bonus);

// A node where no move reached alpha: the quiet move that led to it was a good reply, so its
// entries (seen from the parent, `ply` - 1) gain.
void rewardMoveIntoFailLow(SearchThread& t, int ply, int depth);
