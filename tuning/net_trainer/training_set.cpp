#include "tuning/net_trainer/training_set.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tuning/net_trainer/gradient.h"
#include "tuning/net_trainer/random.h"

namespace {

uint64_t mixIn(uint64_t hash, uint64_t value) {
  uint64_t state = hash ^ value;
  return splitMix64(state);
}

uint64_t mixPosition(uint64_t hash, const PositionRecord& p) {
  uint64_t low, high;
  std::memcpy(&low, p.pieces, 8);
  std::memcpy(&high, p.pieces + 8, 8);
  hash = mixIn(hash, p.occupancy);
  hash = mixIn(hash, low);
  hash = mixIn(hash, high);
  return mixIn(hash, uint64_t(uint16_t(p.score)) | uint64_t(p.result) << 16 |
                         uint64_t(p.sideToMove) << 24 | uint64_t(p.halfmoveClock) << 32 |
                         uint64_t(p.ply) << 40);
}

}  // namespace

bool gameIsHeldOut(const GameRecord& game, const PositionRecord& first, double heldoutPercent,
                   uint64_t seed) {
  if (heldoutPercent <= 0) return false;
  // The game's content rather than its place in a file: the same game lands on the same side
  // whatever the order of the files.
  uint64_t hash = mixIn(seed, game.gameIndex);
  hash = mixIn(hash, uint64_t(game.positions) | uint64_t(game.plies) << 32 |
                         uint64_t(game.whiteResult) << 48 | uint64_t(game.ending) << 56);
  hash = mixPosition(hash, first);
  return double(hash >> 11) * 0x1.0p-53 * 100.0 < heldoutPercent;
}

bool loadTrainingSet(const std::vector<std::string>& files, double heldoutPercent, uint64_t seed,
                     TrainingSet& set, std::string& error, std::FILE* log) {
  set = TrainingSet();
  uint64_t expected = 0;
  for (const std::string& path : files) {
    std::error_code failed;
    const auto bytes = std::filesystem::file_size(path, failed);
    if (!failed) expected += bytes / TRAINING_RECORD_BYTES;
  }
  set.training.reserve(expected);
  std::vector<PositionRecord> game(MAX_GAME_POSITIONS);
  uint64_t fingerprint = 0xC0FFEE;
  for (const std::string& path : files) {
    std::error_code unknown;
    if (std::filesystem::is_directory(path, unknown)) {
      error = path + " is a directory, not a training data file";
      return false;
    }
    TrainingDataReader reader(path);
    if (!reader.isOpen()) {
      error = "cannot open " + path + ": " + std::strerror(errno);
      return false;
    }
    GameRecord record;
    uint64_t games = 0, kept = 0, dropped = 0;
    uint8_t squares[64];
    while (reader.nextGame(record, game.data(), MAX_GAME_POSITIONS)) {
      ++games;
      if (record.positions == 0) continue;
      const bool heldOut = gameIsHeldOut(record, game[0], heldoutPercent, seed);
      std::vector<PositionRecord>& part = heldOut ? set.heldout : set.training;
      set.heldoutGames += heldOut;
      for (uint32_t i = 0; i < record.positions; ++i) {
        if (!unpackPieces(game[i], squares)) {
          ++dropped;
          continue;
        }
        part.push_back(game[i]);
        fingerprint = mixPosition(mixIn(fingerprint, heldOut), game[i]);
        ++kept;
      }
    }
    if (games == 0) {
      error = path + " holds no whole game" +
              (reader.tornBytes() ? " (its " + std::to_string(reader.tornBytes()) +
                                        " bytes are not training data records)"
                                  : " (empty)");
      return false;
    }
    if (log) {
      std::fprintf(log, "%s: %llu games, %llu positions", path.c_str(), (unsigned long long)games,
                   (unsigned long long)kept);
      if (dropped)
        std::fprintf(log, ", %llu unusable positions dropped", (unsigned long long)dropped);
      if (reader.tornBytes())
        std::fprintf(log, ", a torn tail of %llu bytes ignored",
                     (unsigned long long)reader.tornBytes());
      std::fprintf(log, "\n");
    }
    set.games += games;
    set.dropped += dropped;
  }
  set.fingerprint = mixIn(fingerprint, set.training.size() ^ set.heldout.size() << 32);
  if (set.training.empty() && heldoutPercent < 100) {
    error =
        "no training positions in the data (" + std::to_string(set.heldout.size()) + " held out)";
    return false;
  }
  if (set.training.size() + set.heldout.size() >= MIRRORED_ENTRY) {
    error = "more than 2,147,483,647 positions: split the data";
    return false;
  }
  return true;
}
