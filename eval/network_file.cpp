#include "eval/network_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char MAGIC[4] = {'C', 'V', 'N', 'N'};
constexpr int MAX_ACTIVE_FEATURES = 32;

void putU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}
void putI16s(std::vector<uint8_t>& out, const std::vector<int16_t>& values) {
  for (int16_t v : values) {
    out.push_back(uint8_t(uint16_t(v)));
    out.push_back(uint8_t(uint16_t(v) >> 8));
  }
}
uint32_t getU32(const uint8_t* in) {
  return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}
int16_t getI16(const uint8_t* in) { return int16_t(uint16_t(in[0] | in[1] << 8)); }

size_t bodyBytes(uint32_t hidden, uint32_t buckets) {
  return 2 * (size_t(NETWORK_INPUTS) * hidden + hidden) + buckets * (2 * 2 * size_t(hidden) + 4);
}

}  // namespace

uint32_t networkChecksum(const uint8_t* bytes, size_t count) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

std::vector<uint8_t> serialiseNetwork(const QuantisedNetwork& net) {
  std::vector<uint8_t> out(MAGIC, MAGIC + 4);
  const NetworkHeader& h = net.header;
  for (uint32_t v : {h.version, h.inputs, h.hidden, h.activation, h.qa, h.qb, h.evalScale})
    putU32(out, v);
  putU32(out, 0);  // checksum, filled in below
  putU32(out, h.version >= 2 ? h.buckets : 0);
  putI16s(out, net.featureWeights);
  putI16s(out, net.featureBias);
  putI16s(out, net.outputWeights);
  for (int32_t bias : net.outputBias) putU32(out, uint32_t(bias));
  const uint32_t sum = networkChecksum(out.data() + NETWORK_HEADER_BYTES,
                                       out.size() - NETWORK_HEADER_BYTES);
  for (int i = 0; i < 4; ++i) out[32 + i] = uint8_t(sum >> (8 * i));
  return out;
}

bool parseNetwork(const uint8_t* bytes, size_t count, QuantisedNetwork& net, std::string& error) {
  if (count < size_t(NETWORK_HEADER_BYTES)) {
    error = "too short for a network header";
    return false;
  }
  if (std::memcmp(bytes, MAGIC, 4) != 0) {
    error = "not a Corvanel network (wrong magic)";
    return false;
  }
  NetworkHeader h;
  h.version = getU32(bytes + 4);
  h.inputs = getU32(bytes + 8);
  h.hidden = getU32(bytes + 12);
  h.activation = getU32(bytes + 16);
  h.qa = getU32(bytes + 20);
  h.qb = getU32(bytes + 24);
  h.evalScale = getU32(bytes + 28);
  h.checksum = getU32(bytes + 32);
  h.buckets = h.version >= 2 ? getU32(bytes + 36) : 1;
  if (h.version < 1 || h.version > NETWORK_FILE_VERSION) {
    error = "network file version " + std::to_string(h.version) + ", this program reads 1 to " +
            std::to_string(NETWORK_FILE_VERSION);
    return false;
  }
  if (h.inputs != uint32_t(NETWORK_INPUTS) || h.hidden == 0 || h.hidden % 32 != 0 ||
      h.hidden > uint32_t(NETWORK_MAX_HIDDEN) ||
      (h.activation != ACTIVATION_CRELU && h.activation != ACTIVATION_SCRELU) || h.qa == 0 ||
      h.qa > 255 || h.qb == 0 || h.qb > 1024 || h.evalScale == 0 || h.evalScale > 10000 ||
      h.buckets == 0 || h.buckets > uint32_t(NETWORK_MAX_OUTPUT_BUCKETS)) {
    error = "unsupported architecture (" + std::to_string(h.inputs) + " inputs, " +
            std::to_string(h.hidden) + " hidden, activation " + std::to_string(h.activation) +
            ", " + std::to_string(h.buckets) + " output buckets)";
    return false;
  }
  if (count != NETWORK_HEADER_BYTES + bodyBytes(h.hidden, h.buckets)) {
    error = "size " + std::to_string(count) + " bytes, the header's network needs " +
            std::to_string(NETWORK_HEADER_BYTES + bodyBytes(h.hidden, h.buckets));
    return false;
  }
  if (networkChecksum(bytes + NETWORK_HEADER_BYTES, count - NETWORK_HEADER_BYTES) != h.checksum) {
    error = "checksum mismatch (damaged file)";
    return false;
  }
  const size_t n = h.hidden;
  net.header = h;
  const uint8_t* at = bytes + NETWORK_HEADER_BYTES;
  auto readI16s = [&](std::vector<int16_t>& into, size_t items) {
    into.resize(items);
    for (size_t i = 0; i < items; ++i, at += 2) into[i] = getI16(at);
  };
  readI16s(net.featureWeights, NETWORK_INPUTS * n);
  readI16s(net.featureBias, n);
  readI16s(net.outputWeights, h.buckets * 2 * n);
  net.outputBias.resize(h.buckets);
  for (int32_t& bias : net.outputBias) bias = int32_t(getU32(at)), at += 4;
  return networkBoundsHold(net, error);
}

bool networkBoundsHold(const QuantisedNetwork& net, std::string& error) {
  const size_t n = net.header.hidden;
  const size_t buckets = net.header.buckets;
  if (buckets == 0 || net.featureWeights.size() != NETWORK_INPUTS * n ||
      net.featureBias.size() != n || net.outputWeights.size() != buckets * 2 * n ||
      net.outputBias.size() != buckets) {
    error = "arrays of the wrong sizes for the header";
    return false;
  }
  // An accumulator: its bias plus the 32 largest column entries of either sign.
  std::vector<int> column(NETWORK_INPUTS);
  for (size_t i = 0; i < n; ++i) {
    for (int f = 0; f < NETWORK_INPUTS; ++f) column[f] = net.featureWeights[f * n + i];
    std::partial_sort(column.begin(), column.begin() + MAX_ACTIVE_FEATURES, column.end());
    int64_t low = net.featureBias[i], high = net.featureBias[i];
    for (int k = 0; k < MAX_ACTIVE_FEATURES; ++k) low += std::min(column[k], 0);
    std::partial_sort(column.begin(), column.begin() + MAX_ACTIVE_FEATURES, column.end(),
                      [](int a, int b) { return a > b; });
    for (int k = 0; k < MAX_ACTIVE_FEATURES; ++k) high += std::max(column[k], 0);
    if (low < -32768 || high > 32767) {
      error = "an accumulator could overflow 16 bits (neuron " + std::to_string(i) + ")";
      return false;
    }
  }
  const int64_t qa = net.header.qa;
  const int64_t peak = net.header.activation == ACTIVATION_SCRELU ? qa * qa : qa;
  for (size_t bucket = 0; bucket < buckets; ++bucket) {
    int64_t total = 0;
    for (size_t i = 0; i < 2 * n; ++i) {
      const int16_t w = net.outputWeights[bucket * 2 * n + i];
      // SCReLU multiplies the clamped value by the weight in 16 bits before squaring it in.
      if (net.header.activation == ACTIVATION_SCRELU && qa * std::abs(int64_t(w)) > 32767) {
        error = "an output weight too large for 16-bit products";
        return false;
      }
      total += peak * std::abs(int64_t(w));
    }
    if (total > INT32_MAX) {
      error = "the output sum could overflow 32 bits";
      return false;
    }
  }
  return true;
}
