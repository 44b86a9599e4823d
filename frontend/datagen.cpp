#include "frontend/datagen.h"

#include "frontend/engine_state.h"

// Placeholder until the self-play generator lands: the word is taken, nothing is generated.
int runDatagen(int, char**) {
  emitLine("info string datagen is not built yet\n");
  return 1;
}
