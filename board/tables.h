// Geometric facts precomputed once at start-up by initTables: masks, rays, attack tables and
// square-pair tables. Nothing here changes afterwards.
#pragma once

#include "board/types.h"

extern uint8_t fileBit[8];  // 1, 2, 4, ..., 128 for files a..h
extern Bitboard fileMask[8], rankMask[8], adjacentFiles[8];
extern Bitboard ranksUpTo[8];    // ranks 1 .. r+1
extern Bitboard ranksFrom[8];    // ranks r+1 .. 8
extern Bitboard filesUpTo[8];    // files a .. f
extern Bitboard filesFrom[8];    // files f .. h
extern Bitboard frontSpan[2][64];       // the square's file in front of it
extern Bitboard passedSpanSides[2][64]; // the adjacent files in front of it
extern Bitboard passedSpan[2][64];      // both
extern Bitboard pawnNeighbours[2][64];  // beside it, plus diagonally behind it
extern Bitboard queensideFiles, kingsideFiles;
extern Bitboard bishopTrapSquaresWhite, bishopTrapPawnsBlack;
extern Bitboard bishopTrapSquaresBlack, bishopTrapPawnsWhite;

// Rays from a square to the board edge, the square itself excluded.
extern Bitboard rayNorth[64], raySouth[64], rayEast[64], rayWest[64], rookRays[64];
extern Bitboard rayNorthEast[64], rayNorthWest[64], raySouthEast[64], raySouthWest[64],
    bishopRays[64];

// King neighbours, valid entries first then NO_SQUARE, in the order NE, E, SE, S, SW, W, NW, N.
extern uint8_t kingNeighbours[64][9];

extern Bitboard pieceAttacks[PIECE_CODES][64];  // pawns, knights, kings; sliders are 0
extern Bitboard pawnReach[2][64];               // attacks plus single and double push squares
extern uint8_t rankAttacks[8][256];             // files a slider on file f attacks along a rank

extern uint8_t kingDistance[64][64];
extern Bitboard between[64][64];
// 2 when s can give or uncover a check on a king standing on k (shared line, diagonal, knight
// jump, or an offset of 7 or 9); 0 otherwise and for s == k.
extern uint8_t lineHint[64][64];

// Material signature weight by piece code.
extern int32_t signatureWeight[PIECE_CODES];

void initTables();
