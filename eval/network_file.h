// The network file: a quantised (768 -> N) x 2 -> 1 network with B output buckets (one output
// layer for each range of piece counts), as the trainer writes it and the engine loads it (the
// embedded default or the file of the EvalFile option).
//
// Layout, little-endian:
//   0  "CVNN"              magic
//   4  u32 version         NETWORK_FILE_VERSION
//   8  u32 inputs          768
//   12 u32 hidden          N, a multiple of 32, at most NETWORK_MAX_HIDDEN
//   16 u32 activation      ACTIVATION_CRELU or ACTIVATION_SCRELU
//   20 u32 QA              scale of the feature weights and biases (255)
//   24 u32 QB              scale of the output weights (64)
//   28 u32 evalScale       centipawns of an output of 1.0 (400)
//   32 u32 checksum        FNV-1a (32 bits) of every byte from offset 40 to the end
//   36 u32 buckets         B, 1 to NETWORK_MAX_OUTPUT_BUCKETS (version 1 files: always 1)
//   40 i16 featureWeights[768][N]   the N weights of feature 0, then of feature 1, ...
//      i16 featureBias[N]
//      i16 outputWeights[B][2N]     per bucket: the first N weigh the side to move's half, the
//                                   rest the other's
//      i32 outputBias[B]
//
// Features, from the perspective of side p, for a piece of colour c and kind k (pawn 0 .. king 5)
// on square s (a1 = 0): (c == p ? 0 : 384) + 64 * k + (p == WHITE ? s : s ^ 56).
//
// The integer evaluation for the side to move (every build computes exactly this):
//   acc[p][i] = featureBias[i] + sum of featureWeights[f][i] over p's active features (int16)
//   a(x)      = clamp(x, 0, QA)                       (CReLU)  or  clamp(x, 0, QA)^2 (SCReLU)
//   b         = outputBucket(pieces on the board, B); w and outputBias are bucket b's
//   sum       = sum over i of a(acc[us][i]) * w[i] + a(acc[them][i]) * w[N + i]        (int32)
//   SCReLU only: sum = sum / QA (C++ division, toward zero)
//   eval      = (sum + outputBias) * evalScale / (QA * QB)                              (int64)
// A file is refused when an accumulator could leave int16 or `sum` could leave int32 (see
// networkBoundsHold), so no build ever depends on overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Version 2 added output buckets; version 1 files (one output layer) are still read.
constexpr uint32_t NETWORK_FILE_VERSION = 2;
constexpr int NETWORK_INPUTS = 768;
constexpr int NETWORK_MAX_HIDDEN = 1024;
constexpr int NETWORK_MAX_OUTPUT_BUCKETS = 8;
constexpr int NETWORK_HEADER_BYTES = 40;
constexpr uint32_t ACTIVATION_CRELU = 1, ACTIVATION_SCRELU = 2;

struct NetworkHeader {
  uint32_t version = NETWORK_FILE_VERSION;
  uint32_t inputs = NETWORK_INPUTS;
  uint32_t hidden = 0;
  uint32_t activation = ACTIVATION_SCRELU;
  uint32_t qa = 255;
  uint32_t qb = 64;
  uint32_t evalScale = 400;
  uint32_t checksum = 0;
  uint32_t buckets = 1;
};

// The output bucket of a position with `pieces` pieces (kings included): the piece counts 2 to 32
// cut into `buckets` ranges of equal width, the last one shorter.
inline int outputBucket(int pieces, int buckets) {
  const int width = (32 + buckets - 1) / buckets;
  const int bucket = (pieces < 2 ? 0 : pieces - 2) / width;
  return bucket < buckets ? bucket : buckets - 1;
}

// A network as plain integer arrays (the trainer's export, the loader's input).
struct QuantisedNetwork {
  NetworkHeader header;
  std::vector<int16_t> featureWeights;  // 768 * hidden
  std::vector<int16_t> featureBias;     // hidden
  std::vector<int16_t> outputWeights;   // buckets * 2 * hidden
  std::vector<int32_t> outputBias;      // buckets
};

// FNV-1a, 32 bits.
uint32_t networkChecksum(const uint8_t* bytes, size_t count);
// The file's bytes (checksum filled in).
std::vector<uint8_t> serialiseNetwork(const QuantisedNetwork& net);
// Parses and checks a whole file: magic, version, architecture, exact size, checksum, bounds.
// False with the reason in `error` when the bytes are not a network this program can use.
bool parseNetwork(const uint8_t* bytes, size_t count, QuantisedNetwork& net, std::string& error);
// Whether no accumulator can leave int16 and no output sum can leave int32 whatever the position
// (at most 32 pieces, so at most 32 active features a side) and the bucket.
bool networkBoundsHold(const QuantisedNetwork& net, std::string& error);
