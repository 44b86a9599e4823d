// Castling rights in FEN: the standard letters, and with Chess960 on also the rook files of
// Shredder-FEN ("HAha") and the X-FEN reading of "KQkq" (the outermost rook on that side).
#include "board/castling.h"

#include <cctype>

#include "board/fen.h"

bool chess960 = false;

namespace {

constexpr int HOME_SQUARE[2][2] = {{7, 0}, {63, 56}};  // [side][short, long] in standard chess

// The outermost rook of `side` on its first rank beyond the king towards `step` (+1 towards h,
// -1 towards a), or NO_SQUARE.
int outermostRook(const Board& b, int side, int king, int step) {
  const uint8_t rook = codeFor(side, ROOK);
  const int first = step > 0 ? (king | 7) : (king & 56);
  for (int sq = first; sq != king; sq -= step)
    if (b.squares[sq] == rook) return sq;
  return NO_SQUARE;
}

void grant(Board& b, int side, int king, int rook) {
  const int right = castlingRight(side, rook > king ? CASTLE_SHORT : CASTLE_LONG);
  if (b.castling[right]) return;  // the first letter for a right wins
  b.castling[right] = 1;
  b.castlingRook[right] = uint8_t(rook);
}

void readChess960Rights(Board& b, const std::string& field) {
  for (char c : field) {
    const int side = std::isupper(static_cast<unsigned char>(c)) ? WHITE : BLACK;
    const char letter = char(std::tolower(static_cast<unsigned char>(c)));
    const int king = b.kingSquare[side];
    const int firstRank = side == WHITE ? 0 : 7;
    if (king >= 64 || rankOf(king) != firstRank) continue;
    int rook = NO_SQUARE;
    if (letter == 'k')
      rook = outermostRook(b, side, king, +1);
    else if (letter == 'q')
      rook = outermostRook(b, side, king, -1);
    else if (letter >= 'a' && letter <= 'h' && letter - 'a' != fileOf(king) &&
             b.squares[firstRank * 8 + (letter - 'a')] == codeFor(side, ROOK))
      rook = firstRank * 8 + (letter - 'a');
    if (rook != NO_SQUARE) grant(b, side, king, rook);
  }
}

void readStandardRights(Board& b, const std::string& field) {
  b.castling[CASTLE_WHITE_SHORT] = field.find('K') != std::string::npos;
  b.castling[CASTLE_WHITE_LONG] = field.find('Q') != std::string::npos;
  b.castling[CASTLE_BLACK_SHORT] = field.find('k') != std::string::npos;
  b.castling[CASTLE_BLACK_LONG] = field.find('q') != std::string::npos;
  // Rights only make sense with king and rook on their home squares.
  for (int side = WHITE; side <= BLACK; ++side) {
    for (int longSide = 0; longSide < 2; ++longSide) {
      const int right = side * 2 + longSide, rook = HOME_SQUARE[side][longSide];
      if (b.squares[side == WHITE ? 4 : 60] != codeFor(side, KING) ||
          b.squares[rook] != codeFor(side, ROOK))
        b.castling[right] = 0;
      if (b.castling[right]) b.castlingRook[right] = uint8_t(rook);
    }
  }
}

}  // namespace

void readCastlingField(Board& b, const std::string& field) {
  for (int right = 0; right < 4; ++right) {
    b.castling[right] = 0;
    b.castlingRook[right] = NO_SQUARE;
  }
  if (chess960)
    readChess960Rights(b, field);
  else
    readStandardRights(b, field);
}

std::string castlingFieldText(const Board& b) {
  static const char standardLetters[] = "KQkq";
  std::string text;
  for (int right = 0; right < 4; ++right) {
    if (!b.castling[right]) continue;
    const int side = right / 2, rook = b.castlingRook[right], king = b.kingSquare[side];
    // X-FEN: the letter of the side when the rook is the outermost there, else its file.
    const bool outermost = rook == outermostRook(b, side, king, rook > king ? +1 : -1);
    if (!chess960 || outermost)
      text += standardLetters[right];
    else
      text += char((side == WHITE ? 'A' : 'a') + fileOf(rook));
  }
  return text.empty() ? "-" : text;
}
