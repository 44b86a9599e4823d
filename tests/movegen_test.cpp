// Move generation: order and scores of the lists, castling and en-passant legality, evasions,
// the move-list cache, and a brute-force comparison of the legal move sets over many positions.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/movetext.h"
#include "search/counters.h"
#include "tests/test_support.h"

namespace {

void clearMoveCache() {
  std::memset(moveListCache, 0, sizeof(MoveCacheEntry) * MOVE_CACHE_ENTRIES);
}

// Each test starts with empty history and cache and with caching switched off by depth.
class MovegenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initEngineTables();
    clearKillersAndHistory();
    clearMoveCache();
    iterationDepth = 64;
  }
  void setFen(const std::string& fen) { ASSERT_TRUE(setTestPosition(board, state, fen)) << fen; }

  Board board;
  PlyState state;
  MoveList list;
};

std::string text(Move m) { return moveText(m); }

std::vector<std::string> listTexts(const MoveList& list) {
  std::vector<std::string> texts;
  for (int i = 0; i < list.count; ++i)
    if (!isNoMove(list.moves[i])) texts.push_back(text(list.moves[i]));
  return texts;
}

std::set<std::string> legalSet(const Board& board, PlyState& state) {
  MoveList list;
  legalMoves(board, state, list);
  std::vector<std::string> texts = listTexts(list);
  return std::set<std::string>(texts.begin(), texts.end());
}

int scoreOf(const MoveList& list, const std::string& move) {
  for (int i = 0; i < list.count; ++i)
    if (!isNoMove(list.moves[i]) && text(list.moves[i]) == move) return int(list.scores[i]);
  ADD_FAILURE() << move << " not in the list";
  return 0;
}

const SideCodes& codesOf(int side) { return side == WHITE ? whiteCodes : blackCodes; }

bool attackedBy(const Board& board, const PlyState& state, int side, int sq) {
  int direction = 0, square = NO_SQUARE;
  return findCheckers(board, state, codesOf(side), sq, 0, direction, square) != 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Order and scores of the generated lists

TEST_F(MovegenTest, StartPositionPawnsDoublePushFirstThenKnights) {
  setFen(START_FEN);
  generateMoves(board, state, list, 0);
  const std::vector<std::string> expected = {"a2a4", "a2a3", "b2b4", "b2b3", "c2c4", "c2c3", "d2d4",
                                             "d2d3", "e2e4", "e2e3", "f2f4", "f2f3", "g2g4", "g2g3",
                                             "h2h4", "h2h3", "b1a3", "b1c3", "g1f3", "g1h3"};
  EXPECT_EQ(listTexts(list), expected);
  for (int i = 0; i < list.count; ++i) ASSERT_EQ(list.tags[i], 6) << i;
  EXPECT_EQ(state.threatSquare, NO_SQUARE);
}

TEST_F(MovegenTest, PromotionsComeAsQuadruplesAlsoFromCaptureGeneration) {
  setFen("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  generateMoves(board, state, list, 0);
  const std::vector<std::string> moves = listTexts(list);
  ASSERT_GE(moves.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(moves.begin(), moves.begin() + 8),
            (std::vector<std::string>{"a7a8q", "a7a8r", "a7a8n", "a7a8b", "a7b8q", "a7b8r", "a7b8n",
                                      "a7b8b"}));
  const int64_t scores[4] = {60, 41, 40, 39};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(list.scores[i], scores[i % 4]) << i;

  generateCaptures(board, state, list, 0);
  EXPECT_EQ(listTexts(list), (std::vector<std::string>{"a7b8q", "a7b8r", "a7b8n", "a7b8b"}));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list.scores[i], scores[i]);
    EXPECT_EQ(list.moves[i].captured, BLACK_KNIGHT);
  }
}

TEST_F(MovegenTest, BlackPawnsMirrorWhiteOrder) {
  // A black pawn captures towards the h-file (s - 7) before the a-file (s - 9).
  setFen("4k3/8/8/8/2p5/1N1N4/8/4K3 b - - 0 1");
  generateMoves(board, state, list, 0);
  std::vector<std::string> moves = listTexts(list);
  ASSERT_GE(moves.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(moves.begin(), moves.begin() + 3),
            (std::vector<std::string>{"c4c3", "c4d3", "c4b3"}));

  // En passant comes after the ordinary captures and carries the captured pawn's code.
  setFen("4k3/8/8/8/3Pp3/5N2/8/4K3 b - d3 0 1");
  generateMoves(board, state, list, 0);
  moves = listTexts(list);
  ASSERT_GE(moves.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(moves.begin(), moves.begin() + 3),
            (std::vector<std::string>{"e4e3", "e4f3", "e4d3"}));
  EXPECT_EQ(list.moves[1].captured, WHITE_KNIGHT);
  EXPECT_EQ(list.moves[2].captured, WHITE_PAWN);
  EXPECT_EQ(list.scores[2], 0);
}

TEST_F(MovegenTest, ThreatBonusRecaptureAndCaptureScores) {
  // After ...d5-d4 the pawn attacks the knight on c3 and the rook on e3.
  setFen("7k/8/8/1r1p4/8/2N1R3/8/3QK3 b - - 0 1");
  Board child;
  PlyState childState;
  makeMove(Move{35, 27, EMPTY, MOVE_NORMAL}, board, child, state, childState, 0);
  generateMoves(child, childState, list, 1);
  const int knight = ExchangeValue[WHITE_KNIGHT], rook = ExchangeValue[WHITE_ROOK];
  EXPECT_EQ(childState.threatSquare, 20);  // e3: the rook is worth more than the knight
  EXPECT_EQ(scoreOf(list, "c3b1"), knight);
  EXPECT_EQ(scoreOf(list, "e3e5"), rook);
  EXPECT_EQ(scoreOf(list, "c3b5"), 2 * (ExchangeValue[BLACK_ROOK] - knight) + knight);
  EXPECT_EQ(scoreOf(list, "d1d4"), 1100);  // onto the square the opponent just used
  EXPECT_EQ(scoreOf(list, "d1d2"), 0);     // the queen is not attacked: no bonus
  const int kingStep = child.materialMg[WHITE] > 2000 ? -5 : 0;
  EXPECT_EQ(scoreOf(list, "e1f2"), kingStep);

  generateCaptures(child, childState, list, 1);
  EXPECT_EQ(listTexts(list), (std::vector<std::string>{"c3b5", "d1d4"}));
  EXPECT_EQ(childState.threatSquare, 20);  // judged for every piece, capture or not
  EXPECT_EQ(list.scores[0], 2 * (ExchangeValue[BLACK_ROOK] - knight) + knight);
}

TEST_F(MovegenTest, CastlingIsGeneratedWithoutAttackTests) {
  setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  generateMoves(board, state, list, 0);
  std::vector<std::string> moves = listTexts(list);
  ASSERT_GE(moves.size(), 2u);
  EXPECT_EQ(moves[moves.size() - 2], "e1g1");
  EXPECT_EQ(moves.back(), "e1c1");
  EXPECT_EQ(list.moves[list.count - 2].kind, CASTLE_SHORT);
  EXPECT_EQ(list.moves[list.count - 1].kind, CASTLE_LONG);
  EXPECT_EQ(list.scores[list.count - 2], 45);
  EXPECT_EQ(list.scores[list.count - 1], 44);
}

// ---------------------------------------------------------------------------------------------
// Legality: castling, en passant, checks

TEST_F(MovegenTest, CastlingThroughOrIntoAttackedSquares) {
  struct Case {
    const char* fen;
    bool shortLegal, longLegal;
  };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, true},
      {"4kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1", false, true},   // f1 passed over
      {"4k1r1/8/8/8/8/8/8/R3K2R w KQ - 0 1", false, true},  // g1 destination
      {"3rk3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, false},   // d1 passed over
      {"2r1k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, false},  // c1 destination
      {"1r2k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, true},   // only the rook's b1 attacked
      {"4k3/8/8/8/8/8/6p1/R3K2R w KQ - 0 1", false, true},  // pawn on g2 hits f1 and h1
      {"r3k2r/8/7B/8/8/8/8/4K3 b kq - 0 1", false, true},   // bishop h6 sees f8
      {"r3k2r/8/8/8/8/8/8/3QK3 b kq - 0 1", true, false},   // queen on the d-file
  };
  for (const Case& c : cases) {
    setFen(c.fen);
    std::set<std::string> legal = legalSet(board, state);
    const bool white = state.side == WHITE;
    EXPECT_EQ(legal.count(white ? "e1g1" : "e8g8"), c.shortLegal ? 1u : 0u) << c.fen;
    EXPECT_EQ(legal.count(white ? "e1c1" : "e8c8"), c.longLegal ? 1u : 0u) << c.fen;
  }
}

TEST_F(MovegenTest, EnPassantThatUncoversTheKingIsStruckOut) {
  struct Case {
    const char* fen;
    const char* capture;
    bool legal;
  };
  const Case cases[] = {
      {"8/8/8/KPp4r/8/8/8/6k1 w - c6 0 2", "b5c6", false},  // both pawns leave the rank
      {"8/8/8/KPp5/8/8/8/6k1 w - c6 0 2", "b5c6", true},
      {"8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1", "e4d3", false},
      {"8/1k6/8/8/3Pp3/8/8/4K2B b - d3 0 1", "e4d3", false},  // the capturing pawn is pinned
      // The captured pawn alone shields the king on a diagonal.
      {"8/8/1k6/8/3Pp3/8/5B2/4K3 b - d3 0 1", "e4d3", false},
      {"8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", "e4d3", true},  // takes the checking pawn
  };
  for (const Case& c : cases) {
    setFen(c.fen);
    EXPECT_EQ(legalSet(board, state).count(c.capture), c.legal ? 1u : 0u) << c.fen;
  }
}

TEST_F(MovegenTest, FindCheckersReportsDirectionAndSquare) {
  struct Case {
    const char* fen;
    int count, direction, square;
  };
  // The white king on e4 is attacked from each direction in turn.
  const Case cases[] = {
      {"7k/4r3/8/8/4K3/8/8/8 w - - 0 1", 1, 1, 52},           // north, e7
      {"7k/8/8/8/4K3/8/8/4q3 w - - 0 1", 1, 2, 4},            // south, e1
      {"7k/8/8/8/4K1r1/8/8/8 w - - 0 1", 1, 3, 30},           // east, g4
      {"7k/8/8/8/q3K3/8/8/8 w - - 0 1", 1, 4, 24},            // west, a4
      {"7k/7b/8/8/4K3/8/8/8 w - - 0 1", 1, 5, 55},            // north-east, h7
      {"7k/8/2q5/8/4K3/8/8/8 w - - 0 1", 1, 6, 42},           // north-west, c6
      {"7k/8/8/8/4K3/8/6b1/8 w - - 0 1", 1, 7, 14},           // south-east, g2
      {"7k/8/8/8/4K3/8/8/1b6 w - - 0 1", 1, 8, 1},            // south-west, b1
      {"7k/8/5n2/8/4K3/8/8/8 w - - 0 1", 1, 9, 45},           // knight f6
      {"7k/8/8/3p4/4K3/8/8/8 w - - 0 1", 1, 10, 35},          // pawn d5
      {"7k/4r3/4P3/8/4K3/8/8/8 w - - 0 1", 0, 0, NO_SQUARE},  // blocked
      {"7k/8/8/8/4K3/8/3p4/8 w - - 0 1", 0, 0, NO_SQUARE},    // a pawn behind does not attack
      {"7k/4r3/8/8/4K2b/8/8/4q3 w - - 0 1", 2, 0, 0},         // two, stops there
  };
  for (const Case& c : cases) {
    setFen(c.fen);
    int direction = 0, square = NO_SQUARE;
    const int count = findCheckers(board, state, blackCodes, 28, 1, direction, square);
    EXPECT_EQ(count, c.count) << c.fen;
    if (c.count == 1) {
      EXPECT_EQ(direction, c.direction) << c.fen;
      EXPECT_EQ(square, c.square) << c.fen;
    }
    int first = findCheckers(board, state, blackCodes, 28, 0, direction, square);
    EXPECT_EQ(first, c.count ? 1 : 0) << c.fen;
  }
}

TEST_F(MovegenTest, EvasionScores) {
  // Rook a1 checks along the first rank: take it, block on c1, or step off the rank.
  setFen("4k3/8/8/8/8/1N6/8/r3K3 w - - 0 1");
  ASSERT_TRUE(generateNodeMoves(board, state, list, 0));
  EXPECT_EQ(scoreOf(list, "b3a1"), ExchangeValue[BLACK_ROOK] - ExchangeValue[WHITE_KNIGHT]);
  EXPECT_EQ(scoreOf(list, "b3c1"), 0 - WHITE_KNIGHT + 20);
  EXPECT_EQ(scoreOf(list, "e1e2"), ExchangeValue[EMPTY]);
  // f1 lies behind the king on the checking rank: listed by the attack summary, struck out.
  EXPECT_EQ(legalSet(board, state),
            (std::set<std::string>{"b3a1", "b3c1", "e1d2", "e1e2", "e1f2"}));

  setFen("8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1");
  ASSERT_TRUE(generateNodeMoves(board, state, list, 0));
  EXPECT_EQ(scoreOf(list, "e4d3"), 140);
}

// ---------------------------------------------------------------------------------------------
// The move-list cache

TEST_F(MovegenTest, CacheStoresOnlySmallListsOfShallowIterations) {
  auto cachedFor = [](const Board& b) {
    const MoveCacheEntry& e = moveListCache[uint32_t(b.key) & (MOVE_CACHE_ENTRIES - 1)];
    return e.key == b.key;
  };
  setFen(START_FEN);
  iterationDepth = 3;
  generateMoves(board, state, list, 4);  // ply too deep
  EXPECT_FALSE(cachedFor(board));
  iterationDepth = 4;
  generateMoves(board, state, list, 0);  // iteration too deep
  EXPECT_FALSE(cachedFor(board));
  iterationDepth = 3;
  generateMoves(board, state, list, 3);
  EXPECT_TRUE(cachedFor(board));

  // 218 legal moves: far too many for an entry.
  setFen("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1");
  iterationDepth = 1;
  generateMoves(board, state, list, 0);
  EXPECT_GE(list.count, 122);
  EXPECT_FALSE(cachedFor(board));
  EXPECT_EQ(legalMoves(board, state, list), 218);
}

TEST_F(MovegenTest, CacheHitGivesTheSameListRescored) {
  setFen("7k/8/8/1r1p4/8/2N1R3/8/3QK3 b - - 0 1");
  Board child;
  PlyState childState;
  makeMove(Move{35, 27, EMPTY, MOVE_NORMAL}, board, child, state, childState, 0);
  iterationDepth = 1;
  generateMoves(child, childState, list, 1);
  const std::vector<std::string> fresh = listTexts(list);
  const uint8_t threat = childState.threatSquare;

  history[WHITE_KNIGHT][1] = 33;  // b1
  childState.threatSquare = 0;
  MoveList again;
  again.tags[0] = 1;
  generateMoves(child, childState, again, 1);
  EXPECT_EQ(listTexts(again), fresh);
  EXPECT_EQ(childState.threatSquare, threat);
  EXPECT_EQ(again.tags[0], 6);
  EXPECT_EQ(scoreOf(again, "c3b1"), 33);  // history, without the threat bonus
  EXPECT_EQ(scoreOf(again, "d1d4"), 1100);
  EXPECT_EQ(scoreOf(again, "c3b5"), ExchangeValue[BLACK_ROOK] - ExchangeValue[WHITE_KNIGHT]);
}

// ---------------------------------------------------------------------------------------------
// Brute force: the protocol's legal moves equal the pseudo-legal moves whose made position leaves
// the mover's king unattacked, over the trees below many positions.

namespace {

struct BruteForceStats {
  long nodes = 0, inCheck = 0, enPassant = 0, castles = 0, promotions = 0;
};

// Legal by making the move and looking at the mover's king; castling also needs the king's
// square and the passed-over square free of attack before the move.
std::set<std::string> bruteForceLegal(const Board& board, PlyState& state, int ply,
                                      BruteForceStats& stats) {
  MoveList pseudo;
  generateMoves(board, state, pseudo, MAX_PLY);
  std::set<std::string> legal;
  const int us = state.side;
  for (int i = 0; i < pseudo.count; ++i) {
    const Move m = pseudo.moves[i];
    if (m.kind == CASTLE_SHORT || m.kind == CASTLE_LONG) {
      const int passed = m.kind == CASTLE_SHORT ? m.to - 1 : m.to + 1;
      if (attackedBy(board, state, us ^ 1, m.from) || attackedBy(board, state, us ^ 1, passed))
        continue;
    }
    Board& child = searchBoards[ply + 1];
    PlyState& childState = searchStates[ply + 1];
    makeMove(m, board, child, state, childState, ply);
    originOf[m.to] = savedOrigin[ply];
    if (attackedBy(child, childState, childState.side, child.kingSquare[us])) continue;
    legal.insert(text(m));
    if (m.kind == CASTLE_SHORT || m.kind == CASTLE_LONG) stats.castles++;
    if (isPromotionKind(m.kind)) stats.promotions++;
    if (kindOf(board.squares[m.from]) == PAWN && board.squares[m.to] == EMPTY &&
        fileOf(m.from) != fileOf(m.to))
      stats.enPassant++;
  }
  return legal;
}

void compareTree(const Board& board, PlyState& state, int ply, int depth, BruteForceStats& stats) {
  stats.nodes++;
  const std::string where = boardToFen(board, state);
  const bool reallyInCheck = attackedBy(board, state, state.side ^ 1, board.kingSquare[state.side]);

  MoveList list;
  int checkers = 0;
  const bool evasions = generateNodeMoves(board, state, list, MAX_PLY, &checkers);
  ASSERT_EQ(evasions, reallyInCheck) << where;
  if (evasions) stats.inCheck++;
  std::set<std::string> protocol;
  MoveList wholeList = list;
  if (!evasions) filterLegal(board, state, wholeList.moves, wholeList.count);
  for (int i = 0; i < list.count; ++i) {
    Move m = list.moves[i];
    if (isNoMove(m)) continue;
    if (!evasions) filterLegal(board, state, &m, 1);
    // Filtering one move at a time and the whole list at once agree.
    ASSERT_EQ(isNoMove(m), isNoMove(wholeList.moves[i])) << where << " " << text(list.moves[i]);
    if (isNoMove(m)) continue;
    ASSERT_TRUE(protocol.insert(text(m)).second) << where << " duplicate " << text(m);
  }
  ASSERT_EQ(protocol, bruteForceLegal(board, state, ply, stats)) << where;

  // The capture generator lists exactly the captures of the full list.
  MoveList all, captures;
  generateMoves(board, state, all, MAX_PLY);
  generateCaptures(board, state, captures, MAX_PLY);
  std::multiset<std::string> expectedCaptures, gotCaptures;
  for (int i = 0; i < all.count; ++i)
    if (all.moves[i].captured != EMPTY) expectedCaptures.insert(text(all.moves[i]));
  for (int i = 0; i < captures.count; ++i) gotCaptures.insert(text(captures.moves[i]));
  ASSERT_EQ(gotCaptures, expectedCaptures) << where;

  if (depth <= 1) return;
  for (int i = 0; i < list.count; ++i) {
    Move m = list.moves[i];
    if (isNoMove(m)) continue;
    if (!evasions) filterLegal(board, state, &m, 1);
    if (isNoMove(m)) continue;
    makeMove(m, board, searchBoards[ply + 1], state, searchStates[ply + 1], ply);
    compareTree(searchBoards[ply + 1], searchStates[ply + 1], ply + 1, depth - 1, stats);
    originOf[m.to] = savedOrigin[ply];
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace

TEST_F(MovegenTest, LegalSetsEqualBruteForceOverManyPositions) {
  std::vector<std::pair<std::string, int>> roots;
  for (const PerftCase& c : loadPerftCases()) roots.push_back({c.fen, 3});
  ASSERT_EQ(roots.size(), 7u) << "the shared perft file was not found";
  const char* tricky[] = {
      // Pins on every line, en passant against pins, on rank and diagonal.
      "8/8/8/KPp4r/8/8/8/6k1 w - c6 0 2",
      "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1",
      "8/1k6/8/8/3Pp3/8/8/4K2B b - d3 0 1",
      "8/8/1k6/8/3Pp3/8/5B2/4K3 b - d3 0 1",
      "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
      "4k3/4r3/8/1b6/8/3N1P2/4B3/r3K2R w K - 0 1",
      "3q3k/8/8/8/8/3R4/3K4/8 w - - 0 1",
      // Checks by each kind of piece, with blocks, captures and x-rays past the king.
      "4k3/8/8/8/8/8/3p4/R3K2R w KQ - 0 1",
      "4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1",  // castling rights while in check
      "4k3/8/8/8/8/3n4/8/R3K2R w KQ - 0 1",
      "4k3/8/8/b7/8/2N5/8/R3K1NR w KQ - 0 1",
      "4k3/8/8/8/8/1N6/8/r3K3 w - - 0 1",
      "4k3/8/8/8/7q/8/3PP3/2B1KB2 w - - 0 1",
      "4k3/8/8/8/4q3/8/4P3/3QK3 w - - 0 1",
      "4k3/8/3N4/8/8/8/8/4R1K1 b - - 0 1",
      "4k3/8/8/1B6/8/8/4R3/4K3 b - - 0 1",
      // Promotions, with and without check, and the en-passant pawn giving check.
      "3r3k/4P3/8/8/8/8/8/K7 w - - 0 1",
      "1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1",
      "4k3/8/8/8/8/8/1p6/R3K3 b - - 0 1",
      "8/8/8/8/5p2/8/4P3/5K1k w - - 0 1",
      // Mate and stalemate.
      "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
      "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
  };
  for (const char* fen : tricky) roots.push_back({fen, 4});
  // Crowds of promoted pieces: wide trees, so one ply less.
  roots.push_back({"8/PPPPPPPP/8/3k4/8/3K4/pppppppp/8 w - - 0 1", 3});
  roots.push_back({"k7/8/8/8/8/8/1QQQQQ2/4K3 b - - 0 1", 3});

  BruteForceStats stats;
  for (const auto& root : roots) {
    static Board board0;
    static PlyState state0;
    ASSERT_TRUE(setTestPosition(board0, state0, root.first)) << root.first;
    compareTree(board0, state0, 1, root.second, stats);
    if (HasFatalFailure()) return;
  }
  // The walk must really have met the special cases.
  EXPECT_GT(stats.nodes, 30000);
  EXPECT_GT(stats.inCheck, 2000);
  EXPECT_GT(stats.enPassant, 40);
  EXPECT_GT(stats.castles, 3000);
  EXPECT_GT(stats.promotions, 20000);
}
