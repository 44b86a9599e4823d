// corvanel-train: trains a network on self-play data files and writes the quantised network file
// the engine loads.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "tuning/net_trainer/trainer.h"

namespace {

const char USAGE[] =
    "usage: corvanel-train [options] DATA...\n"
    "       corvanel-train --resume CHECKPOINT [DATA...] [--threads N] [--out FILE]\n"
    "                      [--checkpoint FILE] [--stop-after K] [--validate FILE]\n"
    "  DATA          training data files written by \"datagen\" (whole games are read)\n"
    "  --out FILE    the network at the end (default net.cvnn)\n"
    "  --checkpoint FILE   rewritten after every epoch, with FILE-STEM-epochK.cvnn beside it\n"
    "                (default: the out name with the extension .ckpt)\n"
    "  --hidden N    hidden neurons a side, a multiple of 32 up to 1024 (256)\n"
    "  --activation screlu|crelu   (screlu)\n"
    "  --output-buckets N   output layers, one for each range of piece counts, 1 to 8 (1)\n"
    "  --epochs N (20)  --batch N (16384)  --lr X (0.001, cosine decay to a tenth)\n"
    "  --weight-decay X (0.01)  --wdl X (0.25, the share of the game result in the target)\n"
    "  --init NET    start from the weights of a network file of the same shape\n"
    "  --heldout P   percent of the games held out to measure the loss (2)\n"
    "  --mirror      each epoch, show half the positions (drawn anew) mirrored a..h to h..a\n"
    "  --seed N (1)  --threads N (2)\n"
    "  --validate FILE   score every position of FILE after each epoch (repeatable)\n"
    "  --stop-after K   end after epoch K, leaving the checkpoint to resume from\n"
    "  --quiet       no progress lines\n";

bool parseInt(const char* text, int low, int high, int& out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < low || value > high) return false;
  out = int(value);
  return true;
}

bool parseDouble(const char* text, double& out) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(value)) return false;
  out = value;
  return true;
}

bool parseSeed(const char* text, uint64_t& out) {
  char* end = nullptr;
  errno = 0;
  if (text[0] == '-') return false;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0) return false;
  out = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TrainerSettings settings;
  bool trainingOption = false;  // one that a resumed run takes from its checkpoint
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::printf("%s", USAGE);
      return 0;
    }
    if (option == "--quiet") {
      settings.quiet = true;
      continue;
    }
    if (option == "--mirror") {
      settings.mirror = true;
      trainingOption = true;
      continue;
    }
    if (option.compare(0, 1, "-") != 0) {
      settings.dataFiles.push_back(option);
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "corvanel-train: %s needs a value\n%s", option.c_str(), USAGE);
      return 2;
    }
    const char* value = argv[++i];
    bool ok = true, training = true;
    if (option == "--out")
      settings.out = value, training = false;
    else if (option == "--checkpoint")
      settings.checkpoint = value, training = false;
    else if (option == "--resume")
      settings.resume = value, training = false;
    else if (option == "--validate")
      settings.validationFiles.push_back(value), training = false;
    else if (option == "--threads")
      ok = parseInt(value, 1, 256, settings.threads), training = false;
    else if (option == "--stop-after")
      ok = parseInt(value, 1, 100000, settings.stopAfter), training = false;
    else if (option == "--init")
      settings.init = value;
    else if (option == "--hidden")
      ok = parseInt(value, 32, NETWORK_MAX_HIDDEN, settings.hidden) && settings.hidden % 32 == 0;
    else if (option == "--output-buckets")
      ok = parseInt(value, 1, NETWORK_MAX_OUTPUT_BUCKETS, settings.outputBuckets);
    else if (option == "--activation") {
      const std::string name = value;
      settings.activation = name == "crelu" ? ACTIVATION_CRELU : ACTIVATION_SCRELU;
      ok = name == "crelu" || name == "screlu";
    } else if (option == "--epochs")
      ok = parseInt(value, 1, 100000, settings.epochs);
    else if (option == "--batch")
      ok = parseInt(value, 1, 1 << 22, settings.batch);
    else if (option == "--lr")
      ok = parseDouble(value, settings.learningRate) && settings.learningRate > 0 &&
           settings.learningRate <= 1;
    else if (option == "--weight-decay")
      ok = parseDouble(value, settings.weightDecay) && settings.weightDecay >= 0 &&
           settings.weightDecay <= 1;
    else if (option == "--wdl")
      ok = parseDouble(value, settings.wdl) && settings.wdl >= 0 && settings.wdl <= 1;
    else if (option == "--heldout")
      ok = parseDouble(value, settings.heldoutPercent) && settings.heldoutPercent >= 0 &&
           settings.heldoutPercent <= 50;
    else if (option == "--seed")
      ok = parseSeed(value, settings.seed);
    else {
      std::fprintf(stderr, "corvanel-train: unknown option %s\n%s", option.c_str(), USAGE);
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "corvanel-train: bad value for %s: %s\n%s", option.c_str(), value,
                   USAGE);
      return 2;
    }
    trainingOption = trainingOption || training;
  }
  if (!settings.resume.empty() && trainingOption) {
    std::fprintf(
        stderr,
        "corvanel-train: a resumed run keeps its checkpoint's training settings; "
        "only --threads, --out, --checkpoint, --validate and --stop-after may be given with "
        "--resume\n");
    return 2;
  }
  if (settings.resume.empty() && settings.dataFiles.empty()) {
    std::fprintf(stderr, "corvanel-train: no data file given\n%s", USAGE);
    return 2;
  }
  std::string error;
  int status = 1;
  try {
    status = runTrainer(settings, stdout, error);
  } catch (const std::bad_alloc&) {
    error = "out of memory (fewer or smaller data files, or a smaller --hidden)";
  } catch (const std::exception& failure) {
    error = failure.what();
  }
  if (status != 0) std::fprintf(stderr, "corvanel-train: %s\n", error.c_str());
  return status;
}
