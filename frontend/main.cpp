// Entry point: the banner, the command line, then the engine.
#include <cstring>

#include "frontend/datagen.h"
#include "frontend/engine.h"
#include "frontend/engine_state.h"
#include "frontend/platform.h"

int main(int argc, char** argv) {
  // Every output line must leave at once, also when standard output is a pipe.
  platform::initOutput();
  emitLine("Corvanel %s by Ferrolan\n", versionString);

  // "datagen ..." generates self-play training data and ends; its words are its own options.
  if (argc >= 2 && std::strcmp(argv[1], "datagen") == 0) return runDatagen(argc - 2, argv + 2);

  // "-av <file>" first loads an evaluation parameter file.
  paramFileName.clear();
  int firstCommand = 1;
  if (argc >= 2 && std::strcmp(argv[1], "-av") == 0) {
    if (argc < 3) {
      emitLine("info string -av needs the name of a parameter file\n");
      return 1;
    }
    paramFileName = argv[2];
    firstCommand = 3;
  }

  initEngine();
  // Any further words are commands, run in order, after which the program ends (testers run
  // "corvanel bench" or "corvanel \"setoption name Hash value 16\" bench quit").
  if (firstCommand < argc) {
    runArgumentCommands(argc - firstCommand, argv + firstCommand);
  } else {
    mainLoop();
  }
  shutdownEngine();
  return 0;
}
