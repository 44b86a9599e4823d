// The evaluation: a position and its colour-flipped mirror score alike, endgame knowledge gives
// the results chess knows, the derived tables follow every parameter change exactly as a full
// rebuild would, and parameter files read back what was written.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "board/makemove.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/eval_internal.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "tests/support.h"

namespace {

// Setting a FEN lists white's pieces from a to h and black's from h to a, and a few terms depend
// on that order (runs of passed pawns, the second rook on a file): the mirror takes over the
// original's order before the two are compared.
void copyListOrder(const Board& original, Board& mirror) {
  for (int code = WHITE_PAWN; code <= BLACK_KING; ++code) {
    if (code == EMPTY) continue;
    const int other = code < EMPTY ? code + BLACK_OFFSET : code - BLACK_OFFSET;
    for (int i = 0; i < original.pieceCount[code]; ++i) {
      const int sq = original.pieceList[code][i] ^ 56;
      mirror.pieceList[other][i] = uint8_t(sq);
      mirror.listIndex[sq] = uint8_t(i);
    }
  }
  for (int sq = 0; sq < 64; ++sq)
    if (isSliderCode(mirror.squares[sq])) computeSliderAttacks(mirror, sq, mirror.squares[sq]);
}

void expectMirrorAgrees(const std::string& fen) {
  Position original(fen), mirror(mirrorFen(fen));
  copyListOrder(original.board, mirror.board);
  const int white = freshWhiteEval(original.board, original.state);
  const int mirrored = freshWhiteEval(mirror.board, mirror.state);
  // Scaling shifts round towards minus infinity: a little slack where it applies.
  const bool scaled =
      original.board.materialMg[WHITE] <= 1500 && original.board.materialMg[BLACK] <= 1500;
  EXPECT_LE(std::abs(white + mirrored), scaled ? 3 : 0)
      << fen << ": " << white << " / " << mirrored;
}

TEST(EvalSymmetry, PositionsAndTheirMirrorsAgree) {
  for (const PerftCase& c : loadPerftCases()) expectMirrorAgrees(c.fen);
  for (const char* fen :
       {"r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R b KQ - 0 1",
        "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "4k3/2p5/8/2PPP3/8/8/8/4K3 b - - 0 1",
        "r1b1k2r/ppppqppp/2n2n2/4p3/1bB1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1",
        "8/8/4k3/8/2q5/8/1Q6/4K3 w - - 0 1", "1k6/ppp5/8/8/8/8/5PPP/R5K1 w - - 0 1",
        "2kr3r/ppp2ppp/8/8/8/8/PPP2PPP/2KR3R w - - 0 1",
        "3q1rk1/5ppp/8/8/8/8/5PPP/3Q1RK1 w - - 0 1"})
    expectMirrorAgrees(fen);
  std::mt19937 random(12345);
  for (int i = 0; i < 1500; ++i) expectMirrorAgrees(randomPosition(random, i % 4 == 0));
}

TEST(EvalSymmetry, CrowdedPositionsStayInsideEveryTableAndClearOfMateScores) {
  std::mt19937 random(777);
  for (int i = 0; i < 2000; ++i) {
    Position p(randomPosition(random, i % 2 == 0));
    p.state.halfmoveClock = uint8_t(random() % 101);
    const int score = freshWhiteEval(p.board, p.state);
    EXPECT_LE(std::abs(score), EVAL_SCORE_LIMIT);
  }
}

// ---- Endgame knowledge ----

constexpr int WON = 5000;  // the endgame rules score a won ending above this

TEST(EvalEndgames, KnownResults) {
  struct Case {
    const char* fen;
    int low, high;  // white's view lies in [low, high]
  } const cases[] = {
      {"7k/8/5K2/8/8/8/8/2B1N3 w - - 0 1", WON, 9000},  // bishop and knight mate
      {"k7/8/8/8/8/2K5/8/7R b - - 0 1", WON, 9000},     // rook mates
      {"k7/8/8/8/8/2K5/8/6QR w - - 0 1", WON, 9000},
      {"8/8/8/3k4/8/8/8/K5B1 w - - 0 1", 0, 0},  // nothing to mate with
      {"8/8/8/3k4/8/2n5/8/K5B1 w - - 0 1", 0, 0},
      {"7r/8/8/3k4/8/8/8/K6R w - - 0 1", 0, 0},
      {"7r/8/8/8/8/2k5/8/K6N w - - 0 1", -89, -1},  // rook against knight: an edge
      // Rook and pawn against rook, the drawing set-ups, and a rook pawn with the king in front.
      {"4k3/8/r7/8/4P3/4K3/8/4R3 w - - 0 1", 0, 0},
      {"4k3/7R/4P3/5K2/8/8/8/r7 w - - 0 1", 0, 0},
      {"R7/P5k1/8/8/8/8/r7/4K3 w - - 0 1", 0, 0},
      {"7R/1k5P/8/8/8/8/7r/3K4 w - - 0 1", 0, 0},
      {"R7/P5k1/1K6/8/8/8/r7/8 w - - 0 1", 1, 2000},  // outside the patterns the pawn counts
      {"8/4k3/8/8/4P3/4K3/8/r3R3 w - - 0 1", 1, 2000},
      {"k7/8/K7/P7/8/8/8/8 w - - 0 1", 0, 0},
  };
  for (const Case& c : cases) {
    for (bool mirrored : {false, true}) {
      const int score = mirrored ? -whiteEval(mirrorFen(c.fen)) : whiteEval(c.fen);
      EXPECT_GE(score, c.low) << c.fen << (mirrored ? " mirrored" : "");
      EXPECT_LE(score, c.high) << c.fen << (mirrored ? " mirrored" : "");
    }
  }
  // Bishop and knight drive the king to a corner of the bishop's colour.
  EXPECT_GT(whiteEval("7k/8/5K2/8/8/8/8/2B1N3 w - - 0 1"),
            whiteEval("7k/8/5K2/8/8/8/8/3BN3 w - - 0 1"));
  EXPECT_GT(whiteEval("7k/8/5K2/8/8/8/8/2B1N3 w - - 0 1"),
            whiteEval("8/8/8/4k3/8/8/2K5/2B1N3 w - - 0 1"));
}

TEST(EvalEndgames, TheFiftyMoveClockOnlyDampsTheScore) {
  for (const char* fen : {"r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R b KQ - 0 1",
                          "2b1n3/8/8/8/8/5k2/8/7K w - - 0 1", "k6n/8/2K5/8/8/8/8/7R b - - 0 1"}) {
    Position p(fen);
    const int undamped = freshWhiteEval(p.board, p.state);
    int previous = undamped;
    for (int clock = 1; clock <= 100; ++clock) {
      p.state.halfmoveClock = uint8_t(clock);
      const int score = freshWhiteEval(p.board, p.state);
      EXPECT_LE(std::abs(score), std::abs(previous)) << fen << " clock " << clock;
      EXPECT_GE(score * undamped, 0) << fen << " clock " << clock;
      previous = score;
    }
    EXPECT_LE(std::abs(previous), std::abs(undamped) / 4 + 1) << fen;
  }
}

// ---- Parameters ----

std::vector<int32_t> derivedTables() {
  std::vector<int32_t> all;
  auto add = [&](const void* table, size_t bytes) {
    const auto* words = static_cast<const int32_t*>(table);
    all.insert(all.end(), words, words + bytes / sizeof(int32_t));
  };
  add(PieceValueMgByCode, sizeof PieceValueMgByCode);
  add(PieceValueEgByCode, sizeof PieceValueEgByCode);
  add(PstMg, sizeof PstMg);
  add(PstEg, sizeof PstEg);
  add(PassedPawnTableMg, sizeof PassedPawnTableMg);
  add(PassedPawnTableEg, sizeof PassedPawnTableEg);
  add(MobilityTable, sizeof MobilityTable);
  add(PawnRunTableMg, sizeof PawnRunTableMg);
  add(PawnRunTableEg, sizeof PawnRunTableEg);
  add(KingPawnFileDistance, sizeof KingPawnFileDistance);
  add(ThreatTable, sizeof ThreatTable);
  add(KingDangerTable, sizeof KingDangerTable);
  add(KingRegionTemplate, sizeof KingRegionTemplate);
  return all;
}

struct Entry {
  int32_t value, step, min, max;
  bool operator==(const Entry& o) const {
    return value == o.value && step == o.step && min == o.min && max == o.max;
  }
};
std::vector<Entry> table() {
  std::vector<Entry> all;
  for (const EvalParam& p : evalParams) all.push_back({*p.var, p.step, p.min, p.max});
  return all;
}

using Params = ScratchDirTest;

// The tuners change one entry at a time through the incremental update; the tables must then be
// exactly what a full rebuild from the same values gives.
TEST_F(Params, EveryEntryChangedIncrementallyEqualsAFullRebuild) {
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) {
    *evalParams[i].var += 7;
    ApplyEvalParamChange(i);
    const std::vector<int32_t> incremental = derivedTables();
    RebuildAllDerivedTables();
    ASSERT_TRUE(incremental == derivedTables()) << "entry " << i << " " << evalParamName(i);
    *evalParams[i].var -= 7;
    ApplyEvalParamChange(i);
  }
}

// Loading the built-in text as a file ("-av", "juntarfit") changes nothing: the values the
// start-up forces after its own load are forced after every file load too.
TEST_F(Params, LoadingTheBuiltInTextChangesNothing) {
  std::vector<std::string> fens;
  for (const PerftCase& c : loadPerftCases()) fens.push_back(c.fen);
  for (const char* fen : {"r1bq1rk1/ppp2ppp/2n2n2/3pp3/1bPP4/2N1PN2/PP1BBPPP/R2QK2R w KQ - 0 8",
                          "6k1/5ppp/8/8/8/8/1q3PPP/3R2K1 w - - 0 1",
                          "2kr3r/ppp2ppp/2n5/8/3q4/8/PPP2PPP/R1BQ1RK1 b - - 0 1"})
    fens.push_back(fen);
  auto evaluations = [&fens] {
    std::vector<int> all;
    for (const std::string& fen : fens) all.push_back(whiteEval(fen));
    return all;
  };
  const std::vector<int> before = evaluations();
  const std::vector<int32_t> tables = derivedTables();
  std::string error;
  ASSERT_TRUE(TryLoadEvalParamFile(CORVANEL_SOURCE_DIR "/eval/default_params.txt", &error))
      << error;
  EXPECT_TRUE(derivedTables() == tables);
  EXPECT_EQ(evaluations(), before);
}

TEST_F(Params, FilesReadBackWhatWasWritten) {
  const std::vector<Entry> defaults = table();
  TempoMg = -77;
  evalParams[100].step = -1;
  evalParams[300].min = -123;
  evalParams[456].max = 2147483647;
  MobilityTable[QUEEN][27] = 55;
  const std::vector<Entry> written = table();
  ASSERT_TRUE(WriteEvalParamFile("valors", 0));
  const std::string text = readFile("valors0");
  EXPECT_EQ(splitLines(text).size(), size_t(EVAL_PARAM_COUNT));
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  writeFile("crlf", crlf);
  writeFile("long", text + "1;1;1;1\nnot a line at all\n\n");  // lines past the table are ignored
  for (const char* file : {"valors0", "crlf", "long"}) {
    ResetEvalParamsToDefaults();
    std::string error;
    ASSERT_TRUE(TryLoadEvalParamFile(file, &error)) << file << ": " << error;
    EXPECT_TRUE(table() == written) << file;
    EXPECT_EQ(MobilityTable[QUEEN + BLACK_OFFSET][27], 55) << file;  // derived tables follow
  }
  // A short file changes only the entries it has.
  ResetEvalParamsToDefaults();
  writeFile("short", "91;1;60;120\n331;-1;280;360\n");
  ASSERT_TRUE(TryLoadEvalParamFile("short", nullptr));
  std::vector<Entry> expected = defaults;
  expected[0] = {91, 1, 60, 120};
  expected[1] = {331, -1, 280, 360};
  EXPECT_TRUE(table() == expected);
}

// The default text is the only place the default values are written; the rows of the table give
// the bounds. They must agree line for line: every entry once, step 1, the table's own bounds.
TEST_F(Params, TheDefaultTextFillsEveryEntryWithTheTableBounds) {
  const std::string text = readFile(CORVANEL_SOURCE_DIR "/eval/default_params.txt");
  EXPECT_EQ(splitLines(text).size(), size_t(EVAL_PARAM_COUNT));
  SetupEvalParamTable();
  const std::vector<Entry> rows = table();
  InitEvalDefaults();
  ASSERT_EQ(LoadEvalParamText(text.c_str()), EVAL_PARAM_COUNT);
  const std::vector<Entry> loaded = table();
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) {
    EXPECT_EQ(loaded[i].step, 1) << i << " " << evalParamName(i);
    EXPECT_EQ(loaded[i].min, rows[i].min) << i << " " << evalParamName(i);
    EXPECT_EQ(loaded[i].max, rows[i].max) << i << " " << evalParamName(i);
  }
}

TEST_F(Params, BadFilesAreRefusedNamingTheLineAndChangeNothing) {
  const std::vector<Entry> before = table();
  const std::vector<int32_t> tablesBefore = derivedTables();
  const std::pair<const char*, const char*> bad[] = {
      {"95;1;60;120\n330;1;280\n", "line 2"},
      {"95;1;60;120\nabc;1;280;360\n", "line 2"},
      {"95;1;60;120\n330;1;280;36x\n", "line 2"},
      {"95;1;60;120\n330;1;280;99999999999\n", "line 2"},
      {"95;1;60;120\n\n335;1;300;370\n", "line 2"},
      {"95;1;60;120\n330;1;280;360\n;;;\n", "line 3"},
  };
  for (const auto& [text, line] : bad) {
    writeFile("bad", text);
    std::string error;
    EXPECT_FALSE(TryLoadEvalParamFile("bad", &error)) << text;
    EXPECT_NE(error.find("bad"), std::string::npos) << error;
    EXPECT_NE(error.find(line), std::string::npos) << error;
    EXPECT_TRUE(table() == before) << text;
    EXPECT_TRUE(derivedTables() == tablesBefore) << text;
  }
  std::string error;
  EXPECT_FALSE(TryLoadEvalParamFile("missing", &error));
  EXPECT_EQ(error, "No es pot obrir fitxer avaluacions missing");
  EXPECT_FALSE(TryLoadEvalParamFile(".", &error));  // a directory is no parameter file
  EXPECT_TRUE(table() == before);
}

}  // namespace
