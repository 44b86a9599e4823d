// The command interpreter: one input line is tested against every command word in a fixed order
// and each matching handler runs. Also the handlers of the protocol basics and of the developer
// commands that print or count ("perft", "divide", "taulell", "evalpeces", "evalpecesf").
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "eval/derived.h"
#include "eval/params.h"
#include "frontend/bench.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/evaluation_options.h"
#include "frontend/position_command.h"
#include "frontend/tablebase_options.h"
#include "frontend/timer.h"
#include "search/search.h"

namespace {

// The options announced after "uci". Options that later work adds go here, in this order.
const char* const uciOptionLines[] = {
    "option name Ponder type check default false",
    "option name Hash type spin default 128 min 1 max 16384",
    "option name Clear Hash type button",
    "option name Move Overhead type spin default 100 min 0 max 5000",
    "option name Threads type spin default 1 min 1 max 256",
    "option name MultiPV type spin default 1 min 1 max 256",
    "option name UCI_Chess960 type check default false",
    "option name EvalFile type string default <default>",
    TABLE_EVALUATION_DEFAULT ? "option name TableEvaluation type check default true"
                             : "option name TableEvaluation type check default false",
    "option name UCI_ShowWDL type check default false",
    "option name UCI_LimitStrength type check default false",
    "option name UCI_Elo type spin default 1700 min 1350 max 1900",
};

// perft and divide make the move of ply p into search-line slot p + 1 and the move generator
// indexes its per-ply tables by p, so a count may go at most this deep.
constexpr int MAX_PERFT_DEPTH = MAX_PLY - 1;

// Scratch root of perft and divide, so that counting never disturbs the game line.
Board countRootBoard;
PlyState countRootState;

bool isExactly(const char* line, const char* word) { return std::strcmp(line, word) == 0; }
bool startsWith(const char* line, const char* word) {
  return std::strncmp(line, word, std::strlen(word)) == 0;
}

// The depth word after the command word: its leading decimal digits (none gives 0). Returns
// false, after saying why, for a depth the search line cannot hold.
bool readCountDepth(const char* line, size_t wordLength, const char* command, int& depth) {
  const char* text = line + wordLength;
  while (*text == ' ' || *text == '\t') ++text;
  long long value = std::strtoll(text, nullptr, 10);  // saturates on overflow
  if (value < 0) value = 0;
  if (value > MAX_PERFT_DEPTH) {
    emitLine("info string %s depth too deep (at most %d)\n", command, MAX_PERFT_DEPTH);
    return false;
  }
  depth = int(value);
  return true;
}

// Depth shortcuts: "8", "9", or a line whose first two characters are 10..21, 25 or 30 means
// "go depth" with that number.
bool depthShortcut(const char* line, char* goLine, size_t goLineSize) {
  int number = 0;
  if ((line[0] == '8' || line[0] == '9') && line[1] == '\0') {
    number = line[0] - '0';
  } else if (line[0] >= '1' && line[0] <= '3' && line[1] >= '0' && line[1] <= '9') {
    number = (line[0] - '0') * 10 + (line[1] - '0');
    if (!((number >= 10 && number <= 21) || number == 25 || number == 30)) return false;
  } else {
    return false;
  }
  std::snprintf(goLine, goLineSize, "go depth %d", number);
  return true;
}

}  // namespace

void executeCommand(char* line) {
  // The rewritten depth shortcut lives here rather than in the caller's buffer, which may be
  // shorter than "go depth 30".
  char goLine[16];
  char* text = line;

  if (isExactly(text, "uci")) commandUci();
  if (startsWith(text, "debug")) {
  }  // accepted; there is no debug output
  if (isExactly(text, "isready")) commandIsReady();
  if (isExactly(text, "ucinewgame")) {
    commandUciNewGame();
    return;
  }
  if (startsWith(text, "setoption")) commandSetOption(text);
  if (startsWith(text, "perft")) commandPerft(text);
  if (startsWith(text, "divide")) commandDivide(text);
  if (startsWith(text, "pf ")) commandPf(text);
  if (startsWith(text, "position")) commandPosition(text);
  if (startsWith(text, "SEE")) commandSee(text);
  if (isExactly(text, "taulell")) commandTaulell();
  if (isExactly(text, "recpar")) commandRecpar();
  if (isExactly(text, "rands")) commandRands();
  if (isExactly(text, "millora")) commandMillora();
  if (isExactly(text, "juntarfit")) commandJuntarfit();
  if (isExactly(text, "calcvar")) commandCalcvar();
  // The test suites measure parameter sets of the table.
  if (isExactly(text, "provred")) runOnTable(commandProvred);
  if (isExactly(text, "provale")) runOnTable(commandProvale);
  if (isExactly(text, "eval")) commandEval();
  if (isExactly(text, "evalnet")) commandEvalNet();
  if (isExactly(text, "evalpeces")) commandEvalPeces(false);
  if (isExactly(text, "evalpecesf")) commandEvalPeces(true);
  if (depthShortcut(text, goLine, sizeof goLine)) {
    text = goLine;
    commandGo(text);
  }
  if (startsWith(text, "go")) commandGo(text);
  if (isExactly(text, "ponderhit")) commandPonderhit();
  if (isExactly(text, "stop")) commandStop();
  if (isExactly(text, "quit")) commandQuit();
  if (isExactly(text, "bench")) commandBench();
  // A whole word: "genfensft1 ... 3000" is not an order for 3,000 positions.
  if (isExactly(text, "genfens") || startsWith(text, "genfens ")) commandGenfens(text);
}

void commandUci() {
  emitLine("id name Corvanel %s\n", versionString);
  emitLine("id author Ferrolan\n");
  for (const char* option : uciOptionLines) emitLine("%s\n", option);
  for (int i = 0; i < syzygyOptionLineCount; ++i) emitLine("%s\n", syzygyOptionLines[i]);
  emitLine("uciok\n");
}

void commandIsReady() { emitLine("readyok\n"); }

void commandQuit() {
  stopSearchNow();
  searchMode = SEARCH_IDLE;
  shutdownTimerThread();
  quitRequested = true;
}

void commandJuntarfit() { ReloadTuningParams(); }

void commandPerft(const char* line) {
  int depth = 0;
  if (!readCountDepth(line, 5, "perft", depth)) return;
  copySetupPosition(countRootBoard, countRootState);
  emitLine("%lli\n", static_cast<long long>(perft(countRootBoard, countRootState, depth)));
}

namespace {

// For each legal root move, the number of sequences `pliesBelow` plies deep after it (0: the
// move alone), one line each in `lineFormat` (move text, count); returns the total. The position
// is copied into countRootBoard first, so the game line is left as it was.
long long countEachRootMove(const Board& root, const PlyState& rootState, int pliesBelow,
                            const char* lineFormat) {
  countRootBoard = root;
  countRootState = rootState;
  MoveList list;
  bool evasions =
      generateNodeMoves(countRootBoard, countRootState, list, 0, MoveScoring{noHistory});
  long long total = 0;
  Board child;
  PlyState childState;
  for (int i = 0; i < list.count; ++i) {
    Move move = list.moves[i];
    if (isNoMove(move)) continue;
    if (!evasions) {
      filterLegal(countRootBoard, countRootState, &move, 1);
      if (isNoMove(move)) continue;
    }
    long long count = 1;
    if (pliesBelow > 0) {
      makeMove(move, countRootBoard, child, countRootState, childState);
      count = perft(child, childState, pliesBelow);
    }
    emitLine(lineFormat, moveText(move).c_str(), count);
    total += count;
  }
  return total;
}

}  // namespace

// Counts per legal root move of the set-up position; each line counts `depth` plies below its
// root move (depth 0 like 1), so the total equals perft at depth + 1.
void commandDivide(const char* line) {
  int depth = 0;
  if (!readCountDepth(line, 6, "divide", depth)) return;
  Board board;
  PlyState state;
  copySetupPosition(board, state);
  long long total = countEachRootMove(board, state, std::max(depth, 1), "%s %lli\n");
  emitLine("Total %lli\n", total);
}

// "go perft N" as match managers and test scripts know it: the current position (its move list
// applied), "move: count" per legal move, a blank line and "Nodes searched: N".
void commandGoPerft(const char* line) {
  int depth = 0;
  if (!readCountDepth(line, 8, "go perft", depth)) return;
  long long total = countEachRootMove(gameBoards[currentPly], gameStates[currentPly], depth - 1,
                                      "%s: %lli\n");
  emitLine("\nNodes searched: %lli\n\n", total);
}

void commandTaulell() {
  const Board& board = gameBoards[currentPly];
  for (int rank = 7; rank >= 0; --rank) {
    char row[9];
    for (int file = 0; file < 8; ++file) row[file] = pieceLetters[board.squares[rank * 8 + file]];
    row[8] = '\0';
    emitLine("%s\n", row);
  }
}

void commandEvalPeces(bool endgame) {
  static const char separator[] = "-----+-----+-----+-----+-----+-----+-----+-----+\n";
  const Board& board = gameBoards[currentPly];
  const int32_t(*table)[64] = endgame ? PstEg : PstMg;
  emitLine("%s", separator);
  for (int rank = 7; rank >= 0; --rank) {
    std::string row;
    for (int file = 0; file < 8; ++file) {
      int sq = rank * 8 + file;
      int value = table[board.squares[sq]][sq];
      char cell[16] = "     |";
      if (value != 0) std::snprintf(cell, sizeof cell, "%5i|", value);
      row += cell;
    }
    emitLine("%s\n%s", row.c_str(), separator);
  }
}

void commandBench() { runBench(); }
