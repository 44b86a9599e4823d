#include "frontend/engine.h"

#include "board/fen.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/params.h"
#include "frontend/engine_state.h"
#include "frontend/input.h"
#include "frontend/platform.h"
#include "frontend/timer.h"
#include "search/history.h"
#include "search/iterate.h"
#include "search/tt.h"

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
  clearKillersAndHistory();
}

void initEngine() {
  initConsoleInput();
  createTimerThread();
  initEngineData();

  // A parameter file named by "-av" overrides the embedded defaults; the loader rebuilds the
  // derived tables itself and ends the process when the file cannot be read.
  if (!paramFileName.empty()) LoadEvalParamFile(paramFileName.c_str());

  searchMode = 0;
  setGamePosition(START_FEN);
  currentPly = 0;
  lastIrreversiblePly = 0;
  infoOutput = true;
}

// One pass per millisecond while idle. A pending search runs to completion on this thread before
// the next line is read, so a search ordered by "go" never starts inside the interpreter.
void mainLoop() {
  while (!quitRequested) {
    if (searchMode != 0) {
      startSearch();
      searchMode = 0;
      continue;
    }
    // The interface has closed our input and every line it sent has been executed: nothing can
    // ask for more work, and a search it ordered has already finished above. An open-ended
    // search that ended on its own still holds its answer, and no "stop" can come for it.
    if (inputClosed && !inputAvailable()) {
      reportBestMove();
      break;
    }
    platform::sleepMs(1);
    pollInput();
  }
}

void runEngine() {
  initEngine();
  mainLoop();
}
