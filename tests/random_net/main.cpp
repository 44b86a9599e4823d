// corvanel-random-net SEED HIDDEN FILE: writes a seeded random network file (the placeholder
// default net until a trained one replaces it: `corvanel-random-net 23 256 eval/default.nnue`).
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tests/network_support.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: corvanel-random-net SEED HIDDEN FILE\n");
    return 2;
  }
  const QuantisedNetwork net =
      randomNetwork(uint32_t(std::strtoul(argv[1], nullptr, 10)),
                    uint32_t(std::strtoul(argv[2], nullptr, 10)));
  std::string error;
  QuantisedNetwork check;
  const std::vector<uint8_t> bytes = serialiseNetwork(net);
  if (!parseNetwork(bytes.data(), bytes.size(), check, error)) {
    std::fprintf(stderr, "not a usable network: %s\n", error.c_str());
    return 1;
  }
  std::ofstream out(argv[3], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return out.good() ? 0 : 1;
}
