// One self-play game for the network's training data: an opening from the book, a few random
// plies drawn from the game's own seed, then Corvanel against itself at a soft node limit per
// move, with adjudication of clear wins and dead draws. The kept positions carry the search's
// score and, once the game is over, its result.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "tuning/training_data.h"

struct SelfPlaySettings {
  std::vector<std::string> openings;  // FENs; a game's seed picks one
  int64_t softNodes = 5000;     // no new iteration starts past this many nodes
  int64_t hardNodes = 100000;   // a search never passes this many
  int randomPlies = 4;          // uniformly drawn legal moves after the opening
  int maxOpeningScore = 400;    // a start that the first search scores beyond this is redrawn
  int skipPlies = 8;            // positions before this ply (from the opening) are not written
  int maxPlies = 400;           // a game this long is a draw
  int winScore = 1000;          // both sides agree on a score beyond this ...
  int winPlies = 4;             // ... for this many plies in a row: adjudged won
  int drawScore = 10;           // scores within this ...
  int drawPlies = 12;           // ... for this many plies in a row ...
  int drawFromPly = 80;         // ... from this ply on: adjudged drawn
};

struct SelfPlayGame {
  GameRecord record;
  PositionRecord positions[MAX_GAME_POSITIONS];
};

// The generator state of game `gameIndex` of a run seeded with `seed`: the same pair gives the
// same game (one search thread, tables emptied before the game).
uint64_t selfPlayGameSeed(uint64_t seed, uint64_t gameIndex);

// Plays one whole game into `game`. Returns false when `abort` was set before the game ended
// (the game is then incomplete and must not be written).
bool playSelfPlayGame(const SelfPlaySettings& settings, uint64_t seed, uint64_t gameIndex,
                      SelfPlayGame& game, const std::atomic<bool>& abort);

// A start position for another program's data generation (OpenBench's "genfens"): an opening
// of `openings` (the standard start when it is empty), `randomPlies` random legal moves, drawn
// again while a search of `nodes` nodes scores it beyond `maxScore`. The FEN of the position.
std::string drawStartFen(const std::vector<std::string>& openings, int randomPlies, int maxScore,
                         int64_t nodes, uint64_t seed);
