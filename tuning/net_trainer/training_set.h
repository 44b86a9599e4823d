// The positions a training run learns from: every whole game of the data files, held in memory as
// their 32-byte records, split into a training part and a held-out part by a seeded hash of each
// game (all positions of a game fall on one side).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tuning/training_data.h"

struct TrainingSet {
  std::vector<PositionRecord> training, heldout;
  uint64_t games = 0, heldoutGames = 0;
  uint64_t dropped = 0;      // positions that do not unpack to a sane board
  uint64_t fingerprint = 0;  // of the kept positions in order: a resumed run checks its data
};

// Reads the files in order. False with a message in `error` when a file cannot be read or holds
// no whole game, or when no training position is left. A share of 100 percent holds out every
// game (a validation set: no training positions needed). Notes (a torn tail, dropped positions) go
// to `log` when given.
bool loadTrainingSet(const std::vector<std::string>& files, double heldoutPercent, uint64_t seed,
                     TrainingSet& set, std::string& error, std::FILE* log);

// Whether a game goes to the held-out part.
bool gameIsHeldOut(const GameRecord& game, const PositionRecord& first, double heldoutPercent,
                   uint64_t seed);
