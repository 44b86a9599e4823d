// Entry point: the banner, the one command-line option, then the engine.
#include <cstdio>
#include <cstring>

#include "frontend/engine.h"
#include "frontend/engine_state.h"
#include "frontend/input.h"
#include "frontend/platform.h"
#include "frontend/timer.h"
#include "frontend/bench.h"
#include "frontend/datagen.h"

int main(int argc, char** argv) {
  // Every output line must leave at once, also when standard output is a pipe.
  platform::initOutput();
  emitLine("Corvanel %s by Ferrolan\n", versionString);

  // "datagen ..." generates self-play training data and ends; its words are its own options.
  if (argc >= 2 && std::strcmp(argv[1], "datagen") == 0) return runDatagen(argc - 2, argv + 2);

  // "-av <file>" loads an evaluation parameter file; any other command line is ignored.
  paramFileName.clear();
  if (argc == 3 && std::strcmp(argv[1], "-av") == 0) paramFileName = argv[2];

  initEngine();
  // "corvanel bench" (as the only argument) runs the regression bench and exits, as testers expect.
  if (argc == 2 && std::strcmp(argv[1], "bench") == 0) {
    commandOwnsInput = true;
    runBench();
    shutdownEngine();
    return 0;
  }
  mainLoop();
  shutdownEngine();
  return 0;
}
