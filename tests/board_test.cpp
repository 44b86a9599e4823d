// The board: published perft counts, the incrementally made board against the board rebuilt
// from its mailbox over random games, legal move sets (and perft's count of them) against a
// brute-force walk, FEN set-up and the king-and-pawn table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <random>
#include <set>

#include "board/castling.h"
#include "board/kpk.h"
#include "board/makemove.h"
#include "board/perft.h"
#include "board/tables.h"
#include "tests/support.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int PERFT_DEPTH = 3;  // the Release run goes deeper
#else
constexpr int PERFT_DEPTH = 5;
#endif

TEST(Perft, StandardPositionsMatchPublishedCounts) {
  const std::vector<PerftCase> cases = loadPerftCases();
  ASSERT_EQ(cases.size(), 7u) << "tests/data/perft_standard.txt missing or changed";
  for (const PerftCase& c : cases) {
    for (int depth = 1; depth <= PERFT_DEPTH && depth < int(c.counts.size()); ++depth) {
      Position p(c.fen);
      EXPECT_EQ(perft(p.board, p.state, depth), c.counts[depth]) << c.fen << " depth " << depth;
    }
  }
}

// ---- Made against rebuilt ----

// The board with its piece lists in square order (slider sets and list indexes following) and
// unused slots cleared, so that two boards of one position are equal byte for byte. Copies go
// through memcpy so that padding bytes are equal too.
void canonicalise(Board& b) {
  for (int code = 0; code < PIECE_CODES; ++code) {
    std::vector<std::pair<int, Bitboard>> pieces;
    for (int i = 0; i < b.pieceCount[code] && i < LIST_CAPACITY; ++i)
      pieces.push_back({b.pieceList[code][i], isSliderCode(code) ? sliderSlot(b, code, i) : 0});
    std::sort(pieces.begin(), pieces.end());
    for (int i = 0; i < LIST_CAPACITY; ++i) {
      const bool used = i < int(pieces.size());
      b.pieceList[code][i] = used ? uint8_t(pieces[i].first) : NO_SQUARE;
      if (used) b.listIndex[pieces[i].first] = uint8_t(i);
      if (isSliderCode(code)) sliderSlot(b, code, i) = used ? pieces[i].second : 0;
    }
  }
  for (int sq = 0; sq < 64; ++sq)
    if (b.squares[sq] == EMPTY) b.listIndex[sq] = 0;
}

#define FIELD(name) \
  { #name, offsetof(Board, name), sizeof(Board::name) }
struct Field {
  const char* name;
  size_t offset, size;
} const boardFields[] = {
    FIELD(squares),        FIELD(castling),          FIELD(kingSquare),   FIELD(key),
    FIELD(materialMg),     FIELD(materialEg),        FIELD(pstMg),        FIELD(pstEg),
    FIELD(pieceCount),     FIELD(materialSignature), FIELD(pawnFileMask), FIELD(pawnsOnFile),
    FIELD(castlingRook),   FIELD(pieceBitboards),    FIELD(occupancy),    FIELD(pieceList),
    FIELD(listIndex),      FIELD(sliderAttacks),     FIELD(origin)};
#undef FIELD

// Names the first field where two boards differ ("" when they are equal).
std::string firstDifference(const Board& made, const PlyState& madeState) {
  Board a, b;
  PlyState rebuiltState;
  std::memcpy(&a, &made, sizeof a);
  std::memcpy(&b, &made, sizeof b);
  std::memcpy(&rebuiltState, &madeState, sizeof rebuiltState);
  rebuildFromSquares(b, rebuiltState);
  canonicalise(a);
  canonicalise(b);
  const auto* x = reinterpret_cast<const unsigned char*>(&a);
  const auto* y = reinterpret_cast<const unsigned char*>(&b);
  for (size_t i = 0; i < sizeof(Board); ++i) {
    if (x[i] == y[i]) continue;
    for (const Field& f : boardFields)
      if (i >= f.offset && i < f.offset + f.size) return std::string("Board::") + f.name;
    return "Board padding at byte " + std::to_string(i);
  }
  // Every attack summary, pawns to all pieces, lies in one block of the state.
  const size_t first = offsetof(PlyState, pawnAttacks);
  const size_t end = offsetof(PlyState, attacksAll) + sizeof(PlyState::attacksAll);
  if (std::memcmp(reinterpret_cast<const char*>(&madeState) + first,
                  reinterpret_cast<const char*>(&rebuiltState) + first, end - first) != 0)
    return "attack summaries";
  // Make-move only marks a possible check (2); a real check must never go unmarked.
  if (rebuiltState.checkState && !madeState.checkState) return "checkState";
  return "";
}

// The rules of chess, kept beside the game: castling rights, the fifty-move clock, en passant.
// A right goes with any move from or to its king's or its rook's start square (Chess960 too).
struct RulesTracker {
  uint8_t castling[4];
  int homes[4][2];  // king and rook start squares of each right
  int clock;
  explicit RulesTracker(const Position& start) {
    std::memcpy(castling, start.board.castling, 4);
    for (int r = 0; r < 4; ++r) {
      homes[r][0] = start.board.kingSquare[r / 2];
      homes[r][1] = start.board.castlingRook[r];
    }
    clock = start.state.halfmoveClock;
  }
  void play(const Board& before, Move m) {
    for (int r = 0; r < 4; ++r)
      for (int sq : homes[r])
        if (m.from == sq || m.to == sq) castling[r] = 0;
    const bool pawn = kindOf(before.squares[m.from]) == PAWN;
    clock = pawn || m.captured != EMPTY ? 0 : clock + 1;
  }
};

struct WalkStats {
  long moves = 0, captures = 0, enPassant = 0, castles = 0, promotions = 0;
};

void playRandomGames(const std::string& fen, unsigned seed, WalkStats& stats) {
  std::mt19937 rng(seed);
  static Board boards[2];
  static PlyState states[2];
  for (int game = 0; game < 40; ++game) {
    Position start(fen);
    std::memcpy(&boards[0], &start.board, sizeof(Board));
    std::memcpy(&states[0], &start.state, sizeof(PlyState));
    RulesTracker rules(start);
    for (int ply = 0, at = 0; ply < 200; ++ply, at ^= 1) {
      MoveList list;
      const int count = legalMoves(boards[at], states[at], list);
      if (count == 0) break;
      const Move m = list.moves[rng() % count];
      const Board& parent = boards[at];
      const bool toEmpty = parent.squares[m.to] == EMPTY;
      const bool pawn = kindOf(parent.squares[m.from]) == PAWN;
      stats.captures += m.captured != EMPTY;
      stats.enPassant += pawn && toEmpty && fileOf(m.from) != fileOf(m.to);
      stats.castles += m.kind == CASTLE_SHORT || m.kind == CASTLE_LONG;
      stats.promotions += isPromotionKind(m.kind);
      ++stats.moves;
      rules.play(parent, m);
      const std::string where = boardToFen(parent, states[at]) + " " + moveText(m);
      makeMove(m, parent, boards[at ^ 1], states[at], states[at ^ 1]);
      const Board& child = boards[at ^ 1];
      const PlyState& childState = states[at ^ 1];
      ASSERT_EQ(firstDifference(child, childState), "") << where;
      ASSERT_EQ(std::memcmp(child.castling, rules.castling, 4), 0) << where;
      ASSERT_EQ(childState.halfmoveClock, uint8_t(rules.clock)) << where;
      ASSERT_EQ(childState.epSquare, pawn && std::abs(m.to - m.from) == 16 ? m.to : NO_SQUARE)
          << where;
      if (rng() % 16 == 0 && !kingAttacked(child, childState)) {
        Board nullBoard;
        PlyState nullState;
        makeNullMove(child, nullBoard, childState, nullState);
        ASSERT_EQ(firstDifference(nullBoard, nullState), "") << where << " then a null move";
      }
    }
  }
}

TEST(MadeBoard, EqualsTheRebuiltBoardAndFollowsTheRulesOverRandomGames) {
  const char* fens[] = {
      START_FEN,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",         // rooks taken on their corners
      "8/PPPPPPPP/8/3k4/8/3K4/pppppppp/8 w - - 0 1",  // promotion races
      "k7/8/8/8/8/8/1QQQQQ2/4K3 b - - 0 1",           // crowds of sliders
      "4k3/8/1rrrrr2/8/8/2BBBBB1/8/4K3 w - - 0 1",
      "8/8/8/KPp4r/8/8/8/6k1 w - c6 0 2",  // en passant against pins
      "4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 2",
  };
  WalkStats stats;
  unsigned seed = 1;
  for (const char* fen : fens) {
    playRandomGames(fen, seed++, stats);
    if (HasFailure()) return;
  }
  // The walk must really have met the special moves.
  EXPECT_GT(stats.moves, 5000);
  EXPECT_GT(stats.captures, 300);
  EXPECT_GT(stats.enPassant, 0);
  EXPECT_GT(stats.castles, 5);
  EXPECT_GT(stats.promotions, 100);
}

// Chess960 castling: the king staying put, landing on its rook, changing places with it.
TEST(MadeBoard, FollowsTheRulesOverRandomChess960Games) {
  chess960 = true;
  WalkStats stats;
  unsigned seed = 100;
  for (const char* fen : {"1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w GBgb - 0 1",
                          "5kr1/pppppppp/8/8/8/8/PPPPPPPP/5KR1 w Gg - 0 1",
                          "rk4r1/p1pppppp/8/8/8/8/P1PPPPPP/RK4R1 w GAga - 0 1",
                          "2r3kr/pppppppp/8/8/8/8/PPPPPPPP/2R3KR w HChc - 0 1"}) {
    playRandomGames(fen, seed++, stats);
    if (HasFailure()) break;
  }
  chess960 = false;
  EXPECT_GT(stats.castles, 50);
}

// ---- Legal moves against a brute-force walk ----

// Is `sq` attacked by `side`? Read off the mailbox alone, independently of the engine.
bool attackedBy(const Board& b, int side, int sq) {
  auto holds = [&](int f, int r, uint8_t kind) {
    return f >= 0 && f < 8 && r >= 0 && r < 8 && b.squares[r * 8 + f] == codeFor(side, kind);
  };
  const int f = fileOf(sq), r = rankOf(sq), forward = side == WHITE ? -1 : 1;
  if (holds(f - 1, r + forward, PAWN) || holds(f + 1, r + forward, PAWN)) return true;
  for (int df = -2; df <= 2; ++df)
    for (int dr = -2; dr <= 2; ++dr) {
      if (std::abs(df * dr) == 2 && holds(f + df, r + dr, KNIGHT)) return true;
      if (std::max(std::abs(df), std::abs(dr)) == 1 && holds(f + df, r + dr, KING)) return true;
      if (std::max(std::abs(df), std::abs(dr)) != 1) continue;
      const uint8_t slider = df && dr ? BISHOP : ROOK;
      for (int x = f + df, y = r + dr; x >= 0 && x < 8 && y >= 0 && y < 8; x += df, y += dr) {
        if (holds(x, y, slider) || holds(x, y, QUEEN)) return true;
        if (b.squares[y * 8 + x] != EMPTY) break;
      }
    }
  return false;
}

struct TreeStats {
  long nodes = 0, inCheck = 0, enPassant = 0, castles = 0, promotions = 0;
};

// Pseudo-legal moves whose made position leaves the mover's king unattacked; castling also
// needs the king's square and the square it passes unattacked.
std::set<std::string> bruteForceLegal(const Board& board, PlyState& state, TreeStats& s) {
  MoveList pseudo;
  generateMoves(board, state, pseudo, MAX_PLY, MoveScoring{noHistory});
  std::set<std::string> legal;
  Board child;
  PlyState childState;
  const int us = state.side;
  for (int i = 0; i < pseudo.count; ++i) {
    const Move m = pseudo.moves[i];
    const bool castle = m.kind == CASTLE_SHORT || m.kind == CASTLE_LONG;
    if (castle && (attackedBy(board, us ^ 1, m.from) ||
                   attackedBy(board, us ^ 1, m.kind == CASTLE_SHORT ? m.to - 1 : m.to + 1)))
      continue;
    makeMove(m, board, child, state, childState);
    if (attackedBy(child, us ^ 1, child.kingSquare[us])) continue;
    legal.insert(moveText(m));
    s.castles += castle;
    s.promotions += isPromotionKind(m.kind);
    s.enPassant += kindOf(board.squares[m.from]) == PAWN && board.squares[m.to] == EMPTY &&
                   fileOf(m.from) != fileOf(m.to);
  }
  return legal;
}

void compareTree(const Board& board, PlyState& state, int ply, int depth, TreeStats& s) {
  ++s.nodes;
  const std::string where = boardToFen(board, state);
  MoveList list;
  const bool evasions = generateNodeMoves(board, state, list, MAX_PLY, MoveScoring{noHistory});
  ASSERT_EQ(evasions, attackedBy(board, state.side ^ 1, board.kingSquare[state.side])) << where;
  s.inCheck += evasions;
  if (!evasions) filterLegal(board, state, list.moves, list.count);
  std::set<std::string> found;
  for (int i = 0; i < list.count; ++i) {
    if (isNoMove(list.moves[i])) continue;
    ASSERT_TRUE(found.insert(moveText(list.moves[i])).second) << where << " duplicate";
  }
  ASSERT_EQ(found, bruteForceLegal(board, state, s)) << where;
  // Perft's last ply counts the moves without listing them.
  ASSERT_EQ(perft(board, state, 1), int64_t(found.size())) << where;

  // The capture generator lists exactly the captures of the full list.
  MoveList all, captures;
  generateMoves(board, state, all, MAX_PLY, MoveScoring{noHistory});
  generateCaptures(board, state, captures, noHistory);
  std::multiset<std::string> expected, got;
  for (int i = 0; i < all.count; ++i)
    if (all.moves[i].captured != EMPTY) expected.insert(moveText(all.moves[i]));
  for (int i = 0; i < captures.count; ++i) got.insert(moveText(captures.moves[i]));
  ASSERT_EQ(got, expected) << where;

  if (depth <= 1) return;
  Board child;
  PlyState childState;
  for (int i = 0; i < list.count && !::testing::Test::HasFatalFailure(); ++i) {
    if (isNoMove(list.moves[i])) continue;
    makeMove(list.moves[i], board, child, state, childState);
    compareTree(child, childState, ply + 1, depth - 1, s);
  }
}

TEST(LegalMoves, EqualABruteForceWalkOverManyTrees) {
  std::vector<std::pair<std::string, int>> roots;
  for (const PerftCase& c : loadPerftCases()) roots.push_back({c.fen, 3});
  for (const char* fen :
       {// Pins on every line, en passant against pins on rank and diagonal.
        "8/8/8/KPp4r/8/8/8/6k1 w - c6 0 2", "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1",
        "8/1k6/8/8/3Pp3/8/8/4K2B b - d3 0 1", "8/8/1k6/8/3Pp3/8/5B2/4K3 b - d3 0 1",
        "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", "4k3/4r3/8/1b6/8/3N1P2/4B3/r3K2R w K - 0 1",
        "3q3k/8/8/8/8/3R4/3K4/8 w - - 0 1",
        // Checks by each kind of piece, castling rights while in check, x-rays past the king.
        "4k3/8/8/8/8/8/3p4/R3K2R w KQ - 0 1", "4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1",
        "4k3/8/8/8/8/3n4/8/R3K2R w KQ - 0 1", "4k3/8/8/b7/8/2N5/8/R3K1NR w KQ - 0 1",
        "4k3/8/8/8/8/1N6/8/r3K3 w - - 0 1", "4k3/8/8/8/7q/8/3PP3/2B1KB2 w - - 0 1",
        "4k3/8/3N4/8/8/8/8/4R1K1 b - - 0 1", "4k3/8/8/1B6/8/8/4R3/4K3 b - - 0 1",
        // Castling past attacked squares.
        "4kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1", "1r2k3/8/8/8/8/8/6p1/R3K2R w KQ - 0 1",
        // Promotions, with and without check; mate and stalemate.
        "3r3k/4P3/8/8/8/8/8/K7 w - - 0 1", "1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/1p6/R3K3 b - - 0 1",
        "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
        "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"})
    roots.push_back({fen, 4});
  roots.push_back({"8/PPPPPPPP/8/3k4/8/3K4/pppppppp/8 w - - 0 1", 3});
  roots.push_back({"k7/8/8/8/8/8/1QQQQQ2/4K3 b - - 0 1", 3});
  TreeStats stats;
  for (const auto& [fen, depth] : roots) {
    Position root(fen);
    compareTree(root.board, root.state, 1, depth, stats);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(stats.nodes, 30000);
  EXPECT_GT(stats.inCheck, 2000);
  EXPECT_GT(stats.enPassant, 40);
  EXPECT_GT(stats.castles, 3000);
  EXPECT_GT(stats.promotions, 20000);
}

// ---- Set-up from FEN ----

TEST(Fen, AcceptedTextsAndTheirFields) {
  struct Case {
    const char* fen;
    const char* rights;  // K Q k q held, as 0/1
    int ep, side, clock, inCheck;
  } const cases[] = {
      {"8/8/8/8/8/8/8/K6k w - - 0 1", "0000", NO_SQUARE, WHITE, 0, 0},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", "1111", 28, BLACK, 0, 0},
      {"8/8/8/8/8/8/8/K6k w - - 300 1", "0000", NO_SQUARE, WHITE, 300 % 256, 0},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w qKx - 0 1", "1001", NO_SQUARE, WHITE, 0, 0},
      {"4k3/8/8/8/8/8/8/4K2r w - - 0 1", "0000", NO_SQUARE, WHITE, 0, 1},
      // Rights without their king and rook at home and en passant without a pawn are dropped.
      {"r3k3/8/8/8/8/8/8/4K2R w KQkq e6 0 1", "1001", NO_SQUARE, WHITE, 0, 0},
      // Missing fields take their defaults; the slashes are optional.
      {"8/8/8/8/8/8/8/K6k b", "0000", NO_SQUARE, BLACK, 0, 0},
      {"rnbqkbnrpppppppp8888PPPPPPPPRNBQKBNR w KQkq - 0 1", "1111", NO_SQUARE, WHITE, 0, 0},
  };
  for (const Case& c : cases) {
    Position p(c.fen);
    std::string rights;
    for (int r = 0; r < 4; ++r) rights += char('0' + p.board.castling[r]);
    EXPECT_EQ(rights, c.rights) << c.fen;
    EXPECT_EQ(p.state.epSquare, c.ep) << c.fen;
    EXPECT_EQ(p.state.side, c.side) << c.fen;
    EXPECT_EQ(p.state.halfmoveClock, c.clock) << c.fen;
    EXPECT_EQ(p.state.checkState, c.inCheck) << c.fen;
  }
  for (const PerftCase& c : loadPerftCases()) {  // and back to text
    Position p(c.fen);
    EXPECT_EQ(Position(boardToFen(p.board, p.state)).board.key, p.board.key) << c.fen;
  }
}

TEST(Fen, RefusedTextsLeaveThePreviousPosition) {
  const Position kept("8/8/8/8/8/8/8/K6k w - - 0 1");
  for (const char* fen :
       {"", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1",
        "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQXBNR w KQkq - 0 1",
        "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ - 0 1",  // no black king
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBKKBNR w kq - 0 1",  // two white kings
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e5 0 1",
        "Pnbqkbnr/pppppppp/8/8/8/8/1PPPPPPP/RNBQKBNR w KQkq - 0 1",  // pawn on the last rank
        "4k3/8/8/8/8/8/8/4R1K1 w - - 0 1",                           // side not to move in check
        "QQQQQQQQ/QQQ5/8/8/8/8/8/K6k b - - 0 1",                     // eleven queens
        "NNNNNNNN/NN6/8/8/8/8/P7/K6k b - - 0 1"}) {  // ten knights and a pawn to make an 11th
    Position attempt = kept;
    std::string why;
    EXPECT_FALSE(setPosition(attempt.board, attempt.state, fen, &why)) << fen;
    EXPECT_FALSE(why.empty()) << fen;
    EXPECT_EQ(std::memcmp(&attempt.board, &kept.board, sizeof(Board)), 0) << fen;
  }
}

// ---- King and pawn against king ----

int kpk(int blackToMove, const char* king, const char* pawn, const char* enemyKing) {
  auto sq = [](const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); };
  return kpkTable[kpkIndex(blackToMove, sq(king), sq(pawn), sq(enemyKing))];
}

TEST(Kpk, KnownResultsAndMirroredFiles) {
  initEngineTables();
  struct Case {
    const char *king, *pawn, *enemyKing;
    int white, black;  // 1 won; 0 drawn; -2 stalemate
  } const cases[] = {
      {"e6", "e5", "e8", 1, 1},  {"e5", "e4", "e7", 0, 1},   // the opposition
      {"e1", "e2", "e8", 1, 0},                              // the double step decides
      {"a6", "a5", "a8", 0, 0},  {"b6", "a7", "a8", 0, -2},  // rook pawn; stalemate
      {"h1", "a5", "h8", 1, 1},  {"h1", "a5", "c6", 0, 0},   // the square of the pawn
      {"e6", "e7", "e8", 1, -2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kpk(0, c.king, c.pawn, c.enemyKing), c.white) << c.king << c.pawn << c.enemyKing;
    EXPECT_EQ(kpk(1, c.king, c.pawn, c.enemyKing), c.black) << c.king << c.pawn << c.enemyKing;
  }
  // Nothing in the rules tells the queen's side from the king's.
  for (int i = 0; i < 2 * 64 * 64 * 64; ++i) {
    const int half = i >> 18, k = (i >> 12) & 63, p = (i >> 6) & 63, b = i & 63;
    ASSERT_EQ(kpkTable[kpkIndex(half, k, p, b)], kpkTable[kpkIndex(half, k ^ 7, p ^ 7, b ^ 7)])
        << i;
  }
}

}  // namespace
