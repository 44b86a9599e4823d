// "genfens N seed S book FILE|None [plies R]": start positions for OpenBench's data generation,
// one "info string genfens <FEN>" line each. Position i is drawn from (S, i) alone, so a worker
// asked again gives the same positions.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/input.h"
#include "tuning/selfplay.h"

namespace {

constexpr int GENFENS_MAX_SCORE = 400;     // centipawns either way
constexpr int64_t GENFENS_NODES = 2000;    // the balance check's search
constexpr int GENFENS_PLIES_FROM_BOOK = 4;
constexpr int GENFENS_PLIES_FROM_START = 8;

bool readOpenings(const std::string& path, std::vector<std::string>& openings) {
  // Only a regular file: a pipe or a device could wait for ever or never end.
  std::error_code failure;
  if (!std::filesystem::is_regular_file(path, failure)) return false;
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string field, fen;
    for (int i = 0; i < 4 && words >> field; ++i) fen += (i ? " " : "") + field;
    Board board;
    PlyState state;
    if (!fen.empty() && setPosition(board, state, fen.c_str())) openings.push_back(fen);
  }
  return true;
}

}  // namespace

void commandGenfens(const char* line) {
  std::istringstream words(line);
  std::string word, book = "None";
  long long count = -1, seed = 0, plies = -1;
  words >> word;  // "genfens"
  if (!(words >> count) || count < 0 || count > 100000000) {
    emitLine("info string genfens: usage: genfens N seed S book FILE|None [plies R]\n");
    return;
  }
  while (words >> word) {
    if (word == "seed") words >> seed;
    else if (word == "book") words >> book;
    else if (word == "plies") words >> plies;
  }
  std::vector<std::string> openings;
  if (book != "None" && book != "none" && !readOpenings(book, openings)) {
    emitLine("info string genfens: cannot read the book %s\n", book.c_str());
    return;
  }
  if (plies < 0 || plies > 40)
    plies = openings.empty() ? GENFENS_PLIES_FROM_START : GENFENS_PLIES_FROM_BOOK;
  // Like bench: typed lines wait until the positions are out.
  const bool savedQuitWaits = quitWaitsForCommand;
  quitWaitsForCommand = true;
  searchMode = SEARCH_OWN_CLOCK;
  for (long long i = 0; i < count; ++i) {
    const uint64_t drawSeed = selfPlayGameSeed(uint64_t(seed), uint64_t(i));
    const std::string fen =
        drawStartFen(openings, int(plies), GENFENS_MAX_SCORE, GENFENS_NODES, drawSeed);
    emitLine("info string genfens %s\n", fen.c_str());
  }
  searchMode = SEARCH_IDLE;
  quitWaitsForCommand = savedQuitWaits;
}
