#include "board/movetext.h"

#include "board/castling.h"
#include "board/movegen.h"

void moveToText(Move move, char* text) {
  text[0] = char('a' + fileOf(move.from));
  text[1] = char('1' + rankOf(move.from));
  text[2] = char('a' + fileOf(move.to));
  text[3] = char('1' + rankOf(move.to));
  text[4] = isPromotionKind(move.kind) ? "???qrnb"[move.kind] : '\0';
  text[5] = '\0';
}

std::string moveText(Move move) {
  char text[6];
  moveToText(move, text);
  return text;
}

Move findLegalMove(const Board& board, PlyState& state, const char* text) {
  if (!text) return NO_MOVE;
  for (int i = 0; i < 4; ++i) {
    char c = text[i];
    bool file = (i % 2 == 0);
    if (file ? (c < 'a' || c > 'h') : (c < '1' || c > '8')) return NO_MOVE;
  }
  const int from = (text[1] - '1') * 8 + (text[0] - 'a');
  const int to = (text[3] - '1') * 8 + (text[2] - 'a');
  uint8_t promotion = MOVE_NORMAL;
  switch (text[4]) {
    case 'q': promotion = PROMOTE_QUEEN; break;
    case 'r': promotion = PROMOTE_ROOK; break;
    case 'n': promotion = PROMOTE_KNIGHT; break;
    case 'b': promotion = PROMOTE_BISHOP; break;
    default: break;
  }
  MoveList list;
  int count = legalMoves(board, state, list);
  for (int i = 0; i < count; ++i) {
    Move move = list.moves[i];
    if (move.from != from || move.to != to) continue;
    if (isPromotionKind(move.kind) ? move.kind == promotion : promotion == MOVE_NORMAL)
      return move;
  }
  // In Chess960 castling is written as the king taking its own rook; the standard text (the
  // king's goal, e1g1) is taken too where no king step can mean it: two or more files.
  if (chess960 && from == board.kingSquare[state.side] && promotion == MOVE_NORMAL &&
      (fileOf(from) - fileOf(to) >= 2 || fileOf(to) - fileOf(from) >= 2)) {
    for (int i = 0; i < count; ++i) {
      Move move = list.moves[i];
      if (isCastlingKind(move.kind) && castlingKingGoal(state.side, move.kind) == to) return move;
    }
  }
  return NO_MOVE;
}
