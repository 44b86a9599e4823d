// Self-play training data: the record format against boards packed and unpacked, the reader's
// treatment of torn and damaged files, and the real program's `datagen` as a user runs it: the
// same seeded command writes the same bytes, a stopped run resumes to the same file, a torn tail
// is cut, and every written position obeys the filters.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/engine_process.h"
#include "tests/support.h"
#include "tuning/training_data.h"

namespace {

using Datagen = ScratchDirTest;

std::string fenOfSquares(const uint8_t squares[64], int side) {
  char letters[64];
  for (int sq = 0; sq < 64; ++sq)
    letters[sq] = squares[sq] == EMPTY ? '\0'
                                       : char("PNBRQK"[kindOf(squares[sq]) - 1] +
                                              (sideOfCode(squares[sq]) == BLACK ? 'a' - 'A' : 0));
  return placementOf(letters) + (side == WHITE ? " w - - 0 1" : " b - - 0 1");
}

std::string placement(const std::string& fen) { return fen.substr(0, fen.find(' ')); }

// Runs the program with the words and returns its exit code; its lines go to `lines`.
int runProgram(const std::vector<std::string>& words, Lines* lines = nullptr) {
  EngineProcess engine(words);
  engine.closeInput();
  while (auto line = engine.readLine(120000))
    if (lines) lines->push_back(*line);
  return engine.waitForExit(120000).value_or(-1000);
}

std::vector<std::string> datagenWords(const std::string& out, int games, int workers = 1) {
  return {"datagen", "--out", out, "--games", std::to_string(games), "--seed", "11",
          "--nodes", "400", "--workers", std::to_string(workers), "--book",
          std::string(CORVANEL_SOURCE_DIR) + "/tests/games/openings.epd"};
}

struct FileContents {
  std::vector<GameRecord> games;
  std::vector<PositionRecord> positions;
  uint64_t torn = 0;
};

FileContents readData(const std::string& path) {
  FileContents contents;
  TrainingDataReader reader(path);
  static PositionRecord block[MAX_GAME_POSITIONS];
  GameRecord game;
  while (reader.nextGame(game, block, MAX_GAME_POSITIONS)) {
    contents.games.push_back(game);
    contents.positions.insert(contents.positions.end(), block, block + game.positions);
  }
  contents.torn = reader.tornBytes();
  return contents;
}

TEST(TrainingData, PositionsSurvivePackingAndUnpacking) {
  std::mt19937 random(5);
  for (int i = 0; i < 300; ++i) {
    const std::string fen = randomPosition(random, i % 2 == 0);
    Position position(fen);
    PositionRecord record = packPosition(position.board, position.state.side, 37, 300);
    record.score = int16_t(-1234 + i);
    record.result = uint8_t(i % 3);
    uint8_t bytes[TRAINING_RECORD_BYTES];
    encodePositionRecord(record, bytes);
    PositionRecord back;
    ASSERT_TRUE(decodePositionRecord(bytes, back));
    uint8_t squares[64];
    ASSERT_TRUE(unpackPieces(back, squares));
    EXPECT_EQ(placement(fenOfSquares(squares, back.sideToMove)), placement(fen));
    EXPECT_EQ(back.sideToMove, position.state.side);
    EXPECT_EQ(back.score, -1234 + i);
    EXPECT_EQ(back.result, i % 3);
    EXPECT_EQ(back.halfmoveClock, 37);
    EXPECT_EQ(back.ply, 255);
    // Any single damaged byte makes the record fail its check.
    for (int at = 0; at < TRAINING_RECORD_BYTES; at += 5) {
      uint8_t damaged[TRAINING_RECORD_BYTES];
      std::memcpy(damaged, bytes, sizeof damaged);
      damaged[at] ^= 0x10;
      EXPECT_FALSE(decodePositionRecord(damaged, back)) << "byte " << at;
    }
  }
}

TEST_F(Datagen, ReaderKeepsWholeGamesAndDropsTheTornOrDamagedRest) {
  initEngineTables();
  Position start(START_FEN);
  std::string bytes;
  auto append = [&](const uint8_t* record) {
    bytes.append((const char*)record, TRAINING_RECORD_BYTES);
  };
  uint8_t record[TRAINING_RECORD_BYTES];
  for (int g = 0; g < 3; ++g) {
    GameRecord game;
    game.gameIndex = uint64_t(g);
    game.positions = uint32_t(g + 2);
    encodeGameRecord(game, record);
    append(record);
    for (int p = 0; p < g + 2; ++p) {
      encodePositionRecord(packPosition(start.board, WHITE, 0, p), record);
      append(record);
    }
  }
  writeFile("whole.bin", bytes);
  FileContents whole = readData("whole.bin");
  EXPECT_EQ(whole.games.size(), 3u);
  EXPECT_EQ(whole.positions.size(), 2u + 3 + 4);
  EXPECT_EQ(whole.torn, 0u);

  // Cut anywhere inside the last block: the first two games stay, the rest is torn.
  const size_t lastBlock = size_t(TRAINING_RECORD_BYTES) * (3 + 4);
  for (size_t cut : {size_t(1), size_t(31), size_t(32), size_t(100), size_t(4 * 32 + 7)}) {
    writeFile("torn.bin", bytes.substr(0, lastBlock + cut));
    FileContents torn = readData("torn.bin");
    EXPECT_EQ(torn.games.size(), 2u) << cut;
    EXPECT_EQ(torn.torn, cut) << cut;
  }
  // A damaged record ends the whole part there; zeros (a crash's hole) are no record at all.
  std::string damaged = bytes;
  damaged[32 * 4 + 3] ^= 1;
  writeFile("damaged.bin", damaged);
  EXPECT_EQ(readData("damaged.bin").games.size(), 1u);
  writeFile("zeros.bin", bytes + std::string(64, '\0'));
  EXPECT_EQ(readData("zeros.bin").games.size(), 3u);
  EXPECT_EQ(readData("zeros.bin").torn, 64u);
}

TEST_F(Datagen, SeededRunsRepeatResumeAndCutATornTail) {
  ASSERT_EQ(runProgram(datagenWords("a.bin", 3)), 0);
  ASSERT_EQ(runProgram(datagenWords("b.bin", 3)), 0);
  const std::string a = readFile("a.bin");
  ASSERT_GT(a.size(), 0u);
  EXPECT_EQ(readFile("b.bin"), a) << "one worker and a seed: the same bytes";

  // Stopped after one game, then resumed: the same file as the run that went through.
  ASSERT_EQ(runProgram(datagenWords("c.bin", 1)), 0);
  ASSERT_EQ(runProgram(datagenWords("c.bin", 3)), 0);
  EXPECT_EQ(readFile("c.bin"), a);

  // A torn tail is cut and the run goes on from the last whole game.
  writeFile("d.bin", a.substr(0, a.size() - 45));
  std::filesystem::copy_file("a.bin.settings", "d.bin.settings");
  Lines lines;
  ASSERT_EQ(runProgram(datagenWords("d.bin", 3), &lines), 0);
  EXPECT_NE(
      std::find_if(lines.begin(), lines.end(),
                   [](const std::string& l) { return l.find("torn tail") != std::string::npos; }),
      lines.end());
  EXPECT_EQ(readFile("d.bin"), a);

  // Two workers play the same games, in whatever order they finish.
  ASSERT_EQ(runProgram(datagenWords("e.bin", 3, 2)), 0);
  FileContents one = readData("a.bin"), two = readData("e.bin");
  ASSERT_EQ(two.games.size(), 3u);
  EXPECT_EQ(two.positions.size(), one.positions.size());
}

TEST_F(Datagen, WrittenPositionsObeyTheFilters) {
  ASSERT_EQ(runProgram(datagenWords("a.bin", 4)), 0);
  FileContents data = readData("a.bin");
  ASSERT_EQ(data.games.size(), 4u);
  ASSERT_GT(data.positions.size(), 20u);
  size_t at = 0;
  for (const GameRecord& game : data.games) {
    EXPECT_LE(game.whiteResult, RESULT_WIN);
    EXPECT_GE(game.ending, ENDING_MATE);
    EXPECT_LE(game.ending, ENDING_MOVE_LIMIT);
    for (uint32_t i = 0; i < game.positions; ++i, ++at) {
      const PositionRecord& p = data.positions[at];
      const int expected = p.sideToMove == WHITE ? game.whiteResult : RESULT_WIN - game.whiteResult;
      EXPECT_EQ(p.result, expected);
      EXPECT_GE(p.ply, 8) << "the first plies are not written";
      EXPECT_LT(std::abs(p.score), 9871) << "no mate scores";
      uint8_t squares[64];
      ASSERT_TRUE(unpackPieces(p, squares));
      Position position(fenOfSquares(squares, p.sideToMove));
      EXPECT_FALSE(kingAttacked(position.board, position.state)) << "no position in check";
    }
  }
}

TEST_F(Datagen, BadOptionsAndForeignFilesAreRefused) {
  Lines lines;
  EXPECT_EQ(runProgram({"datagen", "--games"}, &lines), 2);
  EXPECT_EQ(runProgram({"datagen", "--workers", "0"}, &lines), 2);
  EXPECT_EQ(runProgram({"datagen", "--frobnicate", "1"}, &lines), 2);
  EXPECT_EQ(runProgram({"datagen", "--book", "missing.epd", "--out", "x.bin"}, &lines), 2);
  // A file of other settings (here another seed) is never continued.
  ASSERT_EQ(runProgram(datagenWords("a.bin", 1)), 0);
  std::vector<std::string> otherSeed = datagenWords("a.bin", 2);
  otherSeed[6] = "12";
  EXPECT_EQ(runProgram(otherSeed, &lines), 2);
  writeFile("foreign.bin", "not data");
  EXPECT_EQ(runProgram(datagenWords("foreign.bin", 1), &lines), 2);
  EXPECT_EQ(readFile("foreign.bin"), "not data");
}

}  // namespace

namespace {

// OpenBench's "genfens": N positions, the same for the same seed, each a legal position with
// moves to play; a book that cannot be read is refused.
TEST_F(Datagen, GenfensDrawsRepeatablePlayablePositions) {
  const std::string book = std::string(CORVANEL_SOURCE_DIR) + "/tests/games/openings.epd";
  for (const std::string& source : {std::string("None"), book}) {
    Lines first, second;
    ASSERT_EQ(runProgram({"genfens 6 seed 9 book " + source, "quit"}, &first), 0);
    ASSERT_EQ(runProgram({"genfens 6 seed 9 book " + source, "quit"}, &second), 0);
    EXPECT_EQ(first, second);
    int fens = 0;
    for (const std::string& line : first) {
      if (!startsWith(line, "info string genfens ")) continue;
      ++fens;
      Position position(line.substr(20));
      MoveList list;
      EXPECT_GT(legalMoves(position.board, position.state, list), 0) << line;
    }
    EXPECT_EQ(fens, 6) << source;
  }
  // A missing book, a directory and a pipe nobody writes to: refused at once, never waited on.
  const std::string pipePath = (std::filesystem::temp_directory_path() /
                                ("corvanel-genfens-" + std::to_string(getpid()))).string();
  ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
  for (const std::string& badBook : {std::string("missing.epd"), std::string("."), pipePath}) {
    Lines refused;
    ASSERT_EQ(runProgram({"genfens 2 seed 1 book " + badBook, "quit"}, &refused), 0);
    EXPECT_NE(std::find(refused.begin(), refused.end(),
                        "info string genfens: cannot read the book " + badBook),
              refused.end());
  }
  std::filesystem::remove(pipePath);
  // Only the whole word orders positions: a longer word is another (unknown) command.
  Lines other;
  ASSERT_EQ(runProgram({"genfensft1 wtime 3000 btime 1", "isready", "quit"}, &other), 0);
  ASSERT_FALSE(other.empty());
  EXPECT_EQ(other.back(), "readyok");
  for (const std::string& line : other)
    EXPECT_FALSE(startsWith(line, "info string genfens")) << line;
}

}  // namespace
