// The evaluation weights and the numbered parameter table over them. Every external form of the
// weights (the embedded default text, parameter files) is one line per table entry, in order.
// The table's rows (names, bounds, what each feeds) are in eval/params.cpp; the default values
// are eval/default_params.txt alone.
#pragma once

#include <cstdint>
#include <string>

// ---- The weights, in table order ----
extern int32_t PieceValueMg[6];  // pawn..queen; [5] is the king's, always 0, not in the table
extern int32_t PieceValueEg[6];
extern int32_t TempoMg, TempoEg;
extern int32_t RookShutInByKing, RookShutInNoCastling;
extern int32_t RookHalfOpenFile, RookOpenFile, RookFileAttacked;
extern int32_t RooksSameFile;
extern int32_t MajorOnSixth, MajorOnSeventh, MajorOnSeventhKingBehind, MajorOnEighth;
extern int32_t BishopPairMg, BishopPairEg, BishopPairManyPawns, BishopPairNoMinors;
extern int32_t BishopTrapped, BishopTrappedSixth;
extern int32_t BishopPawnColourMg, BishopPawnColourEg;
extern int32_t BishopBlocksCentrePawn;
extern int32_t BishopCentreBlockMg, BishopCentreBlockEg;
extern int32_t BishopBothWingsMg, BishopBothWingsEg;
extern int32_t CentreFileDoubled;
extern int32_t BackwardPawnByFile[8];
extern int32_t BackwardPawnHalfOpen;
extern int32_t UnsupportedPawnAttackedMg, UnsupportedPawnAttackedEg;
extern int32_t BackwardStopAttacked, BackwardStopOccupied, BackwardBlockedByPawn;
extern int32_t PassedPawnFreePath;
extern int32_t LongRangeByCentrePawns[9];
extern int32_t KnightPawnSupport;
extern int32_t KnightOutpostMg[8], KnightOutpostEg[8];
extern int32_t KnightKingDistance[7];
extern int32_t KnightAdvancedNoRetreat, KnightBlocksCPawn, KnightNoSafeSquare;
extern int32_t KingLostCastling;
extern int32_t CornerKnightRook;
extern int32_t DevelopmentPenalty[11];
extern int32_t DoubledPawnMg, DoubledPawnEg;
extern int32_t PawnRunMg[9], PawnRunEg[9];
extern int32_t PawnSquareMg[24], PawnSquareEg[24];
extern int32_t PassedPawnMg[6], PassedPawnEg[6];
extern int32_t RookSquareEg;
extern int32_t KnightSquareMg[32];
extern int32_t KingRegionEg[9];
extern int32_t PassedEnemyKingDistance[7], PassedOwnKingDistance[7];
extern int32_t PassedKingOnPath;
// Imbalance rows: six middle-game values then six end-game values, by pawn difference 0..5.
extern int32_t ImbalanceKnight[12];
extern int32_t ImbalanceBishop[12];
extern int32_t ImbalanceKnightRook[12];
extern int32_t ImbalanceBishopRook[12];
extern int32_t ImbalanceTwoMinorsRook[12];
extern int32_t ImbalanceQueenRookKnight[12];
extern int32_t ImbalanceQueenRookBishop[12];
extern int32_t ImbalanceQueenRookBishopPair[12];
extern int32_t QueenVsRooks[5];
// The mobility weights come next in the table: they are the white rows of MobilityTable
// (eval/derived.h), knight to king.
extern int32_t TradeDownShift, TradeDownBonus;
extern int32_t MinorsUnprotectedMg, MinorsUnprotectedEg;
extern int32_t ThreatValue[20];  // (mg, eg) pairs
extern int32_t RookFileEnemyQueen;
extern int32_t KnightKingAttackWeight, BishopKingAttackWeight, RookKingAttackWeight;
extern int32_t KingAttackWeight[6];
extern int32_t KingDangerBase, KingDangerStep;
extern int32_t KingAttackersBonus[8];

// Fixed pawn-shelter unit of king safety (not a table entry).
extern int32_t ShelterUnit;

// ---- The parameter table ----
struct EvalParam {
  int32_t* var;  // the weight this entry reads and writes
  int32_t step;  // tuner state: direction of the next trial, or passes left to sit out
  int32_t min;
  int32_t max;
  int32_t spare;
};

constexpr int EVAL_PARAM_COUNT = 457;
extern EvalParam evalParams[EVAL_PARAM_COUNT];
extern int evalParamCount;  // entries the writer and the tuners walk

// The derived table (eval/derived.h) an entry is read through, which must be rebuilt when the
// entry changes; NOTHING for the weights the evaluation reads as they are. KING_DANGER stays
// last: RebuildAllDerivedTables walks them all.
enum class EvalParamFeeds : uint8_t {
  NOTHING,
  PIECE_VALUES,    // piece values by code
  PAWN_RUNS,       // pawn-run tables
  PIECE_SQUARES,   // piece-square and passed-pawn tables, king end-game regions
  BLACK_MOBILITY,  // black copies of the mobility rows
  THREATS,         // threat table
  KING_DANGER,     // king-danger scale
};

// Name of an entry for messages, e.g. "KnightMobility[0]".
std::string evalParamName(int index);
// What an entry feeds; NOTHING outside the table.
EvalParamFeeds evalParamFeeds(int index);

// The weights outside the table (the king's piece values, the shelter unit). Table entries are
// left at 0: their defaults are the embedded text's, stored by LoadEmbeddedEvalParams.
void InitEvalDefaults();
void SetupEvalParamTable();
void LoadEmbeddedEvalParams();
// The embedded text's reader on any text: stores lines from entry 0 on, stops at the first line
// whose value is not a number, and returns the number of entries stored.
int LoadEvalParamText(const char* text);
// Reads a parameter file through the table. A file that cannot be opened prints the classic
// message and ends the process with code 0; a malformed line prints a message naming the file
// and the line and ends the process with code 1. Lines past the last entry are ignored.
void LoadEvalParamFile(const char* path);
// The same check without ending the process: false with a message in `error`.
bool TryLoadEvalParamFile(const char* path, std::string* error);
// Writes the first evalParamCount entries to `baseName` followed by the decimal `number`.
bool WriteEvalParamFile(const char* baseName, int number);
// The same under a name of the caller's choosing.
bool WriteEvalParamFileAt(const char* path);
// The king-danger scale (KingDangerBase, KingDangerStep) is fixed whatever a loaded text says; only
// a tuner moves it afterwards.
void ForceFixedEvalValues();
void DeriveEvalValues();
// The whole evaluation start-up in one call: fixed values, table, embedded text, derived
// values and every derived table. Tests use it to put the defaults back.
void ResetEvalParamsToDefaults();
// After a tuner changed one entry: rebuilds the derived table the entry feeds.
void ApplyEvalParamChange(int index);
// Rebuilds every derived table from the current values (after a file load).
void RebuildAllDerivedTables();

// "juntarfit": reloads the tuning output file, restores steps, bounds and the count, and writes it
// back with 999 appended. A missing or malformed file is reported and changes nothing.
void ReloadTuningParams();
constexpr const char* TUNING_PARAM_FILE = "valorsx12.txt1";
