#include "frontend/go.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "board/movetext.h"
#include "frontend/engine_state.h"
#include "search/search.h"

GoLimits goLimits;
bool goPonder = false;

namespace {

// Reads the number after the word that starts at `at` ("%*s %d"); keeps `field` when there is
// none.
template <typename T>
void readNumberAfter(const char* at, T& field) {
  long long value = 0;
  if (std::sscanf(at, "%*s %lld", &value) == 1) field = T(value);
}

bool looksLikeMove(const char* word) {
  return word[0] >= 'a' && word[0] <= 'h' && word[1] >= '1' && word[1] <= '8' &&
         word[2] >= 'a' && word[2] <= 'h' && word[3] >= '1' && word[3] <= '8';
}

// The words after "searchmoves" that name legal moves of the game position, up to the first
// word that is not a move.
void readSearchMoves(const char* at) {
  goLimits.searchMoveCount = 0;
  const char* p = at + std::strlen("searchmoves");
  Board board = gameBoards[currentPly];
  PlyState state = gameStates[currentPly];
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    char word[8] = {0};
    int length = 0;
    while (p[length] && !std::isspace(static_cast<unsigned char>(p[length]))) ++length;
    if (length < 4 || length > 5) break;
    std::memcpy(word, p, size_t(length));
    if (!looksLikeMove(word)) break;
    Move move = findLegalMove(board, state, word);
    if (!isNoMove(move) && goLimits.searchMoveCount < MAX_SEARCH_MOVES)
      goLimits.searchMoves[goLimits.searchMoveCount++] = move;
    p += length;
  }
}

}  // namespace

void parseGo(const char* line) {
  stopSearch = false;
  searchMode = SEARCH_OWN_CLOCK;
  GoLimits& g = goLimits;
  g.goFlags = 0;
  g.searchMoveCount = 0;
  goPonder = false;
  // A clock is never carried over: "wtime" with "binc" but no "winc" means no white increment,
  // not the one of an earlier game.
  g.time[WHITE] = g.time[BLACK] = 0;
  g.increment[WHITE] = g.increment[BLACK] = 0;
  const char* at;
  if (std::strstr(line, "infinite")) g.goFlags |= GO_INFINITE;
  if (std::strstr(line, "ponder")) {
    g.goFlags |= GO_INFINITE;
    searchMode = SEARCH_PONDERING;
    goPonder = true;
  }
  // Restricting the root moves limits nothing by itself.
  if ((at = std::strstr(line, "searchmoves"))) readSearchMoves(at);
  if ((at = std::strstr(line, "wtime"))) g.goFlags |= GO_TIME, readNumberAfter(at, g.time[WHITE]);
  if ((at = std::strstr(line, "btime"))) g.goFlags |= GO_TIME, readNumberAfter(at, g.time[BLACK]);
  if ((at = std::strstr(line, "winc")))
    g.goFlags |= GO_INC, readNumberAfter(at, g.increment[WHITE]);
  if ((at = std::strstr(line, "binc")))
    g.goFlags |= GO_INC, readNumberAfter(at, g.increment[BLACK]);
  if ((at = std::strstr(line, "movestogo")))
    g.goFlags |= GO_MOVESTOGO, readNumberAfter(at, g.movesToGo);
  if ((at = std::strstr(line, "depth"))) g.goFlags |= GO_DEPTH, readNumberAfter(at, g.depth);
  if ((at = std::strstr(line, "nodes"))) g.goFlags |= GO_NODES, readNumberAfter(at, g.nodes);
  // A mate search ends when the mate is proved; it is not open-ended by itself.
  if ((at = std::strstr(line, "mate"))) g.goFlags |= GO_MATE, readNumberAfter(at, g.mate);
  if ((at = std::strstr(line, "movetime")))
    g.goFlags |= GO_MOVETIME, readNumberAfter(at, g.moveTime);
  if (g.goFlags == 0) g.goFlags = GO_INFINITE;
}
