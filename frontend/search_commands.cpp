// Handlers of the search's commands: "ucinewgame", "setoption", "SEE", "go", "stop", "bench".
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "search/bench.h"
#include "search/exchange.h"
#include "search/iterate.h"
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

bool isSquareText(const char* text) {
  return text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8';
}

int squareOf(const char* text) { return (text[1] - '1') * 8 + (text[0] - 'a'); }

}  // namespace

void commandUciNewGame() { clearForNewGame(); }

void commandSetOption(const char* line) {
  char first[256] = "", second[256] = "";
  if (std::sscanf(line, "setoption name %255s %255s", first, second) == 2 &&
      strcasecmp(first, "clear") == 0 && strcasecmp(second, "hash") == 0) {
    if (!rebuildHashTables(hashBytes))
      emitLine("info string No s'han pogut refer les taules hash; es mantenen les actuals\n");
    return;
  }
  char name[256] = "", value[256] = "";
  if (std::sscanf(line, "setoption name %255s value %255s", name, value) < 1) return;
  if (strcasecmp(name, "Hash") != 0) return;  // "Ponder" and the rest need nothing
  uint64_t megabytes = leadingNumber(value, uint64_t(1) << 40);
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
  // "SEE e2e4": the move's squares follow the word and one blank.
  if (std::strlen(line) < 8 || !isSquareText(line + 4) || !isSquareText(line + 6)) return;
  char promotion = line[8];
  if (promotion == 'b' || promotion == 'n' || promotion == 'q' || promotion == 'r') {
    emitLine("%i\n", 0);
    return;
  }
  const Board& board = gameBoards[currentPly];
  const PlyState& state = gameStates[currentPly];
  Move move = {uint8_t(squareOf(line + 4)), uint8_t(squareOf(line + 6)), EMPTY, MOVE_NORMAL};
  move.captured = board.squares[move.to];
  // Only a piece of the side to move can start an exchange, and not onto its own piece.
  uint8_t mover = board.squares[move.from];
  if (mover == EMPTY || sideOfCode(mover) != state.side ||
      (move.captured != EMPTY && sideOfCode(move.captured) == state.side)) {
    emitLine("%i\n", 0);
    return;
  }
  emitLine("%i\n", staticExchange(board, state, move));
}

void commandGo(char* line) {
  // A "go" after a search that ended unanswered answers it first. (The depth shortcuts parse
  // their line twice; the second pass finds the new search pending and leaves it alone.)
  if (searchMode == 0) reportBestMove();
  parseGo(line);
  bestMoveOwed = true;
}

void commandStop() {
  reportBestMove();
  searchMode = 0;
  stopSearch = true;
}

void commandBench() { runBench(); }
