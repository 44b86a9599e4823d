#include "frontend/evaluation_options.h"

#include <strings.h>

#include "eval/evaluate.h"
#include "eval/network.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "search/evaluation.h"

namespace {

std::string embeddedNetworkError;  // why the embedded net was refused; empty when it was not
// The evaluation of full-strength searches: the table after "TableEvaluation true", "-av", or
// when no net is usable. Limited-strength searches play on the table whatever this says.
bool tableChosen = true;

}  // namespace

void installStartupNetwork() {
  if (networkInstalled()) return;
  if (!installEmbeddedNetwork(embeddedNetworkError)) return;
  embeddedNetworkError.clear();
}

void applyStartupEvaluation() {
  if (!networkInstalled())
    emitLine("info string the embedded network is unusable (%s); the table evaluation plays\n",
             embeddedNetworkError.c_str());
  tableChosen = TABLE_EVALUATION_DEFAULT || !networkInstalled();
  // A table loaded to be measured is measured: tuning scripts start the engine with "-av".
  if (!paramFileName.empty()) {
    tableChosen = true;
    emitLine("info string -av %s: the table evaluation plays\n", paramFileName.c_str());
  }
  useTableEvaluation(tableChosen);
}

void setEvalFileOption(const std::string& value) {
  const bool embedded = value.empty() || value == "<default>";
  const std::string name = embedded ? "<default>" : value;
  std::string error;
  const bool installed =
      embedded ? installEmbeddedNetwork(error) : installNetworkFile(value, error);
  if (!installed) {
    emitLine("info string EvalFile %s refused: %s; the network in use stays %s\n", name.c_str(),
             error.c_str(), networkInstalled() ? networkName().c_str() : "none");
    return;
  }
  networkChanged();
  emitLine("info string network %s in use (%u hidden)%s\n", name.c_str(), networkHiddenSize(),
           tableChosen ? "; TableEvaluation is true, so the table plays" : "");
}

void setTableEvaluationOption(const std::string& value) {
  const bool on = strcasecmp(value.c_str(), "true") == 0;
  if (!on && strcasecmp(value.c_str(), "false") != 0) return;
  tableChosen = on;
  if (!useTableEvaluation(on)) {
    tableChosen = true;
    emitLine("info string no usable network is installed; the table evaluation plays\n");
  }
}

void selectSearchEvaluation(bool limitedStrength) {
  const bool table = tableChosen || limitedStrength;
  if (table == tableEvaluationInUse()) return;
  useTableEvaluation(table);
  if (limitedStrength)
    emitLine("info string UCI_LimitStrength: the levels play with the table evaluation\n");
}

void runOnTable(void (*tool)()) {
  const bool wasTable = tableEvaluationInUse();
  useTableEvaluation(true);
  tool();
  useTableEvaluation(wasTable);
}

// "evalnet": the network's static evaluation of the game position beside the table's, both as
// the search would use them, from white's view like "eval".
void commandEvalNet() {
  const Board& board = gameBoards[currentPly];
  PlyState state = gameStates[currentPly];
  int table = Evaluate(board, state);
  if (state.side == BLACK) table = -table;
  if (!networkInstalled()) {
    emitLine("network none table %i (centipawns, white's view)\n", table);
    return;
  }
  int network = networkEvaluationOf(board, state);
  if (state.side == BLACK) network = -network;
  emitLine("network %i table %i (centipawns, white's view)\n", network, table);
}
