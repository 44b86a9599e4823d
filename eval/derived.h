// Tables computed from the evaluation weights: piece values by code, exchange values,
// piece-square tables, passed-pawn, mobility, pawn-run, king-file and threat tables and the
// king-danger scale.
#pragma once

#include <cstdint>

#include "board/types.h"

extern int32_t PieceValueMgByCode[PIECE_CODES];
extern int32_t PieceValueEgByCode[PIECE_CODES];
extern int32_t ExchangeValue[PIECE_CODES];          // ordering values, knight = bishop, king 0
extern int32_t ExchangeValueWithKing[PIECE_CODES];  // the same with the king 10000
extern int32_t PstMg[PIECE_CODES][64];              // black rows carry their own sign
extern int32_t PstEg[PIECE_CODES][64];
extern int32_t PassedPawnTableMg[2][64];
extern int32_t PassedPawnTableEg[2][64];
extern int32_t MobilityTable[PIECE_CODES][32];
extern int32_t PawnRunTableMg[256];
extern int32_t PawnRunTableEg[256];
extern int32_t KingPawnFileDistance[8][256];
extern int32_t ThreatTable[PIECE_CODES][PIECE_CODES][2];  // [attacker][victim][mg, eg]
extern int32_t KingDangerTable[100];
extern int32_t KingRegionTemplate[64];  // king end-game region values, a1 = 0

// Piece values by code from PieceValueMg/PieceValueEg (white and black entries alike).
void BuildPieceValuesByCode();
// ExchangeValue and ExchangeValueWithKing from the middle-game values; built once at start-up.
void BuildExchangeValues();
// Black mobility rows 9..13 as copies of the white rows 2..6 (which are the parameters).
void CopyBlackMobilityRows();
void BuildPieceSquareTables();
void BuildPawnRunTables();
void BuildThreatTable();
void BuildKingDangerTable();
