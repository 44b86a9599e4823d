// Builds the geometric tables once at start-up. Every builder fills its whole table, so a second
// call of initTables reproduces the same contents.
#include "board/tables.h"

#include <initializer_list>

#include "board/bitops.h"
#include "board/kpk.h"
#include "board/sliders.h"
#include "eval/derived.h"

uint8_t fileBit[8] = {1, 2, 4, 8, 16, 32, 64, 128};
Bitboard fileMask[8], rankMask[8], adjacentFiles[8];
Bitboard ranksUpTo[8], ranksFrom[8], filesUpTo[8], filesFrom[8];
Bitboard frontSpan[2][64], passedSpanSides[2][64], passedSpan[2][64], pawnNeighbours[2][64];
Bitboard queensideFiles, kingsideFiles;
Bitboard bishopTrapSquaresWhite, bishopTrapPawnsBlack;
Bitboard bishopTrapSquaresBlack, bishopTrapPawnsWhite;

Bitboard rayNorth[64], raySouth[64], rayEast[64], rayWest[64], rookRays[64];
Bitboard rayNorthEast[64], rayNorthWest[64], raySouthEast[64], raySouthWest[64], bishopRays[64];

uint8_t kingNeighbours[64][9];

Bitboard pieceAttacks[PIECE_CODES][64];
Bitboard pawnReach[2][64];
uint8_t rankAttacks[8][256];

uint8_t kingDistance[64][64];
Bitboard between[64][64];
uint8_t lineHint[64][64];

int32_t signatureWeight[PIECE_CODES];

namespace {

// Only the builders below use these.
Bitboard forwardRanks[2][8];     // strictly in front of rank r, for each colour
uint8_t knightJumps[64][9];      // +17, +10, -6, -15, -17, -10, +6, +15, then NO_SQUARE

constexpr Bitboard FILE_A = 0x0101010101010101ULL;
constexpr Bitboard RANK_1 = 0xFFULL;

int absolute(int x) { return x < 0 ? -x : x; }
int larger(int a, int b) { return a > b ? a : b; }
bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// The squares from sq outwards in the direction (df, dr), sq itself excluded.
Bitboard walkRay(int sq, int df, int dr) {
  Bitboard ray = 0;
  for (int f = fileOf(sq) + df, r = rankOf(sq) + dr; onBoard(f, r); f += df, r += dr)
    ray |= bitOf(f + 8 * r);
  return ray;
}

// Fills a 9-entry list with the on-board targets of the given steps, in step order, then 127.
void buildStepList(uint8_t list[9], int sq, const int (*steps)[2]) {
  int count = 0;
  for (int i = 0; i < 8; i++) {
    int f = fileOf(sq) + steps[i][0], r = rankOf(sq) + steps[i][1];
    if (onBoard(f, r)) list[count++] = uint8_t(f + 8 * r);
  }
  while (count < 9) list[count++] = NO_SQUARE;
}

Bitboard maskOf(const uint8_t list[9]) {
  Bitboard mask = 0;
  for (int i = 0; i < 9 && list[i] != NO_SQUARE; i++) mask |= bitOf(list[i]);
  return mask;
}

Bitboard squaresOf(std::initializer_list<int> squares) {
  Bitboard mask = 0;
  for (int sq : squares) mask |= bitOf(sq);
  return mask;
}

int squareAt(char file, int rank) { return (file - 'a') + 8 * (rank - 1); }

void buildSingleMasks() {
  for (int f = 0; f < 8; f++) fileBit[f] = uint8_t(1u << f);
  for (int i = 0; i < 8; i++) {
    fileMask[i] = FILE_A << i;
    rankMask[i] = RANK_1 << (8 * i);
  }
  for (int f = 0; f < 8; f++) {
    adjacentFiles[f] = (f > 0 ? fileMask[f - 1] : 0) | (f < 7 ? fileMask[f + 1] : 0);
  }
  for (int i = 0; i < 8; i++) {
    ranksUpTo[i] = ranksFrom[i] = filesUpTo[i] = filesFrom[i] = 0;
    forwardRanks[WHITE][i] = forwardRanks[BLACK][i] = 0;
    for (int j = 0; j < 8; j++) {
      if (j <= i) ranksUpTo[i] |= rankMask[j], filesUpTo[i] |= fileMask[j];
      if (j >= i) ranksFrom[i] |= rankMask[j], filesFrom[i] |= fileMask[j];
      if (j > i) forwardRanks[WHITE][i] |= rankMask[j];
      if (j < i) forwardRanks[BLACK][i] |= rankMask[j];
    }
  }
  queensideFiles = fileMask[0] | fileMask[1] | fileMask[2];
  kingsideFiles = fileMask[5] | fileMask[6] | fileMask[7];
}

void buildSpansNeighboursAndDistance() {
  for (int side = WHITE; side <= BLACK; side++) {
    for (int sq = 0; sq < 64; sq++) {
      int f = fileOf(sq), r = rankOf(sq);
      frontSpan[side][sq] = fileMask[f] & forwardRanks[side][r];
      passedSpanSides[side][sq] = adjacentFiles[f] & forwardRanks[side][r];
      passedSpan[side][sq] = frontSpan[side][sq] | passedSpanSides[side][sq];

      Bitboard beside = (f > 0 ? bitOf(sq - 1) : 0) | (f < 7 ? bitOf(sq + 1) : 0);
      // Diagonally behind only where a pawn of that colour can stand.
      Bitboard behind = 0;
      if (side == WHITE && r >= 2)
        behind = (f > 0 ? bitOf(sq - 9) : 0) | (f < 7 ? bitOf(sq - 7) : 0);
      if (side == BLACK && r <= 5)
        behind = (f > 0 ? bitOf(sq + 7) : 0) | (f < 7 ? bitOf(sq + 9) : 0);
      pawnNeighbours[side][sq] = beside | behind;
    }
  }
  for (int a = 0; a < 64; a++)
    for (int b = 0; b < 64; b++)
      kingDistance[a][b] =
          uint8_t(larger(absolute(fileOf(a) - fileOf(b)), absolute(rankOf(a) - rankOf(b))));
}

void buildRookRays() {
  for (int sq = 0; sq < 64; sq++) {
    rayNorth[sq] = walkRay(sq, 0, 1);
    raySouth[sq] = walkRay(sq, 0, -1);
    rayEast[sq] = walkRay(sq, 1, 0);
    rayWest[sq] = walkRay(sq, -1, 0);
    rookRays[sq] = rayNorth[sq] | raySouth[sq] | rayEast[sq] | rayWest[sq];
  }
}

void buildBishopRays() {
  for (int sq = 0; sq < 64; sq++) {
    rayNorthEast[sq] = walkRay(sq, 1, 1);
    rayNorthWest[sq] = walkRay(sq, -1, 1);
    raySouthEast[sq] = walkRay(sq, 1, -1);
    raySouthWest[sq] = walkRay(sq, -1, -1);
    bishopRays[sq] = rayNorthEast[sq] | rayNorthWest[sq] | raySouthEast[sq] | raySouthWest[sq];
  }
}

void buildKnightJumps() {
  // +17, +10, -6, -15, -17, -10, +6, +15 as (file, rank) steps.
  static constexpr int steps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                      {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  for (int sq = 0; sq < 64; sq++) buildStepList(knightJumps[sq], sq, steps);
}

void buildKingNeighbours() {
  // NE, E, SE, S, SW, W, NW, N: the order of king moves in the generator.
  static constexpr int steps[8][2] = {{1, 1},   {1, 0},  {1, -1}, {0, -1},
                                      {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}};
  for (int sq = 0; sq < 64; sq++) buildStepList(kingNeighbours[sq], sq, steps);
}

void buildLineHint() {
  for (int k = 0; k < 64; k++) {
    Bitboard hinted = rookRays[k] | bishopRays[k] | maskOf(knightJumps[k]);
    // Offsets of 7 and 9 are taken literally, so a few squares across the edge are included.
    for (int offset : {7, 9, -7, -9})
      if (k + offset >= 0 && k + offset < 64) hinted |= bitOf(k + offset);
    hinted &= ~bitOf(k);
    for (int s = 0; s < 64; s++) lineHint[k][s] = (hinted & bitOf(s)) ? 2 : 0;
  }
}

void buildBishopTraps() {
  bishopTrapSquaresWhite = squaresOf({squareAt('a', 6), squareAt('h', 6), squareAt('a', 7),
                                      squareAt('h', 7), squareAt('b', 8), squareAt('g', 8)});
  bishopTrapPawnsBlack = squaresOf({squareAt('b', 5), squareAt('g', 5), squareAt('b', 6),
                                    squareAt('g', 6), squareAt('c', 7), squareAt('f', 7)});
  bishopTrapSquaresBlack = squaresOf({squareAt('a', 3), squareAt('h', 3), squareAt('a', 2),
                                      squareAt('h', 2), squareAt('b', 1), squareAt('g', 1)});
  bishopTrapPawnsWhite = squaresOf({squareAt('b', 4), squareAt('g', 4), squareAt('b', 3),
                                    squareAt('g', 3), squareAt('c', 2), squareAt('f', 2)});
}

void buildRankAttacks() {
  for (int f = 0; f < 8; f++) {
    for (int occupied = 0; occupied < 256; occupied++) {
      int files = 0;
      for (int e = f + 1; e < 8; e++) {
        files |= 1 << e;
        if (occupied & (1 << e)) break;
      }
      for (int w = f - 1; w >= 0; w--) {
        files |= 1 << w;
        if (occupied & (1 << w)) break;
      }
      rankAttacks[f][occupied] = uint8_t(files);
    }
  }
}

void buildPieceAttacksAndPawnReach() {
  for (int code = 0; code < PIECE_CODES; code++)
    for (int sq = 0; sq < 64; sq++) pieceAttacks[code][sq] = 0;
  for (int sq = 0; sq < 64; sq++) {
    int f = fileOf(sq), r = rankOf(sq);
    if (r < 7)
      pieceAttacks[WHITE_PAWN][sq] = (f > 0 ? bitOf(sq + 7) : 0) | (f < 7 ? bitOf(sq + 9) : 0);
    if (r > 0)
      pieceAttacks[BLACK_PAWN][sq] = (f > 0 ? bitOf(sq - 9) : 0) | (f < 7 ? bitOf(sq - 7) : 0);
    pieceAttacks[WHITE_KNIGHT][sq] = pieceAttacks[BLACK_KNIGHT][sq] = maskOf(knightJumps[sq]);
    pieceAttacks[WHITE_KING][sq] = pieceAttacks[BLACK_KING][sq] = maskOf(kingNeighbours[sq]);

    pawnReach[WHITE][sq] = pieceAttacks[WHITE_PAWN][sq];
    if (r < 7) pawnReach[WHITE][sq] |= bitOf(sq + 8);
    if (r == 1) pawnReach[WHITE][sq] |= bitOf(sq + 16);
    pawnReach[BLACK][sq] = pieceAttacks[BLACK_PAWN][sq];
    if (r > 0) pawnReach[BLACK][sq] |= bitOf(sq - 8);
    if (r == 6) pawnReach[BLACK][sq] |= bitOf(sq - 16);
  }
}

void buildBetween() {
  for (int a = 0; a < 64; a++) {
    for (int b = 0; b < 64; b++) {
      between[a][b] = 0;
      if (a == b || !((rookRays[a] | bishopRays[a]) & bitOf(b))) continue;
      int step = (b - a) / kingDistance[a][b];
      for (int s = a + step; s != b; s += step) between[a][b] |= bitOf(s);
    }
  }
}

void buildSignatureWeights() {
  static constexpr int32_t byKind[7] = {0, 1, 1024, 256, 64, 16, 4096};
  for (int code = 0; code < PIECE_CODES; code++)
    signatureWeight[code] = (code == 0 || code == EMPTY) ? 0 : byKind[kindOf(uint8_t(code))];
}

}  // namespace

void initTables() {
  buildSingleMasks();
  buildSpansNeighboursAndDistance();
  buildRookRays();
  buildBishopRays();
  initSliderTables();
  buildKnightJumps();
  buildKingNeighbours();
  buildLineHint();
  BuildPawnRunTables();
  BuildThreatTable();
  buildBishopTraps();
  buildRankAttacks();
  buildPieceAttacksAndPawnReach();
  buildBetween();
  buildSignatureWeights();
  buildKpkTable();
}
