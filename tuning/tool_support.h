// What the tuning and test-suite commands share: their fixed files, reading those files whole,
// the check for "stop"/"quit" between steps, fixed-depth searches, and writing results so that
// no half-written file or record is ever left behind.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "search/search.h"

// The fixed files, all in the working directory.
constexpr const char* REFERENCE_FILE = "punt5.txt";             // recpar: FEN, then pawns
constexpr const char* TUNING_OUTPUT_BASE = "valorsx12.txt";     // + pass or change number
constexpr const char* MATCH_PARAM_BASE = "valorsjp.txt";        // + 99999, for millora.sh
constexpr int MATCH_PARAM_NUMBER = 99999;
constexpr const char* MATCH_SCRIPT = "./millora.sh";
constexpr const char* TEST_FILE = "variants16c.txt";            // FEN, then "move;move;..."
constexpr const char* CALCVAR_SOURCE = "punt5.pgn";             // one FEN per line
constexpr const char* CALCVAR_OUTPUT = "calcvar.txt";
constexpr const char* PROVALE_RESULTS = "valprov63movpas.txt";
constexpr const char* RANDS_RESULTS = "randseed2.txt";

// Knobs the commands themselves never change; the tests turn them down to stay fast.
struct ToolLimits {
  int testRunDepth = 8;   // provred, provale
  int randsDepth = 13;
  int calcvarDepth = 16;
  int randsPairs = 50;    // pairs of the test file per rands seed
  int passes = 0;         // passes (rounds) of the endless tools; 0 = without end
  int entries = 0;        // table entries the tuners walk; 0 = the whole table
};
extern ToolLimits toolLimits;

// The table entries a tuning pass walks.
int tunedEntryCount();

// Reads a text file into lines without their line ends (LF or CR LF); blank lines at the end
// are dropped. On failure prints one message naming the file and returns false; with
// `missingIsEmpty` a file that does not exist reads as empty.
bool readToolFile(const char* tool, const char* path, std::vector<std::string>& lines,
                  bool missingIsEmpty = false);

// Tells the user why a tool refuses its input file: "<tool>: <path> line <n>: <what>".
void reportBadLine(const char* tool, const char* path, size_t lineIndex, const std::string& what);

// True when the text is a FEN the board accepts; `reason` says why not.
bool fenAccepted(const std::string& fen, std::string* reason);

// Sets game-line entry 0 from a FEN already checked by fenAccepted, as "pf" does.
void setToolPosition(const std::string& fen);

// Looks at the lines typed while a tool runs: answers "isready", and returns true on "stop" or
// "quit" ("quit" also shuts the engine down, as it would when idle). Other lines are ignored
// with a note, since the tool holds the main thread.
bool toolStopRequested(const char* tool);

// A fixed-depth search of game-line entry `ply`, as "go depth" would run it but with no
// "bestmove" line. Returns false when typed input cut the search short; its result must then
// not be used. `stopped` is set when that input was "stop" or "quit"; otherwise the caller may
// simply search again.
bool toolSearch(const char* tool, int ply, int depth, bool& stopped, SearchResult& result);

// Appends one whole record (several lines at most) and flushes it.
bool appendRecord(const std::string& path, const std::string& record);
// The parameter table written as `base` + `number`, whole or not at all; a failure is reported.
bool writeParamFileSafely(const char* tool, const char* base, int number);

// The tools' own generator (the key generator must stay tied to keySeed), seeded from the
// system.
struct ToolRandom {
  std::mt19937 generator;
  ToolRandom();
  // A number in [0, 1): the next 32-bit draw times 2^-32.
  double unit() { return double(generator()) * (1.0 / 4294967296.0); }
};
