// Position set-up from FEN and the from-scratch build that incremental make-move must agree with.
#include "board/fen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/bitops.h"
#include "board/castling.h"
#include "board/keys.h"
#include "board/makemove.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/evaluate.h"

namespace {

constexpr int FEN_FIELDS = 5;

// Splits the text at blanks into at most FEN_FIELDS fields (copies, the caller's text is kept).
int splitFields(const char* text, std::string fields[FEN_FIELDS]) {
  int count = 0;
  const char* p = text;
  while (count < FEN_FIELDS) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0' || *p == '\n' || *p == '\r') break;
    const char* start = p;
    while (*p && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') ++p;
    fields[count++].assign(start, size_t(p - start));
  }
  return count;
}

bool fail(std::string* error, const char* reason) {
  if (error) *error = reason;
  return false;
}

int pieceCodeOfLetter(char c) {
  static const char letters[] = "PNBRQKpnbrqk";
  static const uint8_t codes[] = {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13};
  const char* at = std::strchr(letters, c);
  return (c != '\0' && at) ? codes[at - letters] : 0;
}

// The pieces in the order the lists are filled: white file a to h, each file from rank 1 up;
// then black file h to a, each file from rank 8 down. Move generation takes pieces in this order.
void fillListsInSetUpOrder(Board& b) {
  auto visit = [&b](int sq) {
    uint8_t code = b.squares[sq];
    int side = sideOfCode(code);
    b.pieceBitboards[code] |= bitOf(sq);
    b.occupancy[side] |= bitOf(sq);
    b.materialSignature[side] += signatureWeight[code];
    int index = b.pieceCount[code]++;
    b.pieceList[code][index] = uint8_t(sq);
    b.listIndex[sq] = uint8_t(index);
  };
  for (int file = 0; file < 8; ++file)
    for (int rank = 0; rank < 8; ++rank)
      if (isWhitePiece(b.squares[rank * 8 + file])) visit(rank * 8 + file);
  for (int file = 7; file >= 0; --file)
    for (int rank = 7; rank >= 0; --rank)
      if (isBlackPiece(b.squares[rank * 8 + file])) visit(rank * 8 + file);
}

}  // namespace

void recomputeScoreSums(Board& b) {
  std::memset(b.materialMg, 0, sizeof b.materialMg);
  std::memset(b.materialEg, 0, sizeof b.materialEg);
  b.pstMg = b.pstEg = 0;
  for (int sq = 0; sq < 64; ++sq) {
    const uint8_t code = b.squares[sq];
    if (code == EMPTY) continue;
    b.materialMg[sideOfCode(code)] += PieceValueMgByCode[code];
    b.materialEg[sideOfCode(code)] += PieceValueEgByCode[code];
    b.pstMg += PstMg[code][sq];
    b.pstEg += PstEg[code][sq];
  }
}

void rebuildFromSquares(Board& b, PlyState& state) {
  // Everything but the mailbox, castling flags, king squares and move origins is derived here.
  std::memset(b.pieceCount, 0, sizeof b.pieceCount);
  std::memset(b.materialSignature, 0, sizeof b.materialSignature);
  std::memset(b.pawnFileMask, 0, sizeof b.pawnFileMask);
  std::memset(b.pawnsOnFile, 0, sizeof b.pawnsOnFile);
  std::memset(b.pieceBitboards, 0, sizeof b.pieceBitboards);
  std::memset(b.occupancy, 0, sizeof b.occupancy);
  std::memset(b.pieceList, NO_SQUARE, sizeof b.pieceList);
  std::memset(b.listIndex, 0, sizeof b.listIndex);
  std::memset(b.sliderAttacks, 0, sizeof b.sliderAttacks);
  b.kingSquare[WHITE] = b.kingSquare[BLACK] = NO_SQUARE;
  for (int sq = 0; sq < 64; ++sq) {
    if (b.squares[sq] == WHITE_KING) b.kingSquare[WHITE] = uint8_t(sq);
    if (b.squares[sq] == BLACK_KING) b.kingSquare[BLACK] = uint8_t(sq);
  }

  fillListsInSetUpOrder(b);
  recomputeScoreSums(b);
  for (int sq = 0; sq < 64; ++sq) {
    uint8_t code = b.squares[sq];
    if (code == EMPTY) continue;
    if (kindOf(code) == PAWN) {
      int side = sideOfCode(code);
      b.pawnsOnFile[side][fileOf(sq)]++;
      b.pawnFileMask[side] |= fileBit[fileOf(sq)];
    }
  }
  b.key = computeKey(b, state);

  state.captured = EMPTY;
  state.lastFrom = state.lastTo = NO_SQUARE;
  state.threatSquare = NO_SQUARE;
  state.removedCount = state.addedCount = 0;
  state.staticEval = NO_EVAL;
  state.lastMoverAttacks = 0;
  state.lastMoverValue = 0;
  state.evalScratch = SCRATCH_UNSET;
  for (int sq = 0; sq < 64; ++sq)
    if (isSliderCode(b.squares[sq])) computeSliderAttacks(b, sq, b.squares[sq]);
  computeAttackSummaries(b, state);
  int side = state.side;
  const bool inCheck = (state.attacksAll[side ^ 1] >> b.kingSquare[side]) & 1;
  state.checkState = inCheck ? CHECK_KNOWN : CHECK_NONE;
}

bool setPosition(Board& board, PlyState& state, const char* fen, std::string* error) {
  std::string fields[FEN_FIELDS];
  int fieldCount = splitFields(fen ? fen : "", fields);
  if (fieldCount == 0) return fail(error, "empty position");

  Board b;
  PlyState s;
  std::memset(&b, 0, sizeof b);
  std::memset(&s, 0, sizeof s);
  std::memset(b.squares, EMPTY, sizeof b.squares);

  // Placement: a8 to h8, then a7 to h7, ... down to h1. Slashes only separate ranks for the reader.
  int filled = 0;
  int kings[2] = {0, 0};
  for (char c : fields[0]) {
    if (filled >= 64) break;
    if (c == '/') continue;
    if (c >= '1' && c <= '8') {
      filled += c - '0';
      continue;
    }
    int code = pieceCodeOfLetter(c);
    if (code == 0) return fail(error, "bad character in the piece placement");
    int sq = (filled % 8) + 8 * (7 - filled / 8);
    b.squares[sq] = uint8_t(code);
    if (kindOf(uint8_t(code)) == KING) {
      kings[sideOfCode(uint8_t(code))]++;
      b.kingSquare[sideOfCode(uint8_t(code))] = uint8_t(sq);
    }
    if (kindOf(uint8_t(code)) == PAWN && (rankOf(sq) == 0 || rankOf(sq) == 7))
      return fail(error, "a pawn on the first or last rank");
    ++filled;
  }
  if (filled < 64) return fail(error, "the piece placement has fewer than 64 squares");
  if (kings[WHITE] != 1 || kings[BLACK] != 1)
    return fail(error, "each side needs exactly one king");
  int perCode[PIECE_CODES] = {};
  for (int sq = 0; sq < 64; ++sq)
    if (b.squares[sq] != EMPTY && ++perCode[b.squares[sq]] > LIST_CAPACITY)
      return fail(error, "more pieces of one kind than the engine can hold");
  // Every pawn may still promote to any kind, and no list may then overflow.
  for (int side = WHITE; side <= BLACK; ++side)
    for (uint8_t kind = KNIGHT; kind <= QUEEN; ++kind)
      if (perCode[codeFor(side, kind)] + perCode[codeFor(side, PAWN)] > LIST_CAPACITY)
        return fail(error, "more pieces of one kind than promotions would leave room for");

  // Side to move, castling, en passant, halfmove clock. Missing fields take "w", "-", "-", 0.
  const std::string side = fieldCount > 1 ? fields[1] : "w";
  if (side == "w")
    s.side = WHITE;
  else if (side == "b")
    s.side = BLACK;
  else
    return fail(error, "the side to move must be w or b");

  readCastlingField(b, fieldCount > 2 ? fields[2] : "-");

  s.epSquare = NO_SQUARE;
  if (fieldCount > 3 && fields[3].size() >= 2) {
    char file = fields[3][0], rank = fields[3][1];
    if (file < 'a' || file > 'h' || (rank != '3' && rank != '6'))
      return fail(error, "bad en-passant square");
    int target = (rank - '1') * 8 + (file - 'a');
    int pawnSquare = s.side == BLACK ? target + 8 : target - 8;
    // Keep the square only when a pawn really just made the double step past it.
    uint8_t expected = s.side == BLACK ? WHITE_PAWN : BLACK_PAWN;
    if ((s.side == BLACK) == (rank == '3') && b.squares[pawnSquare] == expected &&
        b.squares[target] == EMPTY)
      s.epSquare = uint8_t(pawnSquare);
  }

  s.halfmoveClock = fieldCount > 4 ? uint8_t(std::atoi(fields[4].c_str())) : 0;
  s.plyCount = 0;
  s.captureRun = 0;

  rebuildFromSquares(b, s);
  int other = s.side ^ 1;
  if ((s.attacksAll[s.side] >> b.kingSquare[other]) & 1)
    return fail(error, "the side not to move is in check");

  std::memset(b.origin, NO_SQUARE, sizeof b.origin);
  board = b;
  state = s;
  Evaluate(board, state);
  return true;
}

std::string boardToFen(const Board& board, const PlyState& state) {
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int gap = 0;
    for (int file = 0; file < 8; ++file) {
      uint8_t code = board.squares[rank * 8 + file];
      if (code == EMPTY) {
        ++gap;
        continue;
      }
      if (gap) fen += char('0' + gap);
      gap = 0;
      fen += "?PNBRQK?pnbrqk"[code];
    }
    if (gap) fen += char('0' + gap);
    if (rank) fen += '/';
  }
  fen += state.side == WHITE ? " w " : " b ";
  fen += castlingFieldText(board);
  if (state.epSquare != NO_SQUARE) {
    int target = state.side == WHITE ? state.epSquare + 8 : state.epSquare - 8;
    fen += ' ';
    fen += char('a' + fileOf(target));
    fen += char('1' + rankOf(target));
  } else {
    fen += " -";
  }
  fen += ' ' + std::to_string(state.halfmoveClock) + " 1";
  return fen;
}
