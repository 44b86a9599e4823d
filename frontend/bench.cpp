#include "frontend/bench.h"

#include "board/castling.h"
#include "board/fen.h"
#include "board/movetext.h"
#include "frontend/engine_state.h"
#include "frontend/evaluation_options.h"
#include "frontend/input.h"
#include "frontend/search_commands.h"
#include "search/time_control.h"
#include "search/tt.h"

// Openings, middle games with either side to move, tactics, pawn and piece endings, positions in
// check, promotions, en passant and castling rights.
extern const char* const benchPositions[];
const char* const benchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbqkb1r/pp1ppppp/5n2/2p5/4P3/2N5/PPPP1PPP/R1BQKBNR w KQkq - 2 3",
    "r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 1 7",
    "r2q1rk1/pp2bppp/2n1pn2/2pp4/3P1B2/2PBPN2/PP1N1PPP/R2QK2R w KQ - 4 9",
    "2rq1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/2RQ1RK1 b - - 3 11",
    "r1b2rk1/2q1bppp/p1nppn2/1p6/3NP3/1BN1B3/PPP1QPPP/2KR3R w - - 4 11",
    "3r1rk1/pp3pbp/1qp1b1p1/2B5/2BP4/Q1n2N2/P4PPP/3RK2R b K - 0 16",
    "r1bbk1nr/pp3p1p/2n5/1N4p1/2Np1B2/8/PPP2PPP/2KR1B1R w kq - 0 13",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 19",
    "r3r1k1/2p2ppp/p1p1bn2/8/1q2P3/2NPQN2/PPP3PP/R4RK1 b - - 2 15",
    "6k1/6p1/6Pp/ppp5/3pn2P/1P3K2/1PP2P2/3N4 b - - 0 1",
    "3b4/5kp1/1p1p1p1p/pP1PpP1P/P1P1P3/3KN3/8/8 w - - 0 1",
    "8/8/1p1k4/5ppp/PPK1p3/6P1/5PP1/8 b - - 0 1",
    "8/3k4/8/8/8/4B3/4KB2/2B5 w - - 0 1",
    "8/8/8/3k4/8/8/1K6/R7 w - - 0 1",
    "8/6pk/1p6/8/PP3p1p/5P2/4KP1q/3Q4 w - - 0 1",
    "7k/3p2pp/4q3/8/4Q3/5Kp1/P6b/8 w - - 0 1",
    "8/2p5/8/2kPKp1p/2p4P/2P5/3P4/8 w - - 0 1",
    "8/1p3pp1/7p/5P1P/2k3P1/8/2K2P2/8 w - - 0 1",
    "8/pp2r1k1/2p1p3/3pP2p/1P1P1P1P/P5KR/8/8 w - - 0 1",
    "5k2/7R/4P2p/5K2/p1r2P1p/8/8/8 b - - 0 1",
    "6k1/5p2/6p1/8/7p/8/6PP/6K1 b - - 0 1",
    "2K5/p7/7P/5pR1/8/5k2/r7/8 w - - 0 1",
    "8/8/8/8/5kp1/P7/8/1K1N4 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4",
};
const int benchPositionCount = int(sizeof benchPositions / sizeof benchPositions[0]);

int64_t runBench() {
  // The positions are standard chess: the signature must not depend on UCI_Chess960.
  const bool savedChess960 = chess960;
  chess960 = false;
  // A limited-strength game may have left the table playing: bench measures the chosen evaluation.
  selectSearchEvaluation(false);
  // Lines typed behind "bench" run after it, "quit" included, so that a script's "bench" then
  // "quit" gets its signature; "stop" alone ends it, and the node total of a cut search would be
  // a false signature.
  const bool savedQuitWaits = quitWaitsForCommand;
  quitWaitsForCommand = true;
  int64_t total = 0;
  bool cutShort = false;
  const int64_t start = nowMs();
  for (int i = 0; i < benchPositionCount && !cutShort; ++i) {
    // Each position is a game line of its own; the game line of the protocol stays as it is.
    Board board;
    PlyState state;
    if (!setPosition(board, state, benchPositions[i])) continue;
    clearAllHashTables();
    SearchRequest request;
    request.lineBoards = &board;
    request.lineStates = &state;
    request.limits.goFlags = GO_DEPTH;
    request.limits.depth = BENCH_DEPTH;
    request.printInfo = false;
    searchMode = SEARCH_OWN_CLOCK;
    const SearchResult result = runSearch(request);
    searchMode = SEARCH_IDLE;
    if (result.interrupted) {
      cutShort = true;
      break;
    }
    total += result.nodes;
    emitLine("Position %2d/%d: bestmove %s nodes %lli\n", i + 1, benchPositionCount,
             isNoMove(result.best) ? "0000" : moveText(result.best).c_str(),
             (long long)result.nodes);
  }
  int64_t elapsed = nowMs() - start;
  if (elapsed < 1) elapsed = 1;
  chess960 = savedChess960;
  quitWaitsForCommand = savedQuitWaits;
  clearAllHashTables();

  // The "stop" stays waiting and runs next, as any "stop" at the prompt does.
  if (cutShort) {
    emitLine("info string bench stopped: cut short, no signature\n");
    return -1;
  }
  emitLine("Nodes searched: %lli\n", (long long)total);
  emitLine("Nodes/second: %lli\n", (long long)(total * 1000 / elapsed));
  return total;
}
