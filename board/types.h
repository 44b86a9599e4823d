// The board vocabulary every subsystem shares: squares, piece codes, moves, the per-position
// records and the stacks they live on. Plain data only; the operations are in the other board/
// files.
#pragma once

#include <cstdint>
#include <cstring>

using Bitboard = uint64_t;

// Squares: file + 8 * rank, a1 = 0, h8 = 63.
constexpr uint8_t NO_SQUARE = 127;

// Piece codes. A black code is the white code plus 7; colour tests compare with EMPTY.
constexpr uint8_t PAWN = 1, KNIGHT = 2, BISHOP = 3, ROOK = 4, QUEEN = 5, KING = 6;
constexpr uint8_t WHITE_PAWN = 1, WHITE_KNIGHT = 2, WHITE_BISHOP = 3, WHITE_ROOK = 4,
                  WHITE_QUEEN = 5, WHITE_KING = 6;
constexpr uint8_t EMPTY = 7;
constexpr uint8_t BLACK_PAWN = 8, BLACK_KNIGHT = 9, BLACK_BISHOP = 10, BLACK_ROOK = 11,
                  BLACK_QUEEN = 12, BLACK_KING = 13;
constexpr uint8_t BLACK_OFFSET = 7;
constexpr int PIECE_CODES = 14;

constexpr int WHITE = 0, BLACK = 1;

inline bool isWhitePiece(uint8_t code) { return code < EMPTY && code != 0; }
inline bool isBlackPiece(uint8_t code) { return code > EMPTY; }
inline int sideOfCode(uint8_t code) { return code > EMPTY ? BLACK : WHITE; }
// The code of a piece kind (PAWN..KING) for a side.
inline uint8_t codeFor(int side, uint8_t kind) { return uint8_t(kind + side * BLACK_OFFSET); }
// The kind (PAWN..KING) of a piece code.
inline uint8_t kindOf(uint8_t code) { return code > EMPTY ? uint8_t(code - BLACK_OFFSET) : code; }

inline int fileOf(int sq) { return sq & 7; }
inline int rankOf(int sq) { return sq >> 3; }
inline int mirrorSquare(int sq) { return sq ^ 56; }

// Move kinds (byte 3 of a Move).
constexpr uint8_t MOVE_NORMAL = 0, CASTLE_SHORT = 1, CASTLE_LONG = 2, PROMOTE_QUEEN = 3,
                  PROMOTE_ROOK = 4, PROMOTE_KNIGHT = 5, PROMOTE_BISHOP = 6;

inline bool isPromotionKind(uint8_t kind) { return kind >= PROMOTE_QUEEN; }
// The white piece kind a promotion kind creates.
inline uint8_t promotionPieceKind(uint8_t kind) {
  static constexpr uint8_t pieceOf[7] = {0, 0, 0, QUEEN, ROOK, KNIGHT, BISHOP};
  return pieceOf[kind];
}

// A move: four bytes compared and copied as one 32-bit word. from == NO_SQUARE marks a move that
// was struck out of a list (illegal or already tried) or no move at all.
struct Move {
  uint8_t from;
  uint8_t to;
  uint8_t captured;  // code on the to-square before the move; the pawn's code for en passant
  uint8_t kind;
};
static_assert(sizeof(Move) == 4, "Move must stay four bytes");

inline uint32_t moveBits(Move m) {
  uint32_t bits;
  std::memcpy(&bits, &m, 4);
  return bits;
}
inline bool sameMove(Move a, Move b) { return moveBits(a) == moveBits(b); }
inline bool isNoMove(Move m) { return m.from == NO_SQUARE; }
constexpr Move NO_MOVE = {NO_SQUARE, NO_SQUARE, EMPTY, MOVE_NORMAL};

// Promotions can give a side up to ten pieces of one code, so lists and slider slots hold ten.
constexpr int LIST_CAPACITY = 10;

// Slider attack slots, one group per kind and colour.
constexpr int SLOT_WHITE_BISHOP = 0, SLOT_BLACK_BISHOP = 1, SLOT_WHITE_ROOK = 2,
              SLOT_BLACK_ROOK = 3, SLOT_WHITE_QUEEN = 4, SLOT_BLACK_QUEEN = 5;
inline bool isSliderCode(uint8_t code) {
  uint8_t kind = kindOf(code);
  return kind >= BISHOP && kind <= QUEEN;
}
// Slot group of a bishop, rook or queen code.
inline int sliderGroup(uint8_t code) { return (kindOf(code) - BISHOP) * 2 + (code > EMPTY); }
// The piece code of each slot group.
constexpr uint8_t SLIDER_OF_GROUP[6] = {WHITE_BISHOP, BLACK_BISHOP, WHITE_ROOK,
                                        BLACK_ROOK,   WHITE_QUEEN,  BLACK_QUEEN};

constexpr int CASTLE_WHITE_SHORT = 0, CASTLE_WHITE_LONG = 1, CASTLE_BLACK_SHORT = 2,
              CASTLE_BLACK_LONG = 3;

inline bool isCastlingKind(uint8_t kind) { return kind == CASTLE_SHORT || kind == CASTLE_LONG; }

// One whole position. Copied at every move (copy-make: copyBoard in board/makemove.h), so it
// holds no pointers.
// Invariant: every field describes the same position as `squares`, and `key` equals the key
// computed from scratch.
struct alignas(8) Board {
  uint8_t squares[64];                 // piece code per square, EMPTY where none
  uint8_t castling[4];                 // 1 = right still held; CASTLE_* order
  uint8_t kingSquare[2];               // NO_SQUARE only while a FEN is being read
  uint64_t key;
  int32_t materialMg[2];               // middle-game piece values per side
  int32_t materialEg[2];
  int32_t pstMg;                       // piece-square sums of both colours (black entries negative)
  int32_t pstEg;
  uint8_t pieceCount[PIECE_CODES];
  // Per piece: pawn 1, knight 1024, bishop 256, rook 64, queen 16, king 4096.
  int32_t materialSignature[2];
  uint8_t pawnFileMask[2];             // bit f: the side has a pawn on file f
  uint8_t pawnsOnFile[2][8];
  uint8_t castlingRook[4];             // the rook each held right castles with; NO_SQUARE if none
  Bitboard pieceBitboards[PIECE_CODES];
  Bitboard occupancy[2];
  uint8_t pieceList[PIECE_CODES][LIST_CAPACITY];  // squares, packed at the front, NO_SQUARE after
  uint8_t listIndex[64];               // position of a square's piece in its list
  // For each square, the from-square of the last move made to it (NO_SQUARE after set-up and for
  // a promotion); move ordering lowers a piece's move straight back where it came from.
  uint8_t origin[64];
  // Per slot group, indexed by list position. Only the first pieceCount slots of a group mean
  // anything (make-move copies no others), so this stays the last field.
  alignas(8) Bitboard sliderAttacks[6][LIST_CAPACITY];
};

// Whether the side to move may stand in check. Make-move only marks the moves that could give
// check (CHECK_POSSIBLE); kingAttacked tests those.
enum CheckState : uint8_t { CHECK_NONE = 0, CHECK_KNOWN = 1, CHECK_POSSIBLE = 2 };

// A piece put on or taken off the board by a move.
struct PieceChange {
  uint8_t code;
  uint8_t square;
};

// The side to move and what the previous move did. Make-move starts each child record from a
// copy of the parent and resets or recomputes the fields as noted.
struct PlyState {
  uint8_t side;               // 0 white, 1 black
  uint8_t captured;           // code captured by the move that led here, EMPTY for none
  uint8_t lastFrom;           // NO_SQUARE after set-up and after a null move
  uint8_t lastTo;
  uint8_t threatSquare;       // written by the move generator
  int32_t lastMoverValue;     // ExchangeValue of the piece left on lastTo; 0 after set-up/null
  Bitboard lastMoverAttacks;  // that piece's attack set on its new square
  uint8_t epSquare;           // the pawn that just made a double step (on its square), or none
  uint8_t checkState;         // CheckState
  uint8_t halfmoveClock;
  uint8_t plyCount;           // plies since the last set-up or null move
  uint8_t captureRun;         // consecutive captures that led here
  // What the move that led here took off and put on the board, so that whatever is summed over
  // the pieces can follow the move instead of being recounted: the mover from its square first,
  // then a captured piece (en passant too) or the castling rook; the piece that stands on the
  // landing square first, then the castling rook. Castling lifts both before setting either down,
  // as Chess960 needs. None after a null move or a set-up (removedCount = addedCount = 0).
  uint8_t removedCount, addedCount;
  PieceChange removed[2], added[2];
  int32_t staticEval;         // NO_EVAL until computed
  // Attack summaries, recomputed after every move; [side].
  Bitboard pawnAttacks[2];
  Bitboard bishopAttacks[2];
  Bitboard knightAttacks[2];
  Bitboard rookAttacks[2];
  Bitboard queenAttacks[2];
  Bitboard attacksMinorRook[2];  // pawns, knights, bishops, rooks
  Bitboard attacksNoKing[2];     // the same plus queens
  Bitboard attacksAll[2];        // the same plus the king's neighbourhood
  Bitboard evalScratch;          // all bits set = not computed yet (filled lazily by the search)
};

constexpr int32_t NO_EVAL = -20000;
constexpr Bitboard SCRATCH_UNSET = ~Bitboard(0);

constexpr int MAX_LIST_MOVES = 501;

// One ply's generated moves with their ordering data.
struct MoveList {
  Move moves[MAX_LIST_MOVES + 1];
  int64_t scores[MAX_LIST_MOVES];
  uint8_t tags[MAX_LIST_MOVES];
  int32_t extra[MAX_LIST_MOVES];
  int32_t count;
};

// Quiet-move scores by [moving piece code][to-square]: the search keeps one table per thread and
// hands it to the move generators, which order quiet moves by it.
using HistoryTable = int32_t[PIECE_CODES][64];

// The piece codes of one colour, as the attack tests take them.
struct SideCodes {
  int32_t side;
  uint8_t king, queen, rook, bishop, knight, pawn;
};
extern const SideCodes whiteCodes;
extern const SideCodes blackCodes;

// The game line: entry 0 is the position set up from FEN, entry i + 1 is entry i after the i-th
// move of the protocol's move list. Written by the front end (and the tools) between searches;
// a search reads it, never writes it. Each search thread keeps its own line of SEARCH_LINE_SIZE
// records, the move of ply p made from slot p into slot p + 1.
constexpr int GAME_LINE_SIZE = 1024;
constexpr int SEARCH_LINE_SIZE = 129;
constexpr int MAX_PLY = 128;
extern Board gameBoards[GAME_LINE_SIZE];
extern PlyState gameStates[GAME_LINE_SIZE];

// Game-line bookkeeping kept by the protocol's move-list reader for the repetition test.
extern int currentPly;
extern int lastIrreversiblePly;

// Letters of `taulell`, indexed by piece code (Catalan initials; EMPTY prints "_").
extern const char pieceLetters[PIECE_CODES + 1];
