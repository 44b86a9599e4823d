// Handlers of the search's commands: "ucinewgame", "setoption", "SEE", "go", "ponderhit", "stop",
// "bench".
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "board/movetext.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "frontend/timer.h"
#include "search/bench.h"
#include "search/exchange.h"
#include "search/iterate.h"
#include "search/time_control.h"
#include "search/tt.h"

namespace {

constexpr uint64_t MEGABYTE = 1048576;
constexpr uint64_t DEFAULT_HASH_MB = 128;
// The table's index mask is 32 bits: 2^32 entries of 16 bytes.
constexpr uint64_t MAX_HASH_MB = 65536;

// The leading decimal digits of a word; none gives 0. Values past `limit` give limit + 1.
uint64_t leadingNumber(const char* text, uint64_t limit) {
  uint64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + uint64_t(*text - '0');
    if (value > limit) return limit + 1;
  }
  return value;
}

// "setoption name <name> [value <value>]": the name is every word up to the word "value" (in any
// letter case), so names of several words work; both come back with single blanks between words.
bool readOption(const char* line, std::string& name, std::string& value) {
  std::istringstream words(line);
  std::string word;
  words >> word;  // "setoption"
  if (!(words >> word) || strcasecmp(word.c_str(), "name") != 0) return false;
  std::string* into = &name;
  while (words >> word) {
    if (into == &name && strcasecmp(word.c_str(), "value") == 0) {
      into = &value;
      continue;
    }
    if (!into->empty()) *into += ' ';
    *into += word;
  }
  return !name.empty();
}

}  // namespace

void commandUciNewGame() { clearForNewGame(); }

void commandSetOption(const char* line) {
  std::string name, value;
  if (!readOption(line, name, value)) return;
  if (strcasecmp(name.c_str(), "Clear Hash") == 0) {
    if (!rebuildHashTables(hashBytes))
      emitLine("info string No s'han pogut refer les taules hash; es mantenen les actuals\n");
    return;
  }
  if (strcasecmp(name.c_str(), "Move Overhead") == 0) {
    long long milliseconds = 0;
    if (std::sscanf(value.c_str(), "%lld", &milliseconds) != 1) return;
    moveOverheadMs = int(std::clamp<long long>(milliseconds, 0, MAX_MOVE_OVERHEAD_MS));
    return;
  }
  // "Ponder", "Threads" (one thread is all there is) and the rest need nothing.
  if (strcasecmp(name.c_str(), "Hash") != 0) return;
  uint64_t megabytes = leadingNumber(value.c_str(), uint64_t(1) << 40);
  if (megabytes == 0) megabytes = DEFAULT_HASH_MB;
  if ((megabytes & (megabytes - 1)) != 0) {
    emitLine("Not power of two\n");
    return;
  }
  uint64_t previous = hashBytes / MEGABYTE;
  if (megabytes > MAX_HASH_MB || !rebuildHashTables(megabytes * MEGABYTE))
    emitLine("info string Error en assignar %llu MB per la hash; es mante la de %llu MB\n",
             (unsigned long long)megabytes, (unsigned long long)previous);
}

void commandSee(const char* line) {
  // "SEE e2e4": the word after the command is checked like any typed move. The exchange
  // evaluator makes the move without checking it, so a move that is not legal here (a piece that
  // is not there, a pawn moving sideways) must never reach it.
  const char* word = line + 3;
  while (*word == ' ') ++word;
  size_t length = std::strcspn(word, " \t");
  char text[6] = {};
  if ((length == 4 || length == 5) && (length == 4 || std::strchr("qrnb", word[4])))
    std::memcpy(text, word, length);
  Board board = gameBoards[currentPly];
  PlyState state = gameStates[currentPly];
  Move move = findLegalMove(board, state, text);
  if (isNoMove(move)) {
    emitLine("info string SEE: \"%.*s\" is not a legal move in this position\n",
             int(std::min<size_t>(length, 40)), word);
    return;
  }
  // A promotion is not an exchange the evaluator measures.
  emitLine("%i\n", isPromotionKind(move.kind) ? 0 : staticExchange(board, state, move));
}

void commandGo(char* line) {
  // A "go" after a search that ended unanswered answers it first. (The depth shortcuts parse
  // their line twice; the second pass finds the new search pending and leaves it alone.)
  if (searchMode == 0) reportBestMove();
  parseGo(line);
  bestMoveOwed = true;
}

// Pondering: the expected move was played, so the search now runs on the engine's own clock,
// with a budget from the ponder line's clock values counted from this moment. A ponder search that
// has already ended answers at once.
void commandPonderhit() {
  if (searchMode == 2) {
    goPonder = false;
    goLimits.goFlags &= uint8_t(~GO_INFINITE);
    searchMode = 1;
    searchStartMs = nowMs();
    allotTime();
    armTimer();
    // A ponder line without any limit says nothing about how long to think: answer now.
    if (!(goLimits.goFlags & (GO_TIME | GO_INC | GO_MOVETIME | GO_DEPTH | GO_NODES | GO_MATE)))
      stopSearch = true;
    return;
  }
  if (searchMode == 0 && goPonder) {
    goPonder = false;
    reportBestMove();
  }
}

void commandStop() {
  reportBestMove();
  searchMode = 0;
  stopSearch = true;
}

void commandBench() { runBench(); }
