#include "tuning/selfplay.h"

#include <cstdlib>
#include <random>

#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/constants.h"
#include "search/search.h"
#include "search/tt.h"

namespace {

// The game line of the game being played (one game per process at a time).
Board lineBoards[GAME_LINE_SIZE];
PlyState lineStates[GAME_LINE_SIZE];

uint64_t splitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

bool isCapture(Move m) { return !isCastlingKind(m.kind) && m.captured != EMPTY; }

// Neither side can mate: bare kings, or a single minor piece beside them.
bool insufficientMaterial(const Board& b) {
  int minors = 0;
  for (uint8_t code = WHITE_PAWN; code < PIECE_CODES; ++code) {
    if (code == EMPTY || kindOf(code) == KING) continue;
    const int kind = kindOf(code);
    if (kind == KNIGHT || kind == BISHOP) minors += b.pieceCount[code];
    else if (b.pieceCount[code] > 0) return false;
  }
  return minors <= 1;
}

// The position at `ply` stood twice before since the last irreversible move.
bool threefold(int ply, int lastIrreversible) {
  int seen = 0;
  for (int k = ply - 2; k >= lastIrreversible; k -= 2)
    if (lineBoards[k].key == lineBoards[ply].key && ++seen == 2) return true;
  return false;
}

struct Adjudicator {
  const SelfPlaySettings& s;
  int winRun = 0, winSign = 0, drawRun = 0;

  // Feeds the white-view score of the search at `ply`; returns the adjudged white result or -1.
  int feed(int whiteScore, int ply) {
    const int sign = whiteScore >= s.winScore ? 1 : whiteScore <= -s.winScore ? -1 : 0;
    winRun = sign != 0 && sign == winSign ? winRun + 1 : (sign != 0 ? 1 : 0);
    winSign = sign;
    drawRun = std::abs(whiteScore) <= s.drawScore ? drawRun + 1 : 0;
    if (winRun >= s.winPlies) return winSign > 0 ? RESULT_WIN : RESULT_LOSS;
    if (ply >= s.drawFromPly && drawRun >= s.drawPlies) return RESULT_DRAW;
    return -1;
  }
};

SearchResult searchLine(const SelfPlaySettings& s, int ply, int lastIrreversible) {
  SearchRequest request;
  request.lineBoards = lineBoards;
  request.lineStates = lineStates;
  request.rootPly = ply;
  request.lastIrreversiblePly = lastIrreversible;
  request.limits.goFlags = GO_NODES;
  request.limits.nodes = s.hardNodes;
  request.limits.softNodes = s.softNodes;
  request.printInfo = false;
  return runSearch(request);
}

// Sets up the opening and the random plies at line entry 0 (the random moves are not kept: the
// game's repetition test starts after them). False when the draw ended in a finished game.
bool drawStart(const std::vector<std::string>& openings, int randomPlies, std::mt19937_64& random) {
  const std::string& fen =
      openings.empty() ? std::string(START_FEN) : openings[random() % openings.size()];
  if (!setPosition(lineBoards[0], lineStates[0], fen.c_str())) return false;
  for (int i = 0; i < randomPlies; ++i) {
    MoveList list;
    const int count = legalMoves(lineBoards[0], lineStates[0], list);
    if (count == 0) return false;
    Board board;
    PlyState state;
    makeMove(list.moves[random() % uint64_t(count)], lineBoards[0], board, lineStates[0], state);
    lineBoards[0] = board;
    lineStates[0] = state;
  }
  MoveList list;
  return legalMoves(lineBoards[0], lineStates[0], list) > 0;
}

}  // namespace

uint64_t selfPlayGameSeed(uint64_t seed, uint64_t gameIndex) {
  return splitMix(splitMix(seed) ^ splitMix(gameIndex + 0x51A7));
}

bool playSelfPlayGame(const SelfPlaySettings& s, uint64_t seed, uint64_t gameIndex,
                      SelfPlayGame& game, const std::atomic<bool>& abort) {
  std::mt19937_64 random(selfPlayGameSeed(seed, gameIndex));
  clearForNewGame();

  // A start is drawn again (from the same generator) while the first search finds it lopsided.
  SearchResult first;
  for (int attempt = 0;; ++attempt) {
    if (abort.load(std::memory_order_relaxed)) return false;
    if (!drawStart(s.openings, s.randomPlies, random)) {
      if (attempt >= 1000) return false;
      continue;
    }
    first = searchLine(s, 0, 0);
    if (std::abs(first.score) <= s.maxOpeningScore || attempt >= 50) break;
  }
  clearForNewGame();

  GameRecord& record = game.record;
  record = GameRecord();
  record.gameIndex = gameIndex;
  int kept = 0, lastIrreversible = 0, ply = 0;
  Adjudicator adjudicator{s};
  int whiteResult = -1;
  uint8_t ending = 0;
  for (;; ++ply) {
    if (abort.load(std::memory_order_relaxed)) return false;
    Board& board = lineBoards[ply];
    PlyState& state = lineStates[ply];
    MoveList list;
    const bool inCheck = kingAttacked(board, state);
    if (legalMoves(board, state, list) == 0) {
      whiteResult = !inCheck ? RESULT_DRAW : state.side == WHITE ? RESULT_LOSS : RESULT_WIN;
      ending = inCheck ? ENDING_MATE : ENDING_STALEMATE;
      break;
    }
    if (insufficientMaterial(board)) { whiteResult = RESULT_DRAW; ending = ENDING_MATERIAL; break; }
    if (state.halfmoveClock >= 100) {
      whiteResult = RESULT_DRAW;
      ending = ENDING_FIFTY_MOVES;
      break;
    }
    if (threefold(ply, lastIrreversible)) {
      whiteResult = RESULT_DRAW;
      ending = ENDING_REPETITION;
      break;
    }
    if (ply >= s.maxPlies || ply + 1 >= GAME_LINE_SIZE) {
      whiteResult = RESULT_DRAW;
      ending = ENDING_MOVE_LIMIT;
      break;
    }

    const SearchResult result = searchLine(s, ply, lastIrreversible);
    if (isNoMove(result.best)) return false;  // cannot happen with legal moves; never record it
    const Move best = result.best;
    const bool quiet = !isCapture(best) && !isPromotionKind(best.kind);
    if (ply >= s.skipPlies && !inCheck && quiet && std::abs(result.score) < MATE_THRESHOLD &&
        kept < MAX_GAME_POSITIONS) {
      PositionRecord& p = game.positions[kept++];
      p = packPosition(board, state.side, state.halfmoveClock, ply);
      p.score = int16_t(result.score);
    }
    const int adjudged = adjudicator.feed(state.side == WHITE ? result.score : -result.score, ply);
    if (adjudged >= 0) {
      whiteResult = adjudged;
      ending = adjudged == RESULT_DRAW ? ENDING_ADJUDGED_DRAW : ENDING_ADJUDGED_WIN;
      break;
    }
    if (isCapture(best) || kindOf(board.squares[best.from]) == PAWN) lastIrreversible = ply + 1;
    makeMove(best, board, lineBoards[ply + 1], state, lineStates[ply + 1]);
  }

  record.positions = uint32_t(kept);
  record.plies = uint16_t(ply);
  record.whiteResult = uint8_t(whiteResult);
  record.ending = ending;
  for (int i = 0; i < kept; ++i) {
    PositionRecord& p = game.positions[i];
    p.result = p.sideToMove == WHITE ? uint8_t(whiteResult) : uint8_t(RESULT_WIN - whiteResult);
  }
  return true;
}

std::string drawStartFen(const std::vector<std::string>& openings, int randomPlies, int maxScore,
                         int64_t nodes, uint64_t seed) {
  std::mt19937_64 random(seed);
  SelfPlaySettings settings;
  settings.softNodes = settings.hardNodes = nodes;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    clearForNewGame();
    if (!drawStart(openings, randomPlies, random)) continue;
    if (std::abs(searchLine(settings, 0, 0).score) <= maxScore) break;
  }
  return boardToFen(lineBoards[0], lineStates[0]);
}
