#include "search/syzygy.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#include "board/bitops.h"

#ifdef CORVANEL_SYZYGY
#include <tbprobe.h>
#endif

namespace {

#ifdef _WIN32
constexpr char PATH_SEPARATOR = ';';
#else
constexpr char PATH_SEPARATOR = ':';
#endif

std::string pathInUse;  // written only while no search runs
int largestInUse = 0;

// A Syzygy file name: "K...vK..." with at most seven pieces of the letters KQRBNP, a king
// leading each side, and the extension. Sets the piece count.
bool isTableName(const std::string& name, const char* extension, int& pieces) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.compare(dot, std::string::npos, extension) != 0)
    return false;
  const std::string stem = name.substr(0, dot);
  const size_t v = stem.find('v');
  if (v == std::string::npos || stem.find('v', v + 1) != std::string::npos) return false;
  if (stem[0] != 'K' || v + 1 >= stem.size() || stem[v + 1] != 'K') return false;
  for (size_t i = 0; i < stem.size(); ++i)
    if (i != v && std::string("KQRBNP").find(stem[i]) == std::string::npos) return false;
  pieces = int(stem.size()) - 1;
  return pieces >= 3 && pieces <= 7;
}

// Counts the table files of every folder of the path; false when no folder exists.
bool scanFolders(const std::string& folders, SyzygyPathReport& report) {
  bool anyFolder = false;
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(PATH_SEPARATOR, start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    start = end + 1;
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) continue;
    anyFolder = true;
    for (std::filesystem::directory_iterator it(folder, error), last; !error && it != last;
         it.increment(error)) {
      const std::string name = it->path().filename().string();
      int pieces = 0;
      if (isTableName(name, ".rtbw", pieces)) {
        ++report.wdlFiles;
        if (pieces > report.pieces) report.pieces = pieces;
      } else if (isTableName(name, ".rtbz", pieces)) {
        ++report.dtzFiles;
      }
    }
  }
  return anyFolder;
}

#ifdef CORVANEL_SYZYGY

// The library as Debian builds it keeps no lock of its own: a table is mapped on its first probe,
// and two threads must not do that at once.
std::mutex probeLock;

// Folders that can hold no file, so that loading them drops the tables in use. (The library
// mishandles an empty path after tables were probed, and probing after its own release call.)
constexpr const char* NO_TABLES_PATH = "/dev/null";

bool loadFolders(const std::string& folders) {
  std::lock_guard<std::mutex> guard(probeLock);
  return tb_init(folders.empty() ? NO_TABLES_PATH : folders.c_str()) && TB_LARGEST > 0;
}

struct FathomPosition {
  uint64_t white, black, kings, queens, rooks, bishops, knights, pawns;
  unsigned ep;
  bool whiteToMove;
};

FathomPosition toFathom(const Board& board, const PlyState& state) {
  auto both = [&](uint8_t kind) {
    return board.pieceBitboards[codeFor(WHITE, kind)] | board.pieceBitboards[codeFor(BLACK, kind)];
  };
  FathomPosition p;
  p.white = board.occupancy[WHITE];
  p.black = board.occupancy[BLACK];
  p.kings = both(KING);
  p.queens = both(QUEEN);
  p.rooks = both(ROOK);
  p.bishops = both(BISHOP);
  p.knights = both(KNIGHT);
  p.pawns = both(PAWN);
  // Ours is the square of the pawn that stepped twice; the library wants the square behind it.
  p.ep = 0;
  if (state.epSquare != NO_SQUARE)
    p.ep = unsigned(state.side == WHITE ? state.epSquare + 8 : state.epSquare - 8);
  p.whiteToMove = state.side == WHITE;
  return p;
}

bool anyCastling(const Board& board) {
  return board.castling[0] | board.castling[1] | board.castling[2] | board.castling[3];
}

Move fromFathomMove(TbMove m) {
  static constexpr uint8_t promotionKind[5] = {MOVE_NORMAL, PROMOTE_QUEEN, PROMOTE_ROOK,
                                               PROMOTE_BISHOP, PROMOTE_KNIGHT};
  const unsigned promotes = TB_MOVE_PROMOTES(m);
  return Move{uint8_t(TB_MOVE_FROM(m)), uint8_t(TB_MOVE_TO(m)), EMPTY,
              promotes < 5 ? promotionKind[promotes] : MOVE_NORMAL};
}

TbRootMoves rootResults;  // main thread only

#endif

}  // namespace

bool syzygyBuiltIn() {
#ifdef CORVANEL_SYZYGY
  return true;
#else
  return false;
#endif
}

const std::string& syzygyPathInUse() { return pathInUse; }
int syzygyLargest() { return largestInUse; }

int piecesOnBoard(const Board& board) {
  return popCount(board.occupancy[WHITE] | board.occupancy[BLACK]);
}

SyzygyPathReport setSyzygyPath(const std::string& folders) {
  SyzygyPathReport report;
  if (folders.empty()) {
#ifdef CORVANEL_SYZYGY
    if (!pathInUse.empty()) loadFolders("");
#endif
    pathInUse.clear();
    largestInUse = 0;
    report.result = SyzygyPathResult::OFF;
    return report;
  }
  if (!syzygyBuiltIn()) {
    report.result = SyzygyPathResult::NOT_BUILT_IN;
    return report;
  }
  if (!scanFolders(folders, report)) {
    report.result = SyzygyPathResult::NOT_FOUND;
    return report;
  }
  if (report.wdlFiles == 0) {
    report.result = SyzygyPathResult::NO_TABLES;
    return report;
  }
  if (folders == pathInUse) {
    report.pieces = largestInUse;
    report.result = SyzygyPathResult::UNCHANGED;
    return report;
  }
#ifdef CORVANEL_SYZYGY
  if (!loadFolders(folders)) {
    // Back to the tables that were in use.
    if (!pathInUse.empty() && !loadFolders(pathInUse)) {
      pathInUse.clear();
      largestInUse = 0;
    }
    report.result = SyzygyPathResult::UNREADABLE;
    return report;
  }
  pathInUse = folders;
  largestInUse = int(TB_LARGEST);
  report.pieces = largestInUse;
#endif
  report.result = SyzygyPathResult::LOADED;
  return report;
}

bool probeSyzygyWdl(const Board& board, const PlyState& state, int& wdl) {
#ifdef CORVANEL_SYZYGY
  if (state.halfmoveClock != 0 || anyCastling(board)) return false;
  const FathomPosition p = toFathom(board, state);
  unsigned result;
  {
    std::lock_guard<std::mutex> guard(probeLock);
    result = tb_probe_wdl(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops, p.knights,
                          p.pawns, 0, 0, p.ep, p.whiteToMove);
  }
  if (result == TB_RESULT_FAILED) return false;
  wdl = int(result) - 2;
  return true;
#else
  (void)board;
  (void)state;
  (void)wdl;
  return false;
#endif
}

int syzygyRankWdl(int rank, bool rule50) {
  // The library ranks a win kept within the fifty-move rule at 900 or more (1000 while it is
  // safely so), a spoilt one between 1 and 899, and losses the same way below zero.
  const int bound = rule50 ? 900 : 1;
  return rank >= bound ? 2 : rank > 0 ? 1 : rank == 0 ? 0 : rank > -bound ? -1 : -2;
}

bool rankSyzygyRoot(const Board& board, const PlyState& state, bool hasRepeated, bool rule50,
                    SyzygyRootRanking& out) {
  out.count = 0;
  out.byDtz = false;
#ifdef CORVANEL_SYZYGY
  if (largestInUse == 0 || piecesOnBoard(board) > largestInUse || anyCastling(board)) return false;
  const FathomPosition p = toFathom(board, state);
  std::lock_guard<std::mutex> guard(probeLock);
  rootResults.size = 0;
  bool ranked = tb_probe_root_dtz(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops,
                                  p.knights, p.pawns, state.halfmoveClock, 0, p.ep,
                                  p.whiteToMove, hasRepeated, rule50, &rootResults) != 0;
  out.byDtz = ranked;
  if (!ranked) {
    rootResults.size = 0;
    ranked = tb_probe_root_wdl(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops,
                               p.knights, p.pawns, state.halfmoveClock, 0, p.ep, p.whiteToMove,
                               rule50, &rootResults) != 0;
  }
  if (!ranked || rootResults.size == 0 || rootResults.size > MAX_RANKED_MOVES) return false;
  out.count = int(rootResults.size);
  for (int i = 0; i < out.count; ++i) {
    out.moves[i] = fromFathomMove(rootResults.moves[i].move);
    out.ranks[i] = rootResults.moves[i].tbRank;
  }
  return true;
#else
  (void)board;
  (void)state;
  (void)hasRepeated;
  (void)rule50;
  return false;
#endif
}
