// "millora" with a stand-in ./millora.sh that answers scripted scores: better scores are kept
// and written, worse or failing matches put the value back.
#include <sys/stat.h>

#include <cmath>

#include "tests/tuning_tools_test.h"
#include "tuning/millora.h"

namespace {

// The stand-in match: the n-th call answers the n-th line of "scores" ("fail N" exits with N,
// "silent" prints no number), after some chatter, and keeps a copy of the parameter file it got.
const char* const STAND_IN =
    "#!/bin/sh\n"
    "n=$(cat calls 2>/dev/null || echo 0)\n"
    "n=$((n + 1))\n"
    "echo $n > calls\n"
    "cp \"$1\" \"seen$n\"\n"
    "line=$(sed -n \"${n}p\" scores)\n"
    "echo \"Finished game $n\"\n"
    "case \"$line\" in\n"
    "  fail*) exit ${line#fail } ;;\n"
    "  silent) exit 0 ;;\n"
    "esac\n"
    "echo \"$line\"\n";

const int ENTRY = 10;  // TempoMg

class MilloraTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    writeWholeFile("millora.sh", STAND_IN);
    chmod("millora.sh", 0755);
  }
  void scores(const std::string& lines) { writeWholeFile("scores", lines); }
  // The value of `entry` in a parameter file.
  int valueIn(const std::string& path, int entry) {
    auto lines = splitLines(readWholeFile(path));
    if (int(lines.size()) <= entry) return -99999;
    return std::atoi(lines[size_t(entry)].c_str());
  }
};

TEST_F(MilloraTest, MatchScoreIsReadFromTheScriptAndItGetsTheTrialTable) {
  scores("0.625\n");
  *evalParams[ENTRY].var = 17;
  double score = 0;
  auto lines = run([&] { score = runMatchScript(); });
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(score, 0.625);
  EXPECT_EQ(valueIn("seen1", ENTRY), 17);
  EXPECT_EQ(splitLines(readWholeFile("seen1")).size(), size_t(EVAL_PARAM_COUNT));
  EXPECT_EQ(readWholeFile("seen1"), readWholeFile("valorsjp.txt99999"));
}

TEST_F(MilloraTest, FailingSilentOrMissingScriptsAreNeverAccepted) {
  scores("fail 3\nsilent\n");
  double first = 0, second = 0;
  auto lines = run([&] {
    first = runMatchScript();
    second = runMatchScript();
  });
  EXPECT_TRUE(std::isinf(first) && first < 0);
  EXPECT_TRUE(std::isinf(second) && second < 0);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "CreateProcess failed (3).");
  EXPECT_EQ(lines[1], "info string millora: ./millora.sh printed no result number");

  unlink("millora.sh");  // a script that cannot start reports its error code
  lines = run([&] { first = runMatchScript(); });
  EXPECT_TRUE(std::isinf(first) && first < 0);
  EXPECT_EQ(lines, std::vector<std::string>{"CreateProcess failed (2)."});  // ENOENT
}

TEST_F(MilloraTest, BetterScoreIsKeptAndWrittenWorseOrFailingIsRestored) {
  const int32_t tempo = *evalParams[ENTRY].var, next = *evalParams[ENTRY + 1].var,
                third = *evalParams[ENTRY + 2].var;
  // Entry 10: +1 scores 0.6 > 0, kept. Entry 11: +1 scores 0.5, -1 fails: restored.
  // Entry 12: +1 scores 0.55, -1 scores 0.7: kept the other way.
  scores("0.6\n0.5\nfail 1\n0.55\n0.7\n");
  double best = 0;
  int fileNumber = 1;
  std::vector<StepOutcome> outcomes;
  auto lines = run([&] {
    for (int i = ENTRY; i < ENTRY + 3; ++i) outcomes.push_back(milloraEntry(i, best, fileNumber));
  });
  EXPECT_EQ(outcomes, (std::vector<StepOutcome>{StepOutcome::ACCEPTED_FIRST, StepOutcome::FAILED,
                                                StepOutcome::ACCEPTED_SECOND}));
  EXPECT_EQ(*evalParams[ENTRY].var, tempo + 1);
  EXPECT_EQ(*evalParams[ENTRY + 1].var, next);
  EXPECT_EQ(evalParams[ENTRY + 1].step, 3);
  EXPECT_EQ(*evalParams[ENTRY + 2].var, third - 1);
  EXPECT_EQ(evalParams[ENTRY + 2].step, -1);
  EXPECT_EQ(best, 0.7);
  EXPECT_EQ(fileNumber, 3);

  // Each kept change is written at once, under the count of kept changes.
  EXPECT_EQ(valueIn("valorsx12.txt1", ENTRY), tempo + 1);
  EXPECT_EQ(valueIn("valorsx12.txt1", ENTRY + 2), third);
  EXPECT_EQ(valueIn("valorsx12.txt2", ENTRY + 1), next);
  EXPECT_EQ(valueIn("valorsx12.txt2", ENTRY + 2), third - 1);
  EXPECT_FALSE(fileExists("valorsx12.txt3"));
  // The matches saw the trial values.
  EXPECT_EQ(valueIn("seen2", ENTRY + 1), next + 1);
  EXPECT_EQ(valueIn("seen3", ENTRY + 1), next - 1);

  char kept[64], keptBack[64];
  std::snprintf(kept, sizeof kept, "dif: %f = %i      0", 0.6, tempo + 1);
  std::snprintf(keptBack, sizeof keptBack, "dif: %f = %i     0", 0.7, third - 1);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "  *provant valor 10*", kept, "  *provant valor 11*",
                       "CreateProcess failed (1).",
                       "               valor ja era \xC3\xB2ptim  0", "  *provant valor 12*",
                       keptBack}));
}

TEST_F(MilloraTest, PassesOverTheTableAndStopsOnQuitOrStop) {
  toolLimits.passes = 2;
  toolLimits.entries = 2;
  scores("0.1\n0.05\n0.02\n0.3\n");
  auto before = snapshotEntries();
  auto lines = run(commandMillora);
  // Pass 1: entry 0 kept (+1), entry 1 fails both ways. Pass 2: entry 0 +1 again with 0.3;
  // entry 1 sits out.
  EXPECT_EQ(readWholeFile("calls"), "4\n");
  EXPECT_EQ(*evalParams[0].var, before[0].value + 2);
  EXPECT_EQ(*evalParams[1].var, before[1].value);
  EXPECT_EQ(evalParams[1].step, 2);
  EXPECT_EQ(lines[0], "  ========================================");
  EXPECT_TRUE(fileExists("valorsx12.txt2"));
  EXPECT_FALSE(fileExists("valorsx12.txt3"));

  toolLimits.passes = 0;  // without end, until "stop"
  type("isready\nstop\n");
  lines = run(commandMillora);
  EXPECT_EQ(lines, (std::vector<std::string>{"readyok", "info string millora stopped"}));
}

TEST_F(MilloraTest, MissingScriptIsReportedOnce) {
  unlink("millora.sh");
  auto lines = run(commandMillora);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("info string millora: cannot run ./millora.sh", 0), 0u);
}

}  // namespace
