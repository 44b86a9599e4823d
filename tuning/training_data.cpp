#include "tuning/training_data.h"

#include <cstring>
#include <filesystem>

namespace {

uint8_t checkByte(const uint8_t* bytes) {
  uint32_t check = 0x5A;
  for (int i = 0; i < TRAINING_RECORD_BYTES - 1; ++i) check = (check * 31 + bytes[i]) & 0xFF;
  return uint8_t(check);
}

void put(uint8_t* out, int at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = uint8_t(value >> (8 * i));
}

uint64_t get(const uint8_t* in, int at, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= uint64_t(in[at + i]) << (8 * i);
  return value;
}

void seal(uint8_t* out, uint8_t kind) {
  out[TRAINING_RECORD_BYTES - 2] = kind;
  out[TRAINING_RECORD_BYTES - 1] = checkByte(out);
}

bool sealed(const uint8_t* in, uint8_t kind) {
  return in[TRAINING_RECORD_BYTES - 2] == kind && in[TRAINING_RECORD_BYTES - 1] == checkByte(in);
}

// Nibble codes: colour * 6 + kind - 1.
inline uint8_t nibbleOfCode(uint8_t code) {
  return uint8_t(sideOfCode(code) * 6 + kindOf(code) - 1);
}
inline uint8_t codeOfNibble(uint8_t nibble) {
  return codeFor(nibble >= 6 ? BLACK : WHITE, uint8_t(nibble % 6 + 1));
}

}  // namespace

// Game record layout: index (8) | positions (4) | plies (2) | white result (1) | ending (1) |
// zeros | kind | check.
void encodeGameRecord(const GameRecord& game, uint8_t out[TRAINING_RECORD_BYTES]) {
  std::memset(out, 0, TRAINING_RECORD_BYTES);
  put(out, 0, game.gameIndex, 8);
  put(out, 8, game.positions, 4);
  put(out, 12, game.plies, 2);
  out[14] = game.whiteResult;
  out[15] = game.ending;
  seal(out, RECORD_KIND_GAME);
}

bool decodeGameRecord(const uint8_t in[TRAINING_RECORD_BYTES], GameRecord& game) {
  if (!sealed(in, RECORD_KIND_GAME) || in[14] > RESULT_WIN) return false;
  game.gameIndex = get(in, 0, 8);
  game.positions = uint32_t(get(in, 8, 4));
  game.plies = uint16_t(get(in, 12, 2));
  game.whiteResult = in[14];
  game.ending = in[15];
  return true;
}

// Position record layout: occupancy (8) | pieces (16) | score (2) | result (1) | side (1) |
// halfmove clock (1) | ply (1) | kind | check.
void encodePositionRecord(const PositionRecord& p, uint8_t out[TRAINING_RECORD_BYTES]) {
  std::memset(out, 0, TRAINING_RECORD_BYTES);
  put(out, 0, p.occupancy, 8);
  std::memcpy(out + 8, p.pieces, 16);
  put(out, 24, uint16_t(p.score), 2);
  out[26] = p.result;
  out[27] = p.sideToMove;
  out[28] = p.halfmoveClock;
  out[29] = p.ply;
  seal(out, RECORD_KIND_POSITION);
}

bool decodePositionRecord(const uint8_t in[TRAINING_RECORD_BYTES], PositionRecord& p) {
  if (!sealed(in, RECORD_KIND_POSITION) || in[26] > RESULT_WIN || in[27] > BLACK) return false;
  p.occupancy = get(in, 0, 8);
  std::memcpy(p.pieces, in + 8, 16);
  p.score = int16_t(uint16_t(get(in, 24, 2)));
  p.result = in[26];
  p.sideToMove = in[27];
  p.halfmoveClock = in[28];
  p.ply = in[29];
  return true;
}

PositionRecord packPosition(const Board& board, int sideToMove, int halfmoveClock, int ply) {
  PositionRecord p;
  int n = 0;
  for (int sq = 0; sq < 64; ++sq) {
    const uint8_t code = board.squares[sq];
    if (code == EMPTY) continue;
    p.occupancy |= Bitboard(1) << sq;
    // A legal position has at most 32 pieces; a board beyond that cannot be packed whole.
    if (n < 32) p.pieces[n / 2] |= uint8_t(nibbleOfCode(code) << (4 * (n & 1)));
    ++n;
  }
  p.sideToMove = uint8_t(sideToMove);
  p.halfmoveClock = uint8_t(halfmoveClock > 255 ? 255 : halfmoveClock);
  p.ply = uint8_t(ply > 255 ? 255 : ply);
  return p;
}

bool unpackPieces(const PositionRecord& p, uint8_t squares[64]) {
  for (int sq = 0; sq < 64; ++sq) squares[sq] = EMPTY;
  if (__builtin_popcountll(p.occupancy) > 32) return false;
  int n = 0, kings[2] = {0, 0};
  for (Bitboard rest = p.occupancy; rest; rest &= rest - 1, ++n) {
    const int sq = __builtin_ctzll(rest);
    const uint8_t nibble = (p.pieces[n / 2] >> (4 * (n & 1))) & 0xF;
    if (nibble > 11) return false;
    const uint8_t code = codeOfNibble(nibble);
    if (kindOf(code) == KING) ++kings[sideOfCode(code)];
    squares[sq] = code;
  }
  return kings[WHITE] == 1 && kings[BLACK] == 1;
}

TrainingDataReader::TrainingDataReader(const std::string& path) {
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return;
  // ftell's long has 32 bits on Windows; data files grow past 2 GB.
  std::error_code error;
  const uintmax_t bytes = std::filesystem::file_size(path, error);
  fileBytes_ = error ? 0 : uint64_t(bytes);
}

TrainingDataReader::~TrainingDataReader() {
  if (file_) std::fclose(file_);
}

bool TrainingDataReader::nextGame(GameRecord& game, PositionRecord* positions, int capacity) {
  if (!file_) return false;
  uint8_t bytes[TRAINING_RECORD_BYTES];
  if (std::fread(bytes, 1, sizeof bytes, file_) != sizeof bytes) return false;
  if (!decodeGameRecord(bytes, game) || game.positions > uint32_t(capacity)) return false;
  for (uint32_t i = 0; i < game.positions; ++i) {
    if (std::fread(bytes, 1, sizeof bytes, file_) != sizeof bytes) return false;
    if (!decodePositionRecord(bytes, positions[i])) return false;
  }
  validBytes_ += uint64_t(game.positions + 1) * TRAINING_RECORD_BYTES;
  return true;
}
