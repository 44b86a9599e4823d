// The shared tuning step and "recpar": trials in both directions, bounds, the sit-out counter,
// the spread and error measure, and the pass file it writes.
#include <cmath>

#include "eval/evaluate.h"
#include "tests/tuning_tools_test.h"
#include "tuning/param_tuner.h"
#include "tuning/recpar.h"

namespace {

const int ENTRY = 10;  // TempoMg: bounds well away from its default

// A measure that hands out scripted results and counts its calls.
struct ScriptedMeasure {
  explicit ScriptedMeasure(std::vector<double> scripted) : results(std::move(scripted)) {}
  std::vector<double> results;
  std::vector<int32_t> valuesSeen;
  size_t calls = 0;
  TuningMeasure how(bool largerIsBetter) {
    TuningMeasure m;
    m.largerIsBetter = largerIsBetter;
    m.measure = [this] {
      valuesSeen.push_back(*evalParams[ENTRY].var);
      return calls < results.size() ? results[calls++] : (++calls, 1e9);
    };
    return m;
  }
};

using TuningStepTest = ToolTest;

// One step from a given value and step with scripted measures (the entry's bounds are 0 and 50).
TEST_F(TuningStepTest, OutcomesOfOneStep) {
  struct Case {
    const char* what;
    int32_t value, step;
    std::vector<double> results;
    bool largerIsBetter;
    StepOutcome outcome;
    int32_t valueAfter, stepAfter;  // stepAfter 0: not checked
    size_t calls;
    double bestAfter;  // from 5.0, or from 0.5 when larger is better
  };
  const Case cases[] = {
      {"first direction better", 9, 1, {4.0}, false, StepOutcome::ACCEPTED_FIRST, 10, 1, 1, 4.0},
      {"second direction better", 9, 1, {6.0, 4.5}, false, StepOutcome::ACCEPTED_SECOND, 8, -1, 2,
       4.5},
      {"equal is not better", 9, 1, {5.0, 7.0}, false, StepOutcome::FAILED, 9, 3, 2, 5.0},
      {"larger is better", 9, 1, {0.4, 0.6}, true, StepOutcome::ACCEPTED_SECOND, 8, -1, 2, 0.6},
      {"first trial past the bound", 50, 1, {0.0, 0.0}, false, StepOutcome::FAILED, 50, 3, 0, 5.0},
      {"second trial past the bound", 0, 1, {9.0, 0.0}, false, StepOutcome::FAILED, 0, 0, 1, 5.0},
      // A negative step is a direction, never a sit-out; a huge one must not wrap.
      {"huge step", -5, -2147483647, {0.0, 0.0}, false, StepOutcome::FAILED, -5, 0, 0, 5.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetEvalParamsToDefaults();
    ASSERT_EQ(evalParams[ENTRY].min, 0);
    ASSERT_EQ(evalParams[ENTRY].max, 50);
    *evalParams[ENTRY].var = c.value;
    evalParams[ENTRY].step = c.step;
    ScriptedMeasure scripted{c.results};
    double best = c.largerIsBetter ? 0.5 : 5.0;
    EXPECT_EQ(runTuningStep(ENTRY, best, scripted.how(c.largerIsBetter)), c.outcome);
    EXPECT_EQ(*evalParams[ENTRY].var, c.valueAfter);
    if (c.stepAfter != 0) {
      EXPECT_EQ(evalParams[ENTRY].step, c.stepAfter);
    }
    EXPECT_EQ(scripted.calls, c.calls);
    EXPECT_EQ(best, c.bestAfter);
  }
}

TEST_F(TuningStepTest, ReversedStepGoesOnAndFailureSitsOutTwoPasses) {
  const int32_t old = *evalParams[ENTRY].var;
  ScriptedMeasure scripted{{6.0, 4.5, 4.0}};
  double best = 5.0;
  EXPECT_EQ(runTuningStep(ENTRY, best, scripted.how(false)), StepOutcome::ACCEPTED_SECOND);
  EXPECT_EQ(runTuningStep(ENTRY, best, scripted.how(false)), StepOutcome::ACCEPTED_FIRST);
  EXPECT_EQ(scripted.valuesSeen, (std::vector<int32_t>{old + 1, old - 1, old - 2}));

  ScriptedMeasure failing{{5.0, 7.0}};
  best = 5.0;
  EXPECT_EQ(runTuningStep(ENTRY, best, failing.how(false)), StepOutcome::FAILED);
  ScriptedMeasure later{{1.0}};
  EXPECT_EQ(runTuningStep(ENTRY, best, later.how(false)), StepOutcome::SAT_OUT);
  EXPECT_EQ(evalParams[ENTRY].step, 2);
  EXPECT_EQ(runTuningStep(ENTRY, best, later.how(false)), StepOutcome::SAT_OUT);
  EXPECT_EQ(evalParams[ENTRY].step, 1);
  EXPECT_EQ(later.calls, 0u);
  EXPECT_EQ(runTuningStep(ENTRY, best, later.how(false)), StepOutcome::ACCEPTED_FIRST);
  EXPECT_EQ(*evalParams[ENTRY].var, old - 1);
}

TEST_F(TuningStepTest, InterruptionPutsValueAndStepBack) {
  const int32_t old = *evalParams[ENTRY].var;
  ScriptedMeasure scripted{{9.0}};
  TuningMeasure how = scripted.how(false);
  int asked = 0;
  how.interrupted = [&] { return ++asked == 2; };  // "stop" typed during the first trial
  double best = 5.0;
  EXPECT_EQ(runTuningStep(ENTRY, best, how), StepOutcome::INTERRUPTED);
  EXPECT_EQ(*evalParams[ENTRY].var, old);
  EXPECT_EQ(evalParams[ENTRY].step, 1);
  EXPECT_EQ(best, 5.0);
}

// The applied change reaches the evaluation (derived tables included).
TEST_F(TuningStepTest, TrialsAreEvaluatedWithTheChangedEntry) {
  const char* fen = "4k3/8/8/8/8/8/PPP5/4K3 w - - 0 1";  // three white pawns
  double before = evaluateInPawns(fen);
  TuningMeasure how;
  std::vector<double> seen;
  how.measure = [&] { seen.push_back(evaluateInPawns(fen)); return 1e9; };
  double best = 0;
  runTuningStep(5, best, how);  // PieceValueEg[0], the pawn in the endgame
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_GT(seen[0], before);
  EXPECT_LT(seen[1], before);
  EXPECT_EQ(evaluateInPawns(fen), before);
}

// ---- recpar ----

struct Reference {
  const char* fen;
  const char* value;
};

const Reference REFERENCES[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "0.2"},
    {"4k3/8/8/8/8/8/PPPP4/4K3 w - - 0 1", "3.1"},
    {"4k3/pp6/8/8/8/8/8/4K3 b - - 0 1", "1.4"},
    {"r3k3/8/8/8/8/8/8/4K2R w - - 0 1", "5.5"},  // beyond the limit: left out
    {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "5.0"},   // on the limit: used
    {"4k3/8/8/3n4/8/8/8/4K3 w - - 0 1", "-5.0"},
};

std::string referenceText() {
  std::string text;
  for (const Reference& r : REFERENCES) text += std::string(r.fen) + "\n" + r.value + "\n";
  return text;
}

// The evaluation straight from the evaluator, in pawns, with nothing cached.
double oracleEvaluation(const char* fen) {
  clearAllHashTables();
  Board board;
  PlyState state;
  EXPECT_TRUE(setPosition(board, state, fen));
  state.staticEval = NO_EVAL;
  return Evaluate(board, state) / 100.0;
}

using RecparTest = ToolTest;

TEST_F(RecparTest, SpreadAndErrorMatchHandComputedValues) {
  writeWholeFile(REFERENCE_FILE, referenceText());
  std::vector<ReferencePosition> positions;
  ASSERT_TRUE(loadReferenceFile(REFERENCE_FILE, positions));
  ASSERT_EQ(positions.size(), 5u);
  EXPECT_EQ(positions[3].reference, 5.0);
  EXPECT_EQ(positions[4].reference, -5.0);

  // Two-pass sample standard deviation and the error sum, computed here independently.
  std::vector<double> e, ref;
  for (const Reference& r : REFERENCES) {
    if (std::string(r.value) == "5.5") continue;
    e.push_back(oracleEvaluation(r.fen));
    ref.push_back(std::atof(r.value));
  }
  double mean = 0;
  for (double x : e) mean += x / double(e.size());
  double squares = 0;
  for (double x : e) squares += (x - mean) * (x - mean);
  double spread = std::sqrt(squares / double(e.size() - 1));
  double error = 0;
  for (size_t i = 0; i < e.size(); ++i) error += std::fabs(ref[i] - e[i] * 1.787918 / spread);

  EXPECT_NEAR(evaluationSpread(positions), spread, 1e-9);
  EXPECT_NEAR(errorMeasure(positions, spread), error, 1e-9);
  EXPECT_GT(spread, 0.5);  // the positions really differ
}

TEST_F(RecparTest, FewerThanTwoPositionsGiveNoSpreadAndNoTuning) {
  std::vector<ReferencePosition> one = {{REFERENCES[1].fen, 3.1}};
  EXPECT_EQ(evaluationSpread(one), 0.0);
  EXPECT_EQ(evaluationSpread({}), 0.0);
  writeWholeFile(REFERENCE_FILE, std::string(REFERENCES[1].fen) + "\n3.1\n" +
                                     REFERENCES[3].fen + "\n9.0\n");
  auto before = snapshotEntries();
  auto lines = run(commandRecpar);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("punt5.txt"), std::string::npos);
  EXPECT_FALSE(fileExists("valorsx12.txt1"));
  EXPECT_EQ(snapshotEntries()[ENTRY].value, before[ENTRY].value);
}

TEST_F(RecparTest, MalformedReferenceFileIsRefusedWithItsLine) {
  writeWholeFile(REFERENCE_FILE, std::string(REFERENCES[0].fen) + "\n0.2\n" +
                                     REFERENCES[1].fen + "\nabout three\n");
  auto lines = run(commandRecpar);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "info string recpar: punt5.txt line 4: expected the reference evaluation "
                      "in pawns");
  writeWholeFile(REFERENCE_FILE, "not a fen\n0.2\n");
  lines = run(commandRecpar);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("info string recpar: punt5.txt line 1: not a position", 0), 0u);
}

TEST_F(RecparTest, OnePassKeepsOnlyImprovementsAndWritesTheTable) {
  writeWholeFile(REFERENCE_FILE, referenceText());
  toolLimits.passes = 1;
  evalParams[5].step = 3;  // sits out this pass
  *evalParams[ENTRY].var = evalParams[ENTRY].max;
  auto before = snapshotEntries();
  std::vector<ReferencePosition> positions;
  ASSERT_TRUE(loadReferenceFile(REFERENCE_FILE, positions));
  const double spread = evaluationSpread(positions);
  const double startError = errorMeasure(positions, spread);

  auto lines = run(commandRecpar);

  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("desviacio=", 0), 0u);
  char expectedHeader[64];
  std::snprintf(expectedHeader, sizeof expectedHeader, "dif: %f  1", startError);
  EXPECT_EQ(lines[1], expectedHeader);

  // Every accepted change lowers the error; the entry lines come in table order.
  double last = startError;
  int firstWay = 0, secondWay = 0, failures = 0, nextEntry = 0;
  for (size_t k = 2; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    int entry = 0, value = 0, zero = 0;
    double error = 0;
    if (std::sscanf(line.c_str(), "  *%d*", &entry) == 1) {
      EXPECT_EQ(entry, nextEntry++);
    } else if (std::sscanf(line.c_str(), "dif: %lf = %d %d", &error, &value, &zero) == 3) {
      EXPECT_LT(error, last);
      last = error;
      (line.find("      0") != std::string::npos ? firstWay : secondWay)++;
    } else {
      EXPECT_EQ(line, "                 0");
      ++failures;
    }
  }
  EXPECT_EQ(nextEntry, EVAL_PARAM_COUNT);
  EXPECT_GT(firstWay, 0);
  EXPECT_GT(secondWay, 0);
  EXPECT_GT(failures, 0);
  EXPECT_NEAR(errorMeasure(positions, spread), last, 1e-6);  // printed with six decimals

  // The table agrees with the lines: moved one unit, or put back and sitting out.
  auto after = snapshotEntries();
  int moved = 0;
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) {
    SCOPED_TRACE(evalParamName(i));
    if (i == 5) {
      EXPECT_EQ(after[i].step, 2);
      EXPECT_EQ(after[i].value, before[i].value);
    } else if (after[i].value != before[i].value) {
      EXPECT_EQ(after[i].value - before[i].value, after[i].step);
      EXPECT_GE(after[i].value, after[i].min);
      EXPECT_LE(after[i].value, after[i].max);
      ++moved;
    } else {
      EXPECT_EQ(after[i].step, 3);
    }
  }
  EXPECT_EQ(moved, firstWay + secondWay);
  EXPECT_EQ(after[ENTRY].value, before[ENTRY].value);  // at its bound, held there

  // The pass file holds the whole table and loads back.
  auto written = splitLines(readWholeFile("valorsx12.txt1"));
  EXPECT_EQ(written.size(), size_t(EVAL_PARAM_COUNT));
  ResetEvalParamsToDefaults();
  std::string error;
  ASSERT_TRUE(TryLoadEvalParamFile("valorsx12.txt1", &error)) << error;
  auto reloaded = snapshotEntries();
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) {
    EXPECT_EQ(reloaded[i].value, after[i].value) << i;
    EXPECT_EQ(reloaded[i].step, after[i].step) << i;
  }
  EXPECT_FALSE(fileExists("valorsx12.txt2"));
}

TEST_F(RecparTest, StopDuringAPassWritesNoPassFile) {
  writeWholeFile(REFERENCE_FILE, referenceText());
  auto before = snapshotEntries();
  type("isready\nstop\n");
  auto lines = run(commandRecpar);
  EXPECT_TRUE(containsLine(lines, "readyok"));
  EXPECT_TRUE(containsLine(lines, "info string recpar stopped"));
  EXPECT_FALSE(fileExists("valorsx12.txt1"));
  // Stopped before its first trial: nothing changed.
  auto after = snapshotEntries();
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) EXPECT_EQ(after[i].value, before[i].value) << i;
}

}  // namespace
