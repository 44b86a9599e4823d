// The net in use and the evaluation through it. The weights live in one fixed, 64-byte aligned
// block sized for the largest net a file may hold; a net is copied in between searches, and
// nothing here allocates while a search runs.
#include "eval/network.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "board/bitops.h"
#include "eval/evaluate.h"
#include "eval/network_kernels.h"

namespace {

// Written only by the install functions (the main thread, between searches); read by every
// search thread.
struct alignas(64) NetworkInUse {
  int16_t featureWeights[NETWORK_INPUTS * NETWORK_MAX_HIDDEN];  // column f at f * hidden
  int16_t featureBias[NETWORK_MAX_HIDDEN];
  int16_t outputWeights[NETWORK_MAX_OUTPUT_BUCKETS][2 * NETWORK_MAX_HIDDEN];
  int32_t outputBias[NETWORK_MAX_OUTPUT_BUCKETS];
  int hidden;  // 0 until a net is installed
  int buckets;
  bool squared;
  int qa, qb, evalScale;
};
NetworkInUse net;
std::string netName;
uint32_t netChecksum = 0;  // of the net in use

// The kernels in use; chosen once at start-up (and by tests).
const NetworkKernels* kernels = &plainKernels;
NetworkPath activePath = NETWORK_PATH_PLAIN;

// Feature number of a piece code on a square from each perspective (network_file.h).
struct FeatureTable {
  int16_t index[2][PIECE_CODES][64];
  FeatureTable() : index() {
    for (int perspective = WHITE; perspective <= BLACK; ++perspective)
      for (int code = 0; code < PIECE_CODES; ++code) {
        if (code == 0 || code == EMPTY) continue;
        const int own = sideOfCode(uint8_t(code)) == perspective ? 0 : 384;
        for (int sq = 0; sq < 64; ++sq)
          index[perspective][code][sq] = int16_t(own + 64 * (kindOf(uint8_t(code)) - PAWN) +
                                                 (perspective == WHITE ? sq : sq ^ 56));
      }
  }
};
const FeatureTable features;

inline const int16_t* column(int perspective, uint8_t code, int sq) {
  return net.featureWeights + size_t(features.index[perspective][code][sq]) * size_t(net.hidden);
}

const NetworkKernels* kernelsOf(NetworkPath path) {
  switch (path) {
    case NETWORK_PATH_PLAIN: return &plainKernels;
#if defined(CORVANEL_NETWORK_SSE2)
    case NETWORK_PATH_SSE2: return &sse2Kernels;
#endif
#if defined(CORVANEL_NETWORK_AVX2)
    case NETWORK_PATH_AVX2: return __builtin_cpu_supports("avx2") ? &avx2Kernels : nullptr;
#endif
    default: return nullptr;
  }
}

// The best path this program and this processor have, in force before main runs.
const bool pathChosen = [] {
#if defined(CORVANEL_NETWORK_AVX2)
  __builtin_cpu_init();  // this may run before the run-time library's own initialisers
#endif
  for (int path = NETWORK_PATHS - 1; path >= 0; --path)
    if (selectNetworkPath(NetworkPath(path))) return true;
  return false;
}();

// The largest file a network can be: anything longer is refused before it is read.
constexpr size_t MAX_NETWORK_FILE_BYTES =
    NETWORK_HEADER_BYTES + 2 * (size_t(NETWORK_INPUTS) + 1) * NETWORK_MAX_HIDDEN +
    NETWORK_MAX_OUTPUT_BUCKETS * (4 * size_t(NETWORK_MAX_HIDDEN) + 4);

}  // namespace

const char* networkPathName(NetworkPath path) {
  static const char* const names[NETWORK_PATHS] = {"plain", "sse2", "avx2"};
  return path >= 0 && path < NETWORK_PATHS ? names[path] : "?";
}

bool networkPathAvailable(NetworkPath path) { return kernelsOf(path) != nullptr; }

NetworkPath activeNetworkPath() { return activePath; }

bool selectNetworkPath(NetworkPath path) {
  const NetworkKernels* chosen = kernelsOf(path);
  if (!chosen) return false;
  kernels = chosen;
  activePath = path;
  return true;
}

bool networkInstalled() { return net.hidden > 0; }
const std::string& networkName() { return netName; }
uint32_t networkHiddenSize() { return uint32_t(net.hidden); }
uint32_t networkChecksumInUse() { return netChecksum; }

bool installNetwork(const uint8_t* bytes, size_t count, const std::string& name,
                    std::string& error) {
  QuantisedNetwork parsed;
  if (!parseNetwork(bytes, count, parsed, error)) return false;
  const NetworkHeader& h = parsed.header;
  std::memcpy(net.featureWeights, parsed.featureWeights.data(),
              parsed.featureWeights.size() * sizeof(int16_t));
  std::memcpy(net.featureBias, parsed.featureBias.data(), h.hidden * sizeof(int16_t));
  for (uint32_t bucket = 0; bucket < h.buckets; ++bucket) {
    std::memcpy(net.outputWeights[bucket], parsed.outputWeights.data() + bucket * 2 * h.hidden,
                2 * h.hidden * sizeof(int16_t));
    net.outputBias[bucket] = parsed.outputBias[bucket];
  }
  net.hidden = int(h.hidden);
  net.buckets = int(h.buckets);
  net.squared = h.activation == ACTIVATION_SCRELU;
  net.qa = int(h.qa);
  net.qb = int(h.qb);
  net.evalScale = int(h.evalScale);
  netName = name;
  netChecksum = h.checksum;
  return true;
}

bool installNetwork(const QuantisedNetwork& network, const std::string& name, std::string& error) {
  // Through the file's bytes, so that exactly what a file would be refused for is refused here.
  const std::vector<uint8_t> bytes = serialiseNetwork(network);
  return installNetwork(bytes.data(), bytes.size(), name, error);
}

bool installEmbeddedNetwork(std::string& error) {
  return installNetwork(embeddedNetworkBytes, embeddedNetworkByteCount, "<default>", error);
}

bool installNetworkFile(const std::string& path, std::string& error) {
  // Only a regular file: opening a named pipe or a device could wait for ever or never end.
  std::error_code failure;
  const std::filesystem::file_status status = std::filesystem::status(path, failure);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    error = "not a regular file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open the file";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) {
    error = "cannot read the file";
    return false;
  }
  if (size_t(size) > MAX_NETWORK_FILE_BYTES) {
    error = "size " + std::to_string(size) + " bytes, larger than any network";
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size)) {
    error = "cannot read the file";
    return false;
  }
  return installNetwork(bytes.data(), bytes.size(), path, error);
}

void refreshAccumulator(const Board& board, Accumulator& accumulator) {
  const int16_t* columns[2][64];
  int count = 0;
  Bitboard occupied = board.occupancy[WHITE] | board.occupancy[BLACK];
  while (occupied) {
    const int sq = __builtin_ctzll(occupied);
    occupied &= occupied - 1;
    const uint8_t code = board.squares[sq];
    columns[WHITE][count] = column(WHITE, code, sq);
    columns[BLACK][count] = column(BLACK, code, sq);
    ++count;
  }
  for (int perspective = WHITE; perspective <= BLACK; ++perspective)
    kernels->update(accumulator.values[perspective], net.featureBias, columns[perspective], count,
                    nullptr, 0, net.hidden);
}

void updateAccumulator(const Accumulator& parent, const PlyState& move, Accumulator& child) {
  for (int perspective = WHITE; perspective <= BLACK; ++perspective) {
    const int16_t* added[2];
    const int16_t* removed[2];
    for (int k = 0; k < move.addedCount; ++k)
      added[k] = column(perspective, move.added[k].code, move.added[k].square);
    for (int k = 0; k < move.removedCount; ++k)
      removed[k] = column(perspective, move.removed[k].code, move.removed[k].square);
    kernels->update(child.values[perspective], parent.values[perspective], added,
                    move.addedCount, removed, move.removedCount, net.hidden);
  }
}

int networkOutput(const Accumulator& accumulator, int side, int pieces) {
  const int bucket = outputBucket(pieces, net.buckets);
  int32_t sum = kernels->outputSum(accumulator.values[side], accumulator.values[side ^ 1],
                                   net.outputWeights[bucket], net.hidden, net.qa, net.squared);
  if (net.squared) sum /= net.qa;
  return int((int64_t(sum) + net.outputBias[bucket]) * net.evalScale /
             (int64_t(net.qa) * net.qb));
}

int networkEvaluation(const Accumulator& accumulator, const Board& board, const PlyState& state) {
  const int pieces = popCount(board.occupancy[WHITE] | board.occupancy[BLACK]);
  return finishStaticScore(networkOutput(accumulator, state.side, pieces), state.halfmoveClock);
}

int networkEvaluationOf(const Board& board, const PlyState& state) {
  static Accumulator scratch;  // the main thread's commands and the tests only
  refreshAccumulator(board, scratch);
  return networkEvaluation(scratch, board, state);
}
