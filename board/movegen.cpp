// Pseudo-legal move generation with ordering scores, the move-list cache in front of it, and the
// shared calling protocol (evasions when in check, lazy legality otherwise).
#include "board/movegen.h"

#include "board/bitops.h"
#include "board/castling.h"
#include "board/makemove.h"
#include "board/movecache.h"
#include "board/movewriter.h"
#include "board/tables.h"
#include "eval/derived.h"

const HistoryTable noHistory = {};

namespace {

constexpr int CACHE_MAX_DEPTH = 4;    // lists are stored only in the first iterations ...
constexpr int CACHE_MAX_PLY = 4;      // ... near the root ...
constexpr int CACHE_MAX_COUNT = 122;  // ... and only when they fit the entry
constexpr int64_t SCORE_CASTLE_SHORT = 45, SCORE_CASTLE_LONG = 44;
constexpr int32_t KING_STEP_MATERIAL = 2000;  // with more material than this a king step costs 5
constexpr int64_t KING_STEP_PENALTY = 5;

// Tracks the opponent's last mover: a piece of ours it attacks and that is worth more than it
// gets a bonus on all its moves; the most valuable such piece becomes the threat square.
struct ThreatTracker {
  const PlyState& state;
  int64_t largest = 0;
  uint8_t square = NO_SQUARE;

  explicit ThreatTracker(const PlyState& s) : state(s) {}

  int64_t bonusFor(uint8_t code, int sq) {
    int64_t value = ExchangeValue[code];
    if (state.lastMoverValue >= value || ((state.lastMoverAttacks >> sq) & 1) == 0) return 0;
    if (value > largest) {
      largest = value;
      square = uint8_t(sq);
    }
    return value;
  }
};

// Pawn moves in piece-list order: double push, single push, east and west captures, then the
// two en-passant captures. Captures-only mode leaves out every push, promotions included.
template <int Us>
void addPawnMoves(const Board& board, const PlyState& state, MoveWriter& out, bool withPushes) {
  using G = PawnGeometry<Us>;
  const uint8_t pawn = codeFor(Us, PAWN);
  const Bitboard enemy = board.occupancy[Us ^ 1];
  const int ep = usableEpSquare<Us>(board, state);
  const int64_t pawnValue = ExchangeValue[pawn];

  auto captureScore = [&](int to) -> int64_t {
    return to == state.lastTo ? SCORE_RECAPTURE
                              : int64_t(ExchangeValue[board.squares[to]]) - pawnValue;
  };

  for (int i = 0; i < board.pieceCount[pawn]; ++i) {
    const int s = board.pieceList[pawn][i];
    if (rankOf(s) == G::lastRank) continue;  // cannot stand there; never step off the board
    const int file = fileOf(s);
    if (withPushes) {
      const int to = s + G::forward;
      if (board.squares[to] == EMPTY) {
        const int twoAhead = to + G::forward;
        if (rankOf(s) == G::startRank && board.squares[twoAhead] == EMPTY)
          out.add(s, twoAhead, EMPTY, MOVE_NORMAL, out.history[pawn][twoAhead]);
        out.addPawnMove(s, to, EMPTY, G::lastRank, out.history[pawn][to]);
      }
    }
    if (file != 7 && ((enemy >> (s + G::captureEast)) & 1)) {
      const int to = s + G::captureEast;
      out.addPawnMove(s, to, board.squares[to], G::lastRank, captureScore(to));
    }
    if (file != 0 && ((enemy >> (s + G::captureWest)) & 1)) {
      const int to = s + G::captureWest;
      out.addPawnMove(s, to, board.squares[to], G::lastRank, captureScore(to));
    }
    if (ep >= 0) {
      const uint8_t victim = codeFor(Us ^ 1, PAWN);
      if (file != 7 && s + 1 == ep) out.add(s, s + G::captureEast, victim, MOVE_NORMAL, 0);
      if (file != 0 && s - 1 == ep) out.add(s, s + G::captureWest, victim, MOVE_NORMAL, 0);
    }
  }
}

// Knights, bishops, rooks and queens (and, for captures only, the king) onto `targets`.
// A capture counts twice its material balance; quiet moves go by history; both get the bonus.
void addPieceMoves(const Board& board, const PlyState& state, MoveWriter& out,
                   ThreatTracker& threat, uint8_t code, Bitboard targets) {
  const int64_t moverValue = ExchangeValue[code];
  const uint8_t kind = kindOf(code);
  for (int i = 0; i < board.pieceCount[code]; ++i) {
    const int s = board.pieceList[code][i];
    const int64_t bonus = threat.bonusFor(code, s);
    Bitboard attacks =
        (kind == KNIGHT || kind == KING) ? pieceAttacks[code][s] : sliderSlot(board, code, i);
    attacks &= targets;
    while (attacks) {
      const int to = popLowestBit(attacks);
      const uint8_t captured = board.squares[to];
      int64_t score;
      if (captured == EMPTY)
        score = out.history[code][to] + bonus;
      else if (to == state.lastTo)
        score = SCORE_RECAPTURE;
      else
        score = 2 * (int64_t(ExchangeValue[captured]) - moverValue) + bonus;
      out.add(s, to, captured, MOVE_NORMAL, score);
    }
  }
}

void addKingSteps(const Board& board, const PlyState& state, MoveWriter& out, int us) {
  const uint8_t king = codeFor(us, KING);
  const int k = board.kingSquare[us];
  const Bitboard own = board.occupancy[us];
  const int64_t stepPenalty = board.materialMg[us] > KING_STEP_MATERIAL ? KING_STEP_PENALTY : 0;
  for (const uint8_t* n = kingNeighbours[k]; *n != NO_SQUARE; ++n) {
    const int to = *n;
    if ((own >> to) & 1) continue;
    const uint8_t captured = board.squares[to];
    int64_t score;
    if (captured == EMPTY)
      score = out.history[king][to] - stepPenalty;
    else if (to == state.lastTo)
      score = SCORE_RECAPTURE;
    else
      score = ExchangeValue[captured];  // the king's own value is 0
    out.add(k, to, captured, MOVE_NORMAL, score);
  }
}

// Castling needs the right, its rook and empty squares between; attacked squares are the
// legality filter's business.
void addCastling(const Board& board, MoveWriter& out, int us) {
  if (!(board.castling[us * 2] | board.castling[us * 2 + 1])) return;  // the usual case
  const Move castleShort = castlingMove(board, us, CASTLE_SHORT);
  if (!isNoMove(castleShort))
    out.add(castleShort.from, castleShort.to, EMPTY, CASTLE_SHORT, SCORE_CASTLE_SHORT);
  const Move castleLong = castlingMove(board, us, CASTLE_LONG);
  if (!isNoMove(castleLong))
    out.add(castleLong.from, castleLong.to, EMPTY, CASTLE_LONG, SCORE_CASTLE_LONG);
}

MoveCacheEntry* cacheEntryFor(MoveListCache* cache, uint64_t key) {
  if (cache == nullptr || cache->entries == nullptr || !cache->filled) return nullptr;
  return &cache->entries[uint32_t(key) & (MOVE_CACHE_ENTRIES - 1)];
}

// A cached list carries no per-piece threat bonus; it is rescored with a bonus of 0, which only
// shifts ordering within the first plies.
void rescoreCachedList(const Board& board, const PlyState& state, MoveList& list,
                       const HistoryTable& history) {
  for (int i = 0; i < list.count; ++i) {
    const Move m = list.moves[i];
    const uint8_t mover = board.squares[m.from];
    if (m.captured == EMPTY)
      list.scores[i] = history[mover][m.to];
    else if (m.to == state.lastTo)
      list.scores[i] = SCORE_RECAPTURE;
    else
      list.scores[i] = int64_t(ExchangeValue[m.captured]) - ExchangeValue[mover];
  }
}

bool probeMoveCache(const Board& board, PlyState& state, MoveList& list,
                    const MoveScoring& scoring) {
  const MoveCacheEntry* entry = cacheEntryFor(scoring.cache, board.key);
  if (entry == nullptr || entry->key != board.key || entry->count > MOVE_CACHE_MOVES) return false;
  list.count = entry->count;
  std::memcpy(list.moves, entry->moves, sizeof(Move) * entry->count);
  state.threatSquare = uint8_t(entry->threat);
  rescoreCachedList(board, state, list, scoring.history);
  return true;
}

void storeMoveCache(const Board& board, const PlyState& state, const MoveList& list, int ply,
                    const MoveScoring& scoring) {
  if (scoring.iterationDepth >= CACHE_MAX_DEPTH || ply >= CACHE_MAX_PLY ||
      list.count >= CACHE_MAX_COUNT)
    return;
  MoveListCache* cache = scoring.cache;
  if (cache == nullptr || cache->entries == nullptr) return;
  cache->filled = true;
  MoveCacheEntry* entry = &cache->entries[uint32_t(board.key) & (MOVE_CACHE_ENTRIES - 1)];
  std::memcpy(entry->moves, list.moves, sizeof(Move) * list.count);
  entry->count = uint16_t(list.count);
  entry->key = board.key;
  entry->threat = state.threatSquare;
}

}  // namespace

void generateMoves(const Board& board, PlyState& state, MoveList& list, int ply,
                   const MoveScoring& scoring) {
  if (probeMoveCache(board, state, list, scoring)) {
    resetTags(list);
    return;
  }

  const int us = state.side;
  MoveWriter out(list, scoring.history);
  ThreatTracker threat(state);
  if (us == WHITE)
    addPawnMoves<WHITE>(board, state, out, true);
  else
    addPawnMoves<BLACK>(board, state, out, true);
  const Bitboard notOwn = ~board.occupancy[us];
  for (uint8_t kind = KNIGHT; kind <= QUEEN; ++kind)
    addPieceMoves(board, state, out, threat, codeFor(us, kind), notOwn);
  addKingSteps(board, state, out, us);
  addCastling(board, out, us);

  list.count = out.count;
  resetTags(list);
  state.threatSquare = threat.square;
  storeMoveCache(board, state, list, ply, scoring);
}

void generateCaptures(const Board& board, PlyState& state, MoveList& list,
                      const HistoryTable& history) {
  const int us = state.side;
  MoveWriter out(list, history);
  ThreatTracker threat(state);
  if (us == WHITE)
    addPawnMoves<WHITE>(board, state, out, false);
  else
    addPawnMoves<BLACK>(board, state, out, false);
  const Bitboard enemy = board.occupancy[us ^ 1];
  for (uint8_t kind = KNIGHT; kind <= KING; ++kind)
    addPieceMoves(board, state, out, threat, codeFor(us, kind), enemy);
  list.count = out.count;
  resetTags(list);
  state.threatSquare = threat.square;
}

bool generateNodeMoves(const Board& board, PlyState& state, MoveList& list, int ply,
                       const MoveScoring& scoring, int* checkers) {
  int count = 0, checkerSquare = NO_SQUARE;
  CheckDirection direction = DIR_NONE;
  if (kingAttacked(board, state)) {
    const SideCodes& enemy = state.side == WHITE ? blackCodes : whiteCodes;
    count = findCheckers(board, state, enemy, board.kingSquare[state.side], 1, direction,
                         checkerSquare);
  }
  if (checkers != nullptr) *checkers = count;
  if (count != 0) {
    generateEvasions(board, state, list, direction, checkerSquare, count != 1, scoring.history);
    return true;
  }
  generateMoves(board, state, list, ply, scoring);
  return false;
}

int legalMoves(const Board& board, PlyState& state, MoveList& list) {
  const bool evasions = generateNodeMoves(board, state, list, MAX_PLY, MoveScoring{noHistory});
  if (!evasions) filterLegal(board, state, list.moves, list.count);
  int kept = 0;
  for (int i = 0; i < list.count; ++i) {
    if (isNoMove(list.moves[i])) continue;
    list.moves[kept] = list.moves[i];
    list.scores[kept] = list.scores[i];
    list.tags[kept] = list.tags[i];
    ++kept;
  }
  list.count = kept;
  return kept;
}
