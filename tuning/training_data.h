// The self-play training data file: written by `datagen`, read by the network trainer.
//
// A file is a sequence of game blocks, appended whole, one after another. A block is one game
// record followed by the position records of that game; every record is 32 bytes, little-endian,
// and ends with a kind byte and a check byte over the 31 bytes before it. A block is whole when
// its game record and every position record it announces are present and pass their checks; the
// whole blocks from the start of the file are the file's contents, anything after them is a
// torn tail (a stopped run) that readers drop and writers cut off before appending.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "board/types.h"

constexpr int TRAINING_RECORD_BYTES = 32;
constexpr uint8_t RECORD_KIND_GAME = 'G';
constexpr uint8_t RECORD_KIND_POSITION = 'P';

// Game results, from white's view in the game record, from the side to move's in a position.
constexpr uint8_t RESULT_LOSS = 0, RESULT_DRAW = 1, RESULT_WIN = 2;

// How a game ended (the game record's `ending`).
enum GameEnding : uint8_t {
  ENDING_MATE = 1,
  ENDING_STALEMATE = 2,
  ENDING_REPETITION = 3,
  ENDING_FIFTY_MOVES = 4,
  ENDING_MATERIAL = 5,     // neither side can mate
  ENDING_ADJUDGED_WIN = 6, // both sides' searches agreed on a decisive score for several moves
  ENDING_ADJUDGED_DRAW = 7,// a long run of scores near zero late in the game
  ENDING_MOVE_LIMIT = 8,   // scored as a draw
};

struct GameRecord {
  uint64_t gameIndex = 0;    // the game's number in its run (fixes its opening and random plies)
  uint32_t positions = 0;    // position records that follow
  uint16_t plies = 0;        // plies played from the opening position
  uint8_t whiteResult = RESULT_DRAW;
  uint8_t ending = 0;
};

// One position: the pieces as in a FEN (no castling or en-passant rights), who moves, the
// search's score for the side to move and the game's result for the side to move.
struct PositionRecord {
  uint64_t occupancy = 0;      // bit s: a piece on square s (a1 = 0)
  uint8_t pieces[16] = {};     // one nibble per set bit of occupancy, lowest square first, low
                            // nibble first: colour * 6 + kind - 1 (white pawn 0 .. black king 11)
  int16_t score = 0;           // centipawns, side to move's view
  uint8_t result = RESULT_DRAW;  // side to move's view
  uint8_t sideToMove = WHITE;
  uint8_t halfmoveClock = 0;
  uint8_t ply = 0;             // plies since the opening position, 255 at most
};

void encodeGameRecord(const GameRecord& game, uint8_t out[TRAINING_RECORD_BYTES]);
void encodePositionRecord(const PositionRecord& position, uint8_t out[TRAINING_RECORD_BYTES]);
// False when the bytes are not a whole record of that kind (wrong kind byte or check byte).
bool decodeGameRecord(const uint8_t in[TRAINING_RECORD_BYTES], GameRecord& game);
bool decodePositionRecord(const uint8_t in[TRAINING_RECORD_BYTES], PositionRecord& position);

// The position record of a board (score and result to be filled in by the caller).
PositionRecord packPosition(const Board& board, int sideToMove, int halfmoveClock, int ply);
// The piece code (board/types.h) on each square of a record, EMPTY where none; false when the
// record is not a sane position (more than 32 pieces, a nibble beyond 11, not one king a side).
bool unpackPieces(const PositionRecord& position, uint8_t squares[64]);

// Reads a data file block by block. Stops at the end of the whole blocks: `validBytes()` then
// tells where a writer must cut the file, and `tornBytes()` how much it would drop.
class TrainingDataReader {
 public:
  explicit TrainingDataReader(const std::string& path);
  ~TrainingDataReader();
  TrainingDataReader(const TrainingDataReader&) = delete;
  TrainingDataReader& operator=(const TrainingDataReader&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // The next whole game: its record and up to `capacity` positions (the positions it announces;
  // a block announcing more than `capacity` is treated as torn). False at the end of the whole
  // blocks.
  bool nextGame(GameRecord& game, PositionRecord* positions, int capacity);
  uint64_t validBytes() const { return validBytes_; }
  uint64_t tornBytes() const { return fileBytes_ - validBytes_; }

 private:
  std::FILE* file_ = nullptr;
  uint64_t fileBytes_ = 0;
  uint64_t validBytes_ = 0;
};

// The most positions one game block may hold.
constexpr int MAX_GAME_POSITIONS = 1024;
