// The network evaluation in-process: accumulators kept move by move equal those computed from
// scratch, every instruction-set path gives the integers of the file format's formula (worked
// out here independently), colour-flipped positions score alike, and the search's lazily kept
// accumulators give the evaluation of the position they stand for. Damaged files are refused in
// network_protocol_test.cpp, through the option that loads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "board/castling.h"
#include "board/makemove.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/network.h"
#include "search/evaluation.h"
#include "search/thread.h"
#include "tests/network_support.h"
#include "tests/support.h"

namespace {

// Installs a made-up net for one test; the embedded net and the best path come back afterwards.
class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override { initEngineTables(); }
  void TearDown() override {
    std::string error;
    EXPECT_TRUE(installEmbeddedNetwork(error)) << error;
    for (int path = NETWORK_PATHS - 1; path >= 0; --path)
      if (selectNetworkPath(NetworkPath(path))) break;
    useTableEvaluation(true);
  }
  static void install(const QuantisedNetwork& net) {
    std::string error;
    ASSERT_TRUE(installNetwork(net, "test", error)) << error;
  }
  static std::vector<NetworkPath> paths() {
    std::vector<NetworkPath> available;
    for (int path = 0; path < NETWORK_PATHS; ++path)
      if (networkPathAvailable(NetworkPath(path))) available.push_back(NetworkPath(path));
    return available;
  }
};

// Two nets of different shapes: both activations, the largest and a small hidden layer.
std::vector<QuantisedNetwork> testNets() {
  return {randomNetwork(101, 256, ACTIVATION_SCRELU), randomNetwork(202, 32, ACTIVATION_CRELU),
          randomNetwork(303, 64, ACTIVATION_SCRELU, 8),
          randomNetwork(404, 96, ACTIVATION_CRELU, 3)};
}

bool sameAccumulator(const Accumulator& a, const Accumulator& b) {
  const size_t bytes = networkHiddenSize() * sizeof(int16_t);
  return std::memcmp(a.values[WHITE], b.values[WHITE], bytes) == 0 &&
         std::memcmp(a.values[BLACK], b.values[BLACK], bytes) == 0;
}

// The file format's formula straight from the weights, in wide integers.
int referenceOutput(const QuantisedNetwork& net, const Board& board, int side) {
  const int n = int(net.header.hidden), qa = int(net.header.qa);
  // Bucket by piece count: 2 to 5 pieces the first of 8, 30 to 32 the last; 11 wide of 3.
  const int pieces = __builtin_popcountll(board.occupancy[WHITE] | board.occupancy[BLACK]);
  const int width = net.header.buckets == 8 ? 4 : net.header.buckets == 3 ? 11 : 32;
  const size_t bucket = size_t(std::min(pieces - 2, 31) / width);
  std::vector<int64_t> acc[2];
  for (int p = 0; p < 2; ++p) {
    acc[p].assign(net.featureBias.begin(), net.featureBias.end());
    for (int sq = 0; sq < 64; ++sq) {
      const uint8_t code = board.squares[sq];
      if (code == EMPTY) continue;
      const int feature = (sideOfCode(code) == p ? 0 : 384) + 64 * (kindOf(code) - 1) +
                          (p == WHITE ? sq : sq ^ 56);
      for (int i = 0; i < n; ++i) acc[p][i] += net.featureWeights[size_t(feature) * n + i];
    }
  }
  int64_t sum = 0;
  for (int half = 0; half < 2; ++half)
    for (int i = 0; i < n; ++i) {
      const int64_t a =
          std::min<int64_t>(std::max<int64_t>(acc[half == 0 ? side : side ^ 1][i], 0), qa);
      const int64_t activated = net.header.activation == ACTIVATION_SCRELU ? a * a : a;
      sum += activated * net.outputWeights[(2 * bucket + size_t(half)) * n + i];
    }
  if (net.header.activation == ACTIVATION_SCRELU) sum /= qa;
  return int((sum + net.outputBias[bucket]) * net.header.evalScale /
             (int64_t(qa) * net.header.qb));
}

// What kinds of change the random games went through.
struct Coverage {
  int captures = 0, promotions = 0, enPassant = 0, castling = 0, nullMoves = 0;
};

// Plays a random game from `fen`, preferring the moves that change several pieces, and checks
// after every move (and every null move) that the accumulator updated from the parent's equals
// the one computed from scratch.
void checkRandomGame(const std::string& fen, std::mt19937& random, Coverage& seen) {
  static Board boards[2];
  static PlyState states[2];
  static Accumulator kept[2], fresh;
  ASSERT_TRUE(setPosition(boards[0], states[0], fen.c_str())) << fen;
  refreshAccumulator(boards[0], kept[0]);
  for (int ply = 0; ply < 160; ++ply) {
    const int from = ply & 1, to = from ^ 1;
    MoveList list;
    const int count = legalMoves(boards[from], states[from], list);
    if (count == 0) break;
    const bool inCheck = kingAttacked(boards[from], states[from]);
    if (!inCheck && random() % 16 == 0) {
      makeNullMove(boards[from], boards[to], states[from], states[to]);
      ++seen.nullMoves;
    } else {
      std::vector<Move> moves, special;
      for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i];
        if (isNoMove(m)) continue;
        moves.push_back(m);
        if (m.captured != EMPTY || m.kind != MOVE_NORMAL) special.push_back(m);
      }
      const bool pickSpecial = !special.empty() && random() % 2 == 0;
      const Move move = pickSpecial ? special[random() % special.size()]
                                    : moves[random() % moves.size()];
      const bool enPassant = kindOf(boards[from].squares[move.from]) == PAWN &&
                             fileOf(move.from) != fileOf(move.to) &&
                             boards[from].squares[move.to] == EMPTY;
      seen.enPassant += enPassant;
      seen.captures += move.captured != EMPTY && !isCastlingKind(move.kind);
      seen.promotions += isPromotionKind(move.kind);
      seen.castling += isCastlingKind(move.kind);
      makeMove(move, boards[from], boards[to], states[from], states[to]);
    }
    updateAccumulator(kept[from], states[to], kept[to]);
    refreshAccumulator(boards[to], fresh);
    ASSERT_TRUE(sameAccumulator(kept[to], fresh))
        << fen << " after ply " << ply << ": " << boardToFen(boards[to], states[to]);
  }
}

}  // namespace

TEST_F(NetworkTest, TheEmbeddedNetIsInstalledAtStartUp) {
  ASSERT_TRUE(networkInstalled());
  EXPECT_EQ(networkName(), "<default>");
  QuantisedNetwork parsed;
  std::string error;
  EXPECT_TRUE(parseNetwork(embeddedNetworkBytes, embeddedNetworkByteCount, parsed, error)) << error;
}

TEST_F(NetworkTest, IncrementalAccumulatorsEqualARefreshOnEveryPath) {
  std::vector<std::string> standard = {START_FEN};
  std::mt19937 positions(11);
  for (int i = 0; i < 6; ++i) standard.push_back(randomPosition(positions, i % 2 == 0));
  for (const PerftCase& c : loadPerftCases()) standard.push_back(c.fen);
  std::vector<std::string> fischer;
  const std::vector<Chess960Start> starts = loadChess960Starts();
  for (size_t i = 0; i < starts.size(); i += 60) fischer.push_back(starts[i].fen);
  for (const QuantisedNetwork& net : testNets()) {
    install(net);
    for (NetworkPath path : paths()) {
      ASSERT_TRUE(selectNetworkPath(path));
      SCOPED_TRACE(networkPathName(path));
      std::mt19937 random(7);
      Coverage seen;
      for (const std::string& fen : standard)
        for (int game = 0; game < 3; ++game) checkRandomGame(fen, random, seen);
      chess960 = true;
      for (const std::string& fen : fischer) checkRandomGame(fen, random, seen);
      chess960 = false;
      EXPECT_GT(seen.captures, 0);
      EXPECT_GT(seen.promotions, 0);
      EXPECT_GT(seen.enPassant, 0);
      EXPECT_GT(seen.castling, 0);
      EXPECT_GT(seen.nullMoves, 0);
    }
  }
}

TEST_F(NetworkTest, EveryPathGivesTheFormulasIntegersAndFlippedColoursScoreAlike) {
  std::vector<std::string> fens = {START_FEN, "4k3/8/8/8/8/8/4P3/4K3 w - - 60 90"};
  for (const PerftCase& c : loadPerftCases()) fens.push_back(c.fen);
  std::mt19937 random(5);
  for (int i = 0; i < 40; ++i) fens.push_back(randomPosition(random, i % 3 == 0));
  for (const QuantisedNetwork& net : testNets()) {
    install(net);
    for (const std::string& fen : fens) {
      Position p(fen);
      for (NetworkPath path : paths()) {
        ASSERT_TRUE(selectNetworkPath(path));
        Accumulator acc;
        refreshAccumulator(p.board, acc);
        const int pieces =
            __builtin_popcountll(p.board.occupancy[WHITE] | p.board.occupancy[BLACK]);
        for (int side = WHITE; side <= BLACK; ++side)
          EXPECT_EQ(networkOutput(acc, side, pieces), referenceOutput(net, p.board, side))
              << networkPathName(path) << " " << fen << " side " << side;
        // The same position with the colours exchanged is the same for the side to move.
        Position flipped(mirrorFen(fen));
        EXPECT_EQ(networkEvaluationOf(p.board, p.state),
                  networkEvaluationOf(flipped.board, flipped.state))
            << networkPathName(path) << " " << fen;
      }
    }
  }
}

// The search's accumulators along a line that goes forward and back as a search does: each
// evaluation equals the one of its position from scratch, and the root's table score (which the
// FEN reader stores) is replaced by the net's.
TEST_F(NetworkTest, TheSearchLineEvaluatesEachPositionAsFromScratch) {
  install(randomNetwork(303, 64));
  ASSERT_TRUE(useTableEvaluation(false));
  auto thread = std::make_unique<SearchThread>();
  SearchThread& t = *thread;
  EvalCacheEntry* cache = evalCache;
  evalCache = nullptr;  // the accumulators must answer, not the cache
  std::mt19937 random(9);
  for (const PerftCase& c : loadPerftCases()) {
    ASSERT_TRUE(setPosition(t.boards[0], t.states[0], c.fen.c_str()));
    prepareEvaluation(t);
    EXPECT_EQ(t.states[0].staticEval, networkEvaluationOf(t.boards[0], t.states[0])) << c.fen;
    int ply = 0;
    for (int step = 0; step < 400; ++step) {
      MoveList list;
      std::vector<Move> moves;
      for (int i = 0, n = legalMoves(t.boards[ply], t.states[ply], list); i < n; ++i)
        if (!isNoMove(list.moves[i])) moves.push_back(list.moves[i]);
      if (moves.empty() || ply + 1 >= MAX_PLY || random() % 4 == 0) {
        ply = int(random() % (ply + 1));  // back up the line, as a search returns
        continue;
      }
      if (random() % 10 == 0 && !kingAttacked(t.boards[ply], t.states[ply]))
        makeNullMove(t.boards[ply], t.boards[ply + 1], t.states[ply], t.states[ply + 1]);
      else
        makeMove(moves[random() % moves.size()], t.boards[ply], t.boards[ply + 1], t.states[ply],
                 t.states[ply + 1]);
      ++ply;
      // Some nodes are never evaluated, as in a search: their children catch up.
      if (random() % 3 == 0) continue;
      const int score = staticEvaluation(t, ply, t.boards[ply], t.states[ply]);
      PlyState copy = t.states[ply];
      ASSERT_EQ(score, networkEvaluationOf(t.boards[ply], copy))
          << c.fen << " at ply " << ply << ": " << boardToFen(t.boards[ply], t.states[ply]);
    }
  }
  evalCache = cache;
}

// Files written before output buckets (version 1, the word at 36 reserved as 0) still load, as
// one bucket, and evaluate as the same net written as version 2.
TEST_F(NetworkTest, VersionOneFilesLoadAsOneBucket) {
  const QuantisedNetwork net = randomNetwork(707, 64);
  std::vector<uint8_t> older = serialiseNetwork(net);
  older[4] = 1;
  older[36] = 0;
  Position p("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  std::string error;
  ASSERT_TRUE(installNetwork(older.data(), older.size(), "older", error)) << error;
  const int fromOlder = networkEvaluationOf(p.board, p.state);
  install(net);
  EXPECT_EQ(networkEvaluationOf(p.board, p.state), fromOlder);
}
