#include "tests/test_support.h"

#include <fstream>
#include <sstream>

std::vector<PerftCase> loadPerftCases() {
  std::vector<PerftCase> cases;
  std::ifstream in(std::string(CORVANEL_SOURCE_DIR) + "/tests/data/perft_standard.txt");
  std::string line;
  while (std::getline(in, line)) {
    size_t semi = line.find(';');
    if (semi == std::string::npos) continue;
    PerftCase c;
    c.fen = line.substr(0, semi);
    while (!c.fen.empty() && c.fen.back() == ' ') c.fen.pop_back();
    c.counts.push_back(0);
    std::istringstream rest(line.substr(semi));
    std::string field;
    while (std::getline(rest, field, ';')) {
      size_t space = field.find(' ');
      if (field.size() < 2 || field[0] != 'D' || space == std::string::npos) continue;
      c.counts.push_back(std::stoll(field.substr(space + 1)));
    }
    cases.push_back(c);
  }
  return cases;
}
