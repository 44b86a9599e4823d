// The trainer's checkpoint: everything a run needs to continue exactly where it stopped (the
// recorded settings, the data's fingerprint, the float weights, the Adam moments, the epoch and
// step reached and the shuffling generator). Little-endian, ending in an FNV-1a checksum of the
// bytes before it, so that a damaged file is refused rather than trained on.
#pragma once

#include <cstdint>
#include <string>

#include "tuning/net_trainer/float_network.h"
#include "tuning/net_trainer/optimiser.h"
#include "tuning/net_trainer/random.h"
#include "tuning/net_trainer/trainer.h"

struct TrainerCheckpoint {
  TrainerSettings settings;  // the recorded part only
  uint64_t fingerprint = 0, trainingPositions = 0, heldoutPositions = 0;
  int epochsDone = 0;
  TrainerRandom shuffle;
  FloatNetwork net;
  AdamState adam;
};

std::vector<uint8_t> serialiseCheckpoint(const TrainerCheckpoint& checkpoint);
bool parseCheckpoint(const std::vector<uint8_t>& bytes, TrainerCheckpoint& checkpoint,
                     std::string& error);
bool readCheckpoint(const std::string& path, TrainerCheckpoint& checkpoint, std::string& error);
