#include "tests/support.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "board/tables.h"
#include "eval/derived.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "frontend/commands.h"
#include "frontend/engine.h"
#include "frontend/engine_state.h"
#include "frontend/search_commands.h"
#include "search/tt.h"

void initEngineTables() {
  static bool done = false;
  if (done) return;
  done = true;
  hashBytes = 16 << 20;
  initEngineData();
}

Position::Position(const std::string& fen) {
  initEngineTables();
  EXPECT_TRUE(setPosition(board, state, fen.c_str())) << fen;
}

std::vector<PerftCase> loadPerftCases() {
  std::vector<PerftCase> cases;
  std::ifstream in(std::string(CORVANEL_SOURCE_DIR) + "/tests/data/perft_standard.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    PerftCase c{"", {0}};
    std::getline(fields, c.fen, ';');
    c.fen.erase(c.fen.find_last_not_of(' ') + 1);
    for (std::string field; std::getline(fields, field, ';');)
      c.counts.push_back(std::stoll(field.substr(field.find(' ') + 1)));
    cases.push_back(c);
  }
  return cases;
}

std::vector<Chess960Start> loadChess960Starts() {
  std::vector<Chess960Start> starts;
  std::ifstream in(std::string(CORVANEL_SOURCE_DIR) + "/tests/data/chess960.perft");
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, 4, "epd ") == 0) starts.push_back({line.substr(4), 0});
    if (line.compare(0, 8, "perft 3 ") == 0 && !starts.empty())
      starts.back().perft3 = std::stoll(line.substr(8));
  }
  return starts;
}

std::string mirrorFen(const std::string& fen) {
  std::istringstream in(fen);
  std::string placement, side = "w", castling = "-", ep = "-", clock = "0", number = "1";
  in >> placement >> side >> castling >> ep >> clock >> number;
  auto swapCase = [](std::string text) {
    for (char& c : text) c = std::isupper(c) ? char(std::tolower(c)) : char(std::toupper(c));
    return text;
  };
  std::string flipped, rank;
  std::istringstream ranks(placement);
  while (std::getline(ranks, rank, '/'))
    flipped = swapCase(rank) + (flipped.empty() ? "" : "/") + flipped;
  if (ep.size() == 2) ep[1] = ep[1] == '3' ? '6' : '3';
  return flipped + (side == "w" ? " b " : " w ") + swapCase(castling) + " " + ep + " " + clock +
         " " + number;
}

std::string mirrorMove(std::string move) {
  move[1] = char('1' + '8' - move[1]);
  move[3] = char('1' + '8' - move[3]);
  return move;
}

bool legalIn(const std::string& fen, const std::string& move) {
  Position p(fen);
  MoveList list;
  if (move == "0000") return legalMoves(p.board, p.state, list) == 0;
  return !isNoMove(findLegalMove(p.board, p.state, move.c_str()));
}

int freshWhiteEval(const Board& board, PlyState& state) {
  state.staticEval = NO_EVAL;
  evalCache[uint32_t(board.key) & EVAL_CACHE_MASK].check.store(~board.key);
  const int score = Evaluate(board, state);
  return state.side == WHITE ? score : -score;
}

int whiteEval(const std::string& fen) {
  Position p(fen);
  return freshWhiteEval(p.board, p.state);
}

void setGame(const std::string& fen, const std::string& moves) {
  Position check(fen);
  const std::string line = "position fen " + fen + (moves.empty() ? "" : " moves " + moves);
  testing::internal::CaptureStdout();
  commandPosition(line.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << line;  // no move refused
}

SearchOutcome searchGame(int depth, long long nodes, bool freshTables) {
  if (freshTables) clearAllHashTables();
  SearchResult result;
  searchForCommand(currentPly, depth, nodes, result);
  return {isNoMove(result.best) ? "0000" : moveText(result.best), result.score,
          (long long)result.nodes};
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void ScratchDirTest::SetUp() {
  initEngineTables();
  ResetEvalParamsToDefaults();
  char pattern[] = "/tmp/corvanel-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir = pattern;
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  previous = cwd;
  ASSERT_EQ(chdir(dir.c_str()), 0);
}

void ScratchDirTest::TearDown() {
  EXPECT_EQ(chdir(previous.c_str()), 0);
  EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
  ResetEvalParamsToDefaults();
}

std::string randomPosition(std::mt19937& random, bool crowded) {
  initEngineTables();
  auto below = [&](int n) { return int(random() % unsigned(n)); };
  for (;;) {
    char board[64] = {};
    auto place = [&](char piece, int from, int to) {
      int sq;
      do sq = from + below(to - from);
      while (board[sq]);
      board[sq] = piece;
    };
    const int whiteKing = below(64);
    int blackKing;
    do blackKing = below(64);
    while (kingDistance[whiteKing][blackKing] < 2);
    board[whiteKing] = 'K';
    board[blackKing] = 'k';
    for (int side = 0; side < 2; ++side) {
      const int pawns = crowded ? below(3) : below(9);
      int counts[4] = {below(3), below(3), below(3), below(2)};  // N B R Q
      for (int extra = crowded ? 8 - pawns : below(9 - pawns) / 3; extra > 0; --extra)
        ++counts[below(4)];
      for (int p = 0; p < pawns; ++p) place(side ? 'p' : 'P', 8, 56);
      for (int k = 0; k < 4; ++k)
        for (int n = 0; n < counts[k] && n < LIST_CAPACITY; ++n)
          place("NBRQnbrq"[k + 4 * side], 0, 64);
    }
    std::string fen = placementOf(board), rights;
    if (board[4] == 'K' && board[7] == 'R' && below(2)) rights += 'K';
    if (board[60] == 'k' && board[56] == 'r' && below(2)) rights += 'q';
    fen += std::string(below(2) ? " w " : " b ") + (rights.empty() ? "-" : rights) + " - 0 1";
    Board b;
    PlyState s;
    if (setPosition(b, s, fen.c_str())) return fen;
  }
}

std::string placementOf(const char letters[64]) {
  std::string placement;
  for (int rank = 7; rank >= 0; --rank) {
    for (int file = 0, gap = 0; file < 8; ++file) {
      const char piece = letters[rank * 8 + file];
      if (!piece) ++gap;
      if ((piece || file == 7) && gap) placement += char('0' + gap), gap = 0;
      if (piece) placement += piece;
    }
    if (rank) placement += '/';
  }
  return placement;
}

HandSetTable::HandSetTable() {
  initEngineTables();
  std::string error;
  EXPECT_TRUE(TryLoadEvalParamFile(CORVANEL_SOURCE_DIR "/eval/handset_params.txt", &error))
      << error;
  // A loaded file leaves the exchange values as the start-up built them.
  BuildExchangeValues();
}

HandSetTable::~HandSetTable() { ResetEvalParamsToDefaults(); }
