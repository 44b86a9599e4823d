#include "tuning/net_trainer/checkpoint.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr char MAGIC[4] = {'C', 'V', 'T', 'K'};
// Version 2 added the mirroring setting, version 3 the output buckets; older checkpoints (without
// them) are still read.
constexpr uint32_t VERSION = 3;
constexpr uint32_t MAX_STRING = 1 << 16;
constexpr uint32_t MAX_FILES = 1 << 16;

struct Writer {
  std::vector<uint8_t> bytes;
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  }
  void u64(uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  }
  void f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    u64(bits);
  }
  void text(const std::string& s) {
    u32(uint32_t(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  }
  void floats(const std::vector<float>& values) {
    for (float v : values) {
      uint32_t bits;
      std::memcpy(&bits, &v, 4);
      u32(bits);
    }
  }
};

struct Reader {
  const std::vector<uint8_t>& bytes;
  size_t at = 0;
  size_t end;
  bool ok = true;
  Reader(const std::vector<uint8_t>& b, size_t limit) : bytes(b), end(limit) {}
  bool take(size_t n) {
    if (!ok || end - at < n) return ok = false;
    return true;
  }
  uint64_t unsignedOf(int n) {
    if (!take(size_t(n))) return 0;
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint64_t(bytes[at + i]) << (8 * i);
    at += size_t(n);
    return v;
  }
  uint32_t u32() { return uint32_t(unsignedOf(4)); }
  uint64_t u64() { return unsignedOf(8); }
  double f64() {
    const uint64_t bits = u64();
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }
  std::string text() {
    const uint32_t size = u32();
    if (size > MAX_STRING || !take(size)) return ok = false, std::string();
    std::string s(bytes.begin() + long(at), bytes.begin() + long(at + size));
    at += size;
    return s;
  }
  void floats(std::vector<float>& values, size_t count) {
    if (count > (end - at) / 4 || !take(count * 4)) {
      ok = false;
      return;
    }
    values.resize(count);
    for (float& v : values) {
      const uint32_t bits = u32();
      std::memcpy(&v, &bits, 4);
    }
  }
};

}  // namespace

std::vector<uint8_t> serialiseCheckpoint(const TrainerCheckpoint& c) {
  Writer w;
  w.bytes.assign(MAGIC, MAGIC + 4);
  w.u32(VERSION);
  const TrainerSettings& s = c.settings;
  w.u32(uint32_t(s.hidden));
  w.u32(s.activation);
  w.f64(s.wdl);
  w.f64(s.learningRate);
  w.f64(s.weightDecay);
  w.f64(s.heldoutPercent);
  w.u32(uint32_t(s.batch));
  w.u32(uint32_t(s.epochs));
  w.u64(s.seed);
  w.u32(s.mirror ? 1 : 0);
  w.u32(uint32_t(s.outputBuckets));
  w.text(s.out);
  w.u32(uint32_t(s.dataFiles.size()));
  for (const std::string& file : s.dataFiles) w.text(file);
  w.u64(c.fingerprint);
  w.u64(c.trainingPositions);
  w.u64(c.heldoutPositions);
  w.u32(uint32_t(c.epochsDone));
  w.u64(c.adam.step);
  for (uint64_t word : c.shuffle.s) w.u64(word);
  w.u64(c.net.params.size());
  w.floats(c.net.params);
  w.floats(c.adam.m);
  w.floats(c.adam.v);
  w.u32(networkChecksum(w.bytes.data(), w.bytes.size()));
  return w.bytes;
}

bool parseCheckpoint(const std::vector<uint8_t>& bytes, TrainerCheckpoint& c, std::string& error) {
  if (bytes.size() < 12 || std::memcmp(bytes.data(), MAGIC, 4) != 0) {
    error = "not a corvanel-train checkpoint";
    return false;
  }
  const size_t body = bytes.size() - 4;
  Reader r(bytes, body);
  r.at = 4;
  const uint32_t version = r.u32();
  if (version < 1 || version > VERSION) {
    error = "checkpoint version " + std::to_string(version) + ", this program reads 1 to " +
            std::to_string(VERSION);
    return false;
  }
  Reader sum(bytes, bytes.size());
  sum.at = body;
  if (sum.u32() != networkChecksum(bytes.data(), body)) {
    error = "checksum mismatch (damaged checkpoint)";
    return false;
  }
  TrainerSettings& s = c.settings;
  s.hidden = int(r.u32());
  s.activation = r.u32();
  s.wdl = r.f64();
  s.learningRate = r.f64();
  s.weightDecay = r.f64();
  s.heldoutPercent = r.f64();
  s.batch = int(r.u32());
  s.epochs = int(r.u32());
  s.seed = r.u64();
  s.mirror = version >= 2 && r.u32() != 0;
  s.outputBuckets = version >= 3 ? int(r.u32()) : 1;
  s.out = r.text();
  const uint32_t files = r.u32();
  s.dataFiles.clear();
  for (uint32_t i = 0; i < files && i < MAX_FILES && r.ok; ++i) s.dataFiles.push_back(r.text());
  c.fingerprint = r.u64();
  c.trainingPositions = r.u64();
  c.heldoutPositions = r.u64();
  c.epochsDone = int(r.u32());
  c.adam.step = r.u64();
  for (uint64_t& word : c.shuffle.s) word = r.u64();
  const uint64_t count = r.u64();
  c.net.hidden = s.hidden;
  c.net.buckets = s.outputBuckets;
  c.net.activation = s.activation;
  const bool shapeOk = r.ok && s.hidden > 0 && s.hidden <= NETWORK_MAX_HIDDEN &&
                       s.hidden % 32 == 0 && files <= MAX_FILES && s.outputBuckets >= 1 &&
                       s.outputBuckets <= NETWORK_MAX_OUTPUT_BUCKETS &&
                       (s.activation == ACTIVATION_CRELU || s.activation == ACTIVATION_SCRELU);
  if (!shapeOk || count != c.net.parameterCount()) {
    error = "checkpoint of an unknown network shape";
    return false;
  }
  r.floats(c.net.params, count);
  r.floats(c.adam.m, count);
  r.floats(c.adam.v, count);
  if (!r.ok || r.at != body) {
    error = "checkpoint of the wrong size";
    return false;
  }
  return true;
}

bool readCheckpoint(const std::string& path, TrainerCheckpoint& checkpoint, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open checkpoint " + path;
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (!parseCheckpoint(bytes, checkpoint, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}
