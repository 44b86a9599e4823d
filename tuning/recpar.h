// "recpar": tunes the evaluation parameters against the reference evaluations of punt5.txt.
#pragma once

#include <string>
#include <vector>

// The reference spread in pawns: the evaluations are rescaled to it.
constexpr double REFERENCE_SPREAD = 1.787918;
// Pairs whose reference lies beyond this many pawns are left out.
constexpr double REFERENCE_LIMIT = 5.0;

struct ReferencePosition {
  std::string fen;
  double reference;  // pawns
};

// Reads the kept pairs of a reference file. A missing file, a FEN the board refuses or a
// reference that is not a number gives one message naming the file and false.
bool loadReferenceFile(const char* path, std::vector<ReferencePosition>& positions);

// The static evaluation of a position in pawns, side to move's view, with the parameters in
// force (the evaluation cache is bypassed).
double evaluateInPawns(const std::string& fen);

// Standard deviation of the evaluations over the positions (Welford); 0 with fewer than two.
double evaluationSpread(const std::vector<ReferencePosition>& positions);

// Sum over the positions of |reference - evaluation * REFERENCE_SPREAD / spread|.
double errorMeasure(const std::vector<ReferencePosition>& positions, double spread);
