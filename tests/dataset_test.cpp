// The quiet test that chooses the positions of the tuner's reference set: a position is kept only
// when the side to move stands out of check, has a move, and the quiescence search cannot improve
// on the static evaluation, which is read from the side to move's view, as "recpar" reads it.
#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "tests/support.h"
#include "tuning/quiet_position.h"

namespace {

struct QuietCase {
  const char* fen;
  QuietVerdict verdict;
  const char* why;
};

const QuietCase QUIET_CASES[] = {
    {START_FEN, QuietVerdict::QUIET, "no capture at all"},
    {"r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", QuietVerdict::QUIET,
     "captures exist only in the future"},
    {"4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1", QuietVerdict::QUIET,
     "the only capture loses the queen to the recapture"},
    {"4k3/pppp4/8/3q4/8/2N5/PPPP4/4K3 w - - 0 1", QuietVerdict::NOISY, "the knight wins the queen"},
    {"4k3/8/8/8/8/2n5/8/2R1K3 w - - 0 1", QuietVerdict::NOISY, "the rook takes a loose knight"},
    {"4k3/8/8/8/8/2n5/8/2R1K3 b - - 0 1", QuietVerdict::QUIET, "the knight may just move away"},
    {"4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", QuietVerdict::IN_CHECK, "the rook gives check"},
    {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", QuietVerdict::IN_CHECK, "mated"},
    {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", QuietVerdict::NO_LEGAL_MOVE, "stalemate"},
    {"not a position", QuietVerdict::BAD_FEN, "refused by the board"},
    {"8/8/8/8/8/8/8/8 w - - 0 1", QuietVerdict::BAD_FEN, "no kings"},
};

// Each verdict as the table says; the evaluation read from the side to move's view; and a
// verdict the same when read again after the others (nothing carried over between positions).
TEST(QuietPositions, VerdictsOfATable) {
  initEngineTables();
  std::vector<QuietReading> first;
  for (const QuietCase& c : QUIET_CASES) {
    const QuietReading reading = readQuietness(c.fen);
    first.push_back(reading);
    EXPECT_EQ(verdictName(reading.verdict), std::string(verdictName(c.verdict)))
        << c.fen << " (" << c.why << ")";
    if (reading.verdict == QuietVerdict::QUIET) {
      EXPECT_EQ(reading.quiescence, reading.staticEval) << c.fen;
    } else if (reading.verdict == QuietVerdict::NOISY) {
      EXPECT_GT(reading.quiescence, reading.staticEval) << c.fen << ": a capture helps the mover";
    } else {
      continue;
    }
    const bool whiteToMove = Position(c.fen).state.side == WHITE;
    EXPECT_EQ(reading.staticEval, whiteToMove ? whiteEval(c.fen) : -whiteEval(c.fen)) << c.fen;
  }
  for (size_t i = std::size(QUIET_CASES); i-- > 0;) {
    const QuietReading again = readQuietness(QUIET_CASES[i].fen);
    EXPECT_EQ(again.verdict, first[i].verdict) << QUIET_CASES[i].fen;
    EXPECT_EQ(again.quiescence, first[i].quiescence) << QUIET_CASES[i].fen;
  }
}

}  // namespace
