#include "tuning/net_trainer/trainer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "tuning/net_trainer/checkpoint.h"
#include "tuning/net_trainer/gradient.h"
#include "tuning/net_trainer/random.h"
#include "tuning/net_trainer/training_set.h"

namespace {

const char* activationName(uint32_t activation) {
  return activation == ACTIVATION_CRELU ? "CReLU" : "SCReLU";
}

bool validateSettings(const TrainerSettings& s, std::string& error) {
  auto refuse = [&](const std::string& why) {
    error = why;
    return false;
  };
  if (s.dataFiles.empty()) return refuse("no data file given");
  if (s.hidden < 32 || s.hidden > NETWORK_MAX_HIDDEN || s.hidden % 32 != 0)
    return refuse("the hidden size must be a multiple of 32 from 32 to " +
                  std::to_string(NETWORK_MAX_HIDDEN));
  if (s.outputBuckets < 1 || s.outputBuckets > NETWORK_MAX_OUTPUT_BUCKETS)
    return refuse("output buckets must be 1 to " + std::to_string(NETWORK_MAX_OUTPUT_BUCKETS));
  if (s.activation != ACTIVATION_CRELU && s.activation != ACTIVATION_SCRELU)
    return refuse("unknown activation");
  if (!(s.wdl >= 0 && s.wdl <= 1)) return refuse("wdl must be from 0 to 1");
  if (!(s.learningRate > 0 && s.learningRate <= 1)) return refuse("lr must be above 0, at most 1");
  if (!(s.weightDecay >= 0 && s.weightDecay <= 1)) return refuse("weight decay must be 0 to 1");
  if (!(s.heldoutPercent >= 0 && s.heldoutPercent <= 50))
    return refuse("the held-out share must be 0 to 50 percent");
  if (s.batch < 1 || s.batch > (1 << 22)) return refuse("batch must be 1 to 4194304");
  if (s.epochs < 1 || s.epochs > 100000) return refuse("epochs must be 1 to 100000");
  if (s.threads < 1 || s.threads > 256) return refuse("threads must be 1 to 256");
  if (s.stopAfter < 0) return refuse("stop-after must be a positive epoch");
  for (const std::string* path : {&s.out, &s.checkpoint}) {
    const std::filesystem::path parent = std::filesystem::path(*path).parent_path();
    std::error_code failed;
    if (!parent.empty() && !std::filesystem::is_directory(parent, failed))
      return refuse("no directory " + parent.string() + " for " + *path);
  }
  return true;
}

std::string clockText(double seconds) {
  const long total = long(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

// Runs work(0 .. parts-1), part 0 on this thread. A thread the system refuses to start runs its
// part here instead: every part writes only its own buffer, so the results are the same.
template <typename Work>
void runParts(int parts, const Work& work) {
  std::vector<std::thread> pool;
  for (int t = 1; t < parts; ++t) {
    try {
      pool.emplace_back(work, t);
    } catch (const std::system_error&) {
      work(t);
    }
  }
  work(0);
  for (std::thread& thread : pool) thread.join();
}

bool writeNetwork(const FloatNetwork& net, const std::string& path, std::string& error) {
  const QuantisedNetwork quantised = quantiseNetwork(net);
  if (!networkBoundsHold(quantised, error)) {
    error = "the quantised network fails its bounds (" + error + "); not written to " + path;
    return false;
  }
  return writeFileAtomically(path, serialiseNetwork(quantised), error);
}

// Mean squared error over the held-out part, -1 when it is empty.
double heldoutLoss(const FloatNetwork& net, const TrainingSet& set, float wdl, int threads,
                   std::vector<GradientBuffer>& buffers) {
  const size_t count = set.heldout.size();
  if (count == 0) return -1;
  const int parts = int(std::min<size_t>(size_t(threads), count));
  std::vector<double> sums(size_t(parts), 0.0);
  runParts(parts, [&](int t) {
    sums[t] = summedLoss(net, set.heldout.data(), count * t / parts, count * (t + 1) / parts, wdl,
                         buffers[t]);
  });
  double sum = 0;
  for (double part : sums) sum += part;
  return sum / double(count);
}

// ", validation loss X" when there is a validation set.
std::string validationText(double loss) {
  if (loss < 0) return "";
  char text[48];
  std::snprintf(text, sizeof text, ", validation loss %.6f", loss);
  return text;
}

// ", 8 output buckets" when there is more than one.
std::string bucketText(int buckets) {
  return buckets > 1 ? ", " + std::to_string(buckets) + " output buckets" : "";
}

// Whether position `index` is seen mirrored in `epoch`: a hash rather than the shuffling
// generator, so that runs without mirroring shuffle as before.
bool mirrorsInEpoch(uint64_t seed, int epoch, uint32_t index) {
  uint64_t state = seed ^ uint64_t(epoch) << 32 ^ index;
  return splitMix64(state) & 1;
}

// The weights of a network file, as the float network they stand for.
bool startFromFile(const TrainerSettings& s, FloatNetwork& net, std::string& error) {
  std::FILE* file = std::fopen(s.init.c_str(), "rb");
  if (!file) {
    error = "cannot open " + s.init + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  QuantisedNetwork quantised;
  if (!parseNetwork(bytes.data(), bytes.size(), quantised, error)) {
    error = s.init + ": " + error;
    return false;
  }
  if (int(quantised.header.hidden) != s.hidden || quantised.header.activation != s.activation ||
      int(quantised.header.buckets) != s.outputBuckets) {
    error = s.init + " is a 768 -> " + std::to_string(quantised.header.hidden) + " x 2 -> 1 " +
            activationName(quantised.header.activation) + " network with " +
            std::to_string(quantised.header.buckets) + " output bucket(s); give --hidden, " +
            "--activation and --output-buckets to match";
    return false;
  }
  net = dequantiseNetwork(quantised);
  clipNetwork(net);
  return true;
}

}  // namespace

std::string pathStem(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool hasExtension =
      dot != std::string::npos && dot > (slash == std::string::npos ? 0 : slash + 1);
  return hasExtension ? path.substr(0, dot) : path;
}

std::string epochNetworkPath(const std::string& checkpoint, int epoch) {
  return pathStem(checkpoint) + "-epoch" + std::to_string(epoch) + ".cvnn";
}

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& error) {
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    error = "cannot write " + temporary + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int runTrainer(const TrainerSettings& given, std::FILE* log, std::string& error,
               std::vector<EpochReport>* reports) {
  std::FILE* out = given.quiet ? nullptr : log;
  TrainerSettings s = given;
  TrainerCheckpoint state;
  const bool resuming = !given.resume.empty();
  if (resuming) {
    if (!readCheckpoint(given.resume, state, error)) return 1;
    s = state.settings;
    if (!given.dataFiles.empty()) s.dataFiles = given.dataFiles;
    if (!given.out.empty()) s.out = given.out;
    s.checkpoint = given.checkpoint.empty() ? given.resume : given.checkpoint;
    s.resume = given.resume;
    s.threads = given.threads;
    s.validationFiles = given.validationFiles;
    s.stopAfter = given.stopAfter;
    s.quiet = given.quiet;
    // Where the files are now, for the next resumption.
    state.settings.dataFiles = s.dataFiles;
    state.settings.out = s.out;
  } else {
    if (s.out.empty()) s.out = "net.cvnn";
    if (s.checkpoint.empty()) s.checkpoint = pathStem(s.out) + ".ckpt";
  }
  if (!validateSettings(s, error)) return 1;

  TrainingSet set;
  if (!loadTrainingSet(s.dataFiles, s.heldoutPercent, s.seed, set, error, out)) return 1;
  if (resuming &&
      (set.fingerprint != state.fingerprint || set.training.size() != state.trainingPositions ||
       set.heldout.size() != state.heldoutPositions)) {
    error = "the data differ from the checkpoint's (" + std::to_string(state.trainingPositions) +
            " training and " + std::to_string(state.heldoutPositions) +
            " held-out positions then, " + std::to_string(set.training.size()) + " and " +
            std::to_string(set.heldout.size()) + " now): give the same files in the same order";
    return 1;
  }
  if (!resuming) {
    state.settings = s;
    state.fingerprint = set.fingerprint;
    state.trainingPositions = set.training.size();
    state.heldoutPositions = set.heldout.size();
    if (s.init.empty())
      initialiseNetwork(state.net, s.hidden, s.activation, s.seed, s.outputBuckets);
    else if (!startFromFile(s, state.net, error))
      return 1;
    state.adam.reset(state.net);
    state.shuffle.seed(s.seed, 2);
  }
  // The recorded settings carry no paths of this process but the output's.
  state.settings.checkpoint.clear();
  state.settings.resume.clear();
  state.settings.validationFiles.clear();
  TrainingSet validation;
  if (!s.validationFiles.empty()) {
    if (!loadTrainingSet(s.validationFiles, 100, s.seed, validation, error, out)) return 1;
    if (out)
      std::fprintf(out, "validation: %zu positions of %llu games\n", validation.heldout.size(),
                   (unsigned long long)validation.games);
  }

  const float wdl = float(s.wdl);
  const size_t count = set.training.size();
  const uint64_t stepsPerEpoch = (count + size_t(s.batch) - 1) / size_t(s.batch);
  const uint64_t totalSteps = stepsPerEpoch * uint64_t(s.epochs);
  std::vector<GradientBuffer> buffers(size_t(s.threads));
  if (out) {
    std::fprintf(out,
                 "%zu training positions, %zu held out (%llu of %llu games)\n"
                 "network 768 -> %d x 2 -> 1, %s%s; %d epoch%s of batches of %d; AdamW, lr %g "
                 "(cosine to %g), weight decay %g; wdl %g;%s seed %llu; %d thread%s\n",
                 count, set.heldout.size(), (unsigned long long)set.heldoutGames,
                 (unsigned long long)set.games, s.hidden, activationName(s.activation),
                 bucketText(s.outputBuckets).c_str(), s.epochs,
                 s.epochs == 1 ? "" : "s", s.batch, s.learningRate,
                 s.learningRate * FINAL_RATE_SHARE, s.weightDecay, s.wdl,
                 s.mirror ? " mirrored halves;" : "",
                 (unsigned long long)s.seed, s.threads, s.threads == 1 ? "" : "s");
    if (resuming)
      std::fprintf(out, "resuming %s after epoch %d\n", s.resume.c_str(), state.epochsDone);
    else if (!s.init.empty())
      std::fprintf(out, "starting from the weights of %s\n", s.init.c_str());
    std::fflush(out);
  }
  if (!resuming && (out || reports)) {
    // The starting network's loss: what the epochs' losses are to be compared with.
    EpochReport start;
    start.trainingLoss = -1;
    start.heldoutLoss = heldoutLoss(state.net, set, wdl, s.threads, buffers);
    start.validationLoss = heldoutLoss(state.net, validation, wdl, s.threads, buffers);
    if (reports) reports->push_back(start);
    if (out && start.heldoutLoss >= 0)
      std::fprintf(out, "epoch 0: held-out loss %.6f%s (the starting network)\n",
                   start.heldoutLoss, validationText(start.validationLoss).c_str());
  }

  const auto started = std::chrono::steady_clock::now();
  auto secondsSince = [](std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
  };
  std::vector<uint32_t> order(count);
  for (int epoch = state.epochsDone + 1; epoch <= s.epochs; ++epoch) {
    const auto epochStart = std::chrono::steady_clock::now();
    // A fresh permutation each epoch from the recorded generator: a resumed run shuffles alike.
    for (size_t i = 0; i < count; ++i) order[i] = uint32_t(i);
    for (size_t i = count; i > 1; --i) std::swap(order[i - 1], order[state.shuffle.below(i)]);
    if (s.mirror)
      for (uint32_t& entry : order)
        if (mirrorsInEpoch(s.seed, epoch, entry)) entry |= MIRRORED_ENTRY;
    double lossSum = 0;
    for (size_t start = 0; start < count; start += size_t(s.batch)) {
      const size_t size = std::min(size_t(s.batch), count - start);
      const int parts = int(std::min<size_t>(size_t(s.threads), size));
      const float scale = 1.0f / float(size);
      runParts(parts, [&](int t) {
        buffers[t].reset(state.net);
        accumulateGradient(state.net, set.training.data(), order.data(), start + size * t / parts,
                           start + size * (t + 1) / parts, wdl, scale, buffers[t]);
      });
      // Summed in part order, whatever order the threads finished in.
      float* total = buffers[0].grad.data();
      lossSum += buffers[0].lossSum;
      for (int t = 1; t < parts; ++t) {
        const float* part = buffers[t].grad.data();
        for (size_t i = 0; i < buffers[0].grad.size(); ++i) total[i] += part[i];
        lossSum += buffers[t].lossSum;
      }
      adamStep(state.net, state.adam, total,
               scheduledRate(s.learningRate, state.adam.step, totalSteps), s.weightDecay);
    }
    state.epochsDone = epoch;

    EpochReport report;
    report.epoch = epoch;
    report.trainingLoss = lossSum / double(count);
    report.heldoutLoss = heldoutLoss(state.net, set, wdl, s.threads, buffers);
    report.validationLoss = heldoutLoss(state.net, validation, wdl, s.threads, buffers);
    if (reports) reports->push_back(report);
    if (out) {
      const double seconds = secondsSince(epochStart);
      char heldout[32] = "-";
      if (report.heldoutLoss >= 0)
        std::snprintf(heldout, sizeof heldout, "%.6f", report.heldoutLoss);
      std::fprintf(out,
                   "epoch %d/%d: training loss %.6f, held-out loss %s%s, %.0f positions/s, %s\n",
                   epoch, s.epochs, report.trainingLoss, heldout,
                   validationText(report.validationLoss).c_str(),
                   seconds > 0 ? double(count) / seconds : 0.0,
                   clockText(secondsSince(started)).c_str());
      std::fflush(out);
    }
    if (!writeFileAtomically(s.checkpoint, serialiseCheckpoint(state), error) ||
        !writeNetwork(state.net, epochNetworkPath(s.checkpoint, epoch), error))
      return 1;
    if (s.stopAfter > 0 && epoch >= s.stopAfter && epoch < s.epochs) {
      if (out)
        std::fprintf(out, "stopped after epoch %d; continue with --resume %s\n", epoch,
                     s.checkpoint.c_str());
      return 0;
    }
  }
  if (!writeNetwork(state.net, s.out, error)) return 1;
  if (out) std::fprintf(out, "network written to %s\n", s.out.c_str());
  return 0;
}
