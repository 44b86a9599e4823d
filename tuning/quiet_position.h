// Whether a position suits the reference set of "recpar": the tuner compares the static
// evaluation with a searched score, which is only fair where nothing is hanging, that is where
// the quiescence search cannot improve on the static evaluation.
#pragma once

#include <string>

enum class QuietVerdict { QUIET, NOISY, IN_CHECK, NO_LEGAL_MOVE, BAD_FEN };

struct QuietReading {
  QuietVerdict verdict = QuietVerdict::BAD_FEN;
  int staticEval = 0;  // side to move's view; set for QUIET and NOISY
  int quiescence = 0;  // the full-window quiescence result, same view; likewise
};

// Judges one position. The quiescence search runs on the main search thread's records and the
// shared table, so no search may be running meanwhile.
QuietReading readQuietness(const std::string& fen);

// "quiet", "noisy", "check", "nomoves", "badfen".
const char* verdictName(QuietVerdict verdict);
