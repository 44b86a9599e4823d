// Syzygy endgame tablebases, read through the Fathom library (Debian's libfathom-dev). This file
// and its source are the only ones that know Fathom: they turn our Board into the library's
// bitboards and its moves back into ours. A program built without the library (no
// CORVANEL_SYZYGY) has the same calls; they then find no tables.
#pragma once

#include <string>

#include "board/types.h"

// Whether this program was linked with the probing library.
bool syzygyBuiltIn();

// The outcome of setting the folders of the tables.
enum class SyzygyPathResult {
  OFF,          // an empty path: no tables any more
  LOADED,       // tables found and loaded
  UNCHANGED,    // the same folders as in use: nothing to do
  NOT_FOUND,    // no folder of the path exists; the tables in use stay
  NO_TABLES,    // the folders hold no table files; the tables in use stay
  UNREADABLE,   // files were found but the library took none of them; the tables in use stay
  NOT_BUILT_IN  // this program cannot read tables
};
struct SyzygyPathReport {
  SyzygyPathResult result = SyzygyPathResult::OFF;
  int wdlFiles = 0;  // win/draw/loss files (".rtbw") found in the folders
  int dtzFiles = 0;  // distance-to-zero files (".rtbz")
  int pieces = 0;    // the largest number of pieces a loaded table holds
};

// Folders separated by ':' (';' on Windows). Called only while no search runs. A path that
// holds no usable tables leaves the tables in use as they were.
SyzygyPathReport setSyzygyPath(const std::string& folders);
// The folders in use ("" for none).
const std::string& syzygyPathInUse();
// The largest number of pieces of the loaded tables; 0 when none are loaded.
int syzygyLargest();

// Pieces of both sides, kings included.
int piecesOnBoard(const Board& board);

// Win/draw/loss of the side to move from the tables: -2 loss, -1 loss that the fifty-move rule
// saves, 0 draw, 1 win that the fifty-move rule spoils, 2 win. Only for positions just after a
// capture or a pawn move (clock 0) without castling rights; false when the tables do not know.
// Safe from every search thread.
bool probeSyzygyWdl(const Board& board, const PlyState& state, int& wdl);

// The legal root moves ranked by the tables: a higher rank is a better result for the mover,
// counting the fifty-move rule when `rule50`. Ranks of won moves that keep the win within the
// fifty-move rule are equal unless `hasRepeated` (the game already repeated a position since the
// last capture or pawn move), when the shorter road to the next capture or pawn move ranks higher.
constexpr int MAX_RANKED_MOVES = 256;
struct SyzygyRootRanking {
  int count = 0;
  Move moves[MAX_RANKED_MOVES];  // from, to and promotion kind (MOVE_NORMAL otherwise)
  int ranks[MAX_RANKED_MOVES];
  bool byDtz = false;            // ranked by distance to zero; false: by win/draw/loss only
};
// Main thread only, while no helper thread probes. False when the tables cannot rank the root
// (too many pieces, castling rights, a missing table, no legal move).
bool rankSyzygyRoot(const Board& board, const PlyState& state, bool hasRepeated, bool rule50,
                    SyzygyRootRanking& out);
// The win/draw/loss class (-2..2, as probeSyzygyWdl) of a rank.
int syzygyRankWdl(int rank, bool rule50);
