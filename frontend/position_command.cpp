#include "frontend/position_command.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "board/fen.h"
#include "board/makemove.h"
#include "board/movetext.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"

namespace {

// Once the game line has been compacted, entry 0 is no longer the set-up position; perft and
// divide then read this copy instead.
Board setupBoard;
PlyState setupState;
bool setupSaved = false;

void startNewGameLine() {
  currentPly = 0;
  lastIrreversiblePly = 0;
  setupSaved = false;
}

// Makes room on a full game line. The repetition test only looks back to the last irreversible
// move, so the positions from there on are moved to the start of the line; in a very long
// reversible stretch only the most recent half of the line is kept.
void compactGameLine() {
  if (!setupSaved) {
    setupBoard = gameBoards[0];
    setupState = gameStates[0];
    setupSaved = true;
  }
  int keep = std::min(currentPly - lastIrreversiblePly + 1, GAME_LINE_SIZE / 2);
  int first = currentPly - keep + 1;
  std::copy(gameBoards + first, gameBoards + first + keep, gameBoards);
  std::copy(gameStates + first, gameStates + first + keep, gameStates);
  lastIrreversiblePly = std::max(lastIrreversiblePly - first, 0);
  currentPly = keep - 1;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Coordinate text: from-square, to-square, an optional promotion letter. Writes the normalised
// text (lower-case promotion letter) into `text`.
bool wellFormedMove(const char* word, size_t length, char* text) {
  if (length != 4 && length != 5) return false;
  for (int i = 0; i < 4; i += 2) {
    if (word[i] < 'a' || word[i] > 'h' || word[i + 1] < '1' || word[i + 1] > '8') return false;
  }
  std::memcpy(text, word, length);
  text[length] = '\0';
  if (length == 5) {
    text[4] = char(std::tolower(static_cast<unsigned char>(word[4])));
    if (!std::strchr("qrnb", text[4])) return false;
  }
  return true;
}

// The set-up part of a "position" line: the FEN after "position fen", up to "moves".
std::string fenOfPositionLine(const char* line) {
  if (std::strncmp(line, "position fen", 12) != 0) return START_FEN;
  if (std::strlen(line) <= 13) return "";
  const char* fen = line + 13;
  const char* moves = std::strstr(fen, "moves");
  return moves ? std::string(fen, size_t(moves - fen)) : std::string(fen);
}

}  // namespace

bool setGamePosition(const char* fen) {
  std::string error;
  if (setPosition(gameBoards[0], gameStates[0], fen, &error)) return true;
  emitLine("info string position refused (%s); the previous position stays\n", error.c_str());
  return false;
}

void copySetupPosition(Board& board, PlyState& state) {
  board = setupSaved ? setupBoard : gameBoards[0];
  state = setupSaved ? setupState : gameStates[0];
}

void playGameMove(Move move) {
  if (currentPly + 1 >= GAME_LINE_SIZE) compactGameLine();
  int ply = currentPly;
  uint8_t mover = gameBoards[ply].squares[move.from];
  // Captures and pawn moves can never be undone: no earlier position can repeat.
  if (gameBoards[ply].squares[move.to] != EMPTY || kindOf(mover) == PAWN) {
    lastIrreversiblePly = ply;
  }
  makeMove(move, gameBoards[ply], gameBoards[ply + 1], gameStates[ply], gameStates[ply + 1]);
  currentPly = ply + 1;
}

void playMoveList(const char* text) {
  for (;;) {
    while (isBlank(*text)) ++text;
    if (*text == '\0') return;
    const char* word = text;
    while (*text != '\0' && !isBlank(*text)) ++text;
    size_t length = size_t(text - word);

    char moveText[6];
    if (!wellFormedMove(word, length, moveText)) {
      emitLine("info string malformed move \"%.*s\": the moves from it on are ignored\n",
               int(std::min<size_t>(length, 40)), word);
      return;
    }
    Move move = findLegalMove(gameBoards[currentPly], gameStates[currentPly], moveText);
    if (isNoMove(move)) {
      emitLine("info string illegal move %s: the moves from it on are ignored\n", moveText);
      return;
    }
    playGameMove(move);
  }
}

void commandPosition(const char* line) {
  searchMode = SEARCH_IDLE;
  // A rejected FEN keeps the whole previous game line; its move list is not played either,
  // since the moves were meant for the position that was refused.
  if (!setGamePosition(fenOfPositionLine(line).c_str())) return;
  startNewGameLine();
  const char* moves = std::strstr(line, "moves");
  if (moves) playMoveList(moves + 5);
}

void commandPf(const char* line) {
  searchMode = SEARCH_IDLE;
  if (!setGamePosition(line + 3)) return;
  startNewGameLine();
}
