// The parameter table, the embedded default text and parameter files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "eval/derived.h"
#include "eval/params.h"

namespace {

struct EntryState {
  int32_t value, step, min, max;
  bool operator==(const EntryState& o) const {
    return value == o.value && step == o.step && min == o.min && max == o.max;
  }
};

std::vector<EntryState> snapshotTable() {
  std::vector<EntryState> all;
  for (const EvalParam& p : evalParams) all.push_back({*p.var, p.step, p.min, p.max});
  return all;
}

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeWhole(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Every test starts and ends with the start-up defaults, in a scratch directory of its own.
class ParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvalParamsToDefaults();
    char pattern[] = "/tmp/corvanel-params-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    ResetEvalParamsToDefaults();
    std::string cleanup = "rm -rf '" + dir + "'";
    EXPECT_EQ(std::system(cleanup.c_str()), 0);
  }
  std::string path(const char* name) const { return dir + "/" + name; }
  // Writes the table to `name` + "0" and returns that path.
  std::string writeTable(const char* name) {
    EXPECT_TRUE(WriteEvalParamFile(path(name).c_str(), 0));
    return path(name) + "0";
  }
  std::string dir;
};

TEST_F(ParamsTest, EmbeddedTextGivesTheListedValuesAndBounds) {
  struct Expected {
    int entry;
    int32_t value, min, max;
  };
  const Expected cases[] = {
      {0, 90, 60, 120},       {4, 975, 950, 1030},    {9, 990, 950, 1030},
      {10, 9, 0, 50},         {18, 5, -10, 20},       {36, -2, -5, 50},
      {50, 12, -5, 100},      {99, 250, -9999, 9999}, {110, 91, -9999, 9999},
      {168, -31, -9999, 9999}, {181, -48, -9999, 9999}, {237, -34, -9999, 9999},
      {338, -45, -9999, 9999}, {376, -40, -9999, 9999}, {412, 2, -9999, 9999},
      {417, 46, -9999, 9999}, {447, -20, -9999, 9999}, {456, 39, -9999, 9999},
  };
  for (const Expected& e : cases) {
    SCOPED_TRACE("entry " + std::to_string(e.entry) + " " + evalParamName(e.entry));
    EXPECT_EQ(*evalParams[e.entry].var, e.value);
    EXPECT_EQ(evalParams[e.entry].min, e.min);
    EXPECT_EQ(evalParams[e.entry].max, e.max);
  }
  EXPECT_EQ(KingDangerStep, 10);  // the text says 9; the start-up forces 10
  EXPECT_EQ(evalParamCount, EVAL_PARAM_COUNT);
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) {
    EXPECT_EQ(evalParams[i].step, 1) << i;
    EXPECT_EQ(evalParams[i].spare, 1) << i;
  }
}

TEST_F(ParamsTest, EmbeddedTextFillsEveryEntryAndAgreesWithBuiltIns) {
  InitEvalDefaults();
  SetupEvalParamTable();
  std::vector<EntryState> builtIn = snapshotTable();
  for (const EvalParam& p : evalParams) *p.var = 123456;
  LoadEmbeddedEvalParams();
  std::vector<EntryState> embedded = snapshotTable();
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) EXPECT_EQ(embedded[i].value, builtIn[i].value) << i;
}

TEST_F(ParamsTest, TextReaderStopsWhereTheEmbeddedTextWould) {
  const struct {
    const char* text;
    int stored;
  } cases[] = {
      {"91;2;61;121\r\n331;1;280;360\r\n", 2},
      {"91;2;61;121\n331;1;280;360\n", 2},
      {"91;2;61;121\n331;1;280;360", 1},            // no line end after the last line
      {"91;2;61;121\r\n\r\n331;1;280;360\r\n", 1},  // a blank line ends the text
      {"91;2;61;121\nx;1;280;360\n331;1;280;360\n", 1},
      {"91;2;61;121\n33 1;1;280;360\n", 1},
      {"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ResetEvalParamsToDefaults();
    EXPECT_EQ(LoadEvalParamText(c.text), c.stored);
    EXPECT_EQ(PieceValueMg[0], c.stored >= 1 ? 91 : 90);
    EXPECT_EQ(evalParams[0].step, c.stored >= 1 ? 2 : 1);
    EXPECT_EQ(evalParams[0].max, c.stored >= 1 ? 121 : 120);
    EXPECT_EQ(PieceValueMg[1], 330 + (c.stored >= 2 ? 1 : 0));
    EXPECT_EQ(PieceValueMg[2], 335);
  }
}

TEST_F(ParamsTest, NamesForMessages) {
  const std::pair<int, const char*> cases[] = {
      {0, "PieceValueMg[0]"},   {4, "PieceValueMg[4]"},        {5, "PieceValueEg[0]"},
      {10, "TempoMg"},          {36, "BackwardPawnByFile[0]"}, {338, "KnightMobility[0]"},
      {403, "QueenMobility[27]"}, {412, "KingMobility[8]"},    {417, "ThreatValue[0]"},
      {447, "KingDangerBase"},  {456, "KingAttackersBonus[7]"}, {-1, "?"},
      {457, "?"},
  };
  for (const auto& c : cases) EXPECT_EQ(evalParamName(c.first), c.second) << c.first;
  // Every entry names its own weight and points at its own variable.
  std::set<std::string> names;
  std::set<int32_t*> vars;
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) {
    names.insert(evalParamName(i));
    vars.insert(evalParams[i].var);
  }
  EXPECT_EQ(names.size(), size_t(EVAL_PARAM_COUNT));
  EXPECT_EQ(vars.size(), size_t(EVAL_PARAM_COUNT));
  EXPECT_EQ(evalParams[412].var, &MobilityTable[KING][8]);
}

TEST_F(ParamsTest, WrittenFileReadsBackExactly) {
  TempoMg = -77;
  evalParams[100].step = -1;
  evalParams[200].step = 3;
  evalParams[300].min = -123;
  evalParams[456].max = 2147483647;
  MobilityTable[QUEEN][27] = 55;
  std::vector<EntryState> written = snapshotTable();
  std::string file = writeTable("valors");
  std::string text = readWhole(file);
  EXPECT_EQ(text.substr(0, 14), "90;1;60;120\n33");
  EXPECT_NE(text.find("\n-77;1;0;50\n"), std::string::npos);

  ResetEvalParamsToDefaults();
  evalParamCount = 0;
  std::string error;
  ASSERT_TRUE(TryLoadEvalParamFile(file.c_str(), &error)) << error;
  EXPECT_EQ(snapshotTable(), written);
  EXPECT_EQ(evalParamCount, EVAL_PARAM_COUNT);
  EXPECT_EQ(MobilityTable[QUEEN + BLACK_OFFSET][27], 55);  // derived tables follow the file

  // The same file with CR LF line ends loads the same.
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  writeWhole(path("crlf"), crlf);
  ResetEvalParamsToDefaults();
  ASSERT_TRUE(TryLoadEvalParamFile(path("crlf").c_str(), &error)) << error;
  EXPECT_EQ(snapshotTable(), written);
}

TEST_F(ParamsTest, ShortFileChangesOnlyTheFirstEntries) {
  writeWhole(path("short"), "91;1;60;120\n331;-1;280;360\n336;3;300;370");
  std::vector<EntryState> before = snapshotTable();
  ASSERT_TRUE(TryLoadEvalParamFile(path("short").c_str(), nullptr));
  std::vector<EntryState> after = snapshotTable();
  EXPECT_EQ(after[0], (EntryState{91, 1, 60, 120}));
  EXPECT_EQ(after[1], (EntryState{331, -1, 280, 360}));
  EXPECT_EQ(after[2], (EntryState{336, 3, 300, 370}));
  for (int i = 3; i < EVAL_PARAM_COUNT; ++i) EXPECT_EQ(after[i], before[i]) << i;
}

TEST_F(ParamsTest, LinesPastTheTableAreIgnored) {
  KingAttackersBonus[7] = 44;
  std::string file = writeTable("long");
  std::vector<EntryState> expected = snapshotTable();
  std::ofstream(file, std::ios::app) << "1;1;1;1\nnot a line at all\n\n\r\n";
  ResetEvalParamsToDefaults();
  std::string error;
  ASSERT_TRUE(TryLoadEvalParamFile(file.c_str(), &error)) << error;
  EXPECT_EQ(snapshotTable(), expected);
}

TEST_F(ParamsTest, MalformedFileIsRejectedAndChangesNothing) {
  struct Bad {
    const char* text;
    const char* hint;
  };
  const Bad cases[] = {
      {"95;1;60;120\n330;1;280\n", "line 2"},
      {"95;1;60;120\nabc;1;280;360\n", "line 2"},
      {"95;1;60;120\n330;1;280;36x\n", "line 2"},
      {"95;1;60;120\n330;1;280;99999999999\n", "line 2"},
      {"95;1;60;120\n\n335;1;300;370\n", "line 2"},
      {"95;1;60;120\n330;1;280;360\n;;;\n", "line 3"},
  };
  std::vector<EntryState> before = snapshotTable();
  int32_t pstBefore = PstMg[WHITE_PAWN][28];
  for (const Bad& bad : cases) {
    SCOPED_TRACE(bad.text);
    writeWhole(path("bad"), bad.text);
    evalParamCount = 0;
    std::string error;
    EXPECT_FALSE(TryLoadEvalParamFile(path("bad").c_str(), &error));
    EXPECT_NE(error.find(path("bad")), std::string::npos) << error;
    EXPECT_NE(error.find(bad.hint), std::string::npos) << error;
    EXPECT_EQ(snapshotTable(), before);
    EXPECT_EQ(evalParamCount, 0);
    EXPECT_EQ(PstMg[WHITE_PAWN][28], pstBefore);
  }
  std::string error;
  EXPECT_FALSE(TryLoadEvalParamFile(path("missing").c_str(), &error));
  EXPECT_EQ(error, "No es pot obrir fitxer avaluacions " + path("missing"));
  EXPECT_FALSE(TryLoadEvalParamFile(dir.c_str(), &error));  // a directory is no parameter file
  EXPECT_EQ(snapshotTable(), before);
}

TEST_F(ParamsTest, StartUpLoaderEndsTheProcessOnBadFiles) {
  std::string missing = path("missing");
  EXPECT_EXIT(LoadEvalParamFile(missing.c_str()), ::testing::ExitedWithCode(0), "");
  writeWhole(path("bad"), "95;1;60\n");
  std::string bad = path("bad");
  EXPECT_EXIT(LoadEvalParamFile(bad.c_str()), ::testing::ExitedWithCode(1), "");
}

TEST_F(ParamsTest, WriterReportsFailureAndHonoursTheCount) {
  EXPECT_FALSE(WriteEvalParamFile(path("no/such/dir/valors").c_str(), 1));
  evalParamCount = 2;
  std::string file = writeTable("two");
  EXPECT_EQ(readWhole(file), "90;1;60;120\n330;1;280;360\n");
}

// "juntarfit" works in the current directory; the test moves into its scratch directory.
class ParamsReloadTest : public ParamsTest {
 protected:
  void SetUp() override {
    ParamsTest::SetUp();
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(previous), 0);
    ParamsTest::TearDown();
  }
  char previous[4096] = {};
};

TEST_F(ParamsReloadTest, ReloadKeepsValuesRestoresTableAndWritesCopy) {
  TempoEg = 17;
  MobilityTable[ROOK][14] = 30;
  evalParams[10].step = 3;
  evalParams[11].min = -500;
  ASSERT_TRUE(WriteEvalParamFile(TUNING_PARAM_FILE, 0));
  ASSERT_EQ(std::rename("valorsx12.txt10", TUNING_PARAM_FILE), 0);
  ResetEvalParamsToDefaults();
  evalParamCount = 0;

  ReloadTuningParams();
  EXPECT_EQ(TempoEg, 17);
  EXPECT_EQ(MobilityTable[ROOK + BLACK_OFFSET][14], 30);
  EXPECT_EQ(evalParams[10].step, 1);
  EXPECT_EQ(evalParams[11].min, 0);
  EXPECT_EQ(evalParamCount, EVAL_PARAM_COUNT);
  std::string copy = readWhole("valorsx12.txt1999");
  EXPECT_EQ(std::count(copy.begin(), copy.end(), '\n'), EVAL_PARAM_COUNT);
  EXPECT_NE(copy.find("\n17;1;0;50\n"), std::string::npos);
}

TEST_F(ParamsReloadTest, MissingReloadFileChangesNothing) {
  std::vector<EntryState> before = snapshotTable();
  testing::internal::CaptureStdout();
  ReloadTuningParams();
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find(TUNING_PARAM_FILE), std::string::npos);
  EXPECT_EQ(snapshotTable(), before);
  EXPECT_FALSE(std::ifstream("valorsx12.txt1999").good());
}

}  // namespace
