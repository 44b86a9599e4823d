// corvanel-train's training run: settings, the epoch loop, checkpoints and the network files it
// writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "eval/network_file.h"

struct TrainerSettings {
  // What the run learns from and how; a checkpoint records these and a resumed run keeps them.
  std::vector<std::string> dataFiles;
  int hidden = 256;
  int outputBuckets = 1;
  uint32_t activation = ACTIVATION_SCRELU;
  double wdl = 0.25;
  double learningRate = 0.001;
  double weightDecay = 0.01;
  double heldoutPercent = 2;
  int batch = 16384;
  int epochs = 20;
  uint64_t seed = 1;
  bool mirror = false;  // each epoch, half the positions (drawn anew) are seen mirrored
  std::string init;  // a network file to start from instead of random weights (same shape)
  std::string out;   // the final network; empty: the checkpoint's when resuming, else net.cvnn

  // This process only.
  std::string checkpoint;  // empty: the out name with ".ckpt" for its extension
  std::string resume;      // a checkpoint to continue from
  int threads = 2;
  // Data files whose every position is scored after each epoch, beside the held-out part: one
  // yardstick for nets trained on different data.
  std::vector<std::string> validationFiles;
  int stopAfter = 0;   // end this process after that epoch (0: run to the end)
  bool quiet = false;  // no progress lines
};

struct EpochReport {
  int epoch = 0;  // 0: the starting network of a fresh run (no training loss)
  double trainingLoss = -1, heldoutLoss = -1, validationLoss = -1;  // -1: none
};

// A training run, or the rest of one with `resume`. Prints the settings and one line an epoch to
// `log`, writes the checkpoint and a network beside it after every epoch and the network `out` at
// the end. 0 on success; otherwise 1 with the reason in `error`.
int runTrainer(const TrainerSettings& settings, std::FILE* log, std::string& error,
               std::vector<EpochReport>* reports = nullptr);

// "dir/name.ext" -> "dir/name": where the derived file names start.
std::string pathStem(const std::string& path);
// The network written beside a checkpoint after an epoch: STEM-epochK.cvnn.
std::string epochNetworkPath(const std::string& checkpoint, int epoch);
// Writes bytes through a temporary name and a rename, so that a stopped run never leaves half a
// file under the real name.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& error);
