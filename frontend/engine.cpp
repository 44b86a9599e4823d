#include "frontend/engine.h"

#include <cstring>
#include <vector>

#include "board/fen.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/params.h"
#include "frontend/engine_state.h"
#include "frontend/evaluation_options.h"
#include "frontend/input.h"
#include "frontend/platform.h"
#include "frontend/position_command.h"
#include "frontend/search_commands.h"
#include "frontend/timer.h"
#include "search/search.h"
#include "search/tt.h"

namespace {

void emitText(const char* line) { emitLine("%s", line); }

}  // namespace

void initEngineData() {
  // Evaluation weights before the geometric tables: initTables also builds the pawn-run and
  // threat tables, which read the weights.
  InitEvalDefaults();
  SetupEvalParamTable();
  LoadEmbeddedEvalParams();
  DeriveEvalValues();
  BuildPieceSquareTables();

  initTables();
  initHashTables();
  installStartupNetwork();
  clearSearchHistory();
  // The search reads the input, writes its lines and arms the timer through the front end.
  SearchHost host;
  host.poll = pollInput;
  host.emit = emitText;
  host.armTimer = armTimer;
  host.disarmTimer = disarmTimer;
  installSearchHost(host);
}

void initEngine() {
  initConsoleInput();
  createTimerThread();
  initEngineData();

  // A parameter file named by "-av" overrides the embedded defaults; the loader rebuilds the
  // derived tables itself and ends the process when the file cannot be read.
  if (!paramFileName.empty()) LoadEvalParamFile(paramFileName.c_str());
  applyStartupEvaluation();

  searchMode = SEARCH_IDLE;
  setGamePosition(START_FEN);
  currentPly = 0;
  lastIrreversiblePly = 0;
  infoOutput = true;
}

// While idle, waits for input at most a millisecond at a time and executes waiting lines without
// a pause: an interface's "position" and "go" start the search at once. A pending search runs to
// completion on this thread before the next line is read, so a search ordered by "go" never starts
// inside the interpreter.
void mainLoop() {
  while (!quitRequested) {
    if (searchMode != SEARCH_IDLE) {
      runGoSearch();
      continue;
    }
    // The interface has closed our input and every line it sent has been executed: nothing can
    // ask for more work, and a search it ordered has already finished above. An open-ended
    // search that ended on its own still holds its answer, and no "stop" can come for it.
    if (inputClosed && !inputAvailable()) {
      answerGo();
      break;
    }
    if (!inputAvailable()) platform::waitForInput(1);
    pollInput();
  }
}

void runArgumentCommands(int count, char* const* words) {
  for (int i = 0; i < count && !quitRequested; ++i) {
    // Room beyond the text, as for a typed line: the interpreter may rewrite a short line.
    std::vector<char> line(std::strlen(words[i]) + 32, '\0');
    std::memcpy(line.data(), words[i], std::strlen(words[i]));
    executeLine(line.data());
    // Typed input still reaches the search ("isready", "stop", "quit"); the next word does not.
    if (searchMode != SEARCH_IDLE) runGoSearch();
    // An open-ended search that ended on its own would wait for a "stop" that no word sends.
    if (!quitRequested) answerGo();
  }
}

void shutdownEngine() {
  shutdownTimerThread();
  setSearchThreads(1);
}
