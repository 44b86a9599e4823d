// The network evaluation: the net in use (one per process, installed between searches), the
// accumulators that hold its hidden layer for a position, and the integer output of
// eval/network_file.h. Works on boards and the pieces a move changed; knows nothing of searches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "board/types.h"
#include "eval/network_file.h"

// The hidden layer of one position before activation, for each colour's perspective
// ([WHITE], [BLACK]); only the first `hidden` values of the net in use mean anything.
struct alignas(64) Accumulator {
  int16_t values[2][NETWORK_MAX_HIDDEN];
};

// The instruction sets the network code is written for. Every path computes exactly the same
// integers; the best one the build and the processor allow is chosen at start-up.
enum NetworkPath : int { NETWORK_PATH_PLAIN, NETWORK_PATH_SSE2, NETWORK_PATH_AVX2, NETWORK_PATHS };
const char* networkPathName(NetworkPath path);
// Compiled into this program and supported by this processor.
bool networkPathAvailable(NetworkPath path);
NetworkPath activeNetworkPath();
// Tests force each available path in turn; false (nothing changed) for an unavailable one.
bool selectNetworkPath(NetworkPath path);

// The net compiled into the program (eval/default.nnue unless the build named another).
extern const unsigned char embeddedNetworkBytes[];
extern const size_t embeddedNetworkByteCount;

// Whether a net is installed (the embedded one is, unless it was refused).
bool networkInstalled();
// What the net in use is: "<default>" or the file it came from.
const std::string& networkName();
uint32_t networkHiddenSize();
// The checksum of the net in use, as its file's header gives it: which net it is.
uint32_t networkChecksumInUse();

// Parses the bytes (eval/network_file.h) and, when they are a usable net, makes it the net in
// use under `name`. Otherwise returns false with the reason and the net in use stays. Never
// during a search.
bool installNetwork(const uint8_t* bytes, size_t count, const std::string& name,
                     std::string& error);
bool installEmbeddedNetwork(std::string& error);
// Reads a network file; refuses anything that is not one (a missing or unreadable file, a size
// no network has, any fault parseNetwork finds) and keeps the net in use.
bool installNetworkFile(const std::string& path, std::string& error);
// A net already in memory (the tests' nets); false when parseNetwork would refuse it.
bool installNetwork(const QuantisedNetwork& net, const std::string& name, std::string& error);

// Both perspectives of `board` from scratch.
void refreshAccumulator(const Board& board, Accumulator& accumulator);
// The child's accumulator: the parent's with the columns of the pieces the move took off
// subtracted and those it put on added, in one pass (`move` is the child's PlyState).
void updateAccumulator(const Accumulator& parent, const PlyState& move, Accumulator& child);
// The net's integer output for `side` to move with `pieces` pieces on the board, in centipawns
// (the formula of network_file.h).
int networkOutput(const Accumulator& accumulator, int side, int pieces);
// The static evaluation the search uses: the output for the side to move, damped and limited as
// the table's score is (see Evaluate).
int networkEvaluation(const Accumulator& accumulator, const Board& board, const PlyState& state);
// The same for a position, with its accumulator computed from scratch (main thread only: the
// commands and the tests).
int networkEvaluationOf(const Board& board, const PlyState& state);
