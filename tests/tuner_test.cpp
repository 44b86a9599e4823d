// The gradient tuner (corvanel-tune): it measures exactly what recpar measures, it lowers that
// error on a set whose best weights are known, and what it writes is a table that "-av" loads.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "eval/eval_cache.h"
#include "eval/params.h"
#include "tests/support.h"
#include "tuning/gradient_tuner.h"
#include "tuning/recpar.h"

namespace {

struct TunerTest : ScratchDirTest {
  EvalCacheEntry* savedCache = nullptr;
  void SetUp() override {
    ScratchDirTest::SetUp();
    initEngineTables();
    savedCache = evalCache;
    evalCache = nullptr;  // stale cached scores would hide every trial change
  }
  void TearDown() override {
    evalCache = savedCache;
    ScratchDirTest::TearDown();
  }
};

std::vector<std::string> randomFens(int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> fens;
  for (int i = 0; i < count; ++i) fens.push_back(randomPosition(random, i % 3 == 0));
  for (const PerftCase& c : loadPerftCases()) fens.push_back(c.fen);
  return fens;
}

// Writes a reference file whose reference for each position is the evaluation under the weights
// in force, rescaled the way the error measure rescales it with `spread`.
void writeReferences(const std::vector<std::string>& fens, double spread) {
  std::string text;
  for (const std::string& fen : fens) {
    const double pawns = evaluateInPawns(fen) * REFERENCE_SPREAD / spread;
    if (std::fabs(pawns) > REFERENCE_LIMIT * 0.9) continue;
    text += fen + "\n" + std::to_string(pawns) + "\n";
  }
  writeFile("punt5.txt", text);
}

// Entries of each kind of derived table, and plain weights.
void moveSomeWeights(int by) {
  for (int32_t* weight : {&PieceValueMg[1], &PieceValueEg[3], &TempoMg, &KnightSquareMg[9],
                          &PassedPawnEg[3], &ThreatValue[4], &KingAttackWeight[2], &DoubledPawnEg,
                          &PawnRunMg[2]})
    *weight += by;
  RebuildAllDerivedTables();
}

using GradientTuner = TunerTest;

TEST_F(GradientTuner, MeasuresExactlyWhatRecparMeasures) {
  const std::vector<std::string> fens = randomFens(150, 31);
  writeReferences(fens, 1.5);
  TuningSet set;
  ASSERT_TRUE(loadTuningSet("punt5.txt", set));
  std::vector<ReferencePosition> positions;
  ASSERT_TRUE(loadReferenceFile("punt5.txt", positions));
  ASSERT_EQ(set.boards.size(), positions.size());
  // The set was made under the defaults; the stored boards must follow the weights in force.
  for (int by : {0, 23, -41}) {
    moveSomeWeights(by);
    for (size_t i = 0; i < positions.size(); ++i)
      ASSERT_EQ(tuningEvaluation(set, i), evaluateInPawns(positions[i].fen)) << positions[i].fen;
    const double spread = evaluationSpread(positions);
    EXPECT_NEAR(tuningSetSpread(set, 2), spread, 1e-9);
    EXPECT_NEAR(tuningSetError(set, spread, 2), errorMeasure(positions, spread), 1e-6);
    moveSomeWeights(-by);
  }
}

// The references come from known weights (the defaults with several entries moved); tuning from
// the defaults must close most of the gap, and the file it writes must give the same evaluations
// when loaded.
TEST_F(GradientTuner, LowersTheErrorAndWritesALoadableTable) {
  const std::vector<std::string> fens = randomFens(400, 7);
  const int32_t kingDangerBase = KingDangerBase, kingDangerStep = KingDangerStep;
  std::vector<ReferencePosition> positions;
  {
    writeReferences(fens, 1.0);
    ASSERT_TRUE(loadReferenceFile("punt5.txt", positions));
  }
  const double spread = evaluationSpread(positions);
  moveSomeWeights(30);
  writeReferences(fens, spread);
  ResetEvalParamsToDefaults();

  TuningSet set;
  ASSERT_TRUE(loadTuningSet("punt5.txt", set));
  GradientSettings settings;
  settings.rounds = 3;
  settings.iterations = 150;
  settings.threads = 2;
  settings.verbose = false;
  const GradientOutcome outcome = runGradientTuner(set, spread, settings);
  EXPECT_GT(outcome.roundsKept, 0);
  EXPECT_LT(outcome.finalError, outcome.startError / 3);
  EXPECT_NEAR(tuningSetError(set, spread, 1), outcome.finalError, 1e-6);
  EXPECT_EQ(KingDangerBase, kingDangerBase);
  EXPECT_EQ(KingDangerStep, kingDangerStep);

  std::vector<double> tuned;
  for (size_t i = 0; i < set.boards.size(); ++i) tuned.push_back(tuningEvaluation(set, i));
  ASSERT_TRUE(writeTunedParamFile("tuned.txt"));
  EXPECT_EQ(splitLines(readFile("tuned.txt")).size(), size_t(EVAL_PARAM_COUNT));
  ResetEvalParamsToDefaults();
  std::string error;
  ASSERT_TRUE(TryLoadEvalParamFile("tuned.txt", &error)) << error;
  for (size_t i = 0; i < set.boards.size(); ++i)
    ASSERT_EQ(tuningEvaluation(set, i), tuned[i]) << "position " << i;
}

}  // namespace
