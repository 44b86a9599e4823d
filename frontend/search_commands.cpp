// Handlers of the search's commands ("ucinewgame", "setoption", "SEE", "go", "ponderhit", "stop")
// and the front end's side of a search: running the search a "go" ordered, answering it with
// exactly one "bestmove", and the searches that commands run themselves.
#include "frontend/search_commands.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/castling.h"
#include "board/movetext.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/evaluation_options.h"
#include "frontend/go.h"
#include "frontend/tablebase_options.h"
#include "search/exchange.h"
#include "search/search.h"
#include "search/strength.h"
#include "search/time_control.h"
#include "search/tt.h"

namespace {

constexpr uint64_t MEGABYTE = 1048576;
constexpr uint64_t DEFAULT_HASH_MB = 128;
// The table's index mask is 32 bits: 2^32 entries of 16 bytes.
constexpr uint64_t MAX_HASH_MB = 65536;

// The result of the last "go" search and whether its "bestmove" is still owed. Main thread only.
SearchResult lastGoResult;
bool bestMoveOwed = false;

// The leading decimal digits of a word; none gives 0. Values past `limit` give limit + 1.
uint64_t leadingNumber(const char* text, uint64_t limit) {
  uint64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + uint64_t(*text - '0');
    if (value > limit) return limit + 1;
  }
  return value;
}

}  // namespace

// The name is every word up to the word "value" (in any letter case), so names of several words
// work; it comes back with single blanks between words. The value is the rest of the line as
// written (a path may hold blanks), without the blanks around it; "<empty>", as interfaces send
// an empty string option, and a missing value both give an empty value.
bool readOption(const char* line, std::string& name, std::string& value) {
  name.clear();
  value.clear();
  auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  auto nextWord = [&](const char*& at, std::string& word) {
    while (isBlank(*at)) ++at;
    const char* start = at;
    while (*at && !isBlank(*at)) ++at;
    word.assign(start, at);
    return !word.empty();
  };
  const char* at = line;
  std::string word;
  nextWord(at, word);  // "setoption"
  if (!nextWord(at, word) || strcasecmp(word.c_str(), "name") != 0) return false;
  while (nextWord(at, word)) {
    if (strcasecmp(word.c_str(), "value") == 0) {
      while (isBlank(*at)) ++at;
      const char* end = at + std::strlen(at);
      while (end > at && isBlank(end[-1])) --end;
      value.assign(at, end);
      if (value == "<empty>") value.clear();
      break;
    }
    if (!name.empty()) name += ' ';
    name += word;
  }
  return !name.empty();
}

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
  if (strcasecmp(name.c_str(), "Threads") == 0) {
    long long wanted = 0;
    if (std::sscanf(value.c_str(), "%lld", &wanted) != 1) return;
    wanted = std::clamp<long long>(wanted, 1, MAX_SEARCH_THREADS);
    const int running = setSearchThreads(int(wanted));
    if (running < wanted)
      emitLine("info string only %d of %lld threads could be started\n", running, wanted);
    return;
  }
  if (strcasecmp(name.c_str(), "MultiPV") == 0) {
    long long lines = 0;
    if (std::sscanf(value.c_str(), "%lld", &lines) != 1) return;
    multiPvLines = int(std::clamp<long long>(lines, 1, MAX_MULTI_PV));
    return;
  }
  if (strcasecmp(name.c_str(), "UCI_ShowWDL") == 0) {
    if (strcasecmp(value.c_str(), "true") == 0) showWdl = true;
    if (strcasecmp(value.c_str(), "false") == 0) showWdl = false;
    return;
  }
  if (strcasecmp(name.c_str(), "UCI_LimitStrength") == 0) {
    if (strcasecmp(value.c_str(), "true") == 0) limitStrength = true;
    if (strcasecmp(value.c_str(), "false") == 0) limitStrength = false;
    return;
  }
  if (strcasecmp(name.c_str(), "UCI_Elo") == 0) {
    long long elo = 0;
    if (std::sscanf(value.c_str(), "%lld", &elo) != 1) return;
    strengthElo = int(std::clamp<long long>(elo, STRENGTH_MIN_ELO, STRENGTH_MAX_ELO));
    return;
  }
  if (strcasecmp(name.c_str(), "UCI_Chess960") == 0) {
    bool on = strcasecmp(value.c_str(), "true") == 0;
    if (!on && strcasecmp(value.c_str(), "false") != 0) return;
    // Castling moves are written differently in the two variants, also in the tables.
    if (on != chess960) clearAllHashTables();
    chess960 = on;
    return;
  }
  if (strcasecmp(name.c_str(), "EvalFile") == 0) {
    setEvalFileOption(value);
    return;
  }
  if (strcasecmp(name.c_str(), "TableEvaluation") == 0) {
    setTableEvaluationOption(value);
    return;
  }
  if (setSyzygyOption(name, value)) return;
  // "Ponder" and the rest need nothing.
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
  // evaluator trusts the move it is given, so a move that is not legal here (a piece that is not
  // there, a pawn moving sideways) must never reach it.
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

void answerGo() {
  if (!bestMoveOwed) return;
  bestMoveOwed = false;
  const Move best = lastGoResult.best, ponder = lastGoResult.ponder;
  if (isNoMove(best)) {
    emitLine("bestmove 0000\n");
  } else if (isNoMove(ponder)) {
    emitLine("bestmove %s\n", moveText(best).c_str());
  } else {
    emitLine("bestmove %s ponder %s\n", moveText(best).c_str(), moveText(ponder).c_str());
  }
}

void runGoSearch() {
  selectSearchEvaluation(limitStrength);
  SearchRequest request;
  request.rootPly = currentPly;
  request.lastIrreversiblePly = lastIrreversiblePly;
  request.limits = goLimits;
  request.printInfo = infoOutput;
  request.multiPv = multiPvLines;
  request.showWdl = showWdl;
  request.strengthElo = limitStrength ? strengthElo : 0;
  lastGoResult = runSearch(request);
  // An open-ended search ("infinite", "ponder") that ended on its own holds its answer for "stop"
  // (or "ponderhit"); one ended by "stop" or by input (the mode is then 0) answers now, before
  // that input runs. "quit" needs no answer.
  const bool heldOpen = searchMode != SEARCH_IDLE && (goLimits.goFlags & GO_INFINITE);
  if (!heldOpen && !quitRequested) answerGo();
  searchMode = SEARCH_IDLE;
}

bool searchForCommand(int rootPly, int depth, int64_t nodes, SearchResult& result) {
  SearchRequest request;
  request.rootPly = rootPly;
  request.lastIrreversiblePly = lastIrreversiblePly;
  request.limits.goFlags = GO_DEPTH;
  request.limits.depth = depth;
  if (nodes > 0) {
    request.limits.goFlags |= GO_NODES;
    request.limits.nodes = nodes;
  }
  request.printInfo = false;
  // While the mode is 1 the input is read as during any search: a waiting "stop" or "quit" cuts
  // it short (and stays for the command to read).
  searchMode = SEARCH_OWN_CLOCK;
  result = runSearch(request);
  searchMode = SEARCH_IDLE;
  return !result.interrupted && !quitRequested;
}

void commandGo(char* line) {
  // A "go" after a search that ended unanswered answers it first. (The depth shortcuts parse
  // their line twice; the second pass finds the new search pending and leaves it alone.)
  if (searchMode == SEARCH_IDLE) answerGo();
  if (std::strncmp(line, "go perft", 8) == 0) {
    commandGoPerft(line);
    return;
  }
  parseGo(line);
  bestMoveOwed = true;
}

// Pondering: the expected move was played, so the search now runs on the engine's own clock,
// with a budget from the ponder line's clock values counted from this moment. A ponder search that
// has already ended answers at once.
void commandPonderhit() {
  if (searchMode == SEARCH_PONDERING) {
    goPonder = false;
    goLimits.goFlags &= uint8_t(~GO_INFINITE);
    searchMode = SEARCH_OWN_CLOCK;
    ponderhitSearch();
    return;
  }
  if (searchMode == SEARCH_IDLE && goPonder) {
    goPonder = false;
    answerGo();
  }
}

// During a search the answer follows as soon as the search has unwound; an idle engine that
// still owes one answers at once.
void commandStop() {
  if (searchMode == SEARCH_IDLE) {
    answerGo();
    return;
  }
  searchMode = SEARCH_IDLE;
  stopSearchNow();
}
